#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "avsettings.h"
#include "mediainfo.h"

// What a stream of the result is, the values PlannedStream::role holds.
inline constexpr int PlannedPicture = 0;
inline constexpr int PlannedAudio = 1;
inline constexpr int PlannedSubtitle = 2;
inline constexpr int PlannedCover = 3;

// One stream of the result and the source stream it comes from.
struct PlannedStream
{
    int role = PlannedPicture;
    // The source stream's index ("-map 0:N").
    int source = -1;
    // The encoder ffmpeg names ("libx264", "aac", "mov_text"), or "copy";
    // empty leaves the choice to ffmpeg.
    QByteArray encoder;
    bool isDefault = false;
    bool forced = false;
    // The source's own label, carried as the track's handler name in .mp4.
    QString title;
    // Copied because it already is what the settings ask for, not because
    // the user chose "Copy"; a container that refuses it gets it encoded.
    bool fitted = false;
    // What a fitted copy needs in the container ("hvc1", "h264_mp4toannexb").
    QByteArray tag;
    QByteArray bitstreamFilter;

    bool copies() const { return encoder == "copy"; }
};

// What happens to each stream of a source, decided from the settings and
// what the source holds; the command, the row and the read-back follow it.
struct StreamPlan
{
    // False when the source could not be read: ffmpeg picks the streams as
    // it always has, and nothing else here applies.
    bool explicitMaps = false;
    // In the result's order of each kind: the picture, the audio tracks,
    // the subtitles, the cover.
    QList<PlannedStream> streams;
    // A subtitle drawn into the picture: its source index and its place
    // among the source's subtitles; -1 when none.
    int burned = -1;
    int burnedOrdinal = -1;
    bool burnedBitmap = false;
    bool chapters = false;
    // Set explicitly, since ffmpeg drops it; empty when the source has none.
    QByteArray creationTime;
    // What the row says of the result ("音轨 2 条，字幕 2 条（可切换）",
    // "已烧录字幕：中文"), the losses last.
    QStringList notes;
    // The notes that say something was not kept or will not play right.
    QStringList losses;
    // The notes that say which streams were copied because they fit
    // ("视频直接复制，未重新编码").
    QStringList copied;

    // The streams of one role, in the result's order.
    QList<PlannedStream> streamsOf(int role) const;
    bool copiesAStream() const;
    // A stream is copied because it fits, rather than by the user's "Copy".
    bool copiesFitted() const;
    // The picture named is encoded: the job takes an encode's time, not a
    // copy's.
    bool encodesPicture() const;
};

StreamPlan planStreams(const AVSettings &settings, const MediaInfo &media);

// The track a choice means in a file: the stream `index` when its language
// is `language`, else the first track in that language; -1 when the file
// has none, and the automatic rules apply.
int chosenTrack(const QList<MediaStream> &tracks, int index, const QByteArray &language);

// How the window names a track: its language in Chinese and its title
// ("国语", "英语 · English 5.1").
QString streamLabel(const MediaStream &stream);
