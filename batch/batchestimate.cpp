#include "batchestimate.h"

#include <algorithm>
#include <cmath>

namespace {

// The moving average's reach.
constexpr double horizonMs = 30000;
// The first figure waits for this much work, or this share done.
constexpr qint64 firstEstimateMs = 10000;
constexpr double firstEstimateShare = 0.05;
// Nothing moving for this long, and for this many times the last move's
// time, is a stall. A long file in one job moves by a percent at a time.
constexpr qint64 stallFloorMs = 10000;
constexpr qint64 stallFactor = 3;
// Beyond it a figure says nothing.
constexpr double mostSecondsLeft = 100.0 * 3600;
// A copy ran 30 to 80 times as fast as x264 on the same files; the slow
// end stands in until a copy of the batch has been measured.
constexpr double copyOverEncode = 30;

} // namespace

void BatchEstimate::reset()
{
    *this = BatchEstimate();
}

void BatchEstimate::update(double total, double done, qint64 activeMs)
{
    update(BatchWork{total, done, true}, BatchWork{}, activeMs);
}

void BatchEstimate::update(const BatchWork &encodes, const BatchWork &copies, qint64 activeMs)
{
    const qint64 elapsed = std::max<qint64>(0, activeMs - nowMs);
    nowMs = std::max(nowMs, activeMs);
    encoding.update(encodes, elapsed);
    copying.update(copies, elapsed);
}

void BatchEstimate::Lane::update(const BatchWork &work, qint64 elapsedMs)
{
    active = work.active;
    if (active)
        clockMs += elapsedMs;
    totalSeconds = std::max(work.total, 0.0);
    doneSeconds = std::clamp(work.done, 0.0, totalSeconds);
    if (lastMoveMs < 0 || doneSeconds < lastDone) {
        // The baseline: the first move, or less done than before (a file's
        // length became known, a job went back to waiting, a copy is
        // encoded instead).
        if (lastMoveMs < 0 && doneSeconds > 0)
            lastMoveMs = clockMs;
        lastDone = doneSeconds;
        return;
    }
    const qint64 elapsed = clockMs - lastMoveMs;
    if (doneSeconds == lastDone || elapsed <= 0)
        return;
    if (!stalled()) {
        const double rate = (doneSeconds - lastDone) * 1000.0 / double(elapsed);
        // Weighing each step by its share of the time measured so far gives
        // the plain average until the horizon; after it, older steps fade.
        measuredMs += elapsed;
        const double weight = double(elapsed) / std::min(double(measuredMs), horizonMs);
        speed += (rate - speed) * std::min(weight, 1.0);
        lastStepMs = elapsed;
    }
    lastDone = doneSeconds;
    lastMoveMs = clockMs;
}

bool BatchEstimate::Lane::stalled() const
{
    return speed > 0 && clockMs - lastMoveMs > std::max(stallFloorMs, stallFactor * lastStepMs);
}

double BatchEstimate::share() const
{
    const double total = encoding.totalSeconds + copying.totalSeconds;
    return total > 0 ? (encoding.doneSeconds + copying.doneSeconds) / total : 0;
}

qint64 BatchEstimate::secondsLeft() const
{
    if ((encoding.speed <= 0 && copying.speed <= 0)
        || (nowMs < firstEstimateMs && share() < firstEstimateShare) || encoding.stalled()
        || copying.stalled())
        return -1;
    double seconds = 0;
    for (const Lane *lane : {&encoding, &copying}) {
        if (lane->left() <= 0)
            continue;
        double speed = lane->speed;
        if (speed <= 0 && lane == &copying)
            speed = encoding.speed * copyOverEncode;
        if (speed <= 0)
            return -1;
        const double sinceMove = lane->speed > 0 ? double(lane->clockMs - lane->lastMoveMs) / 1000.0 : 0;
        seconds += std::max(lane->left() / speed - sinceMove, 0.0);
    }
    // Clamped before it is rounded: llround of what does not fit is undefined.
    if (!(seconds < mostSecondsLeft))
        return -1;
    return std::llround(seconds);
}
