// The frame times the pacer gives at several uptimes. This test is built in
// the native build and in the Windows build, and both must give the same
// numbers: time values are 32-bit floats (the tick count as a float times the
// float nearest 0.001, rounded to float at every step) and the interval is
// 1.0 / rate in double. A compiler that kept the floats in wider registers
// (the x87 unit of a 32-bit build without SSE2 maths) would move frames at
// the uptimes where the float loses resolution.
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
    DWORD uptime;
    int rate;
    // Milliseconds after the uptime at which frames come due, polling every
    // millisecond; the first frame is due at once.
    std::vector<DWORD> due;
};

// At one hour the float time resolves a quarter of a millisecond and the
// intervals come out 20 or 21 ms long; at 39 hours it resolves 1/64 s, at a
// week 1/16 s, and just before the tick count wraps only half a second,
// where the wrap (296 ms after the start) makes a frame due at once.
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

// Runs every case in order of rising uptime (so each first frame is due at
// once, whatever the pacer last saw) and returns how many gave other times,
// naming them on stderr.
int framesDifferingFromTheTable() {
    int differing = 0;
    FakeClock clock;
    for (const Case& c : kCases) {
        clock.start(c.uptime);
        std::vector<DWORD> due;
        if (RenderNextFrame(c.rate)) due.push_back(0);
        for (int polls = 0; due.size() < c.due.size() && polls < 100'000; ++polls) {
            clock.tick();
            if (RenderNextFrame(c.rate)) due.push_back(GetTickCount() - c.uptime);
        }
        if (due != c.due) {
            ++differing;
            std::fprintf(stderr, "uptime %lu at %d frames/s: frames at%s, expected%s\n",
                         static_cast<unsigned long>(c.uptime), c.rate, text(due).c_str(), text(c.due).c_str());
        }
    }
    return differing;
}

TEST(FrameTimes, MatchTheTableAtEveryUptime) {
#ifdef _WIN32
    EXPECT_EQ(framesDifferingFromTheTable(), 0);
#else
    // In a child, so the pacer's state does not reach the other tests.
    EXPECT_EQ(saver_test::inChild(framesDifferingFromTheTable), 0);
#endif
}

}  // namespace
