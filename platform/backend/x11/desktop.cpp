#include "backend/x11/desktop.h"

#include "backend/backend.h"
#include "backend/clock.h"
#include "backend/keys.h"
#include "backend/x11/connection.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstring>

namespace platform::backend::x11 {

namespace {

// The borderless flag of the Motif window manager hints, which every
// window manager still reads.
struct MotifHints {
    unsigned long flags, functions, decorations;
    long inputMode;
    unsigned long status;
};
constexpr unsigned long kMotifDecorations = 1 << 1;

// How often the pointer is asked of the server while events tell where it
// is.
constexpr std::uint64_t kPointerRecheckMs = 250;

constexpr long kInputEvents =
    KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

// One _NET_WM_STATE change request to the window manager (EWMH: a client
// message to the root window); never waits for an answer.
void requestState(Display* d, Window root, Window w, Atom state, bool on) {
    constexpr long kRemove = 0, kAdd = 1, kFromApplication = 1;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = atom(d, "_NET_WM_STATE");
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? kAdd : kRemove;
    e.xclient.data.l[1] = static_cast<long>(state);
    e.xclient.data.l[3] = kFromApplication;
    XSendEvent(d, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
}

bool sameRect(const Rect& a, const Rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

}  // namespace

// ---- Opening ----

std::unique_ptr<Desktop> Desktop::open(std::string& error) {
    Display* display = openDisplay(error);
    if (!display) return nullptr;
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    int depth = DefaultDepth(display, screen);
    std::string why;
    std::optional<PixelLayout> layout = layoutOf(display, visual, depth, why);
    if (!layout) {
        // The default visual is colour-mapped (an 8-bit desktop); the
        // server may still offer true colour beside it.
        XVisualInfo info{};
        for (const int d : {24, 32, 30, 16})
            if (XMatchVisualInfo(display, screen, d, TrueColor, &info)) {
                std::string ignored;
                if ((layout = layoutOf(display, info.visual, info.depth, ignored))) {
                    visual = info.visual;
                    depth = info.depth;
                    break;
                }
            }
    }
    if (!layout) {
        error = std::string("the X display ") + DisplayString(display) + " offers only " + why +
                ", which the saver cannot draw in";
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<Desktop>(new Desktop(display, visual, depth, *layout));
}

Desktop::Desktop(Display* display, Visual* visual, int depth, const PixelLayout& layout)
    : display_(display), root_(DefaultRootWindow(display)), visual_(visual), depth_(depth), layout_(layout) {
    const int screen = DefaultScreen(display_);
    colormap_ = visual_ == DefaultVisual(display_, screen) ? DefaultColormap(display_, screen)
                                                           : XCreateColormap(display_, root_, visual_, AllocNone);
    shm_ = XShmQueryExtension(display_);
    int randrError = 0;
    int major = 0, minor = 0;
    if (XRRQueryExtension(display_, &randrEvents_, &randrError) && XRRQueryVersion(display_, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        XRRSelectInput(display_, root_, RRScreenChangeNotifyMask);
    } else {
        randrEvents_ = -1;
    }
    // The root window's size changes with the screen's.
    XSelectInput(display_, root_, StructureNotifyMask);
    // A held key repeats as presses only: a key release is a real one.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display_, True, &supported);
    readMonitors();
    Pixmap empty = XCreatePixmap(display_, root_, 1, 1, 1);
    XColor black{};
    blank_ = XCreatePixmapCursor(display_, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display_, empty);
}

Desktop::~Desktop() {
    for (auto& [id, w] : windows_)
        for (Real& r : w.real) {
            r.output.reset();
            XDestroyWindow(display_, r.xid);
        }
    windows_.clear();
    if (blank_) XFreeCursor(display_, blank_);
    if (colormap_ != DefaultColormap(display_, DefaultScreen(display_))) XFreeColormap(display_, colormap_);
    XCloseDisplay(display_);
}

void Desktop::readMonitors() {
    monitors_.clear();
    if (randrEvents_ >= 0) {
        int count = 0;
        if (XRRMonitorInfo* found = XRRGetMonitors(display_, root_, True, &count)) {
            for (int i = 0; i < count; ++i) {
                const XRRMonitorInfo& m = found[i];
                if (m.width <= 0 || m.height <= 0) continue;
                char* name = m.name ? XGetAtomName(display_, m.name) : nullptr;
                monitors_.push_back(Monitor{m.x, m.y, m.width, m.height, m.primary != 0, name ? name : ""});
                if (name) XFree(name);
            }
            XRRFreeMonitors(found);
        }
    }
    if (monitors_.empty()) {
        // No RandR 1.5: the screen is the one monitor.
        const int screen = DefaultScreen(display_);
        monitors_.push_back(Monitor{0, 0, DisplayWidth(display_, screen), DisplayHeight(display_, screen), true, ""});
    }
    // The primary first, the others left to right.
    std::stable_sort(monitors_.begin(), monitors_.end(), [](const Monitor& a, const Monitor& b) {
        if (a.primary != b.primary) return a.primary;
        return a.x != b.x ? a.x < b.x : a.y < b.y;
    });
}

Rect Desktop::usableArea(const Monitor& primary) {
    const Rect whole{primary.x, primary.y, primary.width, primary.height};
    // The window manager's work area (EWMH), for the current desktop.
    auto cardinals = [&](const char* name) {
        std::vector<long> values;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, root_, atom(display_, name), 0, 1024, False, XA_CARDINAL, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 32)
            values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        if (data) XFree(data);
        return values;
    };
    const std::vector<long> area = cardinals("_NET_WORKAREA");
    const std::vector<long> current = cardinals("_NET_CURRENT_DESKTOP");
    const std::size_t desk = current.empty() ? 0 : static_cast<std::size_t>(std::max(current[0], 0L));
    if (area.size() < 4 * (desk + 1)) return whole;
    const long* a = &area[4 * desk];
    const long x0 = std::max<long>(a[0], whole.x), y0 = std::max<long>(a[1], whole.y);
    const long x1 = std::min<long>(a[0] + a[2], whole.x + whole.w), y1 = std::min<long>(a[1] + a[3], whole.y + whole.h);
    if (x1 <= x0 || y1 <= y0) return whole;
    return Rect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

// ---- Windows ----

std::pair<WindowId, Desktop::Real*> Desktop::find(Window xid) {
    for (auto& [id, w] : windows_)
        for (Real& r : w.real)
            if (r.xid == xid) return {id, &r};
    return {0, nullptr};
}

std::vector<Window> Desktop::xWindows(WindowId window) const {
    std::vector<Window> out;
    if (auto it = windows_.find(window); it != windows_.end())
        for (const Real& r : it->second.real) out.push_back(r.xid);
    return out;
}

std::vector<Output*> Desktop::outputsOf(WindowId window) {
    std::vector<Output*> out;
    if (auto it = windows_.find(window); it != windows_.end())
        for (Real& r : it->second.real)
            if (r.output) out.push_back(r.output.get());
    return out;
}

bool Desktop::isShown(WindowId window) {
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.visible;
}

void Desktop::setTitleOf(Window xid, const std::string& title) {
    XStoreName(display_, xid, title.c_str());
    XChangeProperty(display_, xid, atom(display_, "_NET_WM_NAME"), atom(display_, "UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
}

Desktop::Real Desktop::makeReal(const ProgramWindow& w, const Rect& at) {
    XSetWindowAttributes a{};
    a.background_pixel = 0;  // black while nothing is drawn
    a.border_pixel = 0;
    a.colormap = colormap_;
    a.event_mask = kInputEvents | StructureNotifyMask | ExposureMask;
    Real r;
    r.placed = at;
    r.xid = XCreateWindow(display_, root_, at.x, at.y, static_cast<unsigned>(at.w), static_cast<unsigned>(at.h), 0,
                          depth_, InputOutput, visual_, CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &a);
    setTitleOf(r.xid, w.title);
    XClassHint cls{const_cast<char*>("pomrivel"), const_cast<char*>("Pomrivel")};
    XSetClassHint(display_, r.xid, &cls);
    Atom deleteWindow = atom(display_, "WM_DELETE_WINDOW");
    XSetWMProtocols(display_, r.xid, &deleteWindow, 1);
    const MotifHints borderless{kMotifDecorations, 0, 0, 0, 0};
    const Atom motif = atom(display_, "_MOTIF_WM_HINTS");
    XChangeProperty(display_, r.xid, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&borderless), 5);
    // Where the program put it, not where a window manager would.
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = at.x;
    hints.y = at.y;
    hints.width = at.w;
    hints.height = at.h;
    XSetWMNormalHints(display_, r.xid, &hints);
    if (cursorHidden_) XDefineCursor(display_, r.xid, blank_);
    r.output = std::make_unique<WindowOutput>(display_, r.xid, visual_, depth_, layout_, shm_, at.w, at.h);
    if (!w.overlay.empty()) r.output->setOverlay(w.overlay);
    return r;
}

void Desktop::setState(const ProgramWindow& w, Real& r) {
    const Atom fullscreen = atom(display_, "_NET_WM_STATE_FULLSCREEN");
    const Atom above = atom(display_, "_NET_WM_STATE_ABOVE");
    const bool isAbove = w.topmost || w.covers;
    if (r.mapped) {
        requestState(display_, root_, r.xid, fullscreen, w.covers);
        requestState(display_, root_, r.xid, above, isAbove);
        return;
    }
    // Read by a window manager when the window maps.
    Atom states[2];
    int count = 0;
    if (w.covers) states[count++] = fullscreen;
    if (isAbove) states[count++] = above;
    const Atom property = atom(display_, "_NET_WM_STATE");
    if (count > 0)
        XChangeProperty(display_, r.xid, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states), count);
    else
        XDeleteProperty(display_, r.xid, property);
}

void Desktop::realize(ProgramWindow& w) {
    // Where its X windows go: every monitor, or one place on the primary.
    std::vector<Rect> places;
    w.covers = coversScreen(w.x, w.y, w.width, w.height);
    if (w.covers) {
        for (const Monitor& m : monitors_) places.push_back(Rect{m.x, m.y, m.width, m.height});
    } else {
        const Mapping map = primaryMapping();
        const POINT a = map.toReal(w.x, w.y), b = map.toReal(w.x + w.width, w.y + w.height);
        places.push_back(Rect{a.x, a.y, std::max<int>(b.x - a.x, 1), std::max<int>(b.y - a.y, 1)});
    }
    while (w.real.size() > places.size()) {
        w.real.back().output.reset();
        XDestroyWindow(display_, w.real.back().xid);
        w.real.pop_back();
    }
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (i == w.real.size()) {
            w.real.push_back(makeReal(w, places[i]));
            Real& fresh = w.real.back();
            setState(w, fresh);
            if (w.visible) {
                XMapRaised(display_, fresh.xid);
                fresh.mapped = true;
                fresh.output->prepare();
            }
            continue;
        }
        Real& r = w.real[i];
        if (!sameRect(r.placed, places[i])) {
            r.placed = places[i];
            XMoveResizeWindow(display_, r.xid, r.placed.x, r.placed.y, static_cast<unsigned>(r.placed.w),
                              static_cast<unsigned>(r.placed.h));
            r.output->resize(r.placed.w, r.placed.h);
            if (r.mapped) r.output->prepare();
        }
        setState(w, r);
    }
}

WindowId Desktop::createWindow(const std::string& title, int x, int y, int width, int height) {
    const WindowId id = nextWindow_++;
    ProgramWindow& w = windows_[id];
    w.title = title;
    w.moveTo(x, y, width, height);
    realize(w);
    return id;
}

void Desktop::destroyWindow(WindowId window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    for (Real& r : it->second.real) {
        r.output.reset();
        XDestroyWindow(display_, r.xid);
    }
    windows_.erase(it);
    forgetWindow(window);
    XFlush(display_);
}

void Desktop::setTitle(WindowId window, const std::string& title) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.title = title;
    for (Real& r : it->second.real) setTitleOf(r.xid, title);
    // -fps: the caption's text over the picture too, where a full-screen
    // window's caption cannot be seen.
    if (hostOptions().showFrameRate) {
        it->second.overlay = title;
        for (Real& r : it->second.real) r.output->setOverlay(title);
    }
}

void Desktop::place(WindowId window, int x, int y, int width, int height, bool topmost) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    ProgramWindow& w = it->second;
    w.moveTo(x, y, width, height);
    w.topmost = topmost;
    realize(w);
}

void Desktop::show(WindowId window, bool visible) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    ProgramWindow& w = it->second;
    w.visible = visible;
    for (Real& r : w.real) {
        if (visible && !r.mapped) {
            setState(w, r);
            XMapRaised(display_, r.xid);
            // Made ready while the program goes on to its first frame.
            r.output->prepare();
        } else if (!visible && r.mapped) {
            XUnmapWindow(display_, r.xid);
        }
        r.mapped = visible;
    }
    if (visible && !w.real.empty()) {
        // Keyboard input goes to the window in front: ask the window
        // manager to make it so (EWMH), as a program the user started.
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w.real.front().xid;
        e.xclient.message_type = atom(display_, "_NET_ACTIVE_WINDOW");
        e.xclient.format = 32;
        e.xclient.data.l[0] = 1;
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, root_, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
    }
    XFlush(display_);
}

// ---- Input ----

bool Desktop::translate(const XEvent& e, Event& out) {
    out = Event{};
    if (randrEvents_ >= 0 && e.type == randrEvents_ + RRScreenChangeNotify) {
        XRRUpdateConfiguration(const_cast<XEvent*>(&e));
        readMonitors();
        for (auto& [id, w] : windows_)
            if (w.covers || coversScreen(w.x, w.y, w.width, w.height)) realize(w);
        return false;
    }
    switch (e.type) {
        case KeyPress:
        case KeyRelease: {
            const auto [id, real] = find(e.xkey.window);
            if (!real) return false;
            XKeyEvent key = e.xkey;
            const KeySym sym = XLookupKeysym(&key, 0);
            out.type = e.type == KeyPress ? EventType::KeyDown : EventType::KeyUp;
            out.window = id;
            out.virtualKey = virtualKeyOf(static_cast<std::uint32_t>(sym), e.xkey.keycode - 8);
            // X reports the modifiers as they were before the event; Alt's
            // own press and release change them.
            out.altDown = (e.xkey.state & Mod1Mask) != 0;
            if (out.virtualKey == VK_MENU) out.altDown = e.type == KeyPress;
            return true;
        }
        case ButtonPress:
        case ButtonRelease: {
            const auto [id, real] = find(e.xbutton.window);
            if (!real) return false;
            switch (e.xbutton.button) {
                case Button1: out.button = MouseButton::Left; break;
                case Button2: out.button = MouseButton::Middle; break;
                case Button3: out.button = MouseButton::Right; break;
                default: return false;  // the wheel and side buttons
            }
            pointerX_ = e.xbutton.x_root;
            pointerY_ = e.xbutton.y_root;
            out.type = e.type == ButtonPress ? EventType::ButtonDown : EventType::ButtonUp;
            out.window = id;
            out.position = primaryMapping().toLogical(e.xbutton.x_root, e.xbutton.y_root);
            return true;
        }
        case MotionNotify: {
            const auto [id, real] = find(e.xmotion.window);
            if (!real) return false;
            pointerX_ = e.xmotion.x_root;
            pointerY_ = e.xmotion.y_root;
            out.type = EventType::MouseMove;
            out.window = id;
            out.position = primaryMapping().toLogical(e.xmotion.x_root, e.xmotion.y_root);
            return true;
        }
        case ClientMessage: {
            const auto [id, real] = find(e.xclient.window);
            if (!real || e.xclient.message_type != atom(display_, "WM_PROTOCOLS") ||
                static_cast<Atom>(e.xclient.data.l[0]) != atom(display_, "WM_DELETE_WINDOW"))
                return false;
            out.type = EventType::CloseRequest;
            out.window = id;
            return true;
        }
        case Expose: {
            const auto [id, real] = find(e.xexpose.window);
            if (real && e.xexpose.count == 0) {
                real->output->redrawAll();
                showAgain(id);
            }
            return false;
        }
        case ConfigureNotify: {
            if (e.xconfigure.window == root_) {
                readMonitors();
                for (auto& [id, w] : windows_)
                    if (w.covers) realize(w);
                return false;
            }
            const auto [id, real] = find(e.xconfigure.window);
            if (real) {
                // A window manager may size it otherwise than asked.
                real->output->resize(e.xconfigure.width, e.xconfigure.height);
                showAgain(id);
            }
            return false;
        }
        case MappingNotify: XRefreshKeyboardMapping(const_cast<XMappingEvent*>(&e.xmapping)); return false;
        default: return false;
    }
}

bool Desktop::pollEvent(Event& event) {
    while (XPending(display_) > 0) {
        XEvent e;
        XNextEvent(display_, &e);
        if (translate(e, event)) return true;
    }
    return false;
}

bool Desktop::eventsWaiting() {
    XFlush(display_);
    return XEventsQueued(display_, QueuedAlready) > 0;
}

int Desktop::eventFd() { return ConnectionNumber(display_); }

bool Desktop::coveringWindowShown() const {
    for (const auto& [id, w] : windows_)
        if (w.covers && w.visible) return true;
    return false;
}

POINT Desktop::cursorPosition() {
    // While a full-screen window covers every monitor, every movement of
    // the pointer (a warp too) reaches it as an event. A round trip each
    // frame to ask the server would wake the process each frame; it is
    // asked a few times a second all the same, for a pointer over another
    // program's popup above the saver, and always when nothing covers the
    // screen.
    const std::uint64_t now = systemUptimeMilliseconds();
    if (!pointerAsked_ || now - *pointerAsked_ >= kPointerRecheckMs || !coveringWindowShown()) {
        Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned int mask = 0;
        if (XQueryPointer(display_, root_, &root, &child, &rx, &ry, &wx, &wy, &mask)) {
            pointerX_ = rx;
            pointerY_ = ry;
        }
        pointerAsked_ = now;
    }
    return primaryMapping().toLogical(pointerX_, pointerY_);
}

void Desktop::setCursorVisible(bool visible) {
    cursorHidden_ = !visible;
    for (auto& [id, w] : windows_)
        for (Real& r : w.real) {
            if (visible)
                XUndefineCursor(display_, r.xid);
            else
                XDefineCursor(display_, r.xid, blank_);
        }
    XFlush(display_);
}

}  // namespace platform::backend::x11
