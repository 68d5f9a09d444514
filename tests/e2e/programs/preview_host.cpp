// A small screensaver host of the tests' own, as a settings dialog's
// preview is one: it makes a window on $DISPLAY for a hack to draw into and
// does what its standard input says.
//
//   preview_host WxH[+X+Y] [input-only]
//                           makes and maps the window (at X,Y, default
//                           10,10; an InputOnly one if asked); prints
//                           "window 0x..."
//
// Then one command per line, each answered with a line:
//   resize W H            resizes the window             -> "resized"
//   snap FILE             writes what it shows as a PNG  -> "snapped" / "failed"
//   destroy               destroys the window            -> "destroyed"
// End of input ends it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "backend/png.h"
#include "gdi/objects.h"

namespace {

bool snap(Display* d, Window w, const std::string& path) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, w, &a) || a.width <= 0 || a.height <= 0) return false;
    XImage* image = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image) return false;
    platform::gdi::Surface frame(a.width, a.height, platform::gdi::PixelFormat::Rgb32);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) frame.rgbRow(y)[x] = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return platform::backend::writePng(path, frame);
}

}  // namespace

int main(int argc, char** argv) {
    int width = 0, height = 0, x = 10, y = 10;
    const bool inputOnly = argc == 3 && std::string(argv[2]) == "input-only";
    if (argc < 2 || argc > 3 || (argc == 3 && !inputOnly) ||
        std::sscanf(argv[1], "%dx%d+%d+%d", &width, &height, &x, &y) < 2 || width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: preview_host WxH[+X+Y] [input-only]\n");
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "preview_host: no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(d);
    // A grey window, so a hack that never draws shows as grey, not black.
    Window w = inputOnly ? XCreateWindow(d, RootWindow(d, screen), x, y, width, height, 0, 0, InputOnly, CopyFromParent,
                                         0, nullptr)
                         : XCreateSimpleWindow(d, RootWindow(d, screen), x, y, width, height, 0, 0, 0x808080);
    XSelectInput(d, w, StructureNotifyMask);
    XMapWindow(d, w);
    for (XEvent e;;) {
        XNextEvent(d, &e);
        if (e.type == MapNotify) break;
    }
    std::printf("window 0x%lx\n", w);
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        std::string answer = "unknown";
        if (command == "resize") {
            int w2 = 0, h2 = 0;
            in >> w2 >> h2;
            XResizeWindow(d, w, w2, h2);
            XSync(d, False);
            answer = "resized";
        } else if (command == "snap") {
            std::string path;
            in >> path;
            XSync(d, False);
            answer = snap(d, w, path) ? "snapped" : "failed";
        } else if (command == "destroy") {
            XDestroyWindow(d, w);
            XSync(d, False);
            answer = "destroyed";
        }
        std::printf("%s\n", answer.c_str());
        std::fflush(stdout);
    }
    XCloseDisplay(d);
    return 0;
}
