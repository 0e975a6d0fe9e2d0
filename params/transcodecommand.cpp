#include "transcodecommand.h"

#include <algorithm>

#include "catalogue.h"

namespace {

// The options between the input and the output path, each option name
// followed by its value, in the transcoder's expected order.
QList<QByteArray> streamOptions(const AVSettings &s)
{
    QList<QByteArray> options;
    auto add = [&options](const char *name, const QByteArray &value) {
        options << QByteArray(name) << value;
    };

    if (const QByteArray *size = catalogueText(resolutions, s.resolution))
        add("-s", *size);

    // Only the two encoders that take a CRF get one; it then replaces the bitrate.
    const bool takesCrf = s.videoCodec == 2 || s.videoCodec == 3;
    if (takesCrf && s.crf != -1)
        add("-crf", QByteArray::number(s.crf));
    else if (s.videoBitrate != -1)
        add("-b:v", QByteArray::number(s.videoBitrate) + 'k');

    if (s.frameRate != -1)
        add("-r", QByteArray::number(s.frameRate));
    if (const QByteArray *codec = catalogueText(videoCodecIds, s.videoCodec))
        add("-c:v", *codec);
    if (s.sampleRate != -1)
        add("-ar", QByteArray::number(s.sampleRate));
    if (s.audioBitrate != -1)
        add("-b:a", QByteArray::number(s.audioBitrate) + 'k');
    if (const QByteArray *codec = catalogueText(audioCodecIds, s.audioCodec))
        add("-c:a", *codec);
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
