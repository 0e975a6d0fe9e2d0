#pragma once

#include <QByteArray>

// Seconds of an "hh:mm:ss" text (zero-terminated): each field read like atoi
// at offsets 0, 3 and 6, the fraction ignored. -1 for a missing text or one
// shorter than 8 bytes.
int parseClock(const char *text);

// Turns the transcoder's output, read by read, into the source length, the
// position, signs of real work and the user's error lines.
class OutputParser final
{
public:
    // Back to the state of a new job.
    void reset();

    // One read of output (a NUL ends its text). Only whole lines are looked
    // at: the piece after the last '\r' or '\n' waits for the next read, so a
    // marker is found wherever the reads cut it. Returns the progress bar's
    // new value (1 to 100), or -1 when the bar stays as it is.
    int processRead(const char *data, int size);

    // End of output: looks at the piece still waiting. Returns like
    // processRead.
    int flush();

    // Done (true) or error. Known error lines decide first; otherwise a clean
    // exit after signs of work is done, and anything else adds "模糊信息".
    bool verdict(bool exitedCleanly);

    int durationSeconds = 0;
    int positionSeconds = 0;
    bool progressSeen = false;
    QByteArray errorText;

private:
    int processChunk(const char *text);
    static bool laterPositionSeen(const char *text);

    QByteArray pending;
};
