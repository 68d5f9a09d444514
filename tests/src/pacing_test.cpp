// The frame pacer and the frame-rate caption, on a virtual clock: the first
// frame, the strict comparisons, the full rate at any uptime and across the
// 32-bit tick count's wrap, and long runs, whose clock loses resolution.
#include <windows.h>

#include "support/headless.h"
#include "child.h"
#include "xgraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using platform::backend::Event;
using platform::backend::HeadlessBackend;
using platform::backend::HeadlessConfig;

namespace {

HeadlessBackend* startClock(std::uint64_t uptime) {
    HeadlessConfig config;
    config.uptime = uptime;
    config.step = 1;
    return test_support::installHeadless(config);
}

// The frame loop's pass that finds no message: a millisecond on.
void tick(HeadlessBackend* b) { test_support::idlePoll(b); }

// The tick counts at which frames come due at `rate` frames per second,
// polling as the frame loop does, until `frames` frames have come.
std::vector<DWORD> dueTicks(HeadlessBackend* b, int rate, int frames) {
    std::vector<DWORD> due;
    while (static_cast<int>(due.size()) < frames) {
        tick(b);
        if (RenderNextFrame(rate)) due.push_back(GetTickCount());
    }
    return due;
}

double meanInterval(const std::vector<DWORD>& due) {
    return static_cast<double>(due.back() - due.front()) / static_cast<double>(due.size() - 1);
}

HWND captionWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "PacingCaption";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "PacingCaption", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

std::string caption(HWND w) {
    char text[64] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

constexpr std::uint64_t kDay = 86'400'000;
constexpr std::uint64_t kWrap = std::uint64_t{1} << 32;

// The uptime from which the pacer's clock counts in a run that starts at
// `start`: the system's start for a run that starts within 16,384 s of it,
// else a minute before the run's start.
std::uint64_t clockOrigin(std::uint64_t start) {
    return start < 16'384'000 ? 0 : start - 60'000;
}

TEST(Pacing, TheFirstFrameIsDueAtOnceAndAnExactIntervalIsNotDue) {
    for (std::uint64_t uptime : {std::uint64_t{3'600'000}, 7 * kDay, kWrap - 100}) {
        const int code = saver_test::inChild([uptime] {
            startClock(uptime);
            return RenderNextFrame(50) == 1 ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << "uptime " << uptime << " ms";
    }
    // 250 ms of uptime is exactly 0.25 s as a time value: a quarter-second
    // interval has not passed yet; one millisecond later it has.
    EXPECT_EQ(saver_test::inChild([] {
                  HeadlessBackend* b = startClock(250);
                  if (RenderNextFrame(4) != 0) return 1;
                  tick(b);
                  return RenderNextFrame(4) == 1 ? 0 : 2;
              }),
              0);
}

// The frames of a run that starts at `uptime`, polled every millisecond
// for about five seconds, as milliseconds after its start, in a child.
std::vector<std::uint32_t> framesOfARunStartedAt(std::uint64_t uptime) {
    return saver_test::numbersFromChild([uptime] {
               HeadlessBackend* b = startClock(uptime);
               std::vector<std::uint32_t> due;
               if (RenderNextFrame(50)) due.push_back(0);
               for (DWORD d : dueTicks(b, 50, 250)) due.push_back(d - static_cast<DWORD>(uptime));
               return due;
           })
        .value_or(std::vector<std::uint32_t>{});
}

TEST(Pacing, ARunPacesAsOneStartedAMinuteAfterStartUpAtAnyUptime) {
    // A minute and an hour after start-up: the first frame at once, then
    // one every 20 or 21 ms.
    const std::vector<std::uint32_t> minute = framesOfARunStartedAt(60'000);
    for (std::uint64_t uptime : {std::uint64_t{60'000}, std::uint64_t{3'600'000}}) {
        const std::vector<std::uint32_t> due = framesOfARunStartedAt(uptime);
        ASSERT_EQ(due.size(), 251u) << "uptime " << uptime << " ms";
        EXPECT_EQ(due.front(), 0u);
        for (std::size_t i = 1; i < due.size(); ++i) {
            const std::uint32_t interval = due[i] - due[i - 1];
            EXPECT_TRUE(interval == 20 || interval == 21) << "uptime " << uptime << " ms: " << interval << " ms";
        }
    }
    // A week, a month, 49 days, and two seconds before the 32-bit tick count
    // wraps: the frames come at the same times after the start as a minute
    // after start-up.
    for (std::uint64_t uptime : {7 * kDay, 30 * kDay, 49 * kDay, kWrap - 2000})
        EXPECT_EQ(framesOfARunStartedAt(uptime), minute) << "uptime " << uptime << " ms";
}

TEST(Pacing, ALongRunSlowsAsItsClockLosesResolution) {
    struct Case {
        std::uint64_t clock;  // ms on the pacer's clock
        double mean;          // ms between frames at 50 per second
    };
    // At an hour the clock resolves a quarter of a millisecond; after
    // 140,000 s it moves in steps of about 16 ms, so frames come every
    // second step; after 600,000 s its step is longer than the interval,
    // and a frame comes with every step.
    const Case cases[] = {{3'600'000, 20.8}, {140'000'000, 32.0}, {600'000'000, 64.0}};
    for (std::uint64_t start : {std::uint64_t{3'600'000}, 7 * kDay}) {
        for (const Case& c : cases) {
            const int code = saver_test::inChild([&c, start] {
                startClock(start);
                if (RenderNextFrame(50) != 1) return 1;
                HeadlessBackend* b = startClock(clockOrigin(start) + c.clock);
                // The first frame comes at once, part way through a step of
                // the clock; measure from the second.
                std::vector<DWORD> due = dueTicks(b, 50, 202);
                due.erase(due.begin());
                return std::fabs(meanInterval(due) - c.mean) <= 0.5 ? 0 : 2;
            });
            EXPECT_EQ(code, 0) << "started at " << start << " ms, clock at " << c.clock << " ms";
        }
    }
}

TEST(Pacing, TheCaptionCountsTheFramesOfEachSecond) {
    for (std::uint64_t uptime : {std::uint64_t{3'600'000}, 30 * kDay}) {
        const int code = saver_test::inChild([uptime] {
            HeadlessBackend* b = startClock(uptime);
            HWND w = captionWindow();
            CalculateFrameRate(w);
            if (caption(w) != "Frames Per Second: 1") return 1;
            // Frames every 20 ms: the caption changes only once more than a
            // second has passed, and counts the frame that triggers it.
            int frames = 0;
            for (int ms = 1; ms <= 1000; ++ms) {
                tick(b);
                if (ms % 20 == 0) {
                    CalculateFrameRate(w);
                    ++frames;
                }
            }
            if (caption(w) != "Frames Per Second: 1") return 2;
            for (int ms = 1001; ms <= 1020; ++ms) tick(b);
            CalculateFrameRate(w);
            return caption(w) == "Frames Per Second: " + std::to_string(frames + 1) ? 0 : 3;
        });
        EXPECT_EQ(code, 0) << "uptime " << uptime << " ms";
    }
    // Exactly one second after the first update is not more than a second.
    EXPECT_EQ(saver_test::inChild([] {
                  HeadlessBackend* b = startClock(1000);
                  HWND w = captionWindow();
                  CalculateFrameRate(w);
                  if (!caption(w).empty()) return 1;
                  tick(b);
                  CalculateFrameRate(w);
                  return caption(w) == "Frames Per Second: 2" ? 0 : 2;
              }),
              0);
}

TEST(Pacing, FramesAndCaptionsContinueWhenTheClockWrapsInARunOf50Days) {
    // The pacer's clock counts 32-bit milliseconds too, and wraps after
    // 49.7 days of it, in a run started early or late.
    for (std::uint64_t start : {std::uint64_t{3'600'000}, 7 * kDay}) {
        const int code = saver_test::inChild([start] {
            startClock(start);
            HWND w = captionWindow();
            if (RenderNextFrame(50) != 1) return 1;
            CalculateFrameRate(w);
            // Two seconds before the clock wraps to 0.
            const std::uint64_t origin = clockOrigin(start);
            HeadlessBackend* b = startClock(origin + kWrap - 2000);
            int framesAfterWrap = 0, captionsAfterWrap = 0;
            std::string last = caption(w);
            for (int ms = 0; ms < 6000; ++ms) {
                tick(b);
                const bool wrapped = static_cast<DWORD>(GetTickCount() - origin) < 1'000'000;
                if (RenderNextFrame(50)) {
                    CalculateFrameRate(w);
                    if (wrapped) ++framesAfterWrap;
                }
                if (caption(w) != last) {
                    last = caption(w);
                    if (wrapped) ++captionsAfterWrap;
                }
            }
            // Four seconds after the wrap: the full rate again, and a
            // caption about every second.
            if (framesAfterWrap < 180) return 2;
            return captionsAfterWrap >= 3 ? 0 : 3;
        });
        EXPECT_EQ(code, 0) << "started at " << start << " ms";
    }
}

}  // namespace
