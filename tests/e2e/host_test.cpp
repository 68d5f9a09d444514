// The saver as a screensaver host runs it on Linux, on a private X server:
// in a preview window of the tests' own (--window-id), two copies in two
// windows, under the real XScreenSaver daemon (--root), and on a session
// bus where it must never inhibit the desktop's screensaver.
#include "run.h"
#include "support/png.h"
#include "support/xshot.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using test_support::Image;

// The saver under test: the build's, or another copy of it named by
// POMRIVEL_PROGRAM (the package checks run these tests on the installed hack).
std::string saverProgram() {
    const char* other = std::getenv("POMRIVEL_PROGRAM");
    return other && *other ? other : POMRIVEL;
}

// A running preview_host, spoken to through its standard input and output.
class PreviewHost {
public:
    PreviewHost(const std::string& display, const std::string& size, const std::string& kind = "") {
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        std::vector<std::string> environment{"DISPLAY=" + display};
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("DISPLAY=", 0) != 0) environment.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = PREVIEW_HOST, arg = size, kindArg = kind;
        char* argv[] = {program.data(), arg.data(), kind.empty() ? nullptr : kindArg.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        input_ = toChild[1];
        output_ = fromChild[0];
        const std::string first = readLine();
        if (first.rfind("window ", 0) == 0) window_ = first.substr(7);
    }
    ~PreviewHost() {
        close(input_);
        close(output_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    PreviewHost(const PreviewHost&) = delete;
    PreviewHost& operator=(const PreviewHost&) = delete;

    // The window's id as hosts pass it ("0x...").
    const std::string& window() const { return window_; }

    std::string command(const std::string& line) {
        const std::string text = line + "\n";
        if (write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
        return readLine();
    }
    // What the window shows.
    Image snap() {
        const std::string path = e2e::freshDir("snap-" + std::to_string(++snaps_)) + "/window.png";
        return command("snap " + path) == "snapped" ? test_support::readPng(path) : Image{};
    }

private:
    std::string readLine() {
        std::string line;
        char c;
        pollfd p{output_, POLLIN, 0};
        while (poll(&p, 1, 10000) == 1 && read(output_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
    std::string window_;
    int snaps_ = 0;
};

// How much of a picture is the preview host's own grey (never drawn on).
double greyShare(const Image& image) {
    std::size_t grey = 0;
    for (std::uint32_t p : image.pixels) grey += p == 0x808080;
    return image.pixels.empty() ? 1.0 : static_cast<double>(grey) / image.pixels.size();
}

std::size_t differingPixels(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return a.pixels.size() + b.pixels.size();
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

// The names of the top-level windows on a display.
std::vector<std::string> topLevelNames(const std::string& display) {
    std::vector<std::string> names;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return names;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            char* name = nullptr;
            names.emplace_back(XFetchName(d, children[i], &name) && name ? name : "");
            if (name) XFree(name);
        }
        XFree(children);
    }
    XCloseDisplay(d);
    return names;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

#define NEEDS_X(x) \
    if ((x).display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)"

TEST(PreviewWindow, TheHackDrawsTheSceneIntoItFollowsItsSizeAndEndsWhenItGoes) {
    test_support::Xvfb x;
    NEEDS_X(x);
    const std::size_t windowsBefore = topLevelNames(x.display()).size();
    PreviewHost host(x.display(), "320x240");
    ASSERT_FALSE(host.window().empty());

    e2e::Process saver(saverProgram(), {"--window-id", host.window()}, x.environment());
    ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors();
    EXPECT_EQ(topLevelNames(x.display()).size(), windowsBefore + 1) << "no window of the saver's own";

    // The scene fills the 4:3 window and moves.
    const Image first = host.snap();
    ASSERT_EQ(first.width, 320);
    EXPECT_LT(greyShare(first), 0.01) << "the scene fills the window";
    EXPECT_NE(first.at(0, 0), 0u);
    EXPECT_NE(first.at(319, 239), 0u) << "no bars in a window of the picture's shape";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(differingPixels(first, host.snap()), 100u) << "the scene moves";

    // Resized wider: filled again, the picture centred between black bars.
    ASSERT_EQ(host.command("resize 500 200"), "resized");
    ASSERT_TRUE(waitFor(
        [&] {
            const Image wide = host.snap();
            return wide.width == 500 && greyShare(wide) < 0.01 && wide.at(10, 100) == 0 && wide.at(489, 100) == 0 &&
                   wide.at(250, 100) != 0;
        },
        3000))
        << "the picture follows the window's new size, aspect kept";

    ASSERT_EQ(host.command("destroy"), "destroyed");
    const e2e::Result r = saver.wait(3000);
    ASSERT_TRUE(r.finished) << "the hack ends by itself once its window is gone\n" << r.trace << r.errors;
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_NE(r.trace.find("display mode restored"), std::string::npos) << "through the orderly stop";
}

TEST(PreviewWindow, TwoCopiesInTwoWindowsBothDrawAndASecondOneForTheSameWindowStops) {
    test_support::Xvfb x;
    NEEDS_X(x);
    PreviewHost left(x.display(), "160x120+0+0"), right(x.display(), "200x150+300+0");
    ASSERT_FALSE(left.window().empty());
    ASSERT_FALSE(right.window().empty());
    // One runtime folder: the single-instance guard is the same for all three.
    std::map<std::string, std::string> env = x.environment();
    env["XDG_RUNTIME_DIR"] = e2e::freshDir("shared-runtime");
    chmod(env["XDG_RUNTIME_DIR"].c_str(), 0700);

    e2e::Process a(saverProgram(), {"--root", "--window-id", left.window()}, env);
    e2e::Process b(saverProgram(), {"-window-id", right.window(), "-fps"}, env);
    ASSERT_TRUE(a.waitForFrames()) << a.trace() << a.errors();
    ASSERT_TRUE(b.waitForFrames()) << b.trace() << b.errors();
    const Image without = left.snap(), withRate = right.snap();
    EXPECT_LT(greyShare(without), 0.01);
    EXPECT_LT(greyShare(withRate), 0.01);
    // -fps: white letters on a black box in the top-left corner (its top
    // rows are the box's padding), and only there.
    auto boxTop = [](const Image& image) {
        for (int x = 4; x < 120; ++x)
            if (image.at(x, 4) != 0 || image.at(x, 5) != 0) return false;
        return true;
    };
    auto letters = [](const Image& image) {
        int n = 0;
        for (int y = 6; y < 13; ++y)
            for (int x = 6; x < 120; ++x) n += image.at(x, y) == 0xFFFFFF;
        return n;
    };
    EXPECT_TRUE(boxTop(withRate)) << "the frame rate is shown";
    EXPECT_GT(letters(withRate), 100);
    EXPECT_FALSE(boxTop(without)) << "and only with -fps";

    const e2e::Result again = e2e::run(saverProgram(), {"--window-id", left.window()}, env, 5000);
    ASSERT_TRUE(again.finished);
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.trace.find("mutex exists"), std::string::npos) << again.trace;
    EXPECT_EQ(again.trace.find("window shown"), std::string::npos) << "it ends at its first step";

    EXPECT_EQ(a.stop(SIGTERM, 3000).status, 0);
    EXPECT_EQ(b.stop(SIGTERM, 3000).status, 0);
}

TEST(HostOptions, AWrongWindowOrValueIsAClearMessageAndTheHelpAndVersionAnswer) {
    test_support::Xvfb x;
    NEEDS_X(x);
    e2e::Result r = e2e::run(saverProgram(), {"--window-id", "0x7fffff01"}, x.environment(), 5000);
    ASSERT_TRUE(r.finished);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.errors.find("there is no window 0x7fffff01 on the X display"), std::string::npos) << r.errors;
    EXPECT_EQ(r.errors.find("pomrivel-capture"), std::string::npos) << "a window's fault, not a missing display";

    r = e2e::run(saverProgram(), {"--window-id", "twelve"}, x.environment(), 5000);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("\"twelve\" is not a window id"), std::string::npos) << r.errors;

    r = e2e::run(saverProgram(), {"--help"}, x.environment(), 5000);
    EXPECT_EQ(r.status, 0);
    r = e2e::run(saverProgram(), {"--version"}, x.environment(), 5000);
    EXPECT_EQ(r.status, 0);
}

// ---- Windows and displays that make drawing hard ----

// Every property of a window, name and raw value.
std::map<std::string, std::string> properties(const std::string& display, unsigned long window) {
    std::map<std::string, std::string> all;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return all;
    int count = 0;
    if (Atom* names = XListProperties(d, window, &count)) {
        for (int i = 0; i < count; ++i) {
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            std::string value;
            if (XGetWindowProperty(d, window, names[i], 0, 1 << 20, False, AnyPropertyType, &type, &format, &items,
                                   &after, &data) == Success && data)
                value.assign(reinterpret_cast<char*>(data), items * static_cast<unsigned long>(format / 8));
            if (data) XFree(data);
            char* name = XGetAtomName(d, names[i]);
            all[name ? name : "?"] = value;
            XFree(name);
        }
        XFree(names);
    }
    XCloseDisplay(d);
    return all;
}

unsigned long rootOf(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return 0;
    const unsigned long root = DefaultRootWindow(d);
    XCloseDisplay(d);
    return root;
}

// How many colours a picture has: a scene has hundreds, a blank window one.
std::size_t colours(const Image& image) {
    return std::set<std::uint32_t>(image.pixels.begin(), image.pixels.end()).size();
}

TEST(HostWindow, TheHackChangesNoPropertyOfTheHostsWindowOrOfTheRoot) {
    test_support::Xvfb x;
    NEEDS_X(x);
    PreviewHost host(x.display(), "320x240");
    ASSERT_FALSE(host.window().empty());
    const unsigned long window = std::stoul(host.window(), nullptr, 16);
    const auto before = properties(x.display(), window);
    const auto rootBefore = properties(x.display(), rootOf(x.display()));
    {
        e2e::Process saver(saverProgram(), {"--window-id", host.window()}, x.environment());
        ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors();
        EXPECT_EQ(properties(x.display(), window), before) << "while it draws";
        EXPECT_EQ(saver.stop(SIGTERM, 3000).status, 0);
    }
    EXPECT_EQ(properties(x.display(), window), before) << "after it ended";
    {
        e2e::Process root(saverProgram(), {"--root"}, x.environment());
        ASSERT_TRUE(root.waitForFrames()) << root.trace() << root.errors();
        EXPECT_EQ(root.stop(SIGTERM, 3000).status, 0);
    }
    EXPECT_EQ(properties(x.display(), rootOf(x.display())), rootBefore) << "--root leaves the root window as it was";
}

TEST(HostWindow, AWindowDestroyedAsTheHackStartsEndsItCleanly) {
    test_support::Xvfb x;
    NEEDS_X(x);
    // A preview closed at once, at moments through the hack's start-up.
    for (const int delayMs : {0, 5, 10, 15, 20, 25, 30, 40, 60}) {
        SCOPED_TRACE("destroyed after " + std::to_string(delayMs) + " ms");
        PreviewHost host(x.display(), "160x120");
        ASSERT_FALSE(host.window().empty());
        e2e::Process saver(saverProgram(), {"--window-id", host.window()}, x.environment());
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ASSERT_EQ(host.command("destroy"), "destroyed");
        const e2e::Result r = saver.wait(5000);
        ASSERT_TRUE(r.finished) << r.trace << r.errors;
        EXPECT_EQ(r.errors.find("X Error"), std::string::npos) << "never Xlib's handler: " << r.errors;
        if (r.status != 0) {
            // Gone before the hack could look at it: said so.
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.errors.find("there is no window " + host.window()), std::string::npos) << r.errors;
        }
    }
}

TEST(HostWindow, AnInputOnlyWindowIsRefusedNamingIt) {
    test_support::Xvfb x;
    NEEDS_X(x);
    PreviewHost host(x.display(), "160x120", "input-only");
    ASSERT_FALSE(host.window().empty());
    const e2e::Result r = e2e::run(saverProgram(), {"--window-id", host.window()}, x.environment(), 5000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("window " + host.window() + " is an input-only window"), std::string::npos) << r.errors;
}

// Hack mode (--root) and the saver on its own (/s) on 16-, 24- and 30-bit
// screens and on a server without MIT-SHM draw the scene; an 8-bit
// colour-mapped screen is refused with a message and status 1.
TEST(Depths, EveryTrueColourScreenShowsTheSceneAndAColourMappedOneIsRefused) {
    struct Case {
        std::string screen;
        std::vector<std::string> serverArgs;
    };
    for (const Case& c : {Case{"640x480x16", {}}, Case{"640x480x24", {}}, Case{"640x480x30", {}},
                          Case{"640x480x24", {"-extension", "MIT-SHM"}}}) {
        test_support::Xvfb x(c.screen, c.serverArgs);
        NEEDS_X(x);
        for (const std::vector<std::string>& args : {std::vector<std::string>{"--root"}, std::vector<std::string>{"/s"}}) {
            SCOPED_TRACE(c.screen + (c.serverArgs.empty() ? "" : " without MIT-SHM") + " " + args[0]);
            e2e::Process saver(saverProgram(), args, x.environment());
            ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors();
            const Image shot = test_support::grabScreen(x.display());
            EXPECT_GT(colours(shot), 200u) << "the scene, not a blank screen";
            EXPECT_EQ(saver.stop(SIGTERM, 3000).status, 0) << saver.errors();
        }
    }
    test_support::Xvfb x("640x480x8");
    NEEDS_X(x);
    for (const char* mode : {"--root", "/s"}) {
        SCOPED_TRACE(mode);
        const e2e::Result r = e2e::run(saverProgram(), {mode}, x.environment(), 5000);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.errors.find("PseudoColor visual of depth 8"), std::string::npos) << r.errors;
    }
}

// ---- The real XScreenSaver daemon ----

// Runs a shell line as the user the daemon runs as: nobody when the tests
// run as root (XScreenSaver will not start hacks as root), else ourselves.
int asDaemonUser(const std::string& home, const std::string& display, const std::string& line) {
    const std::string env = "env HOME='" + home + "' DISPLAY='" + display + "' ";
    const std::string command = geteuid() == 0 ? "runuser -u nobody -- " + env + "sh -c \"" + line + "\""
                                               : env + "sh -c \"" + line + "\"";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t countLines(const std::string& text, const std::string& prefix) {
    return e2e::traceLines(text, prefix).size();
}

bool have(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(XScreenSaver, RunsTheHackOnceInItsWindowAndStopsItOnDeactivation) {
    if (!have("xscreensaver") || !have("xscreensaver-command")) GTEST_SKIP() << "xscreensaver is not installed";
    if (geteuid() == 0 && !have("runuser")) GTEST_SKIP() << "runuser is needed to run the daemon as nobody";
    test_support::Xvfb x("800x600x24");
    NEEDS_X(x);

    // A home of the daemon user's own, with a configuration that runs
    // nothing but Pomrivel, at once, unlocked, without fades or splash.
    const std::string home = e2e::freshDir("xscreensaver-home");
    const std::string trace = home + "/trace.txt";
    {
        std::ofstream config(home + "/.xscreensaver");
        config << "mode: one\nselected: 0\nsplash: False\nlock: False\nfade: False\nunfade: False\n"
               << "timeout: 1:00:00\ndpmsEnabled: False\n"
               << "programs: POMRIVEL_TRACE=" << trace << " " << saverProgram() << " --root\n";
    }
    std::ofstream(trace).close();
    if (geteuid() == 0) {
        for (const auto& entry : fs::recursive_directory_iterator(home)) chown(entry.path().c_str(), 65534, 65534);
        chown(home.c_str(), 65534, 65534);
    }

    // The daemon, in the background, then the activation.
    ASSERT_EQ(asDaemonUser(home, x.display(), "xscreensaver -no-splash >" + home + "/daemon.log 2>&1 &"), 0);
    ASSERT_TRUE(waitFor([&] { return asDaemonUser(home, x.display(), "xscreensaver-command -version >/dev/null 2>&1") == 0; },
                        10000))
        << readAll(home + "/daemon.log");
    ASSERT_EQ(asDaemonUser(home, x.display(), "xscreensaver-command -activate >/dev/null"), 0);
    ASSERT_TRUE(waitFor([&] { return e2e::traceLines(readAll(trace), "caption ").size() >= 2; },
                        10000))
        << readAll(trace) << readAll(home + "/daemon.log");

    // One launch, and no window of Pomrivel's own among the top-level ones.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(countLines(readAll(trace), "display mode 640x480"), 1u) << readAll(trace);
    for (const std::string& name : topLevelNames(x.display())) {
        EXPECT_EQ(name.find("Pomrivel"), std::string::npos) << name;
        EXPECT_EQ(name.find("Frames Per Second"), std::string::npos) << name;
    }

    // The scene shows in the daemon's window (over the whole screen) and moves.
    auto screen = [&] {
        const std::string path = e2e::freshDir("root-snap") + "/screen.png";
        test_support::Image image;
        Display* d = XOpenDisplay(x.display().c_str());
        if (!d) return image;
        XWindowAttributes a{};
        XGetWindowAttributes(d, DefaultRootWindow(d), &a);
        if (XImage* xi = XGetImage(d, DefaultRootWindow(d), 0, 0, a.width, a.height, AllPlanes, ZPixmap)) {
            image.width = a.width;
            image.height = a.height;
            for (int yy = 0; yy < a.height; ++yy)
                for (int xx = 0; xx < a.width; ++xx)
                    image.pixels.push_back(static_cast<std::uint32_t>(XGetPixel(xi, xx, yy)) & 0xFFFFFF);
            XDestroyImage(xi);
        }
        XCloseDisplay(d);
        return image;
    };
    const Image one = screen();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Image two = screen();
    ASSERT_EQ(one.width, 800);
    std::size_t black = 0;
    for (std::uint32_t p : one.pixels) black += p == 0;
    EXPECT_LT(black, one.pixels.size() / 2) << "the scene is on the screen (letterboxed 800x600 has no bars)";
    EXPECT_GT(differingPixels(one, two), 100u) << "and moving";

    // Deactivated: the hack ends the orderly way within two seconds.
    ASSERT_EQ(asDaemonUser(home, x.display(), "xscreensaver-command -deactivate >/dev/null"), 0);
    EXPECT_TRUE(waitFor([&] { return readAll(trace).find("exit 0") != std::string::npos; }, 2000))
        << readAll(trace) << readAll(home + "/daemon.log");
    asDaemonUser(home, x.display(), "xscreensaver-command -exit >/dev/null 2>&1");
}

// ---- No inhibition ----

TEST(SessionBus, TheSaverNeverAsksToInhibitTheScreensaver) {
    if (!have("dbus-run-session") || !have("dbus-monitor") || !have("dbus-send"))
        GTEST_SKIP() << "the D-Bus tools are not installed";
    test_support::Xvfb x;
    NEEDS_X(x);
    const std::string dir = e2e::freshDir("session-bus");
    const std::string calls = dir + "/calls.txt", trace = dir + "/trace.txt";
    // A runtime folder of its own: another saver of the same user on the
    // machine must not make this one stop at its single-instance check.
    const std::string runtime = e2e::freshDir("session-bus-runtime");
    chmod(runtime.c_str(), 0700);
    // Within one session bus: a monitor of every method call, a call of our
    // own to prove it sees them, then the saver for five seconds of frames.
    const std::string script = "export DISPLAY='" + x.display() + "'; dbus-monitor --session type=method_call >'" +
                               calls + "' 2>&1 & m=\\$!; sleep 0.5; dbus-send --session --print-reply "
                               "--dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId >/dev/null; "
                               "XDG_RUNTIME_DIR='" + runtime + "' POMRIVEL_TRACE='" + trace +
                               "' POMRIVEL_BACKEND=x11 timeout -s TERM 5 '" + saverProgram() +
                               "' /s; sleep 0.3; kill \\$m";
    const std::string line = "dbus-run-session -- sh -c \"" + script + "\"";
    ASSERT_EQ(std::system(line.c_str()) == -1, false);
    const std::string seen = readAll(calls);
    ASSERT_NE(seen.find("GetId"), std::string::npos) << "the monitor saw no calls at all:\n" << seen;
    ASSERT_GE(e2e::traceLines(readAll(trace), "caption ").size(), 2u) << readAll(trace);
    EXPECT_EQ(seen.find("Inhibit"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("SimulateUserActivity"), std::string::npos) << seen;
}

}  // namespace
