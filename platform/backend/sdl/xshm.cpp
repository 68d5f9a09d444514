#include "backend/sdl/xshm.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
// For XESetError, a connection's own error hook; its min and max macros
// are not wanted.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace platform::backend::x11 {

namespace {

// Errors on an image's own connection: Xlib reports an error in the call
// that reads its reply, so each call that can fail clears this and syncs.
bool gFailed = false;

int recordError(Display*, xError*, XExtCodes*, int* code) {
    gFailed = true;
    *code = 0;
    return True;  // handled: not passed on to the process's error handler
}

// Whether a visual holds 0x00RRGGBB in 32-bit little-endian pixels.
bool isRgb888(const Visual* visual, int depth) {
    return visual && (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
           visual->blue_mask == 0xFF;
}

}  // namespace

struct ShmImage::State {
    Display* display = nullptr;
    std::thread preparing;
    // The image and its segment; `image` null when there is none.
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    bool attached = false;
    Visual* visual = nullptr;
    int depth = 0;
    // The window it shows in.
    SDL_Window* sdlWindow = nullptr;
    ::Window window = 0;
    GC gc = nullptr;

    ~State() {
        if (preparing.joinable()) preparing.join();
        if (!display) return;
        freeImage();
        if (gc) XFreeGC(display, gc);
        XCloseDisplay(display);
    }

    // Errors on this connection are recorded in gFailed instead of going to
    // Xlib's process-wide handler (which ends the process).
    void catchErrors() {
        XExtCodes* codes = XAddExtension(display);
        if (codes) XESetError(display, codes->extension, recordError);
    }

    bool makeImage(int width, int height) {
        freeImage();
        gFailed = false;
        image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment,
                                static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (!image) return false;
        if (image->bits_per_pixel != 32 || image->byte_order != LSBFirst || image->bytes_per_line != width * 4) {
            freeImage();
            return false;
        }
        segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
        if (segment.shmid < 0) {
            freeImage();
            return false;
        }
        void* at = shmat(segment.shmid, nullptr, 0);
        if (at == reinterpret_cast<void*>(-1)) {
            shmctl(segment.shmid, IPC_RMID, nullptr);
            segment.shmid = -1;
            freeImage();
            return false;
        }
        segment.shmaddr = image->data = static_cast<char*>(at);
        segment.readOnly = False;
        XShmAttach(display, &segment);
        XSync(display, False);
        attached = !gFailed;
        // Marked for removal now: it goes when both sides have let go, even
        // if this process ends without its clean-up.
        shmctl(segment.shmid, IPC_RMID, nullptr);
        if (!attached) freeImage();
        return attached;
    }

    void freeImage() {
        if (!image) return;
        if (attached) {
            XShmDetach(display, &segment);
            XSync(display, False);
        }
        if (segment.shmaddr) shmdt(segment.shmaddr);
        attached = false;
        image->data = nullptr;
        XDestroyImage(image);
        image = nullptr;
        segment = XShmSegmentInfo{};
    }

    // Lets the X server read all of the new image once, a row at a time
    // into a one-row pixmap, so that its first touch of the pages is over
    // before a frame needs it. Nothing waits for it: the server reads while
    // the program goes on.
    void warmUpServer() {
        const auto width = static_cast<unsigned>(image->width);
        const Pixmap row = XCreatePixmap(display, DefaultRootWindow(display), width, 1, static_cast<unsigned>(depth));
        XGCValues values{};
        values.graphics_exposures = False;
        GC rowGc = XCreateGC(display, row, GCGraphicsExposures, &values);
        for (int y = 0; y < image->height; ++y)
            XShmPutImage(display, row, rowGc, image, 0, y, 0, 0, width, 1, False);
        XFreeGC(display, rowGc);
        XFreePixmap(display, row);
        XFlush(display);
    }

    // The image at width x height, or the screen's size with either 0.
    bool prepare(int width, int height) {
        catchErrors();
        if (!XShmQueryExtension(display)) return false;
        const int screen = DefaultScreen(display);
        visual = DefaultVisual(display, screen);
        depth = DefaultDepth(display, screen);
        if (!isRgb888(visual, depth)) return false;
        if (width <= 0 || height <= 0) width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
        if (!makeImage(width, height)) return false;
        warmUpServer();
        return true;
    }
};

ShmImage::ShmImage() : state_(std::make_unique<State>()) {}
ShmImage::~ShmImage() = default;

std::unique_ptr<ShmImage> ShmImage::prepare(int width, int height) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    std::unique_ptr<ShmImage> image(new ShmImage());
    State& s = *image->state_;
    s.display = XOpenDisplay(nullptr);
    if (s.display && s.prepare(std::clamp(width, 0, 16384), std::clamp(height, 0, 16384))) {
        // The process's own first touch, black, on a thread: nothing else
        // touches these pages until `attach` has joined it.
        s.preparing = std::thread([data = s.image->data, bytes = std::size_t(s.image->bytes_per_line) * s.image->height] {
            std::memset(data, 0, bytes);
        });
    }
    return image;
}

bool ShmImage::attach(SDL_Window* window) {
    State& s = *state_;
    if (s.preparing.joinable()) s.preparing.join();
    if (!s.display || !XShmQueryExtension(s.display)) return false;
    // Errors of the warm-up are of no interest.
    XSync(s.display, False);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    // The same X server as SDL's window, or the window's id means nothing.
    if (std::string_view(DisplayString(info.info.x11.display)) != DisplayString(s.display)) return false;
    gFailed = false;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(s.display, info.info.x11.window, &attributes) || gFailed) return false;
    if (!isRgb888(attributes.visual, attributes.depth)) return false;
    // An image is pixel values in the drawable's depth: the prepared one
    // fits any window of that depth with the same pixel layout, whichever of
    // the screen's visuals it has (SDL takes a DirectColor one where there
    // is one).
    if (attributes.depth != s.depth) {
        s.freeImage();
        s.visual = attributes.visual;
        s.depth = attributes.depth;
    }
    XGCValues values{};
    values.graphics_exposures = False;
    s.gc = XCreateGC(s.display, info.info.x11.window, GCGraphicsExposures, &values);
    XSync(s.display, False);
    if (!s.gc || gFailed) return false;
    s.sdlWindow = window;
    s.window = info.info.x11.window;
    return true;
}

Canvas ShmImage::pixels(bool& resized) {
    State& s = *state_;
    resized = false;
    int w = 0, h = 0;
    SDL_GetWindowSize(s.sdlWindow, &w, &h);
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return Canvas{nullptr, 0, 0, 0};
    if (!s.image || s.image->width != w || s.image->height != h) {
        resized = true;
        if (!s.makeImage(w, h)) return Canvas{nullptr, 0, 0, 0};
    }
    return Canvas{reinterpret_cast<std::uint32_t*>(s.image->data), w, h,
                  static_cast<std::size_t>(s.image->bytes_per_line)};
}

bool ShmImage::show(const Rect& area) {
    State& s = *state_;
    if (!s.image || area.w <= 0 || area.h <= 0) return false;
    gFailed = false;
    XShmPutImage(s.display, s.window, s.gc, s.image, area.x, area.y, area.x, area.y, static_cast<unsigned>(area.w),
                 static_cast<unsigned>(area.h), False);
    XSync(s.display, False);
    return !gFailed;
}

}  // namespace platform::backend::x11
