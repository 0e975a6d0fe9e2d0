#include "outputparser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

struct ErrorRow
{
    const char *trigger;
    const char *message;
};

const ErrorRow errorTable[] = {
    {"No such file or directory", "文件或文件夹不存在！"},
    {"Invalid data found when processing input", "未识别的输入文件格式！"},
    {"Error opening filters", "过滤器内部错误！"},
    {"frame decoding failed:", "帧解码错误-Error"},
};

const char vagueError[] = "模糊信息";

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

void OutputParser::reset()
{
    durationSeconds = 0;
    positionSeconds = 0;
    progressSeen = false;
    errorText.clear();
    pending.clear();
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
    return processChunk(chunk.constData());
}

int OutputParser::flush()
{
    if (pending.isEmpty())
        return -1;
    const QByteArray chunk = pending;
    pending.clear();
    return processChunk(chunk.constData());
}

bool OutputParser::verdict(bool exitedCleanly)
{
    if (!errorText.isEmpty())
        return false;
    if (progressSeen && exitedCleanly)
        return true;
    errorText += vagueError;
    errorText += '\n';
    return false;
}

bool OutputParser::laterPositionSeen(const char *text)
{
    for (const char *time = std::strstr(text, "time="); time; time = std::strstr(time + 5, "time=")) {
        if (parseClock(time + 5) > 0)
            return true;
    }
    return false;
}

int OutputParser::processChunk(const char *text)
{
    for (const ErrorRow &row : errorTable) {
        if (std::strstr(text, row.trigger)) {
            errorText += row.message;
            errorText += '\n';
        }
    }
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
