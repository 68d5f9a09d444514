// The saver program as the system starts it: the command-line switches, the
// single-instance guard, the stop triggers and the display mode, checked
// from outside through the exit status and the platform trace.
#include "run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A run on the headless backend, ended at the latest by a window-manager
// close `limitMs` of virtual time after the start.
e2e::Result runSaver(const std::vector<std::string>& args, const std::string& script = "",
                     const std::string& extra = "", int limitMs = 4000) {
    std::string config = "screen=1024x768;cursor=100,100;exit-after=" + std::to_string(limitMs);
    if (!script.empty()) config += ";script=" + script;
    if (!extra.empty()) config += ";" + extra;
    return e2e::run(POMRIVEL, args, {{"POMRIVEL_BACKEND", "headless"}, {"POMRIVEL_HEADLESS", config}});
}

std::size_t count(const std::string& trace, const std::string& prefix) {
    return e2e::traceLines(trace, prefix).size();
}

const std::string kSettingsBox = "messagebox caption=\"Settings...\" text=\"No settings to configure.\" style=0x0";
const std::string kPasswordBox =
    "messagebox caption=\"Error\" text=\"This screensaver doesn't support passwords\" style=0x10";

TEST(SaverSwitches, EachSwitchGetsItsAnswer) {
    struct Case {
        std::vector<std::string> args;
        const char* box;  // null: no box
        bool runs;
    };
    const Case cases[] = {
        {{}, nullptr, false},
        {{"s"}, nullptr, false},
        {{"1234"}, nullptr, false},
        {{"/p", "1234"}, nullptr, false},
        {{"/c:5678"}, kSettingsBox.c_str(), false},
        {{"/C"}, kSettingsBox.c_str(), false},
        {{"-A"}, kPasswordBox.c_str(), false},
        {{"/a"}, kPasswordBox.c_str(), false},
        {{"abc/S"}, nullptr, true},
        {{"-s"}, nullptr, true},
        {{"/", "s"}, nullptr, false},
        {{"//s"}, nullptr, false},
    };
    for (const Case& c : cases) {
        std::string name;
        for (const std::string& a : c.args) name += "[" + a + "]";
        const e2e::Result r = runSaver(c.args, "500 keyup A");
        ASSERT_TRUE(r.finished) << name;
        EXPECT_EQ(r.status, 0) << name << "\n" << r.trace;
        // Every start marks screen saving active first, whatever the switch.
        EXPECT_EQ(e2e::traceLines(r.trace, "screensaver active 1").size() >= 1, true) << name;
        EXPECT_EQ(count(r.trace, "messagebox caption"), c.box ? 1u : 0u) << name << "\n" << r.trace;
        if (c.box) {
            EXPECT_EQ(count(r.trace, c.box), 1u) << name << "\n" << r.trace;
        }
        EXPECT_EQ(count(r.trace, "window shown"), c.runs ? 1u : 0u) << name << "\n" << r.trace;
    }
}

TEST(SaverSwitches, ASecondStartReturnsAtOnceWhileOneIsAlive) {
    const std::string runtime = e2e::freshDir("shared-runtime");
    e2e::Process first(POMRIVEL, {"/s"},
                       {{"POMRIVEL_BACKEND", "headless"},
                        {"POMRIVEL_HEADLESS", "screen=640x480;exit-after=100000000"},
                        {"XDG_RUNTIME_DIR", runtime}});
    ASSERT_TRUE(first.waitForTrace("window shown")) << first.trace();
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"/s"}, {"/c"}, {"/a"}, {"/p", "1234"}, {}}) {
        const e2e::Result second = e2e::run(POMRIVEL, args,
                                            {{"POMRIVEL_BACKEND", "headless"},
                                             {"POMRIVEL_HEADLESS", "screen=640x480;exit-after=1000"},
                                             {"XDG_RUNTIME_DIR", runtime}});
        ASSERT_TRUE(second.finished);
        EXPECT_EQ(second.status, 0);
        EXPECT_EQ(count(second.trace, "mutex exists SCREENSAVER"), 1u) << second.trace;
        // No window, no box, and the screen-saving setting left alone.
        EXPECT_EQ(count(second.trace, "screensaver active"), 0u) << second.trace;
        EXPECT_EQ(count(second.trace, "window"), 0u) << second.trace;
        EXPECT_EQ(count(second.trace, "messagebox"), 0u) << second.trace;
    }
    // A termination signal stops the first one the orderly way.
    const e2e::Result r = first.stop(SIGTERM);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count(r.trace, "display mode restored"), 1u) << r.trace;
}

// Whether a run stopped well before its four-second limit: the caption
// changes about once a second, so an early stop leaves at most two.
bool stoppedEarly(const e2e::Result& r) { return count(r.trace, "caption ") <= 2; }

TEST(SaverStops, OnAKeyReleaseALeftPressOrAHorizontalMove) {
    struct Case {
        const char* script;
        bool stops;
    };
    const Case cases[] = {
        {"1500 keydown A", false},
        {"1500 keydown A|1520 keyup A", true},
        {"1500 keydown MENU|1520 keyup MENU", false},
        {"1500 keydown F10|1520 keyup F10", false},
        {"1500 keydown MENU|1510 keydown A|1520 keyup A", false},
        {"1500 keydown CONTROL|1510 keydown Q|1520 keyup Q", true},
        {"1500 buttondown left", true},
        {"1500 buttondown right|1520 buttonup right", false},
        {"1500 buttondown middle|1520 buttonup middle", false},
        {"1500 move 105 100", false},
        {"1500 move 106 100", true},
        {"1500 move 95 100", false},
        {"1500 move 94 100", true},
        {"1500 move 100 700", false},
        {"1000 move 103 100|1500 move 106 100", true},
        {"1500 move 300 100|1500 move 100 100", false},
    };
    for (const Case& c : cases) {
        const e2e::Result r = runSaver({"/s"}, c.script);
        ASSERT_TRUE(r.finished) << c.script;
        EXPECT_EQ(r.status, 0) << c.script;
        EXPECT_EQ(stoppedEarly(r), c.stops) << c.script << "\n" << r.trace;
        // However it stopped, it stopped once, the orderly way.
        EXPECT_EQ(count(r.trace, "display mode restored"), 1u) << c.script << "\n" << r.trace;
    }
}

TEST(SaverStops, TheStopRestoresTheModeThenMarksScreenSavingActive) {
    const e2e::Result r = runSaver({"/s"}, "500 keyup A");
    ASSERT_TRUE(r.finished);
    const std::string& t = r.trace;
    const auto restored = t.find("display mode restored");
    ASSERT_NE(restored, std::string::npos) << t;
    EXPECT_NE(t.find("screensaver active 1", restored), std::string::npos) << t;
    EXPECT_EQ(t.find("cursor shown"), std::string::npos) << t;  // the cursor stays hidden until the exit
    EXPECT_NE(t.find("exit 0", restored), std::string::npos) << t;
}

TEST(SaverDisplayMode, SwitchesTo640x480BeforeReadingTheWorkArea) {
    const e2e::Result r = runSaver({"/s"}, "500 keyup A");
    const std::string& t = r.trace;
    const auto mode = t.find("display mode 640x480 result 0");
    const auto placed = t.find("window placed \"Pomrivel 1.0 by the Pomrivel authors\" 0,0 640x480 topmost");
    ASSERT_NE(mode, std::string::npos) << t;
    ASSERT_NE(placed, std::string::npos) << t;
    EXPECT_LT(mode, placed);
    EXPECT_NE(t.find("cursor hidden", placed), std::string::npos) << t;
    EXPECT_NE(t.find("caption \"Frames Per Second: 1\""), std::string::npos) << t;
}

TEST(SaverDisplayMode, AnUnreadableModeIsReportedAndTheRunGoesOn) {
    const e2e::Result r = runSaver({"/s"}, "1500 keyup A", "mode-query=fail");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(count(r.trace, "messagebox caption=\"Error\" text=\"Could Not Enum Display Settings\" style=0x0"), 1u)
        << r.trace;
    EXPECT_EQ(count(r.trace, "window placed \"Pomrivel 1.0 by the Pomrivel authors\" 0,0 1024x768 topmost"), 1u)
        << r.trace;
    EXPECT_GE(count(r.trace, "caption \"Frames Per Second:"), 2u) << r.trace;
}

TEST(SaverDisplayMode, ARefusedModeIsReportedAndNoFrameIsDrawn) {
    const e2e::Result r = runSaver({"/s"}, "", "mode-change=fail", 2000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0);
    const std::string& t = r.trace;
    const auto box = t.find("messagebox caption=\"Error\" text=\"Display Mode Not Compatible\" style=0x0");
    ASSERT_NE(box, std::string::npos) << t;
    // The box comes before the window is shown; then the pending quit ends
    // the loop before any frame, and the stop never runs.
    EXPECT_LT(box, t.find("window shown"));
    EXPECT_EQ(count(t, "caption "), 0u) << t;
    EXPECT_EQ(count(t, "display mode restored"), 0u) << t;
}

TEST(SaverPace, FortyNineFramesASecondAtAnyUptime) {
    // An hour, a week, 30 and 49 days after start-up, and two seconds
    // before the 32-bit tick count wraps: after the first frame's caption
    // (the count 1), every caption of a six-second run counts 49 or 50.
    const char* uptimes[] = {"3600000", "604800000", "2592000000", "4233600000", "4294965296"};
    for (const char* uptime : uptimes) {
        const e2e::Result r = runSaver({"/s"}, "", std::string("uptime=") + uptime, 6000);
        ASSERT_TRUE(r.finished) << uptime;
        EXPECT_EQ(r.status, 0) << uptime;
        const std::string prefix = "caption \"Frames Per Second: ";
        std::vector<int> counts;
        for (const std::string& line : e2e::traceLines(r.trace, prefix))
            counts.push_back(std::atoi(line.c_str() + prefix.size()));
        ASSERT_GE(counts.size(), 6u) << uptime << "\n" << r.trace;
        EXPECT_EQ(counts.front(), 1) << uptime;
        for (std::size_t i = 1; i < counts.size(); ++i)
            EXPECT_TRUE(counts[i] == 49 || counts[i] == 50) << "uptime " << uptime << ": " << counts[i];
    }
}

TEST(SaverUnderAMemoryLimit, EndsNormallyWhereverMemoryRunsOut) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers reserve terabytes of address space, so no limit leaves the program room to start";
#endif
    // Address-space limits from where the program cannot even be loaded
    // (the loader's status 127) to where it runs whole: allocations fail
    // all along the way from start-up to the frames, and each is a failure
    // result the saver carries on after, never an abort.
    for (int megabytes = 16; megabytes <= 64; ++megabytes) {
        const e2e::Result r = e2e::run(
            "/bin/sh", {"-c", "ulimit -v " + std::to_string(megabytes * 1024) + " && exec \"$0\" /s", POMRIVEL},
            {{"POMRIVEL_BACKEND", "headless"}, {"POMRIVEL_HEADLESS", "exit-after=1000"}});
        EXPECT_TRUE(r.finished) << megabytes << " MB: ended by a signal\n" << r.errors;
    }
}

}  // namespace
