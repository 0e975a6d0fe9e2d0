#pragma once

#include <cstdint>

#include <QByteArray>

// AVSettings::audioTracks and subtitleMode.
inline constexpr int AllAudioTracks = 0;
inline constexpr int OneAudioTrack = 1;
inline constexpr int SubtitlesAuto = 0;
inline constexpr int SubtitlesNone = 1;
inline constexpr int SubtitlesBurn = 2;

// Conversion settings of one file. In every rate or size field -1 leaves the
// option to the transcoder.
struct AVSettings
{
    std::int32_t container;
    std::int32_t videoCodec;
    std::int32_t audioCodec;
    std::int32_t resolution;
    std::int32_t videoBitrate;
    std::int32_t crf;
    std::int32_t frameRate;
    std::int32_t audioBitrate;
    std::int32_t sampleRate;
    std::int32_t videoQuality;
    std::int32_t audioQuality;
    // Which tracks of the source go into the result. A chosen track is
    // named by its stream index and its language, so that a choice applied
    // to all files takes the track in the same language in each file.
    std::int32_t audioTracks = AllAudioTracks;
    std::int32_t audioTrack = -1;
    QByteArray audioLanguage{};
    std::int32_t subtitleMode = SubtitlesAuto;
    std::int32_t subtitleTrack = -1;
    QByteArray subtitleLanguage{};
    // A stream that already is what the choices above ask for is copied,
    // not encoded again ("尽量直接复制", see streamcopy.h).
    bool copyIfFits = true;
};

bool operator==(const AVSettings &a, const AVSettings &b);
bool operator!=(const AVSettings &a, const AVSettings &b);

// resolution -1, then the container, video and audio rules in that order.
AVSettings makeAVSettings(int container, int videoQuality, int audioQuality);

// Stores the index and the container's default codecs; an unknown index keeps
// the codecs.
void applyContainer(AVSettings &settings, int index);
// Stores the level and its bitrate, CRF and frame rate; an unknown level
// changes only videoQuality.
void applyVideoQuality(AVSettings &settings, int level);
// Stores the level and its bitrate and sample rate; an unknown level changes
// only audioQuality.
void applyAudioQuality(AVSettings &settings, int level);
