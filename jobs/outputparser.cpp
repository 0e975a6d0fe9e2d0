#include "outputparser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

const char diskFull[] = "输出目录磁盘空间不足！";
const char copiedStreamRefused[] = "输出格式无法容纳复制的音视频流，请选择其他编码！";

struct ErrorRow
{
    const char *trigger;
    const char *message;
};

// Searched in this order in ffmpeg's own lines; the first four are the
// converter's oldest messages, the others what ffmpeg 5.1 prints for the
// failures users meet.
const ErrorRow errorTable[] = {
    {"No such file or directory", "文件或文件夹不存在！"},
    {"Invalid data found when processing input", "未识别的输入文件格式！"},
    {"Error opening filters", "过滤器内部错误！"},
    {"frame decoding failed:", "帧解码错误-Error"},
    // ffmpeg 5.1's own line for a damaged frame; the AC-3 decoder says nothing
    // else ("Error number -16976906 occurred").
    {"Error while decoding stream", "帧解码错误-Error"},
    {"No space left on device", diskFull},
    {"Permission denied", "没有访问权限！"},
    {"File name too long", "文件名太长！"},
    {"is not supported in the official FLV", "FLV 格式不支持所选的视频编码！"},
    {"FLV does not support sample rate", "FLV 格式不支持所选的音频采样率！"},
    {"Could not find tag for codec", copiedStreamRefused},
    // H.264 copied out of .mkv into .avi: the writer wants start codes.
    {"H.264 bitstream malformed, no startcode found", copiedStreamRefused},
    {"cannot edit existing files in-place", "输出文件与源文件相同！"},
};

// Lines that begin with the output path: what ffmpeg could not do with the
// file it writes.
const ErrorRow outputTable[] = {
    {"No such file or directory", "输出文件夹不存在！"},
    {"Permission denied", "输出文件夹没有写入权限！"},
    {"File name too long", "输出文件名太长！"},
    {"No space left on device", diskFull},
};

// Parts of a line that make it read like an error, for the fallback reason.
const char *const errorWords[] = {
    "rror", "ailed", "nvalid", "annot", "not supported", "ould not", "nable to",
    "denied", "not found", "No such", "too long", "not compatible",
};

// What the writer of the output could not take; never the source's fault.
const char writeFailure[] = "av_interleaved_write_frame(): ";

const char vagueError[] = "模糊信息";
const char finalFailure[] = "Conversion failed!";

// A line longer than this without a line end is looked at anyway, so a
// child that never ends its lines cannot grow the waiting piece without bound.
constexpr int maxPending = 8191;

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

} // namespace

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
    reasons.clear();
    errorText.clear();
    warningText.clear();
    lastErrorLine.clear();
    pending.clear();
    sourcePath = inputPath;
    targetPath = outputPath;
    metadataIndent = -1;
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
    reasons += message;
    reasons += '\n';
}

bool OutputParser::verdict(bool exitedCleanly, bool outputWritten)
{
    if (exitedCleanly && outputWritten) {
        errorText.clear();
        warningText = reasons;
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
    for (const char *word : errorWords) {
        if (text.contains(word)) {
            lastErrorLine = text.left(maxPending);
            return;
        }
    }
}

void OutputParser::findReasons(const QList<QByteArray> &generalLines,
                               const QList<QByteArray> &outputLines)
{
    QList<QByteArray> fired;
    auto fire = [this, &fired](const ErrorRow &row, const QList<QByteArray> &lines) {
        // One message once per read, even when two tables know its cause.
        if (fired.contains(QByteArray(row.message)))
            return;
        for (const QByteArray &line : lines) {
            if (line.contains(row.trigger)) {
                fired << row.message;
                addReason(row.message);
                return;
            }
        }
    };
    for (const ErrorRow &row : errorTable)
        fire(row, generalLines);
    for (const ErrorRow &row : outputTable)
        fire(row, outputLines);
    if (fired.contains(QByteArray(diskFull)))
        outOfSpace = true;
}

bool OutputParser::laterPositionSeen(const char *text)
{
    for (const char *time = std::strstr(text, "time="); time; time = std::strstr(time + 5, "time=")) {
        if (parseClock(time + 5) > 0)
            return true;
    }
    return false;
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
        durationSeconds = strnlen(duration, 10) < 10 ? -1 : parseClock(duration + 10);
    }
    const char *time = std::strstr(text, "time=");
    if (!time)
        return -1;
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
