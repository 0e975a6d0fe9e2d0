#include "targettext.h"

#include <algorithm>
#include <cmath>

#include <QHash>
#include <QSize>
#include <QStringList>

#include "catalogue.h"
#include "streamplan.h"

namespace {

// ffmpeg's round(): halves away from zero.
int evenSide(double side)
{
    return 2 * std::max(1, int(std::round(side / 2)));
}

// The size the command's scale gives a re-encoded picture: turned upright
// first (ffmpeg turns it before the filters, and the pixel shape with it),
// then fitted inside the chosen box by its displayed shape, or its own size
// evened. Empty when the source does not give its size.
QSize encodedSize(const AVSettings &settings, const MediaStream &source)
{
    if (source.width <= 0 || source.height <= 0)
        return {};
    const bool turned = source.rotation % 180 != 0;
    const double width = turned ? source.height : source.width;
    const double height = turned ? source.width : source.height;
    double pixelShape = 1;
    if (source.aspectNum > 0 && source.aspectDen > 0)
        pixelShape = double(source.aspectNum) / source.aspectDen;
    if (turned)
        pixelShape = 1 / pixelShape;
    const QByteArray *box = catalogueText(resolutions, settings.resolution);
    if (!box)
        return {evenSide(width), evenSide(height)};
    const QList<QByteArray> sides = box->split('x');
    const double boxWidth = sides.value(0).toDouble();
    const double boxHeight = sides.value(1).toDouble();
    const double shape = width / height * pixelShape;
    return {evenSide(std::min(boxWidth, boxHeight * shape)),
            evenSide(std::min(boxHeight, boxWidth / shape))};
}

// The level's ceiling, said only where it slows the source down (or where
// the source's rate is not known).
QString rateCap(const AVSettings &settings, const MediaStream *source)
{
    if (settings.frameRate <= 0)
        return {};
    if (source && source->frameRate > 0 && source->frameRate <= settings.frameRate + 0.01)
        return {};
    return QStringLiteral(" %1 帧/秒").arg(settings.frameRate);
}

// A copied stream keeps its codec, and the row names it: "AAC 直接复制"
// says what the file will hold, "直接复制" alone would not.
QString copiedText(const MediaStream *source)
{
    const QString copied = encoderLabel("copy");
    if (!source || source->codec.isEmpty())
        return copied;
    return encoderLabel(source->codec) + QLatin1Char(' ') + copied;
}

QString pictureText(const AVSettings &settings, const QByteArray &encoder, const MediaStream *source)
{
    // A copied picture keeps its size and rate.
    if (encoder == "copy")
        return copiedText(source);
    QString text = encoderLabel(encoder);
    if (source) {
        const QSize size = encodedSize(settings, *source);
        if (!size.isEmpty())
            text += QStringLiteral(" %1x%2").arg(size.width()).arg(size.height());
    }
    return text + rateCap(settings, source);
}

} // namespace

QString encoderLabel(const QByteArray &encoder)
{
    static const QHash<QByteArray, QString> labels{
        {"mpeg4", QStringLiteral("MPEG-4")}, {"libxvid", QStringLiteral("Xvid")},
        {"libx264", QStringLiteral("H.264")}, {"libx265", QStringLiteral("H.265")},
        {"wmv2", QStringLiteral("WMV2")},     {"flv", QStringLiteral("FLV1")},
        {"aac", QStringLiteral("AAC")},       {"mp3", QStringLiteral("MP3")},
        {"wmav2", QStringLiteral("WMA")},     {"copy", QStringLiteral("直接复制")},
        // What libavcodec calls a source's codec where its encoder's name differs.
        {"h264", QStringLiteral("H.264")},    {"hevc", QStringLiteral("H.265")},
        {"flv1", QStringLiteral("FLV1")},
    };
    if (encoder.isEmpty())
        return QStringLiteral("默认");
    return labels.value(encoder, QString::fromUtf8(encoder).toUpper());
}

QString targetText(const AVSettings &settings, const MediaInfo &media)
{
    QStringList parts;
    parts << QString::fromUtf8(catalogueValue(containerExtensions, settings.container).mid(1)).toUpper();
    const StreamPlan plan = planStreams(settings, media);
    if (!plan.explicitMaps) {
        // ffmpeg picks a picture and a track; the sizes are not known.
        parts << pictureText(settings, catalogueValue(videoCodecIds, settings.videoCodec), nullptr)
              << encoderLabel(catalogueValue(audioCodecIds, settings.audioCodec));
        return QStringLiteral("→ ") + parts.join(QStringLiteral(" · "));
    }
    for (const PlannedStream &picture : plan.streamsOf(PlannedPicture))
        parts << pictureText(settings, picture.encoder, findStream(media.streams, picture.source));
    // Tracks may differ: one copied, another re-encoded.
    QStringList tracks;
    for (const PlannedStream &track : plan.streamsOf(PlannedAudio)) {
        const QString label = track.encoder == "copy" ? copiedText(findStream(media.streams, track.source))
                                                      : encoderLabel(track.encoder);
        if (!tracks.contains(label))
            tracks << label;
    }
    if (!tracks.isEmpty())
        parts << tracks.join(QLatin1Char('/'));
    return QStringLiteral("→ ") + parts.join(QStringLiteral(" · "));
}

QString lengthText(double seconds)
{
    if (!(seconds >= 0) || !std::isfinite(seconds))
        return {};
    const qint64 whole = qint64(std::round(seconds));
    const qint64 hours = whole / 3600;
    const qint64 minutes = whole / 60 % 60;
    const QString rest = QStringLiteral("%1:%2").arg(minutes, hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
                             .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:").arg(hours) + rest : rest;
}
