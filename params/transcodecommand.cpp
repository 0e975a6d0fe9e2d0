#include "transcodecommand.h"

#include <algorithm>

#include "catalogue.h"
#include "outputname.h"

namespace {

// Catalogue keys the options depend on.
constexpr int mp4Container = 0;
constexpr int flvContainer = 1;
constexpr int aviContainer = 2;
constexpr int x264Codec = 2;
constexpr int x265Codec = 3;
constexpr int videoCopy = 6;
constexpr int mp3Codec = 1;
constexpr int wmaCodec = 2;
constexpr int audioCopy = 3;

void addOption(QList<QByteArray> &options, const char *name, const QByteArray &value)
{
    options << QByteArray(name) << value;
}

// The picture fitted inside a chosen box ("1280x720") by its displayed shape
// (dar counts the pixel shape), with even sides of at least 2. The quotes
// keep the commas inside the expressions from splitting the filter chain.
QByteArray boxScale(const QByteArray &box)
{
    const QList<QByteArray> sides = box.split('x');
    const QByteArray width = sides.value(0);
    const QByteArray height = sides.value(1);
    return "scale=w='2*max(1,round(min(" + width + ',' + height + "*dar)/2))'"
           ":h='2*max(1,round(min(" + height + ',' + width + "/dar)/2))'";
}

// Every re-encoded picture plays on phones, televisions and browsers.
QByteArray videoFilters(const AVSettings &s)
{
    // Only frames flagged interlaced are touched, each into one frame, so the
    // rate stays the source's.
    QByteArray chain = "bwdif=mode=send_frame:deint=interlaced,";
    if (const QByteArray *box = catalogueText(resolutions, s.resolution)) {
        chain += boxScale(*box) + ",setsar=1";
    } else {
        // An unknown pixel shape counts as square, so that the scale can keep
        // the displayed shape in the pixel shape when it evens an odd side.
        chain += "setsar=sar:max=1000,scale=2*round(iw/2):2*round(ih/2)";
    }
    // Decoders refuse the 4:2:2 and 4:4:4 profiles x264 and x265 would pick.
    return chain + ",format=yuv420p";
}

void addEncodingOptions(QList<QByteArray> &options, const AVSettings &s)
{
    addOption(options, "-vf", videoFilters(s));

    // Only the two encoders that take a CRF get one; it then replaces the bitrate.
    const bool takesCrf = s.videoCodec == x264Codec || s.videoCodec == x265Codec;
    if (takesCrf && s.crf != -1)
        addOption(options, "-crf", QByteArray::number(s.crf));
    else if (s.videoBitrate != -1)
        addOption(options, "-b:v", QByteArray::number(s.videoBitrate) + 'k');

    // A ceiling: -r would pad a slower source with copies of its frames.
    if (s.frameRate != -1)
        addOption(options, "-fpsmax", QByteArray::number(s.frameRate));
}

void addVideoOptions(QList<QByteArray> &options, const AVSettings &s)
{
    // A copied stream keeps its size, bitrate and timing: ffmpeg refuses
    // filters for it, and a rate would only relabel its frames (too fast or
    // out of order).
    if (s.videoCodec != videoCopy)
        addEncodingOptions(options, s);
    if (const QByteArray *codec = catalogueText(videoCodecIds, s.videoCodec))
        addOption(options, "-c:v", *codec);
    // ffmpeg 5.1 writes HEVC into .avi without a FourCC, and every reader
    // then takes it for raw video; into .mp4 it writes hev1, which Apple's
    // players refuse.
    if (s.container == aviContainer && s.videoCodec == x265Codec)
        addOption(options, "-tag:v", "HEVC");
    else if (s.container == mp4Container && s.videoCodec == x265Codec)
        addOption(options, "-tag:v", "hvc1");
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

QByteArray audioFilters(const AVSettings &s)
{
    // Samples are dropped or padded wherever the source's timestamps and
    // samples part by more than 0.1 s, so that the streams end together;
    // a source whose timestamps fit its samples passes unchanged.
    QByteArray chain = "aresample=async=1";
    // Both take at most two channels, and WMA declares no layout that ffmpeg
    // could downmix to.
    if (s.audioCodec == mp3Codec || s.audioCodec == wmaCodec)
        chain += ",aformat=channel_layouts=stereo|mono";
    // WMA takes at most 48 kHz and declares no rates either.
    if (s.audioCodec == wmaCodec)
        chain += ":sample_rates=48000|44100|32000|24000|22050|16000|12000|11025|8000";
    return chain;
}

void addAudioOptions(QList<QByteArray> &options, const AVSettings &s)
{
    // ffmpeg refuses filters for a copied stream and ignores the rates.
    if (s.audioCodec != audioCopy) {
        addOption(options, "-af", audioFilters(s));
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
    const QByteArray *known = catalogueText(containerExtensions, container);
    const QByteArray extension = known ? *known : sourceExtension;
    const QByteArray provisional =
        directory + '/' + fittedBaseName(outputNamePrefix, baseName, extension) + extension;

    // A backslash is an ordinary file-name byte outside Windows.
#ifdef Q_OS_WIN
    const int split = std::max(provisional.lastIndexOf('/'), provisional.lastIndexOf('\\'));
#else
    const int split = provisional.lastIndexOf('/');
#endif
    return provisional.left(split) + '/' + outputNamePrefix + provisional.mid(split + 1);
}
