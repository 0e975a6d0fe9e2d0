#pragma once

#include <QtGlobal>

// Media seconds of one kind of work in a batch, and whether a job of that
// kind is converting.
struct BatchWork
{
    double total = 0;
    double done = 0;
    bool active = false;
};

// A batch's share done and the time left, from the media seconds it holds
// and has converted. Encodes and copies are measured apart, since a copy
// runs tens of times faster than an encode: each kind's speed (media
// seconds per second of its work) is taken from one move of its work done
// to the next, from the first move on (a job's start-up before it is no
// measure of the batch), only while a job of that kind converts: the
// average over the run for its first half minute, then a moving average of
// about half a minute, so that a batch whose files change in kind is
// followed without every job's start and end shaking the figure. Nothing
// moving for far longer than the last move took (a hung disk, a stopped
// transcoder) is a stall: no figure is shown, and the stall never counts in
// the speed. Copies not measured yet count at a copy's usual speed against
// the encodes measured.
class BatchEstimate final
{
public:
    void reset();
    // `total` and `done` in media seconds of one kind of work (encodes), at
    // `activeMs` milliseconds of work since the run started (time paused
    // left out).
    void update(double total, double done, qint64 activeMs);
    void update(const BatchWork &encodes, const BatchWork &copies, qint64 activeMs);

    double share() const;
    // -1 until the batch has worked 10 s or done 5 % and the speeds are
    // known, during a stall, and for a figure beyond 100 hours. Between two
    // moves it counts down with the clock.
    qint64 secondsLeft() const;

private:
    // One kind of work and its speed, on a clock that runs only while a job
    // of the kind converts.
    struct Lane
    {
        void update(const BatchWork &work, qint64 elapsedMs);
        bool stalled() const;
        double left() const { return totalSeconds - doneSeconds; }

        double totalSeconds = 0;
        double doneSeconds = 0;
        bool active = false;
        qint64 clockMs = 0;
        // The work done at the last move, and when it moved.
        double lastDone = 0;
        qint64 lastMoveMs = -1;
        // How long the last move counted in the speed took, and all of them.
        qint64 lastStepMs = 0;
        qint64 measuredMs = 0;
        double speed = 0;
    };

    Lane encoding;
    Lane copying;
    qint64 nowMs = 0;
};
