// The saver and the small Win32 program on the SDL backend, on a private X
// server: they open their window, present, and stop on a real key release.
#include "run.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <csignal>
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
