#include "support/xshot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>

namespace test_support {

namespace {

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

// A channel of a pixel at 8 bits.
std::uint32_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask), bits = std::popcount(mask);
    const unsigned long v = (pixel & mask) >> shift, top = (1ul << bits) - 1;
    return static_cast<std::uint32_t>((v * 255 + top / 2) / top);
}

Image grab(Display* d, Window w, int x, int y, int width, int height) {
    Image image;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, w, &a)) return image;
    if (width <= 0) width = a.width - x;
    if (height <= 0) height = a.height - y;
    XImage* xi = XGetImage(d, w, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!xi) return image;
    image.width = width;
    image.height = height;
    image.pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int yy = 0; yy < height; ++yy)
        for (int xx = 0; xx < width; ++xx) {
            const unsigned long p = XGetPixel(xi, xx, yy);
            image.pixels.push_back(channel(p, a.visual->red_mask) << 16 | channel(p, a.visual->green_mask) << 8 |
                                   channel(p, a.visual->blue_mask));
        }
    XDestroyImage(xi);
    return image;
}

}  // namespace

Image grabWindow(const std::string& display, unsigned long window, int x, int y, int width, int height) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return {};
    const XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    Image image = grab(d, window, x, y, width, height);
    XSync(d, False);
    XSetErrorHandler(previous);
    XCloseDisplay(d);
    return image;
}

Image grabScreen(const std::string& display, int x, int y, int width, int height) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return {};
    const Window root = DefaultRootWindow(d);
    XCloseDisplay(d);
    return grabWindow(display, root, x, y, width, height);
}

}  // namespace test_support
