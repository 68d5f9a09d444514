// When a frame loop that never waits can next draw a frame.
//
// The saver polls its pacer without pause, and the pacer decides from the
// tick count alone: a frame is due once enough milliseconds have passed
// since the tick at which the last one came due. Waking the process on
// every tick (a thousand times a second) keeps a laptop's CPU out of its
// deep idle states for nothing. So the planner watches the ticks the
// program reads and learns the shortest interval at which frames come due;
// the wait after a frame then runs until that interval has passed, and from
// there tick by tick. The program reads the same tick values at the moments
// that decide, so it draws the same frames on the same ticks.
//
// An interval is learned only where it was seen as it happened (the look a
// tick earlier found no frame due), never from a frame found due after a
// long look away, such as a slow first frame. A frame that is due at the
// end of a planned wait may have been due a little earlier had anyone
// looked, so every few seconds the wait after a frame is tick by tick
// again, and a faster rate is seen within seconds.
#pragma once

#include <array>
#include <cstdint>

namespace platform::backend {

class WakePlanner {
public:
    // The program read the clock at `tick`.
    void clockRead(std::uint64_t tick);
    // An idle wait ended (or would have waited): the program's next look
    // at the clock is a new poll.
    void woke() { awake_ = false; }
    // A frame was recorded: it came due at the first clock read since the
    // last wait.
    void framePresented();
    // The tick the next idle wait may last until: the earliest tick at
    // which the next frame can come due, never before now + 1.
    std::uint64_t nextWake(std::uint64_t now) const;

private:
    // The shortest interval learned; 0 while fewer than two are known.
    std::uint64_t shortest() const;

    // Intervals longer than this are pauses (a box open, a window hidden),
    // not the frame rate.
    static constexpr std::uint64_t kLongest = 1000;
    // How often the interval is watched tick by tick.
    static constexpr std::uint64_t kRecheck = 5000;
    // The last intervals, a ring; 0 for none yet.
    std::array<std::uint64_t, 32> intervals_{};
    std::size_t next_ = 0;
    // The tick the last frame came due; the last tick-by-tick interval.
    std::uint64_t lastDue_ = 0, lastCheck_ = 0;
    bool due_ = false;
    bool checking_ = false;  // the interval to the next frame, tick by tick
    // The first read since the last wait, the read before it, the last.
    std::uint64_t firstRead_ = 0, readBefore_ = 0, lastRead_ = 0;
    bool awake_ = false;   // read the clock since the last wait
    bool framed_ = false;  // a frame since the first read of this wake
};

}  // namespace platform::backend
