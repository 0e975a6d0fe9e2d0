// A transcoder that does nothing but talk: a length line, then BYTES bytes of
// progress lines of LINE bytes each on its standard error, then it writes a
// small OUTPUT file and exits 0. The lines are made once and written in large
// blocks, so the reader is what a run measures, not the writer.
// Usage: chatty_writer BYTES LINE OUTPUT   (the job passes OUTPUT last)
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int durationSeconds = 100;
constexpr int linesPerBlock = 4096;

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// One progress line of exactly `length` bytes, '\n' included; its position
// runs from 0 to the length line's duration over a block.
std::string progressLine(int index, size_t length)
{
    const int centis = int(long(index) * durationSeconds * 100 / linesPerBlock);
    char text[160];
    std::snprintf(text, sizeof text,
                  "frame=%6d fps= 25 q=28.0 size=%8dkB time=00:%02d:%02d.%02d "
                  "bitrate= 1234.5kbits/s speed=1.00x",
                  index, index * 4, centis / 6000, centis / 100 % 60, centis % 100);
    std::string line(text);
    line.resize(length - 1, ' ');
    return line + '\n';
}

std::string block(size_t lineLength)
{
    std::string lines;
    lines.reserve(lineLength * linesPerBlock);
    for (int i = 0; i < linesPerBlock; ++i)
        lines += progressLine(i, lineLength);
    return lines;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: chatty_writer BYTES LINE OUTPUT\n");
        return 2;
    }
    const long long bytes = std::atoll(argv[1]);
    const size_t lineLength = size_t(std::atoi(argv[2]));
    if (bytes < 0 || lineLength < 100)
        return 2;
    const std::string lines = block(lineLength);
    const char header[] = "  Duration: 00:01:40.00, start: 0.000000, bitrate: 1234 kb/s\n";
    if (!writeAll(STDERR_FILENO, header, std::strlen(header)))
        return 1;
    for (long long left = bytes; left > 0;) {
        const size_t size = size_t(std::min<long long>(left, (long long)lines.size()));
        if (!writeAll(STDERR_FILENO, lines.data(), size))
            return 1;
        left -= (long long)size;
    }
    FILE *output = std::fopen(argv[argc - 1], "wb");
    if (!output)
        return 1;
    std::fputs("converted", output);
    return std::fclose(output) == 0 ? 0 : 1;
}
