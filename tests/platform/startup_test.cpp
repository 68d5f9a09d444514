// What the process start-up takes from the command line before the Win32
// program sees it: XScreenSaver's hack options, --help and --version.
#include "kernel/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::kernel::readStartUp;
using platform::kernel::StartUp;
using Args = std::vector<std::string>;

TEST(StartUp, HackOptionsChooseTheWindowAndTheProgramGetsTheRunSwitch) {
    // The window given wins over the host's variable, which wins over the
    // root window, as hacks choose.
    StartUp s = readStartUp({"--root", "--window-id", "0x2a00007"}, "0x600001");
    EXPECT_EQ(s.action, StartUp::Action::RunProgram);
    EXPECT_EQ(s.host.window, 0x2a00007ul);
    EXPECT_FALSE(s.host.root);
    EXPECT_EQ(s.arguments, Args{"/s"});

    s = readStartUp({"-root"}, "0x600001");
    EXPECT_EQ(s.host.window, 0x600001ul);
    s = readStartUp({"-root", "-fps"}, nullptr);
    EXPECT_TRUE(s.host.root);
    EXPECT_FALSE(s.host.window);
    EXPECT_TRUE(s.host.showFrameRate);
    EXPECT_TRUE(s.host.drawsIntoHostWindow());

    // The settings' preview appends its window to the configured command.
    s = readStartUp({"/s", "--window-id=4194311", "--fps", "-no-fps"}, nullptr);
    EXPECT_EQ(s.host.window, 4194311ul);
    EXPECT_FALSE(s.host.showFrameRate) << "the last of -fps and -no-fps counts";
    EXPECT_EQ(s.arguments, Args{"/s"});
}

TEST(StartUp, EverythingElseIsTheWin32ProtocolUntouched) {
    for (const Args& args : {Args{}, Args{"/s"}, Args{"/c:1234"}, Args{"/p", "99"}, Args{"-geometry", "x"},
                             Args{"--help", "/s"}, Args{"--versions"}}) {
        const StartUp s = readStartUp(args, "0x600001");
        EXPECT_EQ(s.action, StartUp::Action::RunProgram);
        EXPECT_EQ(s.arguments, args);
        EXPECT_FALSE(s.host.drawsIntoHostWindow()) << "XSCREENSAVER_WINDOW alone does not make a hack";
    }
    // -fps without a window keeps the program's own window.
    const StartUp s = readStartUp({"/s", "-fps"}, nullptr);
    EXPECT_EQ(s.arguments, Args{"/s"});
    EXPECT_TRUE(s.host.showFrameRate);
    EXPECT_FALSE(s.host.drawsIntoHostWindow());

    EXPECT_EQ(readStartUp({"--help"}, nullptr).action, StartUp::Action::Help);
    EXPECT_EQ(readStartUp({"--version"}, nullptr).action, StartUp::Action::Version);
}

TEST(StartUp, AWindowIdThatIsNoneIsRefusedWithTheReason) {
    for (const char* bad : {"", "0x", "0", "0x0", "12ab", "0xfffffffff", "-5", "99999999999", " 42"}) {
        const StartUp s = readStartUp({"--window-id", bad}, nullptr);
        EXPECT_EQ(s.action, StartUp::Action::Refuse) << bad;
        EXPECT_NE(s.error.find("not a window id"), std::string::npos) << s.error;
    }
    StartUp s = readStartUp({"-window-id"}, nullptr);
    EXPECT_EQ(s.action, StartUp::Action::Refuse);
    EXPECT_NE(s.error.find("needs a window id"), std::string::npos);
    s = readStartUp({"--root"}, "garbage");
    EXPECT_EQ(s.action, StartUp::Action::Refuse);
    EXPECT_NE(s.error.find("XSCREENSAVER_WINDOW=garbage"), std::string::npos);

    unsigned long id = 0;
    EXPECT_TRUE(platform::kernel::parseWindowId("0XFFFFFFFF", id));
    EXPECT_EQ(id, 0xFFFFFFFFul);
    EXPECT_TRUE(platform::kernel::parseWindowId("0010", id));
    EXPECT_EQ(id, 10ul) << "a leading zero is still decimal";
}

}  // namespace
