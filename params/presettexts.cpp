#include "presettexts.h"

#include <QStringList>

#include "catalogue.h"
#include "streamplan.h"
#include "targettext.h"

namespace {

const QString unlimited = QStringLiteral("不限制，沿用源文件");

// A codec by its name alone ("H.265", "MP3"); a copy says which stream.
QString codecOf(const char *what, const CatalogueTable &ids, int key)
{
    const QByteArray encoder = catalogueValue(ids, key);
    return encoder == "copy" ? QString::fromUtf8(what) + encoderLabel(encoder) : encoderLabel(encoder);
}

QString rateText(const char *what, int kilobits)
{
    return kilobits == -1 ? QString::fromUtf8(what) + QStringLiteral("码率不限")
                          : QString::fromUtf8(what) + QStringLiteral(" %1 kb/s").arg(kilobits);
}

// A chosen track is named by its language, as the settings dialog lists it.
QString languageOf(int type, const QByteArray &language)
{
    MediaStream stream;
    stream.type = type;
    stream.language = language;
    return streamLabel(stream);
}

} // namespace

QString videoQualityTip(int level)
{
    const VideoPreset *preset = videoPreset(level);
    if (!preset)
        return {};
    QStringList parts;
    if (preset->crf != -1)
        parts << QStringLiteral("CRF %1（H.264/H.265）").arg(preset->crf);
    if (preset->videoBitrate != -1)
        parts << QStringLiteral("%1 %2 kb/s")
                     .arg(preset->crf != -1 ? QStringLiteral("其他编码") : QStringLiteral("码率"))
                     .arg(preset->videoBitrate);
    if (preset->frameRate != -1)
        parts << QStringLiteral("最高 %1 帧/秒").arg(preset->frameRate);
    return parts.isEmpty() ? unlimited : parts.join(QStringLiteral("，"));
}

QString audioQualityTip(int level)
{
    const AudioPreset *preset = audioPreset(level);
    if (!preset)
        return {};
    QStringList parts;
    if (preset->audioBitrate != -1)
        parts << QStringLiteral("码率 %1 kb/s").arg(preset->audioBitrate);
    if (preset->sampleRate != -1)
        parts << QStringLiteral("采样率 %1 Hz").arg(preset->sampleRate);
    return parts.isEmpty() ? unlimited : parts.join(QStringLiteral("，"));
}

QString customisedText(const AVSettings &s)
{
    const AVSettings preset = makeAVSettings(s.container, s.videoQuality, s.audioQuality);
    QStringList parts;
    if (s.resolution != preset.resolution) {
        const QByteArray *box = catalogueText(resolutions, s.resolution);
        parts << (box ? QString::fromUtf8(*box) : QStringLiteral("原尺寸"));
    }
    if (s.videoCodec != preset.videoCodec)
        parts << codecOf("视频", videoCodecIds, s.videoCodec);
    if (s.crf != preset.crf)
        parts << (s.crf == -1 ? QStringLiteral("CRF 默认") : QStringLiteral("CRF %1").arg(s.crf));
    if (s.videoBitrate != preset.videoBitrate)
        parts << rateText("视频", s.videoBitrate);
    if (s.frameRate != preset.frameRate)
        parts << (s.frameRate == -1 ? QStringLiteral("帧率不限") : QStringLiteral("%1 帧/秒").arg(s.frameRate));
    if (s.audioCodec != preset.audioCodec)
        parts << codecOf("音频", audioCodecIds, s.audioCodec);
    if (s.audioBitrate != preset.audioBitrate)
        parts << rateText("音频", s.audioBitrate);
    if (s.sampleRate != preset.sampleRate)
        parts << (s.sampleRate == -1 ? QStringLiteral("采样率不限") : QStringLiteral("%1 Hz").arg(s.sampleRate));
    if (s.audioTracks == OneAudioTrack)
        parts << QStringLiteral("音轨：") + languageOf(StreamAudio, s.audioLanguage);
    if (s.subtitleMode == SubtitlesNone)
        parts << QStringLiteral("不要字幕");
    else if (s.subtitleMode == SubtitlesBurn)
        parts << QStringLiteral("烧录字幕：") + languageOf(StreamSubtitle, s.subtitleLanguage);
    if (parts.isEmpty())
        return {};
    return QStringLiteral("（已自定义：") + parts.join(QStringLiteral("、")) + QStringLiteral("）");
}
