#pragma once

#include <QtGlobal>

// A batch's share done and the time left, from the media seconds it holds
// and has converted. The speed (media seconds per second of work) is taken
// from one move of the work done to the next, from the first move on (a
// job's start-up before it is no measure of the batch): the average over
// the run for its first half minute, then a moving average of about half a
// minute, so that a batch whose files change in kind is followed without
// every job's start and end shaking the figure. Nothing moving for far
// longer than the last move took (a hung disk, a stopped transcoder) is a
// stall: no figure is shown, and the stall never counts in the speed.
class BatchEstimate final
{
public:
    void reset();
    // `total` and `done` in media seconds, at `activeMs` milliseconds of
    // work since the run started (time paused left out).
    void update(double total, double done, qint64 activeMs);

    double share() const;
    // -1 until the batch has worked 10 s or done 5 % and the speed is
    // known, during a stall, and for a figure beyond 100 hours. Between two
    // moves it counts down with the clock.
    qint64 secondsLeft() const;

private:
    bool stalledAt(qint64 ms) const;

    double totalSeconds = 0;
    double doneSeconds = 0;
    // The work done at the last move, and when it moved.
    double lastDone = 0;
    qint64 lastMoveMs = -1;
    // How long the last move counted in the speed took, and all of them.
    qint64 lastStepMs = 0;
    qint64 measuredMs = 0;
    qint64 nowMs = 0;
    double speed = 0;
};
