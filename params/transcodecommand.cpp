#include "transcodecommand.h"

#include <algorithm>
#include <cstring>

#include "catalogue.h"
#include "outputname.h"

namespace {

void addOption(QList<QByteArray> &options, const QByteArray &name, const QByteArray &value)
{
    options << name << value;
}

// An option for the stream `stream` names ("v:0", "a:1"); without one, for
// every stream of `type`, as the command without maps has it.
QByteArray typed(const char *option, const QByteArray &stream, const char *type)
{
    return QByteArray(option) + ':' + (stream.isEmpty() ? QByteArray(type) : stream);
}

QByteArray scoped(const char *option, const QByteArray &stream)
{
    return stream.isEmpty() ? QByteArray(option) : QByteArray(option) + ':' + stream;
}

QByteArray filterOption(const QByteArray &stream, const char *plain)
{
    return stream.isEmpty() ? QByteArray(plain) : "-filter:" + stream;
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

// Only frames flagged interlaced are touched, each into one frame, so the
// rate stays the source's.
const QByteArray deinterlace = "bwdif=mode=send_frame:deint=interlaced";
// Decoders refuse the 4:2:2 and 4:4:4 profiles x264 and x265 would pick.
const QByteArray playableFormat = "format=yuv420p";

QByteArray fitting(const AVSettings &s)
{
    if (const QByteArray *box = catalogueText(resolutions, s.resolution))
        return boxScale(*box) + ",setsar=1";
    // An unknown pixel shape counts as square, so that the scale can keep
    // the displayed shape in the pixel shape when it evens an odd side.
    return "setsar=sar:max=1000,scale=2*round(iw/2):2*round(ih/2)";
}

// A byte string as one value of a filter's option, then as part of a
// filter graph: each level takes a backslash before any byte as that byte,
// so no quote, colon, comma, bracket, semicolon or space in a file name can
// end the value or the filter.
QByteArray escaped(const QByteArray &text, const char *special)
{
    QByteArray result;
    for (const char c : text) {
        if (std::strchr(special, c) || c == ' ' || c == '\t' || c == '\n' || c == '\r')
            result += '\\';
        result += c;
    }
    return result;
}

QByteArray subtitlesFilter(const QByteArray &source, int ordinal)
{
    const QByteArray value = escaped(escaped(source, "\\':="), "\\'[],;");
    return "subtitles=filename=" + value + ":si=" + QByteArray::number(ordinal);
}

void addEncodingOptions(QList<QByteArray> &options, const AVSettings &s, const QByteArray &stream,
                        const QByteArray &filters, const QByteArray &encoder)
{
    if (!filters.isEmpty())
        addOption(options, filterOption(stream, "-vf"), filters);

    // Only the two encoders that take a CRF get one; it then replaces the bitrate.
    const bool takesCrf = encoder == "libx264" || encoder == "libx265";
    if (takesCrf && s.crf != -1)
        addOption(options, scoped("-crf", stream), QByteArray::number(s.crf));
    else if (s.videoBitrate != -1)
        addOption(options, typed("-b", stream, "v"), QByteArray::number(s.videoBitrate) + 'k');

    // A ceiling: -r would pad a slower source with copies of its frames.
    if (s.frameRate != -1)
        addOption(options, scoped("-fpsmax", stream), QByteArray::number(s.frameRate));
}

// `filters` is the picture's chain, empty when a graph of its own feeds it.
void addVideoOptions(QList<QByteArray> &options, const AVSettings &s, const QByteArray &stream,
                     const QByteArray &filters, const QByteArray &encoder)
{
    // A copied stream keeps its size, bitrate and timing: ffmpeg refuses
    // filters for it, and a rate would only relabel its frames (too fast or
    // out of order).
    if (encoder != "copy")
        addEncodingOptions(options, s, stream, filters, encoder);
    if (!encoder.isEmpty())
        addOption(options, typed("-c", stream, "v"), encoder);
    // ffmpeg 5.1 writes HEVC into .avi without a FourCC, and every reader
    // then takes it for raw video; into .mp4 it writes hev1, which Apple's
    // players refuse.
    if (s.container == ContainerAvi && encoder == "libx265")
        addOption(options, typed("-tag", stream, "v"), "HEVC");
    else if (s.container == ContainerMp4 && encoder == "libx265")
        addOption(options, typed("-tag", stream, "v"), "hvc1");
}

// FLV labels MP3 only at 44100, 22050 and 11025 Hz (48000 it writes as
// 44100, the frames carry the real rate); ffmpeg refuses any other, so the
// next lower rate it takes is used.
int sampleRateFor(const AVSettings &s, const QByteArray &encoder)
{
    if (s.container != ContainerFlv || encoder != "mp3")
        return s.sampleRate;
    for (const int rate : {48000, 44100, 22050, 11025}) {
        if (s.sampleRate >= rate)
            return rate;
    }
    return s.sampleRate;
}

QByteArray audioFilters(const QByteArray &encoder)
{
    // Samples are dropped or padded wherever the source's timestamps and
    // samples part by more than 0.1 s, so that the streams end together;
    // a source whose timestamps fit its samples passes unchanged.
    QByteArray chain = "aresample=async=1";
    // Both take at most two channels, and WMA declares no layout that ffmpeg
    // could downmix to.
    if (encoder == "mp3" || encoder == "wmav2")
        chain += ",aformat=channel_layouts=stereo|mono";
    // WMA takes at most 48 kHz and declares no rates either.
    if (encoder == "wmav2")
        chain += ":sample_rates=48000|44100|32000|24000|22050|16000|12000|11025|8000";
    return chain;
}

void addAudioOptions(QList<QByteArray> &options, const AVSettings &s, const QByteArray &stream,
                     const QByteArray &encoder)
{
    // ffmpeg refuses filters for a copied stream and ignores the rates.
    if (encoder != "copy") {
        addOption(options, filterOption(stream, "-af"), audioFilters(encoder));
        if (s.sampleRate != -1)
            addOption(options, scoped("-ar", stream), QByteArray::number(sampleRateFor(s, encoder)));
        if (s.audioBitrate != -1)
            addOption(options, typed("-b", stream, "a"), QByteArray::number(s.audioBitrate) + 'k');
    }
    if (!encoder.isEmpty())
        addOption(options, typed("-c", stream, "a"), encoder);
}

// ffmpeg's own choice of streams: the source could not be read.
QList<QByteArray> selectedStreamOptions(const AVSettings &s)
{
    QList<QByteArray> options;
    addVideoOptions(options, s, QByteArray(), deinterlace + ',' + fitting(s) + ',' + playableFormat,
                    catalogueValue(videoCodecIds, s.videoCodec));
    addAudioOptions(options, s, QByteArray(), catalogueValue(audioCodecIds, s.audioCodec));
    return options;
}

QByteArray disposition(const PlannedStream &stream)
{
    if (stream.isDefault && stream.forced)
        return "default+forced";
    if (stream.isDefault)
        return "default";
    return stream.forced ? "forced" : "0";
}

// The picture: its maps, and its chain, or a graph that draws a bitmap
// subtitle over it before it is scaled.
void addPicture(QList<QByteArray> &maps, QList<QByteArray> &options, const AVSettings &s,
                const StreamPlan &plan, const PlannedStream &picture, const QByteArray &source)
{
    const QByteArray input = "0:" + QByteArray::number(picture.source);
    if (picture.copies() || plan.burned < 0 || !plan.burnedBitmap) {
        addOption(maps, "-map", input);
        QByteArray chain = deinterlace + ',' + fitting(s);
        if (plan.burned >= 0)
            chain += ',' + subtitlesFilter(source, plan.burnedOrdinal);
        addVideoOptions(options, s, "v:0", chain + ',' + playableFormat, picture.encoder);
        if (!picture.tag.isEmpty())
            addOption(options, "-tag:v:0", picture.tag);
        if (!picture.bitstreamFilter.isEmpty())
            addOption(options, "-bsf:v:0", picture.bitstreamFilter);
        return;
    }
    const QByteArray graph = '[' + input + ']' + deinterlace + "[picture];[picture][0:"
                             + QByteArray::number(plan.burned) + "]overlay[drawn];[drawn]" + fitting(s)
                             + ',' + playableFormat + "[shown]";
    addOption(maps, "-filter_complex", graph);
    addOption(maps, "-map", "[shown]");
    addVideoOptions(options, s, "v:0", QByteArray(), picture.encoder);
}

// Every stream named, each with its own options, and what the file says of
// itself.
QList<QByteArray> plannedStreamOptions(const AVSettings &s, const StreamPlan &plan,
                                       const QByteArray &source)
{
    QList<QByteArray> maps;
    QList<QByteArray> options;
    int videos = 0;
    int audios = 0;
    int subtitles = 0;
    for (const PlannedStream &stream : plan.streams) {
        if (stream.role == PlannedPicture) {
            addPicture(maps, options, s, plan, stream, source);
            ++videos;
            continue;
        }
        addOption(maps, "-map", "0:" + QByteArray::number(stream.source));
        if (stream.role == PlannedAudio) {
            const QByteArray name = "a:" + QByteArray::number(audios++);
            addAudioOptions(options, s, name, stream.encoder);
            addOption(options, "-disposition:" + name, disposition(stream));
            // Players of .mp4 show a track's handler name.
            if (s.container == ContainerMp4 && !stream.title.isEmpty())
                addOption(options, "-metadata:s:" + name, "handler_name=" + stream.title.toUtf8());
        } else if (stream.role == PlannedSubtitle) {
            const QByteArray name = "s:" + QByteArray::number(subtitles++);
            addOption(options, "-c:" + name, stream.encoder);
            addOption(options, "-disposition:" + name, disposition(stream));
            if (!stream.title.isEmpty())
                addOption(options, "-metadata:s:" + name, "handler_name=" + stream.title.toUtf8());
        } else if (stream.role == PlannedCover) {
            const QByteArray name = "v:" + QByteArray::number(videos++);
            addOption(options, "-c:" + name, "copy");
            addOption(options, "-disposition:" + name, "attached_pic");
        }
    }
    addOption(options, "-map_metadata", "0");
    if (plan.chapters)
        addOption(options, "-map_chapters", "0");
    if (!plan.creationTime.isEmpty())
        addOption(options, "-metadata", "creation_time=" + plan.creationTime);
    // .avi keeps the day only, as its recording date.
    if (s.container == ContainerAvi && plan.creationTime.size() >= 10)
        addOption(options, "-metadata", "date=" + plan.creationTime.left(10));
    return maps + options;
}

// The options between the input and the output path, each option name
// followed by its value, in the transcoder's expected order.
QList<QByteArray> streamOptions(const AVSettings &s, const MediaInfo &media, const QByteArray &source)
{
    const StreamPlan plan = planStreams(s, media);
    return plan.explicitMaps ? plannedStreamOptions(s, plan, source) : selectedStreamOptions(s);
}

// Paths, and any other value with a space (a track's title), in double
// quotes.
QByteArray quoted(const QByteArray &piece)
{
    return '"' + piece + '"';
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

TranscodeCommand::TranscodeCommand(const AVSettings &settings, const MediaInfo &media)
    : program(transcoderProgramName()), globalOption("-y"), settings(settings), media(media)
{
}

StreamPlan TranscodeCommand::plan() const
{
    return planStreams(planned(), media);
}

AVSettings TranscodeCommand::planned() const
{
    AVSettings chosen = settings;
    chosen.copyIfFits = chosen.copyIfFits && !copyRefused;
    return chosen;
}

QByteArray TranscodeCommand::commandLine() const
{
    QList<QByteArray> pieces;
    pieces << program << globalOption << "-i" << quoted(inputPath);
    for (const QByteArray &option : streamOptions(planned(), media, inputPath))
        pieces << (option.contains(' ') ? quoted(option) : option);
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
    vector << streamOptions(planned(), media, inputPath);
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
