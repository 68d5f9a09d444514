#include "backend/x11/host.h"

#include "backend/x11/connection.h"

#include <X11/extensions/XShm.h>

#include <algorithm>
#include <cstdio>

namespace platform::backend::x11 {

std::unique_ptr<Host> Host::open(const HostOptions& options, std::string& error) {
    Display* display = openDisplay(error);
    if (!display) {
        error = "drawing into a host's window needs an X display: " + error;
        return nullptr;
    }
    const Window window = options.window.value_or(DefaultRootWindow(display));
    char text[192];
    XWindowAttributes attributes{};
    ErrorCheck check(display);
    const Status found = XGetWindowAttributes(display, window, &attributes);
    if (!found || check.failed()) {
        std::snprintf(text, sizeof text, "there is no window 0x%lx on the X display %s", window,
                      DisplayString(display));
        error = text;
        XCloseDisplay(display);
        return nullptr;
    }
    if (attributes.c_class == InputOnly) {
        std::snprintf(text, sizeof text, "window 0x%lx is an input-only window: there is nothing to draw in", window);
        error = text;
        XCloseDisplay(display);
        return nullptr;
    }
    std::string why;
    const std::optional<PixelLayout> layout = layoutOf(display, attributes.visual, attributes.depth, why);
    if (!layout) {
        std::snprintf(text, sizeof text, "cannot draw into window 0x%lx: it has %s", window, why.c_str());
        error = text;
        XCloseDisplay(display);
        return nullptr;
    }
    // Only what a hack listens for: resizes, exposes, destruction.
    XSelectInput(display, window, StructureNotifyMask | ExposureMask);
    return std::unique_ptr<Host>(new Host(display, window, attributes, *layout, options.showFrameRate));
}

Host::Host(Display* display, Window window, const XWindowAttributes& attributes, const PixelLayout& layout,
           bool showFrameRate)
    : display_(display),
      window_(window),
      visual_(attributes.visual),
      depth_(attributes.depth),
      layout_(layout),
      showFrameRate_(showFrameRate),
      width_(std::max(attributes.width, 1)),
      height_(std::max(attributes.height, 1)) {}

Host::~Host() {
    output_.reset();
    // Our own event selection on it goes with the connection.
    XCloseDisplay(display_);
}

bool Host::windowExists() {
    XWindowAttributes attributes{};
    ErrorCheck check(display_);
    const Status found = XGetWindowAttributes(display_, window_, &attributes);
    return found && !check.failed();
}

// ---- Windows ----

WindowId Host::createWindow(const std::string&, int, int, int, int) {
    const WindowId id = nextWindow_++;
    if (hostId_ != 0) {
        unseen_.insert(id);
        return id;
    }
    hostId_ = id;
    output_ = std::make_unique<WindowOutput>(display_, window_, visual_, depth_, layout_, XShmQueryExtension(display_),
                                             width_, height_);
    // Made ready while the program loads its pictures.
    output_->prepare();
    return id;
}

void Host::destroyWindow(WindowId window) {
    unseen_.erase(window);
    if (window != hostId_ || hostId_ == 0) return;
    output_.reset();
    forgetWindow(window);
}

void Host::setTitle(WindowId window, const std::string& title) {
    // The host's window keeps its own name; with -fps the caption's text is
    // what the frame rate overlay shows.
    if (window == hostId_ && output_ && showFrameRate_) output_->setOverlay(title);
}

std::vector<Output*> Host::outputsOf(WindowId window) {
    if (window == hostId_ && output_ && !gone_) return {output_.get()};
    return {};
}

// ---- Input: none but the window system's own ----

bool Host::pollEvent(Event& event) {
    while (XPending(display_) > 0) {
        XEvent e;
        XNextEvent(display_, &e);
        if (e.xany.window != window_) continue;
        switch (e.type) {
            case DestroyNotify: gone_ = true; break;
            case ConfigureNotify:
                // The host resized the window: the picture follows.
                width_ = std::max(e.xconfigure.width, 1);
                height_ = std::max(e.xconfigure.height, 1);
                if (output_) output_->resize(width_, height_);
                showAgain(hostId_);
                break;
            case Expose:
                if (e.xexpose.count == 0 && output_) {
                    output_->redrawAll();
                    showAgain(hostId_);
                }
                break;
            default: break;
        }
    }
    // Drawing failed: the window may be gone (destroyed before its
    // DestroyNotify reached us, or a window whose events we never saw).
    if (output_ && output_->failures() != failuresSeen_) {
        failuresSeen_ = output_->failures();
        if (!windowExists()) gone_ = true;
    }
    if (hostId_ != 0 && gone_ && !closeSent_) {
        closeSent_ = true;
        event = Event{};
        event.type = EventType::CloseRequest;
        event.window = hostId_;
        return true;
    }
    return false;
}

bool Host::eventsWaiting() {
    XFlush(display_);
    return XEventsQueued(display_, QueuedAlready) > 0 || (gone_ && !closeSent_);
}

int Host::eventFd() { return ConnectionNumber(display_); }

// The host owns the mouse: a cursor that never moves never stops the saver.
POINT Host::cursorPosition() {
    const SIZE s = logicalSize();
    return POINT{s.cx / 2, s.cy / 2};
}

std::optional<int> Host::messageBox(WindowId, const std::string& text, const std::string& caption, UINT style) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return defaultBoxButton(style);
}

}  // namespace platform::backend::x11
