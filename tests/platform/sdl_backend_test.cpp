// The SDL backend on an X server (an Xvfb started for the tests): emulated
// display modes, the two ways a frame reaches the screen and how it is
// scaled there, input, and the idle wait between frames.
#include "backend/scaler.h"
#include "backend/sdl/sdl.h"
#include "backend/sdl/xshm.h"
#include "gdi/objects.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer's built-in settings for this program: SDL's video start-up
// connects to D-Bus, and libdbus keeps a buffer from then on that nothing
// frees (SDL leaves dbus_shutdown uncalled). Not ours; not worth a report.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
#endif

namespace {

using platform::backend::DisplayMode;
using platform::backend::Event;
using platform::backend::EventType;
using platform::backend::MouseButton;
using platform::backend::SdlBackend;
using platform::gdi::PixelFormat;
using platform::gdi::Surface;
using Path = SdlBackend::PresentPath;

Surface filled(int w, int h, std::uint32_t pixel) {
    Surface s(w, h, PixelFormat::Rgb32);
    for (int y = 0; y < h; ++y) std::fill_n(s.rgbRow(y), w, pixel);
    return s;
}

// A frame in which neighbouring pixels differ: random colours.
Surface randomFrame(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    Surface s(w, h, PixelFormat::Rgb32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.rgbRow(y)[x] = rng() & 0x00FFFFFF;
    return s;
}

std::uint32_t channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// Whether p lies, channel by channel, between a and b (a blend of the two
// or either one), with one step of rounding.
bool between(std::uint32_t p, std::uint32_t a, std::uint32_t b) {
    for (int shift : {0, 8, 16}) {
        const std::uint32_t lo = std::min(channel(a, shift), channel(b, shift));
        const std::uint32_t hi = std::max(channel(a, shift), channel(b, shift));
        const std::uint32_t c = channel(p, shift);
        if (c + 1 < lo || c > hi + 1) return false;
    }
    return true;
}

// The _NET_WM_STATE atoms of an SDL window on X11, read over a connection
// of the test's own.
std::vector<std::string> windowManagerState(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    std::vector<std::string> names;
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return names;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return names;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, info.info.x11.window, XInternAtom(d, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM,
                           &type, &format, &count, &after, &data) == Success &&
        data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(d, atoms[i]);
            names.emplace_back(name ? name : "");
            XFree(name);
        }
        XFree(data);
    }
    XCloseDisplay(d);
    return names;
}

TEST(SdlKeys, MapToWin32VirtualKeys) {
    using B = SdlBackend;
    EXPECT_EQ(B::virtualKey(SDLK_q, SDL_SCANCODE_Q), 'Q');
    EXPECT_EQ(B::virtualKey(SDLK_F10, SDL_SCANCODE_F10), VK_F10);
    EXPECT_EQ(B::virtualKey(SDLK_RALT, SDL_SCANCODE_RALT), VK_MENU);
    EXPECT_EQ(B::virtualKey(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), VK_RETURN);
    // A layout whose key makes another symbol: the letter by position.
    EXPECT_EQ(B::virtualKey(0x0444 /* Cyrillic ef */, SDL_SCANCODE_A), 'A');
    EXPECT_EQ(B::virtualKey(SDLK_AMPERSAND, SDL_SCANCODE_1), '1');
    EXPECT_EQ(B::virtualKey(SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY), 0xFF) << "unknown keys still make events";
}

// Starts an Xvfb for the suite (on a display number it chooses itself), or
// uses the DISPLAY already set when Xvfb is not installed. The present path
// is the backend's own choice unless a test sets POMRIVEL_PRESENT.
class SdlOnX : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* name : {"DISPLAY", "SDL_VIDEODRIVER", "SDL_RENDER_DRIVER", "POMRIVEL_PRESENT"}) {
            const char* value = std::getenv(name);
            savedEnv_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        server_ = std::make_unique<test_support::Xvfb>("1024x768x24");
        if (!server_->display().empty()) {
            setenv("DISPLAY", server_->display().c_str(), 1);
            ownServer_ = true;
        } else if (!std::getenv("DISPLAY")) {
            skip_ = "no X server: Xvfb could not start and DISPLAY is not set";
        }
        setenv("SDL_VIDEODRIVER", "x11", 1);
        // A texture path the tests force draws with SDL's own software
        // renderer: Mesa's GL driver, unloaded by SDL_Quit, leaves
        // allocations that the sanitizer build would report, and the
        // backend's side is the same.
        setenv("SDL_RENDER_DRIVER", "software", 1);
        unsetenv("POMRIVEL_PRESENT");
    }

    static void TearDownTestSuite() {
        server_.reset();
        for (const auto& [name, value] : savedEnv_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        savedEnv_.clear();
    }

    void SetUp() override {
        if (!skip_.empty()) GTEST_SKIP() << skip_;
        open();
    }

    void open(const char* path = nullptr) {
        backend_.reset();
        if (path)
            setenv("POMRIVEL_PRESENT", path, 1);
        else
            unsetenv("POMRIVEL_PRESENT");
        backend_ = SdlBackend::open();
        unsetenv("POMRIVEL_PRESENT");
        ASSERT_TRUE(backend_) << "SDL could not open the X display: " << SDL_GetError();
    }

    void TearDown() override {
        backend_.reset();
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "closing the backend shuts SDL's video down";
    }

    // Frames windows show: they live on after the test's body, until
    // TearDown has closed the backend and the windows with it.
    std::vector<std::unique_ptr<Surface>> frames_;
    const Surface& keep(Surface s) { return *frames_.emplace_back(std::make_unique<Surface>(std::move(s))); }

    // A full-screen topmost window in a w x h mode, shown, with the window
    // system's own events for it handled.
    platform::backend::WindowId fullScreenWindow(int w = 800, int h = 480) {
        EXPECT_EQ(backend_->changeMode(DisplayMode{w, h, 32, 60}), DISP_CHANGE_SUCCESSFUL);
        const auto id = backend_->createWindow("Pomrivel", 0, 0, w, h);
        EXPECT_NE(id, 0u);
        backend_->place(id, 0, 0, w, h, true);
        backend_->show(id, true);
        drain();
        return id;
    }

    void drain() {
        SDL_Delay(100);
        Event e;
        while (backend_->pollEvent(e)) {
        }
    }

    // The next event of a type, skipping others (the X server's own).
    std::optional<Event> next(EventType type) {
        Event e;
        while (backend_->pollEvent(e))
            if (e.type == type) return e;
        return std::nullopt;
    }

    // What the screen shows of a window, read back at the window's size.
    struct Shown {
        std::vector<std::uint32_t> pixels;
        int width = 0, height = 0;
        std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    };
    Shown shown(platform::backend::WindowId id) {
        Shown s;
        EXPECT_TRUE(backend_->readBack(id, s.pixels, s.width, s.height)) << SDL_GetError();
        return s;
    }

    std::unique_ptr<SdlBackend> backend_;
    static inline std::unique_ptr<test_support::Xvfb> server_;
    static inline bool ownServer_ = false;
    static inline std::string skip_;
    static inline std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};

// The same tests on both present paths.
class SdlPresent : public SdlOnX, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        if (!skip_.empty()) GTEST_SKIP() << skip_;
        open(GetParam());
    }
};

INSTANTIATE_TEST_SUITE_P(Paths, SdlPresent, ::testing::Values("surface", "texture"));

TEST_F(SdlOnX, WithoutAGpuFramesGoThroughTheWindowsOwnSurfaceAndEitherPathCanBeForced) {
    // Xvfb has no direct rendering: GL there is Mesa in software, so the
    // backend never starts it.
    auto id = backend_->createWindow("auto", 0, 0, 64, 48);
    EXPECT_EQ(backend_->presentPath(id), Path::Surface);
    open("texture");
    id = backend_->createWindow("texture", 0, 0, 64, 48);
    EXPECT_EQ(backend_->presentPath(id), Path::Texture);
    open("surface");
    id = backend_->createWindow("surface", 0, 0, 64, 48);
    EXPECT_EQ(backend_->presentPath(id), Path::Surface);
    backend_.reset();
    EXPECT_EXIT(
        {
            setenv("POMRIVEL_PRESENT", "gpu", 1);
            SdlBackend::open();
        },
        ::testing::ExitedWithCode(2), "POMRIVEL_PRESENT=gpu is not a present path; use surface or texture");
    open();
}

TEST_F(SdlOnX, SoftwareRenderersAreNotTakenForAGpu) {
    SDL_Window* window = SDL_CreateWindow("probe", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr);
    // SDL's software renderer, as the environment asks.
    EXPECT_EQ(platform::backend::makeTexturePresenter(window, false), nullptr);
    EXPECT_NE(platform::backend::makeTexturePresenter(window, true), nullptr) << "unless asked for any renderer";
#if !defined(__SANITIZE_ADDRESS__)
    // GL on Xvfb is llvmpipe (or softpipe, or none at all).
    setenv("SDL_RENDER_DRIVER", "opengl", 1);
    EXPECT_EQ(platform::backend::makeTexturePresenter(window, false), nullptr);
    setenv("SDL_RENDER_DRIVER", "software", 1);
#endif
    SDL_DestroyWindow(window);
}

TEST_P(SdlPresent, ModesAreEmulatedAndTheFrameIsLetterboxedOnTheRealScreen) {
    DisplayMode mode;
    ASSERT_TRUE(backend_->currentMode(mode));
    if (ownServer_) {
        EXPECT_EQ(mode.width, 1024);
        EXPECT_EQ(mode.height, 768);
        EXPECT_EQ(mode.bitsPerPixel, 32) << "a 24-bit X visual has 32-bit pixels";
    }
    const DisplayMode real = mode;

    const auto id = fullScreenWindow();
    ASSERT_TRUE(backend_->currentMode(mode));
    EXPECT_EQ(mode.width, 800);
    EXPECT_EQ(mode.height, 480);
    const RECT wa = backend_->workArea();
    EXPECT_EQ(wa.right, 800);
    EXPECT_EQ(wa.bottom, 480);

    // The window covers the real screen, borderless, and asks the window
    // manager for full screen above the others.
    SDL_Window* w = backend_->sdlWindow(id);
    ASSERT_NE(w, nullptr);
    SDL_Rect bounds{}, placed{};
    SDL_GetDisplayBounds(0, &bounds);
    SDL_GetWindowPosition(w, &placed.x, &placed.y);
    SDL_GetWindowSize(w, &placed.w, &placed.h);
    EXPECT_TRUE(SDL_RectEquals(&bounds, &placed));
    const Uint32 flags = SDL_GetWindowFlags(w);
    EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(flags & SDL_WINDOW_ALWAYS_ON_TOP);
    EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
    const auto state = windowManagerState(w);
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_FULLSCREEN"), state.end());
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_ABOVE"), state.end());
    backend_->setTitle(id, "Frames Per Second: 50");
    EXPECT_STREQ(SDL_GetWindowTitle(w), "Frames Per Second: 50");

    const std::uint32_t colour = 0x3366CC;
    backend_->present(id, keep(filled(800, 480, colour)));
    Shown s = shown(id);
    ASSERT_FALSE(s.pixels.empty());
    EXPECT_EQ(s.at(s.width / 2, s.height / 2), colour);
    // 800x480 is wider than the screen's 4:3: bars above and below.
    if (ownServer_) {
        EXPECT_EQ(s.at(s.width / 2, 0), 0u) << "black bar at the top";
        EXPECT_EQ(s.at(s.width / 2, s.height - 1), 0u) << "and at the bottom";
        EXPECT_EQ(s.at(s.width / 2, 76), 0u);
        EXPECT_EQ(s.at(s.width / 2, 77), colour) << "the picture fills 1024x614 from y=77";
    }

    backend_->restoreMode();
    ASSERT_TRUE(backend_->currentMode(mode));
    EXPECT_EQ(mode.width, real.width);
    EXPECT_EQ(mode.height, real.height);
}

// Pixel art on the 1024x768 screen: 512x384 doubles exactly, 400x300 and
// 640x480 are scaled sharp-bilinear, 2048x1536 is halved by averaging.
TEST_P(SdlPresent, TheModeIsScaledOntoTheScreenAsPixelArt) {
    if (!ownServer_) GTEST_SKIP() << "needs the tests' own 1024x768 screen";
    {
        const auto id = fullScreenWindow(512, 384);
        const Surface& frame = keep(randomFrame(512, 384, 1));
        backend_->present(id, frame);
        const Shown s = shown(id);
        ASSERT_EQ(s.width, 1024);
        ASSERT_EQ(s.height, 768);
        int wrong = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                if (s.at(x, y) != frame.rgbRow(y / 2)[x / 2] && ++wrong <= 3)
                    ADD_FAILURE() << "(" << x << "," << y << ") is not source pixel (" << x / 2 << "," << y / 2 << ")";
        EXPECT_EQ(wrong, 0) << "an integer factor is exact nearest-neighbour";
        backend_->destroyWindow(id);
    }
    // 2.56 times (400x300; twice, then linear) and 1.6 times (640x480;
    // once, then linear): one axis at a time, with a picture whose colour
    // changes only along that axis, so each screen pixel names its sources.
    for (const int width : {400, 640})
        for (const bool across : {true, false}) {
            SCOPED_TRACE(::testing::Message() << width << (across ? " columns" : " rows"));
            const int height = width * 3 / 4;
            const auto id = fullScreenWindow(width, height);
            std::mt19937 rng(width + across);
            std::vector<std::uint32_t> colours(across ? width : height);
            for (std::uint32_t& c : colours) c = rng() & 0x00FFFFFF;
            Surface frame(width, height, PixelFormat::Rgb32);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) frame.rgbRow(y)[x] = colours[across ? x : y];
            backend_->present(id, keep(std::move(frame)));
            const Shown s = shown(id);
            ASSERT_EQ(s.width, 1024);
            ASSERT_EQ(s.height, 768);
            const int length = across ? 1024 : 768;
            const int sources = static_cast<int>(colours.size());
            // Each screen pixel blends the two source pixels on either side
            // of where its centre falls; with a factor of 2 or more, each
            // source pixel also shows pure, as a run of even width.
            std::vector<int> pureRun(colours.size(), 0);
            for (int d = 0; d < length; ++d) {
                const std::uint32_t p = across ? s.at(d, 384) : s.at(512, d);
                const int own = (2 * d + 1) * sources / (2 * length);
                const int before = std::max(own - 1, 0), after = std::min(own + 1, sources - 1);
                if (p == colours[own]) ++pureRun[own];
                if (!between(p, colours[own], colours[before]) && !between(p, colours[own], colours[after])) {
                    ADD_FAILURE() << "screen " << d << " is no blend of source " << own << " and a neighbour";
                    break;
                }
            }
            if (length / sources >= 2) {
                const auto [shortest, longest] = std::minmax_element(pureRun.begin() + 1, pureRun.end() - 1);
                EXPECT_GE(*shortest, 1) << "no source pixel vanishes";
                EXPECT_LE(*longest - *shortest, 1) << "the pure runs are of even width";
            }
            backend_->destroyWindow(id);
        }
    {
        const auto id = fullScreenWindow(2048, 1536);
        Surface checker(2048, 1536, PixelFormat::Rgb32);
        for (int y = 0; y < 1536; ++y)
            for (int x = 0; x < 2048; ++x) checker.rgbRow(y)[x] = ((x ^ y) & 1) ? 0xFFFFFF : 0;
        backend_->present(id, keep(std::move(checker)));
        const Shown s = shown(id);
        int notGrey = 0;
        for (std::uint32_t p : s.pixels)
            for (int shift : {0, 8, 16})
                if (channel(p, shift) < 126 || channel(p, shift) > 129) ++notGrey;
        EXPECT_EQ(notGrey, 0) << "halving averages a one-pixel checker to grey, it does not drop pixels";
    }
}

TEST_F(SdlOnX, InputBecomesWin32EventsInTheEmulatedModesCoordinates) {
    const auto id = fullScreenWindow();
    SDL_Window* w = backend_->sdlWindow(id);
    const Uint32 sdlId = SDL_GetWindowID(w);

    SDL_Event e{};
    e.type = SDL_KEYUP;
    e.key.windowID = sdlId;
    e.key.keysym.sym = SDLK_SPACE;
    e.key.keysym.scancode = SDL_SCANCODE_SPACE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    auto key = next(EventType::KeyUp);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->virtualKey, VK_SPACE);
    EXPECT_EQ(key->window, id);
    EXPECT_FALSE(key->altDown);

    e = SDL_Event{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = sdlId;
    e.key.keysym.sym = SDLK_F4;
    e.key.keysym.scancode = SDL_SCANCODE_F4;
    e.key.keysym.mod = KMOD_LALT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    key = next(EventType::KeyDown);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->virtualKey, VK_F4);
    EXPECT_TRUE(key->altDown);

    // Where the real pointer is, a motion event and the cursor position
    // agree exactly (the saver compares them to notice a moved mouse).
    int gx = 0, gy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(w, &wx, &wy);
    e = SDL_Event{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = sdlId;
    e.motion.x = gx - wx;
    e.motion.y = gy - wy;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    auto move = next(EventType::MouseMove);
    ASSERT_TRUE(move);
    const POINT cursor = backend_->cursorPosition();
    EXPECT_EQ(move->position.x, cursor.x);
    EXPECT_EQ(move->position.y, cursor.y);

    if (ownServer_) {
        // The 800x480 mode fills 1024x614 of the 1024x768 screen, from y=77.
        e.motion.x = 512;
        e.motion.y = 384;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        move = next(EventType::MouseMove);
        ASSERT_TRUE(move);
        EXPECT_EQ(move->position.x, 400);
        EXPECT_EQ(move->position.y, 240);
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.windowID = sdlId;
        e.button.button = SDL_BUTTON_RIGHT;
        e.button.x = 1023;
        e.button.y = 10;  // in the bar above the picture
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        auto button = next(EventType::ButtonDown);
        ASSERT_TRUE(button);
        EXPECT_EQ(button->button, MouseButton::Right);
        EXPECT_EQ(button->position.x, 799);
        EXPECT_EQ(button->position.y, 0);
    }

    e = SDL_Event{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = sdlId;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    auto close = next(EventType::CloseRequest);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->window, id);

    e = SDL_Event{};
    e.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    close = next(EventType::CloseRequest);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->window, 0u);

    backend_->destroyWindow(id);
    EXPECT_EQ(backend_->sdlWindow(id), nullptr);
}


TEST_F(SdlOnX, IdleWaitsForTheClockToMoveOnAndAPendingCloseRequestDoesNotHoldIt) {
    const auto id = fullScreenWindow();
    (void)id;
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

void sentinelHandler(int) {}

TEST_F(SdlOnX, SdlLeavesTheSignalHandlersToTheKernelLayer) {
    backend_.reset();
    struct sigaction mine {
    }, before{}, after{};
    mine.sa_handler = sentinelHandler;
    sigaction(SIGTERM, &mine, &before);
    backend_ = SdlBackend::open();
    ASSERT_TRUE(backend_) << SDL_GetError();
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, &sentinelHandler) << "SDL replaced the SIGTERM handler";
    sigaction(SIGTERM, &before, nullptr);
}

}  // namespace

TEST_F(SdlOnX, TheSharedImageFollowsTheWindowAndTakesXErrorsAsFailures) {
    SDL_Window* window = SDL_CreateWindow("shared image", 0, 0, 64, 48, SDL_WINDOW_SHOWN);
    ASSERT_NE(window, nullptr);
    auto image = platform::backend::x11::ShmImage::prepare();
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(image->attach(window));
    // Prepared at the screen's size, made again at the window's.
    bool resized = false;
    auto canvas = image->pixels(resized);
    EXPECT_TRUE(resized);
    ASSERT_NE(canvas.pixels, nullptr);
    EXPECT_EQ(canvas.width, 64);
    EXPECT_EQ(canvas.height, 48);
    std::fill(canvas.pixels, canvas.pixels + 64 * 48, 0x123456u);
    EXPECT_TRUE(image->show(platform::backend::Rect{0, 0, 64, 48}));
    canvas = image->pixels(resized);
    EXPECT_FALSE(resized) << "the same size keeps the image and its pixels";
    EXPECT_EQ(canvas.pixels[0], 0x123456u);
    // A rectangle the image does not have is an X error: a failed show, not
    // Xlib's handler ending the process.
    EXPECT_FALSE(image->show(platform::backend::Rect{60, 40, 10, 10}));
    EXPECT_TRUE(image->show(platform::backend::Rect{0, 0, 8, 8})) << "and the image still works after it";
    SDL_SetWindowSize(window, 80, 60);
    canvas = image->pixels(resized);
    EXPECT_TRUE(resized);
    EXPECT_EQ(canvas.width, 80);
    image.reset();
    SDL_DestroyWindow(window);
}

TEST_F(SdlOnX, AnImageThatCannotShowInTheWindowLeavesItToTheWindowsSurface) {
    // Made for another X server than the window's (here one that does not
    // exist), the image is no use; the frame still reaches the window.
    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":4242", 1);
    auto image = platform::backend::x11::ShmImage::prepare();
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_NE(image, nullptr);
    SDL_Window* window = SDL_CreateWindow("fallback", 0, 0, 64, 48, SDL_WINDOW_SHOWN);
    ASSERT_NE(window, nullptr);
    {
        auto presenter = platform::backend::makeShmPresenter(window, std::move(image));
        const Surface frame = filled(64, 48, 0x336699);
        presenter->present(frame);
        presenter->flush();
        std::vector<std::uint32_t> pixels;
        int w = 0, h = 0;
        ASSERT_TRUE(presenter->readBack(pixels, w, h));
        ASSERT_EQ(w, 64);
        ASSERT_EQ(h, 48);
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0x336699u), 64 * 48);
    }
    SDL_DestroyWindow(window);
}
