#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Stream types, the values MediaStream::type holds.
inline constexpr int StreamVideo = 0;
inline constexpr int StreamAudio = 1;
inline constexpr int StreamSubtitle = 2;
inline constexpr int StreamData = 3;
inline constexpr int StreamAttachment = 4;
inline constexpr int StreamOther = 5;

// One stream of a source as libavformat reads it. Numbers that the source
// does not give are -1 (0 for the rotation and the flags).
struct MediaStream
{
    int type = StreamOther;
    // The stream's index in the source, as ffmpeg's "-map 0:N" counts.
    int index = -1;
    // As libavcodec names it: "h264", "aac", "subrip", "hdmv_pgs_subtitle".
    QByteArray codec;
    // The profile's name ("High", "Main", "LC"), empty when none is known.
    QByteArray profile;
    // ISO 639-2 as the source tags it ("chi", "eng"); empty when untagged.
    QByteArray language;
    QString title;
    bool isDefault = false;
    bool forced = false;
    // A cover: a still picture that is not the film.
    bool attachedPicture = false;
    int channels = -1;
    int sampleRate = -1;
    // Degrees a player turns the picture (0, 90, 180 or 270), as ffprobe
    // reports them.
    int rotation = 0;
    QByteArray pixelFormat;
    int width = -1;
    int height = -1;
    int aspectNum = 0;
    int aspectDen = 0;
    // Frames per second on average; -1 when unknown.
    double frameRate = -1;
    // "progressive", "tt", "bb", "tb", "bt"; empty when unknown.
    QByteArray fieldOrder;
    qint64 bitRate = -1;
    // Attachments (fonts, pictures of a Matroska file).
    QByteArray mimeType;
    QString fileName;

    // Text a libass or mov_text can carry: SRT, ASS, WebVTT, mov_text...
    bool isTextSubtitle() const;
    // Pictures: DVD, Blu-ray (PGS), DVB.
    bool isBitmapSubtitle() const;
};

// What a source file holds.
struct MediaInfo
{
    // libavformat could open the file and find its streams. A record that is
    // not readable says nothing else.
    bool readable = false;
    // The demuxer's name ("matroska,webm", "mov,mp4,m4a,3gp,3g2,mj2").
    QByteArray format;
    // Seconds; -1 when unknown.
    double duration = -1;
    QStringList chapterTitles;
    QString title;
    // As the source tags it ("2021-06-01T08:30:00.000000Z"); empty when none.
    QByteArray creationTime;
    QList<MediaStream> streams;

    int chapters() const { return int(chapterTitles.size()); }
    // The streams of one type, in the source's order.
    QList<MediaStream> streamsOf(int type) const;
};

// The stream of that index among `streams`, or nullptr.
const MediaStream *findStream(const QList<MediaStream> &streams, int index);
