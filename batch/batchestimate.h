#pragma once

#include <QtGlobal>

// A batch's share done and the time left, from the media seconds it holds
// and has converted. The speed (media seconds per second of work) is the
// average over the whole run for its first half minute, then a moving
// average of about half a minute, so that a batch whose files change in
// kind is followed without every job's start and end shaking the figure.
class BatchEstimate final
{
public:
    void reset();
    // `total` and `done` in media seconds, at `activeMs` milliseconds of
    // work since the run started (time paused left out).
    void update(double total, double done, qint64 activeMs);

    double share() const;
    // -1 until the speed is known.
    qint64 secondsLeft() const;

private:
    double totalSeconds = 0;
    double doneSeconds = 0;
    double lastDone = 0;
    qint64 lastMs = 0;
    double speed = 0;
};
