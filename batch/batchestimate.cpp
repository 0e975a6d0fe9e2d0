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

} // namespace

void BatchEstimate::reset()
{
    *this = BatchEstimate();
}

void BatchEstimate::update(double total, double done, qint64 activeMs)
{
    totalSeconds = std::max(total, 0.0);
    doneSeconds = std::clamp(done, 0.0, totalSeconds);
    nowMs = std::max(nowMs, activeMs);
    if (lastMoveMs < 0 || doneSeconds < lastDone) {
        // The baseline: the first move, or less done than before (a file's
        // length became known, a job went back to waiting).
        if (lastMoveMs < 0 && doneSeconds > 0)
            lastMoveMs = activeMs;
        lastDone = doneSeconds;
        return;
    }
    const qint64 elapsed = activeMs - lastMoveMs;
    if (doneSeconds == lastDone || elapsed <= 0)
        return;
    if (!stalledAt(activeMs)) {
        const double rate = (doneSeconds - lastDone) * 1000.0 / double(elapsed);
        // Weighing each step by its share of the time measured so far gives
        // the plain average until the horizon; after it, older steps fade.
        measuredMs += elapsed;
        const double weight = double(elapsed) / std::min(double(measuredMs), horizonMs);
        speed += (rate - speed) * std::min(weight, 1.0);
        lastStepMs = elapsed;
    }
    lastDone = doneSeconds;
    lastMoveMs = activeMs;
}

bool BatchEstimate::stalledAt(qint64 ms) const
{
    return speed > 0 && ms - lastMoveMs > std::max(stallFloorMs, stallFactor * lastStepMs);
}

double BatchEstimate::share() const
{
    return totalSeconds > 0 ? doneSeconds / totalSeconds : 0;
}

qint64 BatchEstimate::secondsLeft() const
{
    if (speed <= 0 || (nowMs < firstEstimateMs && share() < firstEstimateShare) || stalledAt(nowMs))
        return -1;
    const double seconds =
        (totalSeconds - doneSeconds) / speed - double(nowMs - lastMoveMs) / 1000.0;
    // Clamped before it is rounded: llround of what does not fit is undefined.
    if (!(seconds < mostSecondsLeft))
        return -1;
    return std::llround(std::max(seconds, 0.0));
}
