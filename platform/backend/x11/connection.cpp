#include "backend/x11/connection.h"

#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform::backend::x11 {

namespace {

unsigned long gErrors = 0;
unsigned long gLastResource = 0;

int recordError(Display*, XErrorEvent* e) {
    ++gErrors;
    gLastResource = e->resourceid;
    return 0;
}

int onConnectionLost(Display*) {
    static const char message[] = "pomrivel: the connection to the X display was lost; stopping\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

const char* className(int c) {
    switch (c) {
        case StaticGray: return "StaticGray";
        case GrayScale: return "GrayScale";
        case StaticColor: return "StaticColor";
        case PseudoColor: return "PseudoColor";
        case TrueColor: return "TrueColor";
        case DirectColor: return "DirectColor";
        default: return "unknown";
    }
}

}  // namespace

Display* openDisplay(std::string& error) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        error = "DISPLAY is not set";
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        error = std::string("cannot open the X display ") + name;
        return nullptr;
    }
    XSetErrorHandler(recordError);
    XSetIOErrorHandler(onConnectionLost);
    return display;
}

ErrorCheck::ErrorCheck(Display* display) : display_(display), before_(gErrors) {}

bool ErrorCheck::failed() {
    XSync(display_, False);
    return gErrors != before_;
}

unsigned long ErrorCheck::resource() const { return gLastResource; }

unsigned long errorCount() { return gErrors; }

std::optional<PixelLayout> layoutOf(Display* display, const Visual* visual, int depth, std::string& why) {
    char text[128];
    // Visual's class member is named c_class in C++.
    const int kind = visual ? visual->c_class : -1;
    if (kind != TrueColor && kind != DirectColor) {
        std::snprintf(text, sizeof text, "a %s visual of depth %d", className(kind), depth);
        why = text;
        return std::nullopt;
    }
    PixelLayout layout;
    layout.red = static_cast<std::uint32_t>(visual->red_mask);
    layout.green = static_cast<std::uint32_t>(visual->green_mask);
    layout.blue = static_cast<std::uint32_t>(visual->blue_mask);
    layout.msbFirst = ImageByteOrder(display) == MSBFirst;
    layout.bitsPerPixel = 0;
    int count = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == depth) layout.bitsPerPixel = formats[i].bits_per_pixel;
        XFree(formats);
    }
    if (!layout.writable()) {
        std::snprintf(text, sizeof text, "a %s visual of depth %d with %d bits a pixel", className(kind), depth,
                      layout.bitsPerPixel);
        why = text;
        return std::nullopt;
    }
    return layout;
}

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

}  // namespace platform::backend::x11
