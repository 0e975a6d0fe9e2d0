#pragma once

#include <QMetaType>
#include <QtTest>

#include "avsettings.h"

Q_DECLARE_METATYPE(AVSettings)

// Lets QCOMPARE show both records field by field when they differ.
inline char *toString(const AVSettings &s)
{
    const QByteArray text = QByteArray("AVSettings{")
        + QByteArray::number(s.container) + ", " + QByteArray::number(s.videoCodec) + ", "
        + QByteArray::number(s.audioCodec) + ", " + QByteArray::number(s.resolution) + ", "
        + QByteArray::number(s.videoBitrate) + ", " + QByteArray::number(s.crf) + ", "
        + QByteArray::number(s.frameRate) + ", " + QByteArray::number(s.audioBitrate) + ", "
        + QByteArray::number(s.sampleRate) + ", " + QByteArray::number(s.videoQuality) + ", "
        + QByteArray::number(s.audioQuality) + "; audio " + QByteArray::number(s.audioTracks) + ' '
        + QByteArray::number(s.audioTrack) + ' ' + s.audioLanguage + ", subtitles "
        + QByteArray::number(s.subtitleMode) + ' ' + QByteArray::number(s.subtitleTrack) + ' '
        + s.subtitleLanguage + (s.copyIfFits ? "" : ", never copied") + "}";
    return qstrdup(text.constData());
}

inline AVSettings record(int container, int videoCodec, int audioCodec, int resolution,
                         int videoBitrate, int crf, int frameRate, int audioBitrate,
                         int sampleRate, int videoQuality, int audioQuality)
{
    return {container, videoCodec, audioCodec, resolution, videoBitrate, crf,
            frameRate, audioBitrate, sampleRate, videoQuality, audioQuality};
}
