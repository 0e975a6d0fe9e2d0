#include "batchestimate.h"

#include <algorithm>
#include <cmath>

namespace {

// The moving average's reach, and the work needed before a speed is shown.
constexpr double horizonMs = 30000;
constexpr qint64 firstEstimateMs = 2000;

} // namespace

void BatchEstimate::reset()
{
    *this = BatchEstimate();
}

void BatchEstimate::update(double total, double done, qint64 activeMs)
{
    totalSeconds = std::max(total, 0.0);
    doneSeconds = std::clamp(done, 0.0, totalSeconds);
    const qint64 elapsed = activeMs - lastMs;
    if (elapsed <= 0)
        return;
    const double rate = (doneSeconds - lastDone) * 1000.0 / double(elapsed);
    // Weighing each step by its share of the time so far gives the plain
    // average until the horizon; after it, older steps fade.
    const double weight = double(elapsed) / std::min(double(activeMs), horizonMs);
    speed += (rate - speed) * std::min(weight, 1.0);
    lastDone = doneSeconds;
    lastMs = activeMs;
}

double BatchEstimate::share() const
{
    return totalSeconds > 0 ? doneSeconds / totalSeconds : 0;
}

qint64 BatchEstimate::secondsLeft() const
{
    if (lastMs < firstEstimateMs || speed <= 0)
        return -1;
    return std::llround((totalSeconds - doneSeconds) / speed);
}
