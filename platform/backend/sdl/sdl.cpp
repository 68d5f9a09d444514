#include "backend/sdl/sdl.h"

#include "backend/clock.h"
#include "backend/factories.h"
#include "backend/scaler.h"
#include "backend/sdl/hosted.h"
#include "backend/sdl/video.h"
#include "backend/sdl/x11.h"
#include "gdi/objects.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

namespace platform::backend {

namespace {

struct WindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

// Floor division, so points left of or above the origin (a letterbox's bars)
// round the same way as the points inside it.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

SDL_Rect letterboxed(int lw, int lh, int ow, int oh) {
    const Rect r = letterbox(lw, lh, ow, oh);
    return SDL_Rect{r.x, r.y, r.w, r.h};
}

// A render node a GL driver could use: without one, GL runs in software.
bool hasRenderNode() {
    constexpr int kFirstRenderNode = 128, kRenderNodes = 64;
    for (int n = kFirstRenderNode; n < kFirstRenderNode + kRenderNodes; ++n) {
        const std::string path = "/dev/dri/renderD" + std::to_string(n);
        if (access(path.c_str(), R_OK | W_OK) == 0) return true;
    }
    return false;
}

}  // namespace

struct SdlBackend::Window {
    // In this order so that the presenter (and any renderer it holds) goes
    // before the window it draws into.
    std::unique_ptr<SDL_Window, WindowDeleter> window;
    std::unique_ptr<Presenter> presenter;
    PresentPath path = PresentPath::Surface;
    bool topmost = false;
};

// ---- Mapping between the logical screen and the real display ----

POINT SdlBackend::Mapping::toLogical(int rx, int ry) const {
    const std::int64_t x = floorDiv(std::int64_t{rx - real.x} * logicalW, std::max(real.w, 1));
    const std::int64_t y = floorDiv(std::int64_t{ry - real.y} * logicalH, std::max(real.h, 1));
    // The cursor never leaves the screen on Windows.
    return POINT{static_cast<LONG>(std::clamp<std::int64_t>(x, 0, logicalW - 1)),
                 static_cast<LONG>(std::clamp<std::int64_t>(y, 0, logicalH - 1))};
}

SDL_Point SdlBackend::Mapping::toReal(LONG lx, LONG ly) const {
    return SDL_Point{real.x + static_cast<int>(floorDiv(std::int64_t{lx} * real.w, std::max(logicalW, 1))),
                     real.y + static_cast<int>(floorDiv(std::int64_t{ly} * real.h, std::max(logicalH, 1)))};
}

SdlBackend::Mapping SdlBackend::screenMapping() const {
    SDL_Rect bounds{0, 0, 640, 480};
    SDL_GetDisplayBounds(0, &bounds);
    Mapping m{bounds.w, bounds.h, bounds};
    if (emulated_) {
        m.logicalW = emulated_->width;
        m.logicalH = emulated_->height;
        m.real = letterboxed(m.logicalW, m.logicalH, bounds.w, bounds.h);
        m.real.x += bounds.x;
        m.real.y += bounds.y;
    }
    return m;
}

POINT SdlBackend::fromWindow(Uint32 sdlWindowId, int x, int y) const {
    int wx = 0, wy = 0;
    if (SDL_Window* w = SDL_GetWindowFromID(sdlWindowId)) {
        SDL_GetWindowPosition(w, &wx, &wy);
    } else {
        SDL_Rect bounds{};
        SDL_GetDisplayBounds(0, &bounds);
        wx = bounds.x, wy = bounds.y;
    }
    return screenMapping().toLogical(wx + x, wy + y);
}

// ---- Opening and closing ----

std::unique_ptr<SdlBackend> SdlBackend::open() {
    std::optional<PresentPath> forced;
    const char* value = std::getenv("POMRIVEL_PRESENT");
    const std::string_view path = value ? value : "";
    if (path == "surface") {
        forced = PresentPath::Surface;
    } else if (path == "texture") {
        forced = PresentPath::Texture;
    } else if (!path.empty()) {
        // Stop rather than guess, as for POMRIVEL_BACKEND.
        std::fprintf(stderr, "pomrivel: POMRIVEL_PRESENT=%s is not a present path; use surface or texture\n", value);
        std::exit(2);
    }
    // Without a render node the window surface is the path for sure; its
    // image is made now, and made ready while SDL starts.
    std::unique_ptr<x11::ShmImage> prepared;
    if (forced == PresentPath::Surface || (!forced && !hasRenderNode())) prepared = x11::ShmImage::prepare();
    if (!startSdlVideo(false)) return nullptr;
    return std::unique_ptr<SdlBackend>(new SdlBackend(forced, std::move(prepared)));
}

SdlBackend::SdlBackend(std::optional<PresentPath> forcedPath, std::unique_ptr<x11::ShmImage> prepared)
    : forcedPath_(forcedPath), prepared_(std::move(prepared)) {}

SdlBackend::~SdlBackend() {
    windows_.clear();
    SDL_ShowCursor(SDL_ENABLE);
    stopSdlVideo();
}

std::unique_ptr<Backend> makeSdlBackend() {
    // Started by a screensaver host, the saver draws into the host's window.
    if (hostOptions().drawsIntoHostWindow()) return makeHostedBackend(hostOptions());
    return SdlBackend::open();
}

// ---- Screen and display modes ----

bool SdlBackend::currentMode(DisplayMode& mode) {
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
    // A 24-bit X visual is stored in 32-bit pixels, which Windows reports
    // as 32 bits per pixel.
    const int bytes = SDL_BYTESPERPIXEL(desktop.format);
    mode.bitsPerPixel = bytes == 4 ? 32 : static_cast<int>(SDL_BITSPERPIXEL(desktop.format));
    mode.frequency = desktop.refresh_rate > 0 ? desktop.refresh_rate : 60;
    mode.width = desktop.w;
    mode.height = desktop.h;
    if (emulated_) {
        mode.width = emulated_->width;
        mode.height = emulated_->height;
        if (emulated_->bitsPerPixel > 0) mode.bitsPerPixel = emulated_->bitsPerPixel;
        if (emulated_->frequency > 0) mode.frequency = emulated_->frequency;
    }
    return true;
}

LONG SdlBackend::changeMode(const DisplayMode& mode) {
    if (mode.width <= 0 || mode.height <= 0 || mode.width > 8192 || mode.height > 8192) return DISP_CHANGE_BADMODE;
    emulated_ = mode;
    return DISP_CHANGE_SUCCESSFUL;
}

void SdlBackend::restoreMode() {
    emulated_.reset();
}

RECT SdlBackend::workArea() {
    const Mapping m = screenMapping();
    // An emulated full-screen mode has no panels, as a real mode change
    // leaves none in the way on Windows.
    if (emulated_) return RECT{0, 0, m.logicalW, m.logicalH};
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return RECT{0, 0, m.logicalW, m.logicalH};
    // Screen coordinates have the primary display's corner at 0,0.
    return RECT{usable.x - m.real.x, usable.y - m.real.y, usable.x - m.real.x + usable.w,
                usable.y - m.real.y + usable.h};
}

// ---- Windows ----

SdlBackend::Window* SdlBackend::find(WindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

WindowId SdlBackend::idOf(Uint32 sdlWindowId) const {
    SDL_Window* sdl = SDL_GetWindowFromID(sdlWindowId);
    if (!sdl) return 0;
    for (const auto& [id, w] : windows_)
        if (w->window.get() == sdl) return id;
    return 0;
}

SDL_Window* SdlBackend::sdlWindow(WindowId window) const {
    Window* w = find(window);
    return w ? w->window.get() : nullptr;
}

WindowId SdlBackend::createWindow(const std::string& title, int x, int y, int width, int height) {
    auto w = std::make_unique<Window>();
    w->window.reset(SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                     std::max(width, 1), std::max(height, 1),
                                     SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS));
    if (!w->window) {
        std::fprintf(stderr, "pomrivel: cannot create a window: %s\n", SDL_GetError());
        return 0;
    }
    w->presenter = makePresenter(w->window.get(), w->path);
    if (!w->presenter) {
        std::fprintf(stderr, "pomrivel: cannot draw into a window: %s\n", SDL_GetError());
        return 0;
    }
    const WindowId id = nextWindow_++;
    windows_[id] = std::move(w);
    place(id, x, y, width, height, false);
    return id;
}

std::unique_ptr<Presenter> SdlBackend::makePresenter(SDL_Window* window, PresentPath& path) {
    path = PresentPath::Texture;
    if (forcedPath_ == PresentPath::Texture) return makeTexturePresenter(window, true);
    if (forcedPath_ != PresentPath::Surface) {
        // Cheap checks first: no render node, or no direct rendering on the
        // X server, means Mesa's software GL, which is then never started.
        if (!hardwareTextures_) hardwareTextures_ = hasRenderNode() && x11::serverOffersDirectRendering(window);
        if (*hardwareTextures_) {
            if (auto presenter = makeTexturePresenter(window, false)) return presenter;
            hardwareTextures_ = false;  // GL runs in software here after all
        }
    }
    path = PresentPath::Surface;
    if (prepared_) return makeShmPresenter(window, std::move(prepared_));
    return makeSurfacePresenter(window);
}

std::optional<SdlBackend::PresentPath> SdlBackend::presentPath(WindowId window) const {
    const Window* w = find(window);
    return w ? std::optional(w->path) : std::nullopt;
}

void SdlBackend::destroyWindow(WindowId window) {
    windows_.erase(window);
}

void SdlBackend::setTitle(WindowId window, const std::string& title) {
    Window* w = find(window);
    if (!w) return;
    SDL_SetWindowTitle(w->window.get(), title.c_str());
    // -fps: the caption's text over the picture too, where a full-screen
    // window's caption cannot be seen.
    if (hostOptions().showFrameRate) w->presenter->setOverlay(title);
}

void SdlBackend::place(WindowId window, int x, int y, int width, int height, bool topmost) {
    Window* w = find(window);
    if (!w) return;
    SDL_Window* sdl = w->window.get();
    const Mapping m = screenMapping();
    const bool coversScreen = x <= 0 && y <= 0 && x + width >= m.logicalW && y + height >= m.logicalH;
    if (topmost != w->topmost) {
        // SDL leaves the flag alone on a full-screen window: change it
        // while windowed (the full-screen state is set again below).
        if (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(sdl, 0);
        SDL_SetWindowAlwaysOnTop(sdl, topmost ? SDL_TRUE : SDL_FALSE);
        w->topmost = topmost;
    }
    SDL_Rect target{};
    if (coversScreen) {
        // Sized to the display, so it covers the screen even where no
        // window manager honours the full-screen request.
        SDL_GetDisplayBounds(0, &target);
    } else {
        const SDL_Point topLeft = m.toReal(x, y);
        const SDL_Point bottomRight = m.toReal(x + width, y + height);
        target = SDL_Rect{topLeft.x, topLeft.y, std::max(bottomRight.x - topLeft.x, 1),
                          std::max(bottomRight.y - topLeft.y, 1)};
    }
    // Only what changes: on X11 every SDL move or resize waits up to 100 ms
    // for a window manager to answer, and none answers a request for the
    // place the window already has.
    const bool isFullscreen = SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN;
    if (!coversScreen && isFullscreen) SDL_SetWindowFullscreen(sdl, 0);
    int cx = 0, cy = 0, cw = 0, ch = 0;
    SDL_GetWindowPosition(sdl, &cx, &cy);
    SDL_GetWindowSize(sdl, &cw, &ch);
    if (cx != target.x || cy != target.y) SDL_SetWindowPosition(sdl, target.x, target.y);
    if (cw != target.w || ch != target.h) SDL_SetWindowSize(sdl, target.w, target.h);
    // On X11 the full-screen state goes to the window manager without
    // SDL's wait for an answer; elsewhere SDL's own switch.
    if (!x11::setWindowState(sdl, coversScreen, topmost) && coversScreen && !isFullscreen)
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void SdlBackend::show(WindowId window, bool visible) {
    Window* w = find(window);
    if (!w) return;
    if (visible) {
        SDL_ShowWindow(w->window.get());
        // Keyboard input goes to the window in front.
        SDL_RaiseWindow(w->window.get());
    } else {
        SDL_HideWindow(w->window.get());
    }
}

void SdlBackend::present(WindowId window, const gdi::Surface& frame) {
    Window* w = find(window);
    if (!w || frame.format() != gdi::PixelFormat::Rgb32 || frame.width() <= 0 || frame.height() <= 0) return;
    w->presenter->present(frame);
}

bool SdlBackend::readBack(WindowId window, std::vector<std::uint32_t>& pixels, int& width, int& height) {
    Window* w = find(window);
    return w && w->presenter->readBack(pixels, width, height);
}

// ---- Input ----

int SdlBackend::virtualKey(SDL_Keycode key, SDL_Scancode scancode) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return VK_F1 + 12 + (key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);  // VK_NUMPAD1..9
    switch (key) {
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_RETURN:
        case SDLK_RETURN2:
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_TAB: return VK_TAB;
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_UP: return VK_UP;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT: return VK_MENU;
        case SDLK_PAUSE: return VK_PAUSE;
        case SDLK_CAPSLOCK: return VK_CAPITAL;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_END: return VK_END;
        case SDLK_HOME: return VK_HOME;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_DELETE: return VK_DELETE;
        case SDLK_PRINTSCREEN: return 0x2C;  // VK_SNAPSHOT
        case SDLK_LGUI: return 0x5B;         // VK_LWIN
        case SDLK_RGUI: return 0x5C;         // VK_RWIN
        case SDLK_APPLICATION: return 0x5D;  // VK_APPS
        case SDLK_KP_0: return 0x60;         // VK_NUMPAD0
        case SDLK_KP_MULTIPLY: return 0x6A;
        case SDLK_KP_PLUS: return 0x6B;
        case SDLK_KP_MINUS: return 0x6D;
        case SDLK_KP_PERIOD: return 0x6E;
        case SDLK_KP_DIVIDE: return 0x6F;
        case SDLK_NUMLOCKCLEAR: return 0x90;
        case SDLK_SCROLLLOCK: return 0x91;
        case SDLK_SEMICOLON: return 0xBA;  // VK_OEM_1
        case SDLK_EQUALS: return 0xBB;     // VK_OEM_PLUS
        case SDLK_COMMA: return 0xBC;
        case SDLK_MINUS: return 0xBD;
        case SDLK_PERIOD: return 0xBE;
        case SDLK_SLASH: return 0xBF;         // VK_OEM_2
        case SDLK_BACKQUOTE: return 0xC0;     // VK_OEM_3
        case SDLK_LEFTBRACKET: return 0xDB;   // VK_OEM_4
        case SDLK_BACKSLASH: return 0xDC;     // VK_OEM_5
        case SDLK_RIGHTBRACKET: return 0xDD;  // VK_OEM_6
        case SDLK_QUOTE: return 0xDE;         // VK_OEM_7
        default: break;
    }
    // Layouts whose keys make other symbols still have letters and digits
    // where Windows gives them letter and digit codes: by position.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    // Any other key still makes an event (every key release counts).
    return 0xFF;
}

bool SdlBackend::translate(const SDL_Event& e, Event& out) {
    out = Event{};
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            out.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
            out.window = idOf(e.key.windowID);
            out.virtualKey = virtualKey(e.key.keysym.sym, e.key.keysym.scancode);
            // The modifiers as they were when this key event happened.
            out.altDown = (e.key.keysym.mod & KMOD_ALT) != 0;
            return true;
        case SDL_MOUSEMOTION:
            out.type = EventType::MouseMove;
            out.window = idOf(e.motion.windowID);
            out.position = fromWindow(e.motion.windowID, e.motion.x, e.motion.y);
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            switch (e.button.button) {
                case SDL_BUTTON_LEFT: out.button = MouseButton::Left; break;
                case SDL_BUTTON_RIGHT: out.button = MouseButton::Right; break;
                case SDL_BUTTON_MIDDLE: out.button = MouseButton::Middle; break;
                default: return false;  // side buttons have no message here
            }
            out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::ButtonDown : EventType::ButtonUp;
            out.window = idOf(e.button.windowID);
            out.position = fromWindow(e.button.windowID, e.button.x, e.button.y);
            return true;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    out.type = EventType::CloseRequest;
                    out.window = idOf(e.window.windowID);
                    return true;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    // The window system lost or resized the picture: show
                    // the last frame again.
                    if (Window* w = find(idOf(e.window.windowID))) w->presenter->refresh();
                    return false;
                default: return false;
            }
        case SDL_QUIT:
            out.type = EventType::CloseRequest;
            out.window = 0;
            return true;
        default: return false;
    }
}

bool SdlBackend::pollEvent(Event& event) {
    // Woken by the clock with nothing on the X connection and nothing in
    // SDL's queue: there is nothing for SDL to read, so it is not asked (at
    // a thousand polls a second its pumping is most of an idle loop's cost).
    if (std::exchange(quietSinceWait_, false) &&
        SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0)
        return false;
    SDL_Event e;
    for (int round = 0; round < 2; ++round) {
        while (SDL_PollEvent(&e))
            if (translate(e, event)) return true;
        // SDL ends each round of polling at a marker it queues; events
        // queued behind it wait for the next round. Take that round now, so
        // an empty poll means an empty queue.
        if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) break;
    }
    return false;
}

void SdlBackend::idle() {
    for (auto& [id, w] : windows_) w->presenter->flush();
    // Events SDL holds already are taken at once.
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) return;
    int inputFd = -1;
    if (!windows_.empty()) {
        // Input arrives on the X connection, which all windows share.
        // Events Xlib has read already would not wake the wait.
        SDL_Window* any = windows_.begin()->second->window.get();
        if (x11::flushAndCheckQueued(any)) return;
        inputFd = x11::connectionFd(any);
    }
    quietSinceWait_ = waitForNextTick(inputFd) && inputFd >= 0;
}

POINT SdlBackend::cursorPosition() {
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    return screenMapping().toLogical(x, y);
}

void SdlBackend::setCursorVisible(bool visible) {
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

// ---- Message boxes ----

std::optional<int> SdlBackend::messageBox(WindowId, const std::string&, const std::string&, UINT) {
    return std::nullopt;
}

// ---- Time ----

std::uint64_t SdlBackend::uptimeMilliseconds() { return systemUptimeMilliseconds(); }

SYSTEMTIME SdlBackend::localTime() { return systemLocalTime(); }

}  // namespace platform::backend
