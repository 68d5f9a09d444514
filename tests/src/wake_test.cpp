// The wait between frames against the saver's own pacer: waking only when
// a frame can come due gives the same frames on the same ticks as polling
// every millisecond, at any uptime, with a fraction of the wakeups.
#include <windows.h>

#include "backend/wake.h"
#include "child.h"
#include "support/clock_backend.h"
#include "xgraphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A clock the test moves by hand, read by the saver's pacer through
// GetTickCount; every read is the program looking at the clock.
class HandClock final : public test_support::ClockBackend {
public:
    platform::backend::WakePlanner* planner = nullptr;
    std::uint64_t uptimeMilliseconds() override {
        if (planner) planner->clockRead(uptime);
        return uptime;
    }
};

struct LoopRun {
    std::vector<std::uint64_t> due;  // the ticks frames came due at
    std::uint64_t polls = 0;         // the pacer's looks at the clock
};

// The saver's frame loop at 50 frames a second from `uptime`, in a child
// (the pacer keeps its state for the life of the process); each pass is a
// poll, and between passes the clock moves one tick, or, with `planned`, to
// where the planner says the next frame can come due.
LoopRun frameLoop(std::uint64_t uptime, bool planned, int frames, int slowFrames = 0) {
    LoopRun run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    saver_test::inChild([&] {
        close(fds[0]);
        auto owned = std::make_unique<HandClock>();
        HandClock* clock = owned.get();
        platform::backend::install(std::move(owned));
        platform::backend::WakePlanner planner;
        if (planned) clock->planner = &planner;
        clock->uptime = uptime;
        LoopRun r;
        while (static_cast<int>(r.due.size()) < frames) {
            ++r.polls;
            if (RenderNextFrame(50)) {
                r.due.push_back(clock->uptime);
                planner.framePresented();
                // A slow start: the first frames take 80 ms to draw.
                if (static_cast<int>(r.due.size()) <= slowFrames) clock->uptime += 80;
            }
            clock->uptime = planned ? planner.nextWake(clock->uptime) : clock->uptime + 1;
            planner.woke();
        }
        const std::uint64_t count = r.due.size();
        [[maybe_unused]] ssize_t n = write(fds[1], &r.polls, sizeof r.polls);
        n = write(fds[1], &count, sizeof count);
        n = write(fds[1], r.due.data(), count * sizeof(std::uint64_t));
        return 0;
    });
    close(fds[1]);
    std::uint64_t count = 0;
    if (read(fds[0], &run.polls, sizeof run.polls) == sizeof run.polls && read(fds[0], &count, sizeof count) == sizeof count) {
        run.due.resize(count);
        std::size_t got = 0;
        while (got < count * sizeof(std::uint64_t)) {
            const ssize_t n = read(fds[0], reinterpret_cast<char*>(run.due.data()) + got, count * 8 - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    }
    close(fds[0]);
    return run;
}

TEST(WaitBetweenFrames, GivesTheSameFramesAsPollingEveryTickWithAFractionOfTheWakeups) {
    // An hour of uptime (the time value resolves every millisecond and
    // frames come 20 or 21 ms apart), a week, and just before the 32-bit
    // tick count wraps.
    for (const std::uint64_t uptime : {3'600'000ull, 604'800'000ull, 4'294'960'000ull}) {
        SCOPED_TRACE(::testing::Message() << "uptime " << uptime << " ms");
        const LoopRun everyTick = frameLoop(uptime, false, 600);
        const LoopRun planned = frameLoop(uptime, true, 600);
        ASSERT_EQ(everyTick.due.size(), 600u);
        ASSERT_EQ(planned.due.size(), 600u);
        EXPECT_EQ(planned.due, everyTick.due) << "the same frames on the same ticks";
        const double perFrame = static_cast<double>(planned.polls) / 600;
        const double before = static_cast<double>(everyTick.polls) / 600;
        // Two looks a frame or so, with the tick-by-tick check once a
        // second; against 20 to 60 when every tick is a look.
        EXPECT_LT(perFrame, std::max(2.5, before / 8)) << "polls a frame, against " << before;
    }
}

TEST(WaitBetweenFrames, ASlowStartTeachesNoSlowRate) {
    // Frames found due only after a long look away say nothing about the
    // rate: once drawing is quick again, frames come every 20 or 21 ms
    // with a couple of looks each, as without the slow start.
    const LoopRun everyTick = frameLoop(3'600'000, false, 300, 5);
    const LoopRun planned = frameLoop(3'600'000, true, 300, 5);
    ASSERT_EQ(planned.due.size(), 300u);
    EXPECT_EQ(planned.due, everyTick.due);
    EXPECT_LE(planned.due.back() - planned.due[5], 295u * 21) << "no frame waits for a learned 80 ms";
    EXPECT_LT(static_cast<double>(planned.polls) / 300, 3.0);
}

}  // namespace
