// The frame times the pacer gives at several times of its clock, in a run
// that starts early and in one that starts late. This test is built in the
// native build and in the Windows build, and both must give the same
// numbers: time values are 32-bit floats (the clock's milliseconds as a
// float times the float nearest 0.001, rounded to float at every step) and
// the interval is 1.0 / rate in double. A compiler that kept the floats in
// wider registers (the x87 unit of a 32-bit build without SSE2 maths) would
// move frames at the times where the float loses resolution.
//
// The tick count is faked: natively by the headless backend's clock, on
// Windows by pointing the program's import of GetTickCount at a counter.
#include <windows.h>

#include "xgraphics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <cstring>
#else
#include "support/headless.h"
#include "child.h"
#endif

namespace {

#ifdef _WIN32
DWORD fakeTicks;
DWORD WINAPI fakeGetTickCount() {
    return fakeTicks;
}

// The import address table entry every call to GetTickCount in this program
// goes through (the saver's modules declare it dllimport). 32-bit names
// carry an underscore and the stdcall suffix, 64-bit names neither.
#ifdef _WIN64
extern "C" void* importedGetTickCount __asm__("__imp_GetTickCount");
#else
extern "C" void* importedGetTickCount __asm__("__imp__GetTickCount@0");
#endif

// Points the import at fakeGetTickCount for its lifetime.
class FakeClock {
public:
    FakeClock() {
        saved_ = importedGetTickCount;
        patch(reinterpret_cast<void*>(&fakeGetTickCount));
    }
    ~FakeClock() { patch(saved_); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    void start(DWORD uptime) { fakeTicks = uptime; }
    void tick() { ++fakeTicks; }

private:
    static void patch(void* target) {
        DWORD old = 0;
        VirtualProtect(&importedGetTickCount, sizeof(void*), PAGE_READWRITE, &old);
        std::memcpy(&importedGetTickCount, &target, sizeof target);
        VirtualProtect(&importedGetTickCount, sizeof(void*), old, &old);
    }
    void* saved_;
};
#else
// The headless backend's clock, one millisecond per idle poll.
class FakeClock {
public:
    void start(DWORD uptime) {
        platform::backend::HeadlessConfig config;
        config.uptime = uptime;
        config.step = 1;
        backend_ = test_support::installHeadless(config);
    }
    void tick() { test_support::idlePoll(backend_); }

private:
    platform::backend::HeadlessBackend* backend_ = nullptr;
};
#endif

struct Case {
    DWORD time;  // on the pacer's clock, ms
    int rate;
    // Milliseconds after that time at which frames come due, polling every
    // millisecond; the first frame is due at once.
    std::vector<DWORD> due;
};

// The pacer's clock reads the uptime in a run that started below 16,384 s
// of uptime, else a minute more than the time since the run's first frame;
// either way these are the frames at these times of it. At one hour the
// float time resolves a quarter of a millisecond and the intervals come out
// 20 or 21 ms long; at 39 hours it resolves 1/64 s, at a week 1/16 s, and
// just before the clock wraps only half a second, where the wrap (296 ms
// after the start) makes a frame due at once.
const Case kCases[] = {
    {3'600'000, 50, {0, 20, 40, 61, 82, 103, 123, 144}},
    {3'600'000, 100, {0, 10, 20, 30, 40, 50, 61, 71}},
    {140'000'000, 50, {0, 24, 56, 88, 120, 152, 184, 216}},
    {600'000'000, 50, {0, 33, 96, 161, 224, 289, 352, 417}},
    {4'294'967'000u, 50, {0, 168, 296, 316, 336, 357, 378, 398}},
};

std::string text(const std::vector<DWORD>& v) {
    std::string s;
    for (DWORD d : v) s += " " + std::to_string(d);
    return s;
}

// Runs every case in order of rising time on one run of the pacer (so each
// first frame is due at once, whatever the pacer last saw) and returns how
// many gave other times, naming them on stderr. Without a `start` the first
// case begins the run and the clock reads the uptime. With one, the run
// begins with a frame at that uptime, where its clock reads a minute, and
// each case's time comes that much later, 32-bit tick count wraps and all.
int framesDifferingFromTheTable(DWORD start = 0) {
    int differing = 0;
    FakeClock clock;
    DWORD origin = 0;
    if (start != 0) {
        origin = start - 60'000;
        clock.start(start);
        if (RenderNextFrame(50) != 1) {
            ++differing;
            std::fprintf(stderr, "a run started at %lu: the first frame is not due\n",
                         static_cast<unsigned long>(start));
        }
    }
    for (const Case& c : kCases) {
        const DWORD at = origin + c.time;
        clock.start(at);
        std::vector<DWORD> due;
        if (RenderNextFrame(c.rate)) due.push_back(0);
        for (int polls = 0; due.size() < c.due.size() && polls < 100'000; ++polls) {
            clock.tick();
            if (RenderNextFrame(c.rate)) due.push_back(GetTickCount() - at);
        }
        if (due != c.due) {
            ++differing;
            std::fprintf(stderr, "%lu ms on the clock of a run started at %lu, %d frames/s: frames at%s, expected%s\n",
                         static_cast<unsigned long>(c.time), static_cast<unsigned long>(start), c.rate,
                         text(due).c_str(), text(c.due).c_str());
        }
    }
    return differing;
}

// The pacer starts its clock once per process, so each run needs a process
// of its own: natively a child, on Windows a run of the test program of its
// own (its CTest entry names the test).
int inARunOfItsOwn(int (*run)()) {
#ifdef _WIN32
    return run();
#else
    return saver_test::inChild(run);
#endif
}

// A run that starts an hour after start-up.
TEST(FrameTimes, MatchTheTableInARunStartedEarly) {
    EXPECT_EQ(inARunOfItsOwn([] { return framesDifferingFromTheTable(); }), 0);
}

// A run that starts after a week of uptime: the same frames at the same
// times of its clock, the tick count's wrap (42.7 days into the run)
// unnoticed.
TEST(FrameTimes, MatchTheTableInARunStartedLate) {
    EXPECT_EQ(inARunOfItsOwn([] { return framesDifferingFromTheTable(604'800'000); }), 0);
}

}  // namespace
