// The small Win32 program on the headless backend: it opens its window,
// draws, and a key release shows its box and ends it.
#include "run.h"
#include "support/png.h"

#include <gtest/gtest.h>

namespace {

TEST(HelloWin32, RunsOnTheHeadlessBackendUntilAKeyIsReleased) {
    const std::string frames = e2e::freshDir("hello-frames");
    const e2e::Result r = e2e::run(HELLO_WIN32, {},
                                   {{"POMRIVEL_BACKEND", "headless"},
                                    {"POMRIVEL_HEADLESS", "screen=320x240;script=500 keydown SPACE|520 keyup SPACE;"
                                                          "capture=" + frames + ";capture-every=5"}});
    ASSERT_TRUE(r.finished) << r.trace;
    EXPECT_EQ(r.status, 3) << r.trace;
    EXPECT_FALSE(e2e::traceLines(r.trace, "window shown \"Hello\" 0,0 320x240 topmost").empty()) << r.trace;
    EXPECT_EQ(e2e::traceLines(r.trace, "messagebox caption=\"Hello\" text=\"Goodbye from a Win32 program.\"").size(),
              1u)
        << r.trace;
    EXPECT_FALSE(e2e::traceLines(r.trace, "exit 3").empty()) << r.trace;

    // About 25 frames in half a second, every fifth one captured; the bar
    // moves 4 pixels a frame.
    const auto files = e2e::pngFiles(frames);
    ASSERT_GE(files.size(), 3u);
    const test_support::Image first = test_support::readPng(files[1]);
    const test_support::Image later = test_support::readPng(files[2]);
    ASSERT_EQ(first.width, 320);
    ASSERT_EQ(first.height, 240);
    auto barLeft = [](const test_support::Image& img) {
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, 120) == 0x28A0FAu) return x;
        return -1;
    };
    ASSERT_GE(barLeft(first), 0);
    EXPECT_EQ(barLeft(later) - barLeft(first), 20);
    EXPECT_EQ(first.at(0, 0), 0u);  // the black background
}

}  // namespace
