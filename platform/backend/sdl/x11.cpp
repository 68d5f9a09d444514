#include "backend/sdl/x11.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform::backend::x11 {

namespace {

struct Target {
    Display* display = nullptr;
    ::Window window = 0;
};

Target targetOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return {};
    return Target{info.info.x11.display, info.info.x11.window};
}

bool isMapped(const Target& t) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(t.display, t.window, &attributes) != 0 && attributes.map_state != IsUnmapped;
}

// One _NET_WM_STATE change request to the window manager (EWMH: a client
// message to the root window).
void requestState(const Target& t, Atom state, bool on) {
    constexpr long kRemove = 0, kAdd = 1, kFromApplication = 1;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = t.window;
    e.xclient.message_type = XInternAtom(t.display, "_NET_WM_STATE", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? kAdd : kRemove;
    e.xclient.data.l[1] = static_cast<long>(state);
    e.xclient.data.l[3] = kFromApplication;
    XSendEvent(t.display, DefaultRootWindow(t.display), False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
}

int onConnectionLost(Display*) {
    static const char message[] = "pomrivel: the connection to the X display was lost; stopping\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

}  // namespace

void endProcessWhenTheConnectionBreaks() {
    XSetIOErrorHandler(onConnectionLost);
}

int connectionFd(SDL_Window* window) {
    const Target t = targetOf(window);
    return t.display ? ConnectionNumber(t.display) : -1;
}

bool flushAndCheckQueued(SDL_Window* window) {
    const Target t = targetOf(window);
    if (!t.display) return false;
    XFlush(t.display);
    return XEventsQueued(t.display, QueuedAlready) > 0;
}

bool serverOffersDirectRendering(SDL_Window* window) {
    const Target t = targetOf(window);
    if (!t.display) return true;
    int opcode = 0, event = 0, error = 0;
    return XQueryExtension(t.display, "DRI3", &opcode, &event, &error) ||
           XQueryExtension(t.display, "DRI2", &opcode, &event, &error);
}

bool setWindowState(SDL_Window* window, bool fullscreen, bool above) {
    const Target t = targetOf(window);
    if (!t.display) return false;
    const Atom fullscreenAtom = XInternAtom(t.display, "_NET_WM_STATE_FULLSCREEN", False);
    const Atom aboveAtom = XInternAtom(t.display, "_NET_WM_STATE_ABOVE", False);
    if (isMapped(t)) {
        requestState(t, fullscreenAtom, fullscreen);
        requestState(t, aboveAtom, above);
    } else {
        Atom states[2];
        int count = 0;
        if (fullscreen) states[count++] = fullscreenAtom;
        if (above) states[count++] = aboveAtom;
        const Atom property = XInternAtom(t.display, "_NET_WM_STATE", False);
        if (count > 0)
            XChangeProperty(t.display, t.window, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(states), count);
        else
            XDeleteProperty(t.display, t.window, property);
    }
    XFlush(t.display);
    return true;
}

namespace {

unsigned long gHostWindow = 0;
volatile bool gHostFailed = false;

// A hack's window is the host's to take away at any moment, and what the
// backend then does with it fails: SDL asks about its parent, draws into
// it, frees what it made for it. None of that is a reason for Xlib to end
// the process (its default handler would, skipping the orderly stop), so
// while a host's window is watched every X error only makes the backend
// check whether the window is still there.
int onError(Display*, XErrorEvent*) {
    gHostFailed = true;
    return 0;
}

bool gProbeFailed = false;
int onProbeError(Display*, XErrorEvent*) {
    gProbeFailed = true;
    return 0;
}

}  // namespace

std::optional<HostWindow> findHostWindow(std::optional<unsigned long> id, std::string& error) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        error = name && *name ? std::string("cannot open the X display ") + name
                              : "drawing into a host's window needs an X display, and DISPLAY is not set";
        return std::nullopt;
    }
    HostWindow host;
    host.id = id.value_or(DefaultRootWindow(display));
    gProbeFailed = false;
    const XErrorHandler previous = XSetErrorHandler(onProbeError);
    XWindowAttributes attributes{};
    const Status status = XGetWindowAttributes(display, host.id, &attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    if (!status || gProbeFailed) {
        char text[96];
        std::snprintf(text, sizeof text, "there is no window 0x%lx on the X display", host.id);
        error = text;
        return std::nullopt;
    }
    host.width = attributes.width;
    host.height = attributes.height;
    return host;
}

void watchHostWindow(SDL_Window* window, unsigned long id) {
    const Target t = targetOf(window);
    if (!t.display) return;
    gHostWindow = id;
    gHostFailed = false;
    XSetErrorHandler(onError);
    XSelectInput(t.display, t.window, StructureNotifyMask | ExposureMask);
    XFlush(t.display);
}

bool isHostWindowDestroyed(const SDL_Event& event) {
    if (event.type != SDL_SYSWMEVENT || !event.syswm.msg || event.syswm.msg->subsystem != SDL_SYSWM_X11)
        return false;
    const XEvent& x = event.syswm.msg->msg.x11.event;
    return x.type == DestroyNotify && x.xdestroywindow.window == gHostWindow;
}

bool hostWindowFailed() {
    if (!gHostFailed) return false;
    gHostFailed = false;
    std::string error;
    return !findHostWindow(gHostWindow, error);
}

}  // namespace platform::backend::x11
