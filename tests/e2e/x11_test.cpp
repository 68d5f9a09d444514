// The saver and the small Win32 program on the X11 backend, on a private X
// server: they open their window, present, and stop on a real key release.
#include "run.h"
#include "support/xshot.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <set>
#include <vector>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

TEST(OnADisplay, TheSaverRunsAndStopsOnAKeyRelease) {
    test_support::Xvfb x;
    if (x.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    e2e::Process saver(POMRIVEL, {"/s"}, x.environment());
    ASSERT_TRUE(saver.waitForTrace("caption \"Frames Per Second:")) << saver.trace();
    // Showing frames: the caption counts them once a second.
    ASSERT_TRUE(saver.waitForFrames()) << saver.trace();
    ASSERT_EQ(test_support::onDisplay(x.display(), "xdotool key space"), 0);
    const e2e::Result r = saver.wait(5000);
    ASSERT_TRUE(r.finished) << r.trace;
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.trace.find("display mode 640x480 result 0"), std::string::npos) << r.trace;
    EXPECT_NE(r.trace.find("display mode restored"), std::string::npos) << r.trace;
}

TEST(OnADisplay, TheWin32ProgramRunsAndEndsOnAKeyRelease) {
    test_support::Xvfb x;
    if (x.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    e2e::Process hello(HELLO_WIN32, {}, x.environment());
    ASSERT_TRUE(hello.waitForTrace("window shown \"Hello\"")) << hello.trace();
    ASSERT_EQ(test_support::onDisplay(x.display(), "xdotool key space"), 0);
    // Its goodbye box is open until answered.
    ASSERT_TRUE(hello.waitForTrace("messagebox caption=\"Hello\"")) << hello.trace();
    test_support::onDisplay(x.display(), "xdotool search --sync --limit 1 --name '^Hello$' >/dev/null; xdotool key Return");
    const e2e::Result r = hello.wait(5000);
    ASSERT_TRUE(r.finished) << r.trace;
    EXPECT_EQ(r.status, 3) << r.trace;
}

}  // namespace

namespace {

// The limits a hostile environment sets: where no frame can be shown the
// saver says so and ends; without the means for a second thread or more
// memory than it needs, it runs as before.
TEST(Limits, NoMemoryForAnyFrameIsAMessageAndStatusOne) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
    // 7680x4320 needs a 127 MB image; the process may have 100 MB in all.
    test_support::Xvfb x("7680x4320x24");
    if (x.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    const e2e::Result r =
        e2e::run("/bin/sh", {"-c", std::string("ulimit -v 100000 && exec '") + POMRIVEL + "' /s"}, x.environment(), 10000);
    ASSERT_TRUE(r.finished) << r.trace << r.errors;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("no frame reached the screen"), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find("not enough memory for an image of 7680x4320"), std::string::npos) << r.errors;
}

TEST(Limits, OneProcessPerUserIsEnough) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run the saver as a user with no other processes";
    test_support::Xvfb x;
    if (x.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    const std::string dir = e2e::freshDir("one-process");
    const std::string trace = dir + "/trace.txt";
    chown(dir.c_str(), 65534, 65534);
    const std::string line = "runuser -u nobody -- env DISPLAY='" + x.display() + "' XDG_RUNTIME_DIR='" + dir +
                             "' POMRIVEL_TRACE='" + trace + "' bash -c \"ulimit -u 1 && exec '" + POMRIVEL +
                             "' /s\" 2>'" + dir + "/stderr.txt' & pid=$!; sleep 3; kill -TERM $pid; wait $pid";
    ASSERT_NE(std::system(line.c_str()), -1);
    std::ifstream in(trace);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GE(e2e::traceLines(text, "caption \"Frames Per Second:").size(), 2u) << text;
    EXPECT_NE(text.find("exit 0"), std::string::npos) << "stopped the orderly way by the signal\n" << text;
}

}  // namespace

namespace {

// The picture part of a monitor's crop averaged down to 64x48, to compare
// what two monitors of different sizes show.
std::vector<int> thumbnail(const test_support::Image& crop) {
    const int pw = std::min(crop.width, crop.height * 4 / 3), ph = pw * 3 / 4;
    const int x0 = (crop.width - pw) / 2, y0 = (crop.height - ph) / 2;
    std::vector<int> out;
    for (int ty = 0; ty < 48; ++ty)
        for (int tx = 0; tx < 64; ++tx)
            for (int shift : {0, 8, 16}) {
                long sum = 0, n = 0;
                for (int y = y0 + ty * ph / 48; y < y0 + (ty + 1) * ph / 48; ++y)
                    for (int x = x0 + tx * pw / 64; x < x0 + (tx + 1) * pw / 64; ++x, ++n)
                        sum += crop.at(x, y) >> shift & 0xFF;
                out.push_back(n ? static_cast<int>(sum / n) : 0);
            }
    return out;
}

TEST(Monitors, TheSaverCoversEveryMonitorWithTheWholeScene) {
    // One 3200x1080 screen split into a 1920x1080 and a 1280x1024 monitor,
    // as `xrandr --setmonitor` does for a desktop of two screens.
    test_support::Xvfb x("3200x1080x24");
    if (x.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    ASSERT_EQ(test_support::onDisplay(x.display(), "xrandr --setmonitor L 1920/508x1080/286+0+0 screen >/dev/null && "
                                                   "xrandr --setmonitor R 1280/338x1024/270+1920+0 none >/dev/null"),
              0);
    e2e::Process saver(POMRIVEL, {"/s"}, x.environment());
    ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors();
    // Stopped, so both crops show the same frame.
    kill(saver.pid(), SIGSTOP);
    const test_support::Image left = test_support::grabScreen(x.display(), 0, 0, 1920, 1080);
    const test_support::Image right = test_support::grabScreen(x.display(), 1920, 0, 1280, 1024);
    kill(saver.pid(), SIGCONT);
    // Black bars where the 4:3 picture does not fill: beside it on the
    // left monitor, above and below it on the right one.
    EXPECT_EQ(left.at(100, 540), 0u);
    EXPECT_EQ(left.at(1819, 540), 0u);
    EXPECT_EQ(right.at(640, 10), 0u);
    EXPECT_EQ(right.at(640, 1013), 0u);
    // The same scene on both, each scaled to its monitor.
    const std::vector<int> a = thumbnail(left), b = thumbnail(right);
    long difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference += std::abs(a[i] - b[i]);
    EXPECT_LT(static_cast<double>(difference) / a.size(), 3.0) << "mean difference per channel";
    std::set<std::uint32_t> colours(right.pixels.begin(), right.pixels.end());
    EXPECT_GT(colours.size(), 100u) << "the scene, not a blank monitor";
    ASSERT_EQ(test_support::onDisplay(x.display(), "xdotool mousemove_relative 300 0"), 0);
    const e2e::Result r = saver.wait(3000);
    ASSERT_TRUE(r.finished) << "a warped pointer is a movement";
    EXPECT_EQ(r.status, 0);

    // A click on the other monitor, the pointer still: outside the logical
    // screen the saver's window shows on the primary, and it still ends it.
    ASSERT_EQ(test_support::onDisplay(x.display(), "xdotool mousemove 2560 512"), 0);
    e2e::Process again(POMRIVEL, {"/s"}, x.environment());
    ASSERT_TRUE(again.waitForFrames()) << again.trace() << again.errors();
    ASSERT_EQ(test_support::onDisplay(x.display(), "xdotool click 1"), 0);
    const e2e::Result clicked = again.wait(3000);
    ASSERT_TRUE(clicked.finished) << "a click on the second monitor ends it";
    EXPECT_EQ(clicked.status, 0);
}

}  // namespace
