#include "outputparser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

const char diskFull[] = "输出目录磁盘空间不足！";
const char pathMissing[] = "文件或文件夹不存在！";
const char folderMissing[] = "输出文件夹不存在！";
const char accessDenied[] = "没有访问权限！";
const char folderDenied[] = "输出文件夹没有写入权限！";
const char nameTooLong[] = "文件名太长！";
const char outputNameTooLong[] = "输出文件名太长！";
const char sameAsSource[] = "输出文件与源文件相同！";
const char copiedStreamRefused[] = "输出格式无法容纳复制的音视频流，请选择其他编码！";
const char sizeRefused[] = "所选视频编码不接受源文件的画面尺寸（宽和高须为偶数），请选择其他分辨率！";
const char unrecognisedInput[] = "未识别的输入文件格式！";
const char damagedFrame[] = "帧解码错误-Error";

struct ErrorRow
{
    const char *trigger;
    const char *message;
    // A line holding this as well belongs to another row.
    const char *unless = nullptr;
};

// What a decoder says of a damaged frame; its cause may read like any other
// error ("Invalid data found when processing input").
const char decodeError[] = "Error while decoding stream";

// Searched in this order in ffmpeg's own lines; the first four are the
// converter's oldest messages, the others what ffmpeg 5.1 prints for the
// failures users meet.
const ErrorRow errorTable[] = {
    {"No such file or directory", pathMissing},
    {"Invalid data found when processing input", unrecognisedInput, decodeError},
    {"Error opening filters", "过滤器内部错误！"},
    {"frame decoding failed:", damagedFrame},
    // ffmpeg 5.1's own line for a damaged frame; the AC-3 decoder says nothing
    // else ("Error number -16976906 occurred").
    {decodeError, damagedFrame},
    {"No space left on device", diskFull},
    {"Permission denied", accessDenied},
    {"File name too long", nameTooLong},
    {"is not supported in the official FLV", "FLV 格式不支持所选的视频编码！"},
    {"FLV does not support sample rate", "FLV 格式不支持所选的音频采样率！"},
    {"Could not find tag for codec", copiedStreamRefused},
    // H.264 copied out of .mkv into .avi: the writer wants start codes.
    {"H.264 bitstream malformed, no startcode found", copiedStreamRefused},
    {"cannot edit existing files in-place", sameAsSource},
    // "Output file #0 does not contain any stream": nothing to map.
    {"does not contain any stream", "源文件中没有可转换的音视频流！"},
    // An odd picture size: libx264 ("height not divisible by 2 (160x121)"),
    // wmv2 ("width must be multiple of 2"), x265.
    {"not divisible by 2", sizeRefused},
    {"must be multiple of 2", sizeRefused},
    {"must be an integer multiple of the specified chroma subsampling", sizeRefused},
    // wmav2: "too many channels: got 6, need 2 or fewer".
    {"too many channels", "源文件的声道太多，所选音频编码无法处理，请选择其他音频编码！"},
};

// Lines about the output: what ffmpeg could not do with the file it writes.
const ErrorRow outputTable[] = {
    {"No such file or directory", folderMissing},
    {"Permission denied", folderDenied},
    {"File name too long", outputNameTooLong},
    {"No space left on device", diskFull},
};

// Parts of a line that make it read like an error, for the fallback reason.
const char *const errorWords[] = {
    "rror", "ailed", "nvalid", "annot", "not supported", "ould not", "nable to",
    "denied", "not found", "No such", "too long", "not compatible",
};

// What the writer of the output could not take; never the source's fault.
const char writeFailure[] = "av_interleaved_write_frame(): ";
// "Error initializing output stream 0:1 -- " repeats a cause printed on an
// earlier line, or none at all.
const char streamNotInitialised[] = "Error initializing output stream";
const char headerNotWritten[] = "Could not write header for output file";
// "[mp3 @ 0x..] Estimating duration from bitrate, this may be inaccurate".
const char durationGuessed[] = "Estimating duration from bitrate";

// What no other command avoids; the job finds the first two itself too.
const char *const surroundingReasons[] = {
    folderMissing, outputNameTooLong, pathMissing, accessDenied, folderDenied, nameTooLong,
    diskFull,      sameAsSource,
};

const char vagueError[] = "模糊信息";
const char finalFailure[] = "Conversion failed!";
const char damagedWarning[] = "源文件有损坏的帧，已跳过";

// A line longer than this without a line end is looked at anyway, so a
// child that never ends its lines cannot grow the waiting piece without bound.
constexpr int maxPending = 8191;

bool readsLikeError(const QByteArray &text)
{
    for (const char *word : errorWords) {
        if (text.contains(word))
            return true;
    }
    return false;
}

bool isCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// atoi without its undefined overflow: the value saturates at the int range.
std::int64_t leadingNumber(const char *text)
{
    while (isCSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = std::min<std::int64_t>(value * 10 + (*text - '0'), INT32_MAX);
    return negative ? -value : value;
}

// "hh:mm:ss[.fraction]" in seconds; -1 for anything else ("N/A", a negative
// time).
double parseExactClock(const char *text)
{
    int fields[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (*text < '0' || *text > '9')
            return -1;
        for (int digits = 0; *text >= '0' && *text <= '9'; ++text) {
            if (++digits > 9)
                return -1;
            fields[i] = fields[i] * 10 + (*text - '0');
        }
        if (i < 2 && *text++ != ':')
            return -1;
    }
    double seconds = fields[0] * 3600.0 + fields[1] * 60.0 + fields[2];
    if (*text == '.') {
        double unit = 0.1;
        for (++text; *text >= '0' && *text <= '9'; ++text, unit /= 10)
            seconds += (*text - '0') * unit;
    }
    return seconds;
}

// Rounded to the tenth a warning shows.
QByteArray tenths(double seconds)
{
    return QByteArray::number(seconds, 'f', 1);
}

} // namespace

bool lengthsDisagree(double seconds, double referenceSeconds)
{
    const double difference = std::abs(seconds - referenceSeconds);
    return difference > 0.05 * referenceSeconds && difference > 0.5;
}

int parseClock(const char *text)
{
    if (!text || strnlen(text, 8) < 8)
        return -1;
    const std::int64_t seconds =
        leadingNumber(text) * 3600 + leadingNumber(text + 3) * 60 + leadingNumber(text + 6);
    return static_cast<int>(std::clamp<std::int64_t>(seconds, INT32_MIN, INT32_MAX));
}

void OutputParser::reset(const QByteArray &inputPath, const QByteArray &outputPath)
{
    durationSeconds = 0;
    positionSeconds = 0;
    progressSeen = false;
    outOfSpace = false;
    outputFailed = false;
    sourceSeconds = -1;
    lastPositionSeconds = -1;
    reasons.clear();
    errorText.clear();
    warningText.clear();
    lastErrorLine.clear();
    pending.clear();
    sourcePath = inputPath;
    targetPath = outputPath;
    metadataIndent = -1;
    headerRefused = false;
    streamCopied = false;
    copyNamed = false;
    durationEstimated = false;
}

int OutputParser::processRead(const char *data, int size)
{
    if (!data || size < 1)
        return -1;
    pending.append(data, static_cast<int>(strnlen(data, static_cast<size_t>(size))));
    int cut = std::max(pending.lastIndexOf('\n'), pending.lastIndexOf('\r'));
    if (cut < 0) {
        if (pending.size() < maxPending)
            return -1;
        cut = pending.size() - 1;
    }
    const QByteArray chunk = pending.left(cut + 1);
    pending.remove(0, cut + 1);
    return processChunk(chunk);
}

int OutputParser::flush()
{
    if (pending.isEmpty())
        return -1;
    const QByteArray chunk = pending;
    pending.clear();
    return processChunk(chunk);
}

void OutputParser::addReason(const char *message)
{
    const QByteArray line = message + QByteArray("\n");
    if (reasons.startsWith(line) || reasons.contains('\n' + line))
        return;
    reasons += line;
}

bool OutputParser::verdict(bool exitedCleanly, bool outputWritten)
{
    if (exitedCleanly && outputWritten && !outputFailed) {
        errorText.clear();
        warningText = userWarnings();
        return true;
    }
    warningText.clear();
    errorText = reasons;
    if (errorText.isEmpty()) {
        errorText = vagueError;
        if (!lastErrorLine.isEmpty())
            errorText += "：" + lastErrorLine;
        errorText += '\n';
    }
    return false;
}

void OutputParser::copiedStreamsUnreadable()
{
    addReason(copiedStreamRefused);
    verdict(false, false);
}

bool OutputParser::surroundingsFailed() const
{
    for (const QByteArray &reason : reasons.split('\n')) {
        for (const char *surrounding : surroundingReasons) {
            if (reason == surrounding)
                return true;
        }
    }
    return outOfSpace;
}

double OutputParser::expectedOutputSeconds() const
{
    if (sourceEndedEarly() || sourceSeconds < 0)
        return lastPositionSeconds;
    return sourceSeconds;
}

bool OutputParser::sourceEndedEarly() const
{
    return sourceSeconds > 0 && lastPositionSeconds >= 0 && lastPositionSeconds < sourceSeconds
           && lengthsDisagree(lastPositionSeconds, sourceSeconds);
}

// Damaged frames are one line however ffmpeg put them; any other reason of
// a job that is done stays as it is.
QByteArray OutputParser::userWarnings() const
{
    QByteArray warnings;
    bool damaged = false;
    for (const QByteArray &reason : reasons.split('\n')) {
        if (reason.isEmpty())
            continue;
        if (reason == unrecognisedInput || reason == damagedFrame) {
            if (!damaged)
                warnings += damagedWarning + QByteArray("\n");
            damaged = true;
        } else {
            warnings += reason + '\n';
        }
    }
    if (sourceEndedEarly()) {
        warnings += "源文件不完整：只转换了前 " + tenths(lastPositionSeconds) + " 秒（共 "
                    + tenths(sourceSeconds) + " 秒）\n";
    }
    return warnings;
}

bool OutputParser::isMetadata(const QByteArray &line)
{
    int indent = 0;
    while (indent < line.size() && line.at(indent) == ' ')
        ++indent;
    if (metadataIndent >= 0) {
        if (indent > metadataIndent)
            return true;
        metadataIndent = -1;
    }
    if (line.mid(indent) == "Metadata:") {
        metadataIndent = indent;
        return true;
    }
    return false;
}

void OutputParser::noteErrorLine(const QByteArray &line)
{
    if (line.startsWith(' ') || line.startsWith("frame=") || line.startsWith("size="))
        return;
    QByteArray text = line.trimmed();
    // "[libx264 @ 0x55d0c] ..." names the part of ffmpeg that speaks.
    if (text.startsWith('[')) {
        const int close = text.indexOf("] ");
        if (close > 0)
            text = text.mid(close + 2);
    }
    if (text.isEmpty() || text == finalFailure)
        return;
    // Its cause, when it has one, was printed before it.
    if (text.startsWith(streamNotInitialised) && !lastErrorLine.isEmpty())
        return;
    if (readsLikeError(text))
        lastErrorLine = text.left(maxPending);
}

void OutputParser::findReasons(const QList<QByteArray> &generalLines,
                               const QList<QByteArray> &outputLines)
{
    auto fire = [this](const ErrorRow &row, const QList<QByteArray> &lines) {
        for (const QByteArray &line : lines) {
            if (line.contains(row.trigger) && !(row.unless && line.contains(row.unless))) {
                addReason(row.message);
                if (row.message == diskFull)
                    outOfSpace = true;
                if (row.message == copiedStreamRefused)
                    copyNamed = true;
                return;
            }
        }
    };
    for (const ErrorRow &row : errorTable)
        fire(row, generalLines);
    for (const ErrorRow &row : outputTable)
        fire(row, outputLines);
    if (!outputLines.isEmpty())
        outputFailed = true;

    for (const QByteArray &line : generalLines) {
        headerRefused = headerRefused || line.contains(headerNotWritten);
        // "  Stream #0:1 -> #0:1 (copy)" in the stream mapping.
        streamCopied = streamCopied || (line.startsWith("  Stream #") && line.endsWith("(copy)"));
        durationEstimated = durationEstimated || line.contains(durationGuessed);
    }
    // A refused header is the copy's fault unless a line said why ("Codec
    // mpeg4 is not supported in the official FLV" while the sound is
    // copied). Either may come first, in any read, and the reasons found
    // are the same however the reads cut the output.
    if (!headerRefused || !streamCopied)
        return;
    const QByteArray copyLine = QByteArray(copiedStreamRefused) + '\n';
    if (reasons.isEmpty() || reasons == copyLine)
        addReason(copiedStreamRefused);
    else if (!copyNamed)
        reasons.replace(copyLine, QByteArray());
}

bool OutputParser::laterPositionSeen(const char *text)
{
    for (const char *time = std::strstr(text, "time="); time; time = std::strstr(time + 5, "time=")) {
        if (parseClock(time + 5) > 0)
            return true;
    }
    return false;
}

// The last position of the text, as the progress shows it; a piece of text
// whose value is not a time ("N/A", negative) leaves the last one.
void OutputParser::notePositions(const char *text)
{
    for (const char *time = std::strstr(text, "time="); time; time = std::strstr(time + 5, "time=")) {
        const double seconds = parseExactClock(time + 5);
        if (seconds >= 0)
            lastPositionSeconds = seconds;
    }
}

int OutputParser::processChunk(const QByteArray &chunk)
{
    // The lines ffmpeg speaks in; the rest are echoed metadata and the
    // headers that carry file names.
    QByteArray visible;
    QList<QByteArray> generalLines;
    QList<QByteArray> outputLines;
    const QByteArray inputPrefix = sourcePath.isEmpty() ? QByteArray() : sourcePath + ": ";
    const QByteArray outputPrefix = targetPath.isEmpty() ? QByteArray() : targetPath + ": ";
    const QByteArray trailerPrefix =
        targetPath.isEmpty() ? QByteArray() : "Error writing trailer of " + outputPrefix;
    const QByteArray closePrefix =
        targetPath.isEmpty() ? QByteArray() : "Error closing file " + outputPrefix;
    int start = 0;
    while (start < chunk.size()) {
        int end = start;
        while (end < chunk.size() && chunk.at(end) != '\n' && chunk.at(end) != '\r')
            ++end;
        const QByteArray line = chunk.mid(start, end - start);
        const QByteArray withEnd = chunk.mid(start, end + 1 - start);
        start = end + 1;
        if (line.isEmpty() || isMetadata(line))
            continue;
        if (line.startsWith("Input #") || line.startsWith("Output #"))
            continue;
        visible += withEnd;
        noteErrorLine(line);
        if (!outputPrefix.isEmpty() && line.startsWith(outputPrefix))
            outputLines << line.mid(outputPrefix.size());
        else if (line.startsWith(writeFailure))
            outputLines << line.mid(int(sizeof writeFailure) - 1);
        else if (!trailerPrefix.isEmpty() && line.startsWith(trailerPrefix))
            outputLines << line.mid(trailerPrefix.size());
        else if (!closePrefix.isEmpty() && line.startsWith(closePrefix))
            outputLines << line.mid(closePrefix.size());
        // Not a warning that only names it ("Codec AVOption b ... specified
        // for output file #0 (...) has not been used for any stream").
        else if (!targetPath.isEmpty() && line.contains(targetPath)
                 && readsLikeError(QByteArray(line).replace(targetPath, QByteArray())))
            outputLines << line;
        else if (!inputPrefix.isEmpty() && line.startsWith(inputPrefix))
            generalLines << line.mid(inputPrefix.size());
        else
            generalLines << line;
    }
    findReasons(generalLines, outputLines);

    const char *text = visible.constData();
    if (std::strstr(text, "kb/s:"))
        progressSeen = true;

    if (const char *duration = std::strstr(text, "Duration:")) {
        // The value starts after the marker and its one space.
        const bool cut = strnlen(duration, 10) < 10;
        durationSeconds = cut ? -1 : parseClock(duration + 10);
        sourceSeconds = cut || durationEstimated ? -1 : parseExactClock(duration + 10);
    }
    const char *time = std::strstr(text, "time=");
    if (!time)
        return -1;
    notePositions(time);
    positionSeconds = parseClock(time + 5);
    if (positionSeconds <= 0 || durationSeconds <= 0) {
        // The bar follows the first position of a read, but a later one still
        // proves work: a short conversion whose encoder prints no "kb/s:" may
        // write its first and last progress lines into the same read.
        if (durationSeconds > 0 && laterPositionSeen(time + 5))
            progressSeen = true;
        return -1;
    }

    progressSeen = true;
    const std::int64_t percent =
        std::max<std::int64_t>(std::int64_t(positionSeconds) * 100 / durationSeconds, 1);
    return percent <= 100 ? static_cast<int>(percent) : -1;
}
