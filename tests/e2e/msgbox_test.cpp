// The saver's settings box on the SDL backend, on a private X server: a
// window of the program's own that takes Return with no window manager
// running, and that nothing outlives: a signal ends the program through the
// orderly stop, and after SIGKILL neither a box nor the lock is left.
#include "run.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <map>
#include <string>
#include <thread>

namespace {

const char kFindBox[] = "xdotool search --name '^Settings...$' >/dev/null";

// Whether the display has no box window left, once the server has caught up
// with a client that went away.
bool noBoxWithin(const test_support::Xvfb& x, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (test_support::onDisplay(x.display(), kFindBox) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class SettingsBox : public ::testing::Test {
protected:
    void SetUp() override {
        if (x_.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    }

    // `pomrivel /c` with its box on the screen.
    void open(e2e::Process& saver) {
        ASSERT_TRUE(saver.waitForTrace("window shown \"Settings...\"")) << saver.trace();
        ASSERT_EQ(test_support::onDisplay(x_.display(), kFindBox), 0) << "the box is a window on the display";
    }

    test_support::Xvfb x_;
};

TEST_F(SettingsBox, ReturnAnswersItWithNoWindowManagerRunning) {
    e2e::Process saver(POMRIVEL, {"/c"}, x_.environment());
    open(saver);
    ASSERT_EQ(test_support::onDisplay(x_.display(), "xdotool key Return"), 0);
    const e2e::Result r = saver.wait(5000);
    ASSERT_TRUE(r.finished) << r.trace;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(e2e::traceLines(r.trace, "messagebox"),
              (std::vector<std::string>{"messagebox caption=\"Settings...\" text=\"No settings to configure.\" style=0x0",
                                        "messagebox closed 1"}));
}

TEST_F(SettingsBox, SigtermEndsTheProgramWithinASecondAndLeavesNoWindow) {
    e2e::Process saver(POMRIVEL, {"/c"}, x_.environment());
    open(saver);
    const e2e::Result r = saver.stop(SIGTERM, 1000);
    ASSERT_TRUE(r.finished) << r.trace;
    EXPECT_EQ(r.status, 0) << r.trace;
    EXPECT_NE(r.trace.find("messagebox closed 0"), std::string::npos) << "ended unanswered\n" << r.trace;
    EXPECT_TRUE(noBoxWithin(x_, 2000));
}

TEST_F(SettingsBox, AfterSigkillNoBoxIsLeftAndTheNextSaverStarts) {
    std::map<std::string, std::string> env = x_.environment();
    env["XDG_RUNTIME_DIR"] = e2e::freshDir("shared-runtime");  // where the lock lives, for both runs
    {
        e2e::Process settings(POMRIVEL, {"/c"}, env);
        open(settings);
        settings.stop(SIGKILL, 5000);
    }
    EXPECT_TRUE(noBoxWithin(x_, 2000)) << "a box outlived the program";

    e2e::Process saver(POMRIVEL, {"/s"}, env);
    ASSERT_TRUE(saver.waitForTrace("caption \"Frames Per Second:")) << saver.trace();
    const e2e::Result r = saver.stop(SIGTERM, 5000);
    EXPECT_EQ(r.trace.find("mutex exists"), std::string::npos) << r.trace;
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0);
}

}  // namespace
