// How the saver ends when the world around it does: its X server dies,
// a signal comes while it idles between frames, or there is no display at
// all. Whatever happens it ends, says why where it should, and leaves the
// single-instance guard free.
#include "run.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <map>
#include <string>

namespace {

std::map<std::string, std::string> onX(const test_support::Xvfb& x, const std::string& runtime) {
    auto env = x.environment();
    env["XDG_RUNTIME_DIR"] = runtime;
    return env;
}

std::string privateDir(const std::string& name) {
    const std::string dir = e2e::freshDir(name);
    chmod(dir.c_str(), 0700);
    return dir;
}

// A short headless run with the same runtime folder: whether the guard let
// it in.
bool guardIsFree(const std::string& runtime) {
    const e2e::Result r = e2e::run(POMRIVEL, {"/s"},
                                   {{"POMRIVEL_BACKEND", "headless"},
                                    {"POMRIVEL_HEADLESS", "exit-after=200"},
                                    {"XDG_RUNTIME_DIR", runtime}},
                                   10000);
    return r.finished && r.trace.find("mutex exists") == std::string::npos &&
           r.trace.find("window shown") != std::string::npos;
}

TEST(LosingTheDisplay, EndsTheSaverWithAReasonAndFreesTheGuard) {
    test_support::Xvfb x;
    if (x.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    const std::string runtime = privateDir("display-lost");
    e2e::Process saver(POMRIVEL, {"/s"}, onX(x, runtime));
    ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors();
    x.stop();
    const e2e::Result r = saver.wait(3000);
    ASSERT_TRUE(r.finished) << "still running after its X server went away\n" << r.trace;
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.errors.find("connection to the X display was lost"), std::string::npos) << r.errors;
    EXPECT_TRUE(guardIsFree(runtime));
}

TEST(Signals, EachEndsTheRunningSaverThroughItsOrderlyStop) {
    test_support::Xvfb x;
    if (x.display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::testing::Message() << "signal " << signal);
        const std::string runtime = privateDir("signal-" + std::to_string(signal));
        e2e::Process saver(POMRIVEL, {"/s"}, onX(x, runtime));
        ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors();
        const e2e::Result r = saver.stop(signal, 3000);
        ASSERT_TRUE(r.finished) << r.trace;
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.trace.find("display mode restored"), std::string::npos) << r.trace;
        EXPECT_TRUE(guardIsFree(runtime));
    }
}

TEST(NoDisplay, TheSaverSaysWhatIsMissingAndTheBoxesGoToTheTerminal) {
    const std::map<std::string, std::string> none{
        {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"XDG_RUNTIME_DIR", privateDir("no-display")}};
    e2e::Result r = e2e::run(POMRIVEL, {"/s"}, none, 10000);
    ASSERT_TRUE(r.finished) << "it ran unseen instead of ending";
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("no display"), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find("pomrivel-capture"), std::string::npos) << "and how to see its frames instead";
    EXPECT_EQ(r.trace.find("window shown"), std::string::npos);

    r = e2e::run(POMRIVEL, {"/c"}, none, 10000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.errors.find("Settings...: No settings to configure."), std::string::npos) << r.errors;
    r = e2e::run(POMRIVEL, {"/a"}, none, 10000);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.errors.find("Error: This screensaver doesn't support passwords"), std::string::npos) << r.errors;
}

}  // namespace
