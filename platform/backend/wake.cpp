#include "backend/wake.h"

#include <algorithm>

namespace platform::backend {

void WakePlanner::clockRead(std::uint64_t tick) {
    if (!awake_) {
        awake_ = true;
        framed_ = false;
        readBefore_ = lastRead_;
        firstRead_ = tick;
    }
    lastRead_ = tick;
}

void WakePlanner::framePresented() {
    // Several windows drawn after one wait are one frame.
    if (!awake_ || framed_) return;
    framed_ = true;
    const std::uint64_t due = firstRead_;
    if (due_ && due > lastDue_) {
        // An interval counts when it was seen as it happened: the look at
        // the clock a tick earlier found no frame due, or the frame came
        // due at the end of the learned interval (which it cannot beat).
        // A frame found due after a long look away (a slow first frame)
        // may have come due much earlier, and would teach a false rate.
        const std::uint64_t interval = due - lastDue_;
        if (readBefore_ + 1 == due || interval == shortest()) {
            intervals_[next_] = interval <= kLongest ? interval : 0;
            next_ = (next_ + 1) % intervals_.size();
        }
    }
    lastDue_ = due;
    due_ = true;
    // Every few seconds the interval to the next frame is watched tick by
    // tick.
    checking_ = due >= lastCheck_ + kRecheck;
    if (checking_) lastCheck_ = due;
}

std::uint64_t WakePlanner::shortest() const {
    std::uint64_t least = 0;
    int known = 0;
    for (const std::uint64_t interval : intervals_) {
        if (interval == 0) continue;
        least = known++ ? std::min(least, interval) : interval;
    }
    // Two intervals at least before the rate counts as known.
    return known >= 2 ? least : 0;
}

std::uint64_t WakePlanner::nextWake(std::uint64_t now) const {
    const std::uint64_t interval = shortest();
    if (interval == 0 || !due_ || checking_) return now + 1;
    return std::max(now + 1, lastDue_ + interval);
}

}  // namespace platform::backend
