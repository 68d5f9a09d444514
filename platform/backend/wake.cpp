#include "backend/wake.h"

#include <algorithm>

namespace platform::backend {

void WakePlanner::clockRead(std::uint64_t tick) {
    if (awake_) return;
    awake_ = true;
    framed_ = false;
    firstRead_ = tick;
}

void WakePlanner::framePresented() {
    // Several windows drawn after one wait are one frame.
    if (!awake_ || framed_) return;
    framed_ = true;
    const std::uint64_t due = firstRead_;
    if (due_ && due > lastDue_) {
        const std::uint64_t interval = due - lastDue_;
        intervals_[next_] = interval <= kLongest ? interval : 0;
        next_ = (next_ + 1) % intervals_.size();
    }
    lastDue_ = due;
    due_ = true;
    // Every few seconds the interval to the next frame is watched tick by
    // tick.
    checking_ = due >= lastCheck_ + kRecheck;
    if (checking_) lastCheck_ = due;
}

std::uint64_t WakePlanner::nextWake(std::uint64_t now) const {
    std::uint64_t shortest = 0;
    int known = 0;
    for (const std::uint64_t interval : intervals_) {
        if (interval == 0) continue;
        shortest = known++ ? std::min(shortest, interval) : interval;
    }
    // Two intervals at least before the rate counts as known.
    if (known < 2 || !due_ || checking_) return now + 1;
    return std::max(now + 1, lastDue_ + shortest);
}

}  // namespace platform::backend
