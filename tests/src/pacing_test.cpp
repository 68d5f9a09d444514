// The frame pacer and the frame-rate caption, on a virtual clock: the first
// frame, the strict comparisons, the achieved interval at several uptimes as
// the time value loses resolution, and the 32-bit tick count's wrap.
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

TEST(Pacing, TheFirstFrameIsDueAtOnceAndAnExactIntervalIsNotDue) {
    EXPECT_EQ(saver_test::inChild([] {
                  startClock(3'600'000);
                  return RenderNextFrame(50) == 1 ? 0 : 1;
              }),
              0);
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

TEST(Pacing, FramesComeAtTheIntervalLiftedToTheTimeValuesStep) {
    struct Case {
        std::uint64_t uptime;
        double mean;  // ms between frames at 50 per second
    };
    // Below 16,384 s the time value resolves a millisecond and frames come
    // after 20 or 21 ms; past 131,072 s the value moves in steps of about
    // 16 ms, so frames come every second step; past 524,288 s its step is
    // longer than the interval, and a frame comes with every step.
    const Case cases[] = {{3'600'000, 20.8}, {140'000'000, 32.0}, {600'000'000, 64.0}};
    for (const Case& c : cases) {
        const int code = saver_test::inChild([&c] {
            HeadlessBackend* b = startClock(c.uptime);
            // The first frame comes at once, part way through a step of the
            // time value; measure from the second.
            std::vector<DWORD> due = dueTicks(b, 50, 202);
            due.erase(due.begin());
            return std::fabs(meanInterval(due) - c.mean) <= 0.5 ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << "uptime " << c.uptime << " ms";
    }
    // At one hour of uptime every interval is 20 or 21 ms, never more.
    EXPECT_EQ(saver_test::inChild([] {
                  HeadlessBackend* b = startClock(3'600'000);
                  const std::vector<DWORD> due = dueTicks(b, 50, 100);
                  for (std::size_t i = 1; i < due.size(); ++i)
                      if (due[i] - due[i - 1] != 20 && due[i] - due[i - 1] != 21) return 1;
                  return 0;
              }),
              0);
}

TEST(Pacing, TheCaptionCountsTheFramesOfEachSecond) {
    EXPECT_EQ(saver_test::inChild([] {
                  HeadlessBackend* b = startClock(3'600'000);
                  HWND w = captionWindow();
                  CalculateFrameRate(w);
                  if (caption(w) != "Frames Per Second: 1") return 1;
                  // Frames every 20 ms: the caption changes only once more
                  // than a second has passed, and counts the frame that
                  // triggers it.
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
              }),
              0);
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

TEST(Pacing, FramesAndCaptionsContinueAcrossTheTickCountWrap) {
    EXPECT_EQ(saver_test::inChild([] {
                  // Two seconds before the 32-bit tick count wraps to 0.
                  HeadlessBackend* b = startClock((std::uint64_t{1} << 32) - 2000);
                  HWND w = captionWindow();
                  int framesAfterWrap = 0, captionsAfterWrap = 0;
                  std::string last;
                  for (int ms = 0; ms < 6000; ++ms) {
                      tick(b);
                      const bool wrapped = GetTickCount() < 1'000'000;
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
                  if (framesAfterWrap < 180) return 1;
                  return captionsAfterWrap >= 3 ? 0 : 2;
              }),
              0);
}

}  // namespace
