#include "transcodecommand.h"

#include <algorithm>

#include "catalogue.h"

namespace {

// Catalogue keys the options depend on.
constexpr int flvContainer = 1;
constexpr int aviContainer = 2;
constexpr int x264Codec = 2;
constexpr int x265Codec = 3;
constexpr int videoCopy = 6;
constexpr int mp3Codec = 1;
constexpr int audioCopy = 3;

void addOption(QList<QByteArray> &options, const char *name, const QByteArray &value)
{
    options << QByteArray(name) << value;
}

void addEncodingOptions(QList<QByteArray> &options, const AVSettings &s)
{
    if (const QByteArray *size = catalogueText(resolutions, s.resolution))
        addOption(options, "-s", *size);

    // Only the two encoders that take a CRF get one; it then replaces the bitrate.
    const bool takesCrf = s.videoCodec == x264Codec || s.videoCodec == x265Codec;
    if (takesCrf && s.crf != -1)
        addOption(options, "-crf", QByteArray::number(s.crf));
    else if (s.videoBitrate != -1)
        addOption(options, "-b:v", QByteArray::number(s.videoBitrate) + 'k');

    if (s.frameRate != -1)
        addOption(options, "-r", QByteArray::number(s.frameRate));
}

void addVideoOptions(QList<QByteArray> &options, const AVSettings &s)
{
    // A copied stream keeps its size, bitrate and timing: ffmpeg ignores -s
    // and -b:v for it, and -r only relabels its frames (too fast or out of
    // order).
    if (s.videoCodec != videoCopy)
        addEncodingOptions(options, s);
    if (const QByteArray *codec = catalogueText(videoCodecIds, s.videoCodec))
        addOption(options, "-c:v", *codec);
    // ffmpeg 5.1 writes HEVC into .avi without a FourCC, and every reader
    // then takes it for raw video.
    if (s.container == aviContainer && s.videoCodec == x265Codec)
        addOption(options, "-tag:v", "HEVC");
}

// FLV labels MP3 only at 44100, 22050 and 11025 Hz (48000 it writes as
// 44100, the frames carry the real rate); ffmpeg refuses any other, so the
// next lower rate it takes is used.
int sampleRateFor(const AVSettings &s)
{
    if (s.container != flvContainer || s.audioCodec != mp3Codec)
        return s.sampleRate;
    for (const int rate : {48000, 44100, 22050, 11025}) {
        if (s.sampleRate >= rate)
            return rate;
    }
    return s.sampleRate;
}

void addAudioOptions(QList<QByteArray> &options, const AVSettings &s)
{
    // ffmpeg ignores both for a copied stream.
    if (s.audioCodec != audioCopy) {
        if (s.sampleRate != -1)
            addOption(options, "-ar", QByteArray::number(sampleRateFor(s)));
        if (s.audioBitrate != -1)
            addOption(options, "-b:a", QByteArray::number(s.audioBitrate) + 'k');
    }
    if (const QByteArray *codec = catalogueText(audioCodecIds, s.audioCodec))
        addOption(options, "-c:a", *codec);
}

// The options between the input and the output path, each option name
// followed by its value, in the transcoder's expected order.
QList<QByteArray> streamOptions(const AVSettings &s)
{
    QList<QByteArray> options;
    addVideoOptions(options, s);
    addAudioOptions(options, s);
    return options;
}

QByteArray quoted(const QByteArray &path)
{
    return '"' + path + '"';
}

} // namespace

QByteArray transcoderProgramName()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("ffmpeg.exe");
#else
    return QByteArrayLiteral("ffmpeg");
#endif
}

TranscodeCommand::TranscodeCommand(const AVSettings &settings)
    : program(transcoderProgramName()), globalOption("-y"), settings(settings)
{
}

QByteArray TranscodeCommand::commandLine() const
{
    QList<QByteArray> pieces;
    pieces << program << globalOption << "-i" << quoted(inputPath);
    pieces << streamOptions(settings);
    pieces << quoted(outputPath);
    QByteArray line;
    for (const QByteArray &piece : qAsConst(pieces)) {
        if (!line.isEmpty())
            line += ' ';
        line += piece;
    }
    return line;
}

QList<QByteArray> TranscodeCommand::arguments() const
{
    QList<QByteArray> vector;
    vector << program << globalOption << "-i" << inputPath;
    vector << streamOptions(settings);
    vector << outputPath;
    return vector;
}

QByteArray makeOutputPath(const QByteArray &directory, const QByteArray &baseName,
                          const QByteArray &sourceExtension, int container)
{
    const QByteArray *extension = catalogueText(containerExtensions, container);
    const QByteArray provisional =
        directory + '/' + baseName + (extension ? *extension : sourceExtension);

    // A backslash is an ordinary file-name byte outside Windows.
#ifdef Q_OS_WIN
    const int split = std::max(provisional.lastIndexOf('/'), provisional.lastIndexOf('\\'));
#else
    const int split = provisional.lastIndexOf('/');
#endif
    return provisional.left(split) + "/Vantor转码-" + provisional.mid(split + 1);
}
