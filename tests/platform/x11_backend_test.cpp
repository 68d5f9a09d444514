// The X11 backend on a private X server (an Xvfb of the tests' own):
// emulated modes, the frame on every monitor and how it is scaled there,
// frames sent as far as they changed, input and the pointer, visuals of
// other depths, and the wait between frames.
#include "backend/scaler.h"
#include "gdi/objects.h"
#include "support/xshot.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

// Xlib after GoogleTest: Xlib's macros (None, Bool) clash with its names.
#include "backend/x11/desktop.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::backend::Canvas;
using platform::backend::DisplayMode;
using platform::backend::Event;
using platform::backend::EventType;
using platform::backend::MouseButton;
using platform::backend::Picture;
using platform::backend::WindowId;
using platform::backend::x11::Desktop;
using platform::gdi::PixelFormat;
using platform::gdi::Surface;
using test_support::Image;

Surface randomFrame(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    Surface s(w, h, PixelFormat::Rgb32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.rgbRow(y)[x] = rng() & 0x00FFFFFF;
    return s;
}

// The frame as the layer's scaler puts it on a screen of w x h, bars and all.
Image expected(const Surface& frame, int w, int h) {
    Image out;
    out.width = w;
    out.height = h;
    out.pixels.assign(static_cast<std::size_t>(w) * h, 0);
    platform::backend::Scaler().scaleLetterboxed(
        Picture{frame.rgbRow(0), frame.width(), frame.height(), frame.stride()},
        Canvas{out.pixels.data(), w, h, static_cast<std::size_t>(w) * 4});
    return out;
}

std::size_t differing(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return std::max(a.pixels.size(), b.pixels.size()) + 1;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

std::vector<std::string> windowStates(Display* d, Window w) {
    std::vector<std::string> names;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type, &format,
                           &count, &after, &data) == Success && data) {
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(d, reinterpret_cast<Atom*>(data)[i]);
            names.emplace_back(name ? name : "");
            XFree(name);
        }
    }
    if (data) XFree(data);
    return names;
}

// A backend on an Xvfb of its own for each test (screens differ), with
// helpers to show frames and read back what the server shows.
class X11 : public ::testing::Test {
protected:
    void start(const std::string& screen = "1024x768x24", std::vector<std::string> serverArgs = {}) {
        backend_.reset();
        server_ = std::make_unique<test_support::Xvfb>(screen, serverArgs);
        if (server_->display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
        saved_ = std::getenv("DISPLAY") ? std::optional<std::string>(std::getenv("DISPLAY")) : std::nullopt;
        setenv("DISPLAY", server_->display().c_str(), 1);
        std::string why;
        backend_ = Desktop::open(why);
        ASSERT_TRUE(backend_) << why;
    }
    void TearDown() override {
        backend_.reset();
        server_.reset();
        if (saved_) setenv("DISPLAY", saved_->c_str(), 1);
    }

    // Runs a shell command on the test's display.
    int onDisplay(const std::string& command) { return test_support::onDisplay(server_->display(), command); }

    const Surface& keep(Surface s) { return *frames_.emplace_back(std::make_unique<Surface>(std::move(s))); }

    // A full-screen topmost window in a w x h mode, shown.
    WindowId fullScreen(int w, int h) {
        EXPECT_EQ(backend_->changeMode(DisplayMode{w, h, 32, 60}), DISP_CHANGE_SUCCESSFUL);
        const WindowId id = backend_->createWindow("Pomrivel", 0, 0, w, h);
        backend_->place(id, 0, 0, w, h, true);
        backend_->show(id, true);
        settle();
        return id;
    }

    // Shows what is recorded and waits until the server has it.
    void showNow() {
        backend_->showFrames();
        XSync(backend_->display(), False);
    }
    void settle() {
        XSync(backend_->display(), False);
        Event e;
        while (backend_->pollEvent(e)) {
        }
    }
    void present(WindowId id, const Surface& frame) {
        backend_->recordFrame(id, frame);
        showNow();
    }

    Image screen(int x = 0, int y = 0, int w = 0, int h = 0) {
        return test_support::grabScreen(server_->display(), x, y, w, h);
    }

    std::optional<Event> next(EventType type) {
        settle();
        for (const Event& e : events_)
            if (e.type == type) return e;
        return std::nullopt;
    }

    std::unique_ptr<test_support::Xvfb> server_;
    std::unique_ptr<Desktop> backend_;
    std::optional<std::string> saved_;
    std::vector<std::unique_ptr<Surface>> frames_;
    std::vector<Event> events_;
};

TEST_F(X11, ModesAreEmulatedAndTheFullScreenWindowCoversTheScreenAboveTheOthers) {
    start();
    DisplayMode mode;
    ASSERT_TRUE(backend_->currentMode(mode));
    EXPECT_EQ(mode.width, 1024);
    EXPECT_EQ(mode.height, 768);
    EXPECT_EQ(mode.bitsPerPixel, 32) << "a 24-bit visual has 32-bit pixels";

    const WindowId id = fullScreen(800, 480);
    ASSERT_TRUE(backend_->currentMode(mode));
    EXPECT_EQ(mode.width, 800);
    EXPECT_EQ(backend_->workArea().right, 800);
    EXPECT_EQ(backend_->workArea().bottom, 480);
    const std::vector<Window> xs = backend_->xWindows(id);
    ASSERT_EQ(xs.size(), 1u);
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(backend_->display(), xs[0], &a));
    EXPECT_EQ(a.width, 1024);
    EXPECT_EQ(a.height, 768);
    EXPECT_EQ(a.map_state, IsViewable);
    const std::vector<std::string> states = windowStates(backend_->display(), xs[0]);
    EXPECT_NE(std::find(states.begin(), states.end(), "_NET_WM_STATE_FULLSCREEN"), states.end());
    EXPECT_NE(std::find(states.begin(), states.end(), "_NET_WM_STATE_ABOVE"), states.end());

    // 800x480 is wider than 4:3: bars above and below, the picture between.
    present(id, keep(Surface(800, 480, PixelFormat::Rgb32)));
    const Surface& frame = keep(randomFrame(800, 480, 1));
    present(id, frame);
    EXPECT_EQ(differing(screen(), expected(frame, 1024, 768)), 0u);

    backend_->restoreMode();
    ASSERT_TRUE(backend_->currentMode(mode));
    EXPECT_EQ(mode.width, 1024);
}

// Many frames, each changing a few places, shown as far as they changed:
// the screen then equals a whole scale of the last frame, pixel for pixel,
// at an integer factor (512x384 doubled), sharp-bilinear (640x480 at 1.6)
// and shrinking (2048x1536 halved).
TEST_F(X11, FramesShownAsFarAsTheyChangedEqualAWholeRedraw) {
    start();
    for (const auto& [w, h] : {std::pair{512, 384}, std::pair{640, 480}, std::pair{2048, 1536}}) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        const WindowId id = fullScreen(w, h);
        Surface& frame = const_cast<Surface&>(keep(randomFrame(w, h, 2)));
        present(id, frame);
        std::mt19937 rng(w);
        for (int step = 0; step < 40; ++step) {
            std::uniform_int_distribution<int> xs(0, w - 1), ys(0, h - 1), side(1, 60);
            for (int n = 0; n < 3; ++n) {
                const int x0 = xs(rng), y0 = ys(rng), x1 = std::min(w, x0 + side(rng)), y1 = std::min(h, y0 + side(rng));
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x) frame.rgbRow(y)[x] = rng() & 0x00FFFFFF;
            }
            backend_->recordFrame(id, frame);
            backend_->showFrames();
        }
        XSync(backend_->display(), False);
        EXPECT_EQ(differing(screen(), expected(frame, 1024, 768)), 0u);
        backend_->destroyWindow(id);
    }
}

TEST_F(X11, AFullScreenWindowCoversEveryMonitorAndFollowsMonitorsComingAndGoing) {
    start("3200x1080x24");
    // One screen, two monitors of different sizes, as `xrandr --setmonitor`
    // makes them.
    ASSERT_EQ(onDisplay("xrandr --setmonitor L 1920/508x1080/286+0+0 screen >/dev/null && "
                        "xrandr --setmonitor R 1280/338x1024/270+1920+0 none >/dev/null"),
              0);
    std::string why;
    backend_ = Desktop::open(why);
    ASSERT_TRUE(backend_) << why;
    const WindowId id = fullScreen(640, 480);
    const Surface& frame = keep(randomFrame(640, 480, 3));
    present(id, frame);
    ASSERT_EQ(backend_->xWindows(id).size(), 2u) << "one window for each monitor";
    // Each monitor shows the whole picture, scaled to it.
    EXPECT_EQ(differing(screen(0, 0, 1920, 1080), expected(frame, 1920, 1080)), 0u);
    EXPECT_EQ(differing(screen(1920, 0, 1280, 1024), expected(frame, 1280, 1024)), 0u);

    // A third monitor while it runs gains a window; a monitor that goes
    // loses its own.
    ASSERT_EQ(onDisplay("xrandr --delmonitor R >/dev/null && xrandr --setmonitor R 640/169x1024/270+1920+0 none "
                        ">/dev/null && xrandr --setmonitor T 640/169x480/127+2560+0 none >/dev/null"),
              0);
    settle();
    present(id, frame);
    EXPECT_EQ(backend_->xWindows(id).size(), 3u);
    EXPECT_EQ(differing(screen(2560, 0, 640, 480), expected(frame, 640, 480)), 0u) << "the new monitor shows it";
    EXPECT_EQ(differing(screen(1920, 0, 640, 1024), expected(frame, 640, 1024)), 0u) << "the changed one follows";
    ASSERT_EQ(onDisplay("xrandr --delmonitor T >/dev/null"), 0);
    settle();
    EXPECT_EQ(backend_->xWindows(id).size(), 2u);
}

TEST_F(X11, InputFromAnyWindowBecomesWin32EventsAndThePointerMapsWithoutClamping) {
    start("3200x1080x24");
    ASSERT_EQ(onDisplay("xrandr --setmonitor L 1920/508x1080/286+0+0 screen >/dev/null && "
                        "xrandr --setmonitor R 1280/338x1024/270+1920+0 none >/dev/null"),
              0);
    std::string why;
    backend_ = Desktop::open(why);
    ASSERT_TRUE(backend_) << why;
    const WindowId id = fullScreen(640, 480);
    Display* d = backend_->display();
    const std::vector<Window> xs = backend_->xWindows(id);
    ASSERT_EQ(xs.size(), 2u);

    auto sendKey = [&](Window to, KeySym sym, bool down, unsigned state) {
        XEvent e{};
        e.xkey.type = down ? KeyPress : KeyRelease;
        e.xkey.window = to;
        e.xkey.root = DefaultRootWindow(d);
        e.xkey.keycode = XKeysymToKeycode(d, sym);
        e.xkey.state = state;
        e.xkey.same_screen = True;
        XSendEvent(d, to, False, down ? KeyPressMask : KeyReleaseMask, &e);
    };
    auto take = [&] {
        XSync(d, False);
        std::vector<Event> got;
        Event e;
        while (backend_->pollEvent(e)) got.push_back(e);
        return got;
    };

    // Keys on the second monitor's window are the program's too.
    sendKey(xs[1], XK_space, false, 0);
    sendKey(xs[0], XK_F4, true, Mod1Mask);
    sendKey(xs[0], XK_Alt_L, false, Mod1Mask);
    std::vector<Event> got = take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].type, EventType::KeyUp);
    EXPECT_EQ(got[0].virtualKey, VK_SPACE);
    EXPECT_EQ(got[0].window, id);
    EXPECT_FALSE(got[0].altDown);
    EXPECT_EQ(got[1].type, EventType::KeyDown);
    EXPECT_EQ(got[1].virtualKey, VK_F4);
    EXPECT_TRUE(got[1].altDown);
    EXPECT_EQ(got[2].virtualKey, VK_MENU);
    EXPECT_FALSE(got[2].altDown) << "Alt is up once released";

    // The 640x480 picture fills 1440x1080 of the left monitor from x=240:
    // a click in the bar and one on the other monitor lie outside the
    // logical screen, where the program still sees them.
    auto click = [&](Window to, int rx, int ry, unsigned button) {
        XEvent e{};
        e.xbutton.type = ButtonPress;
        e.xbutton.window = to;
        e.xbutton.root = DefaultRootWindow(d);
        e.xbutton.button = button;
        e.xbutton.x_root = rx;
        e.xbutton.y_root = ry;
        e.xbutton.same_screen = True;
        XSendEvent(d, to, False, ButtonPressMask, &e);
    };
    click(xs[0], 960, 540, Button1);
    click(xs[0], 100, 540, Button3);
    click(xs[1], 2500, 10, Button1);
    got = take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].button, MouseButton::Left);
    EXPECT_EQ(got[0].position.x, 320);
    EXPECT_EQ(got[0].position.y, 240);
    EXPECT_EQ(got[1].button, MouseButton::Right);
    EXPECT_LT(got[1].position.x, 0) << "in the bar, left of the picture";
    EXPECT_GT(got[2].position.x, 639) << "on the other monitor";
    EXPECT_EQ(got[2].window, id);

    // The pointer as the server has it: a warp moves it, and it maps
    // unclamped too.
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, 960, 540);
    take();
    POINT p = backend_->cursorPosition();
    EXPECT_EQ(p.x, 320);
    EXPECT_EQ(p.y, 240);
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, 2500, 540);
    take();
    p = backend_->cursorPosition();
    EXPECT_GT(p.x, 639) << "a warp to the other monitor is a movement";

    // The window manager's close of either window closes the program's.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = xs[1];
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    XSendEvent(d, xs[1], False, NoEventMask, &close);
    got = take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, EventType::CloseRequest);
    EXPECT_EQ(got[0].window, id);
}

// 10 bits a channel, 16 bits a pixel, and a server without MIT-SHM (a
// remote display): the same picture, in the server's own pixels.
TEST_F(X11, OtherDepthsAndServersWithoutSharedMemoryShowTheSamePicture) {
    struct Case {
        const char* screen;
        std::vector<std::string> args;
        int bitsPerPixel;
        int tolerance;  // per channel: 5 or 6 bits a channel round
    };
    for (const Case& c : {Case{"640x480x30", {}, 32, 0}, Case{"640x480x16", {}, 16, 4},
                          Case{"640x480x24", {"-extension", "MIT-SHM"}, 32, 0}}) {
        SCOPED_TRACE(c.screen + std::string(c.args.empty() ? "" : " without MIT-SHM"));
        start(c.screen, c.args);
        DisplayMode mode;
        ASSERT_TRUE(backend_->currentMode(mode));
        EXPECT_EQ(mode.bitsPerPixel, c.bitsPerPixel);
        const WindowId id = fullScreen(640, 480);
        const Surface& frame = keep(randomFrame(640, 480, 4));
        present(id, frame);
        const Image shown = screen();
        ASSERT_EQ(shown.width, 640);
        int worst = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                for (int shift : {0, 8, 16}) {
                    const int a = static_cast<int>(frame.rgbRow(y)[x] >> shift & 0xFF);
                    const int b = static_cast<int>(shown.at(x, y) >> shift & 0xFF);
                    worst = std::max(worst, std::abs(a - b));
                }
        EXPECT_LE(worst, c.tolerance);
        backend_.reset();
    }
}

TEST_F(X11, AnEightBitColourMappedDisplayIsRefusedSayingWhy) {
    server_ = std::make_unique<test_support::Xvfb>("640x480x8");
    if (server_->display().empty()) GTEST_SKIP() << "no X server could be started";
    setenv("DISPLAY", server_->display().c_str(), 1);
    std::string why;
    EXPECT_FALSE(Desktop::open(why));
    EXPECT_NE(why.find("PseudoColor visual of depth 8"), std::string::npos) << why;
}

TEST_F(X11, IdleWaitsForTheClockAndAPendingCloseRequestDoesNotHoldIt) {
    start();
    fullScreen(640, 480);
    for (int i = 0; i < 20; ++i) {
        const std::uint64_t before = backend_->uptimeMilliseconds();
        backend_->idle();
        EXPECT_GT(backend_->uptimeMilliseconds(), before) << "an idle wait ends only once the tick count can change";
    }
    platform::backend::requestCloseFromSignal();
    backend_->idle();
    EXPECT_TRUE(platform::backend::takeCloseRequest());
    const std::uint64_t before = backend_->uptimeMilliseconds();
    backend_->idle();
    EXPECT_GT(backend_->uptimeMilliseconds(), before) << "a close request that was taken wakes no further wait";
}

}  // namespace
