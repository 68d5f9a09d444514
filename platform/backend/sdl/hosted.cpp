#include "backend/sdl/hosted.h"

#include "backend/clock.h"
#include "backend/sdl/video.h"
#include "backend/sdl/x11.h"

#include <algorithm>
#include <cstdio>

namespace platform::backend {

std::unique_ptr<SdlHostedBackend> SdlHostedBackend::open(const HostOptions& options) {
    std::string error;
    const auto host = x11::findHostWindow(options.window, error);
    if (!host) {
        std::fprintf(stderr, "pomrivel: %s\n", error.c_str());
        return nullptr;
    }
    // The image frames go through, made for the host's window while SDL
    // starts.
    auto prepared = x11::ShmImage::prepare(host->width, host->height);
    if (!startSdlVideo(true)) {
        std::fprintf(stderr, "pomrivel: drawing into a host's window needs X11, and SDL cannot open it: %s\n",
                     SDL_GetError());
        return nullptr;
    }
    // The raw X events of the host's window: its destruction is one.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    return std::unique_ptr<SdlHostedBackend>(
        new SdlHostedBackend(options, host->id, host->width, host->height, std::move(prepared)));
}

SdlHostedBackend::SdlHostedBackend(const HostOptions& options, unsigned long hostXid, int width, int height,
                                   std::unique_ptr<x11::ShmImage> prepared)
    : options_(options),
      hostXid_(hostXid),
      hostW_(std::max(width, 1)),
      hostH_(std::max(height, 1)),
      prepared_(std::move(prepared)) {}

SdlHostedBackend::~SdlHostedBackend() {
    presenter_.reset();
    // SDL leaves a window it did not make alone when it lets go of it.
    host_.reset();
    stopSdlVideo();
}

std::unique_ptr<Backend> makeHostedBackend(const HostOptions& options) {
    return SdlHostedBackend::open(options);
}

// ---- Screen and display modes ----

SIZE SdlHostedBackend::screen() const {
    if (emulated_) return SIZE{emulated_->width, emulated_->height};
    return SIZE{hostW_, hostH_};
}

bool SdlHostedBackend::currentMode(DisplayMode& mode) {
    const SIZE s = screen();
    mode = DisplayMode{};
    mode.width = s.cx;
    mode.height = s.cy;
    return true;
}

LONG SdlHostedBackend::changeMode(const DisplayMode& mode) {
    if (mode.width <= 0 || mode.height <= 0 || mode.width > 8192 || mode.height > 8192) return DISP_CHANGE_BADMODE;
    emulated_ = mode;
    return DISP_CHANGE_SUCCESSFUL;
}

void SdlHostedBackend::restoreMode() { emulated_.reset(); }

RECT SdlHostedBackend::workArea() {
    const SIZE s = screen();
    return RECT{0, 0, s.cx, s.cy};
}

// ---- Windows ----

WindowId SdlHostedBackend::createWindow(const std::string&, int, int, int, int) {
    const WindowId id = nextWindow_++;
    if (hostId_ != 0) {
        unseen_.insert(id);
        return id;
    }
    host_.reset(SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(hostXid_))));
    if (!host_) {
        std::fprintf(stderr, "pomrivel: cannot draw into window 0x%lx: %s\n", hostXid_, SDL_GetError());
        return 0;
    }
    x11::watchHostWindow(host_.get(), hostXid_);
    // Always the window's own surface: a renderer would want a GL visual
    // the host's window need not have.
    presenter_ = prepared_ ? makeShmPresenter(host_.get(), std::move(prepared_)) : makeSurfacePresenter(host_.get());
    hostId_ = id;
    return id;
}

void SdlHostedBackend::destroyWindow(WindowId window) {
    unseen_.erase(window);
    if (window != hostId_ || hostId_ == 0) return;
    presenter_.reset();
    host_.reset();
}

void SdlHostedBackend::setTitle(WindowId window, const std::string& title) {
    // The host's window keeps its own name; with -fps the caption's text is
    // what the frame rate overlay shows.
    if (window == hostId_ && presenter_ && options_.showFrameRate) presenter_->setOverlay(title);
}

void SdlHostedBackend::present(WindowId window, const gdi::Surface& frame) {
    if (window != hostId_ || !presenter_ || frame.format() != gdi::PixelFormat::Rgb32) return;
    presenter_->present(frame);
}

bool SdlHostedBackend::readBack(std::vector<std::uint32_t>& pixels, int& width, int& height) {
    return presenter_ && presenter_->readBack(pixels, width, height);
}

// ---- Input: none but the window system's own ----

bool SdlHostedBackend::pollEvent(Event& event) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (x11::isHostWindowDestroyed(e)) destroyed_ = true;
        if (e.type != SDL_WINDOWEVENT || !host_ || e.window.windowID != SDL_GetWindowID(host_.get())) continue;
        // The host resized the window or the picture was lost: show the
        // last frame again, at the window's size.
        if ((e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) && presenter_)
            presenter_->refresh();
    }
    // Destroyed, or failing as a destroyed window does: the saver stops.
    if (hostId_ != 0 && !closeSent_ && (destroyed_ || x11::hostWindowFailed())) {
        closeSent_ = true;
        event = Event{};
        event.type = EventType::CloseRequest;
        event.window = hostId_;
        return true;
    }
    return false;
}

void SdlHostedBackend::idle() {
    if (presenter_) presenter_->flush();
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) return;
    int inputFd = -1;
    if (host_) {
        if (x11::flushAndCheckQueued(host_.get())) return;
        inputFd = x11::connectionFd(host_.get());
    }
    waitForNextTick(inputFd);
}

// The host owns the mouse: a cursor that never moves never stops the saver.
POINT SdlHostedBackend::cursorPosition() {
    const SIZE s = screen();
    return POINT{s.cx / 2, s.cy / 2};
}

std::optional<int> SdlHostedBackend::messageBox(WindowId, const std::string& text, const std::string& caption, UINT style) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return defaultBoxButton(style);
}

std::uint64_t SdlHostedBackend::uptimeMilliseconds() { return systemUptimeMilliseconds(); }

SYSTEMTIME SdlHostedBackend::localTime() { return systemLocalTime(); }

}  // namespace platform::backend
