// Feeds arbitrary transcoder output to OutputParser in reads of arbitrary
// sizes, as the poll does, then ends the job; parseClock gets every read as
// a zero-terminated text. The sizes come from the end of the input, the
// bytes of the reads from its front, so a recorded log is a good seed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <QByteArray>
#include <QList>

#include "outputparser.h"

namespace {

// The poll reads at most this many bytes at a time; a line this long is
// looked at without its end.
constexpr int maxRead = 8191;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkBarValue(int value)
{
    check(value == -1 || (value >= 1 && value <= 100));
}

std::set<QByteArray> messages(const QByteArray &errorText)
{
    const QList<QByteArray> lines = errorText.split('\n');
    return {lines.begin(), lines.end()};
}

// Lines are cut only at their ends: no NUL (which ends a read's text) and no
// line as long as a read.
bool cutOnlyAtLineEnds(const std::string &text)
{
    if (text.find('\0') != std::string::npos)
        return false;
    std::size_t run = 0;
    for (const char c : text) {
        run = (c == '\n' || c == '\r') ? 0 : run + 1;
        if (run >= static_cast<std::size_t>(maxRead))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool exitedCleanly = input.ConsumeBool();
    const bool outputWritten = input.ConsumeBool();
    OutputParser parser;
    std::string whole;
    while (input.remaining_bytes() > 0) {
        const int wanted = input.ConsumeIntegralInRange<int>(1, maxRead);
        // Exactly as long as the read, so a look past its end is caught.
        const std::vector<char> read = input.ConsumeBytes<char>(static_cast<std::size_t>(wanted));
        if (read.empty())
            break;
        checkBarValue(parser.processRead(read.data(), static_cast<int>(read.size())));
        const std::string text(read.begin(), read.end());
        const int seconds = parseClock(text.c_str());
        check(seconds >= -1 || text.find('-') != std::string::npos);
        whole += text;
    }
    checkBarValue(parser.flush());
    check(parser.flush() == -1);

    // However the reads cut the output, the same error lines are found as
    // in one read of all of it.
    if (cutOnlyAtLineEnds(whole)) {
        OutputParser oneRead;
        if (!whole.empty())
            oneRead.processRead(whole.data(), static_cast<int>(whole.size()));
        oneRead.flush();
        check(messages(oneRead.reasons) == messages(parser.reasons));
    }

    const bool done = parser.verdict(exitedCleanly, outputWritten);
    check(done == parser.errorText.isEmpty());
    check(done || parser.errorText.endsWith('\n'));
    // What ffmpeg could not do with the output fails a job whatever its exit.
    check(done == (exitedCleanly && outputWritten && !parser.outputFailed));
    // A job that is done tells the user of each fault of its source.
    check(done ? parser.reasons.isEmpty() || !parser.warningText.isEmpty()
               : parser.warningText.isEmpty());
    return 0;
}
