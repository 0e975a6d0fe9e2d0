#pragma once

#include <QList>
#include <QMetaType>
#include <QStringList>

#include "mediainfo.h"

Q_DECLARE_METATYPE(MediaInfo)
Q_DECLARE_METATYPE(MediaStream)

// Records of sources as the reader gives them, without files.

inline MediaStream stream(int type, int index, const char *codec, const char *language = "",
                          const char *title = "", bool isDefault = false, bool forced = false)
{
    MediaStream s;
    s.type = type;
    s.index = index;
    s.codec = codec;
    s.language = language;
    s.title = QString::fromUtf8(title);
    s.isDefault = isDefault;
    s.forced = forced;
    return s;
}

// A downloaded film: Chinese stereo and English 5.1, a Chinese SRT flagged
// default and an English ASS, a cover, the chapter text of an .mp4, a font.
inline MediaInfo film()
{
    MediaInfo media;
    media.readable = true;
    media.chapterTitles = QStringList{"开始", "中间", "结尾"};
    media.creationTime = "2021-06-01T08:30:00.000000Z";
    media.streams = {stream(StreamVideo, 0, "h264"),
                     stream(StreamAudio, 1, "aac", "chi", "", true),
                     stream(StreamAudio, 2, "aac", "eng", "English 5.1"),
                     stream(StreamSubtitle, 3, "subrip", "chi", "", true),
                     stream(StreamSubtitle, 4, "ass", "eng"),
                     stream(StreamVideo, 5, "mjpeg"),
                     stream(StreamData, 6, "bin_data", "eng"),
                     stream(StreamAttachment, 7, "ttf")};
    media.streams[5].attachedPicture = true;
    return media;
}

// A phone's picture and sound, which copy into .mp4 at 默认.
inline MediaStream phonePicture()
{
    MediaStream s = stream(StreamVideo, 0, "h264");
    s.profile = "High";
    s.pixelFormat = "yuv420p";
    s.fieldOrder = "progressive";
    s.width = 1920;
    s.height = 1080;
    s.frameRate = 25;
    s.bitRate = 4000000;
    return s;
}

inline MediaStream phoneSound()
{
    MediaStream s = stream(StreamAudio, 1, "aac");
    s.profile = "LC";
    s.sampleRate = 44100;
    s.channels = 2;
    s.bitRate = 128000;
    return s;
}

inline MediaInfo withStreams(const QList<MediaStream> &streams)
{
    MediaInfo media;
    media.readable = true;
    media.streams = streams;
    return media;
}
