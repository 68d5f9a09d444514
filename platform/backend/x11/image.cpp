#include "backend/x11/image.h"

#include "backend/x11/connection.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace platform::backend::x11 {

namespace {

// The largest window image made: 16384 x 16384 pixels.
constexpr std::int64_t kLargestImage = std::int64_t{1} << 28;

}  // namespace

WindowOutput::WindowOutput(Display* display, Window window, Visual* visual, int depth, const PixelLayout& layout,
                           bool shm, int width, int height)
    : display_(display), window_(window), visual_(visual), depth_(depth), layout_(layout), writer_(layout),
      shm_(shm), width_(width), height_(height) {
    XGCValues values{};
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, window_, GCGraphicsExposures, &values);
}

WindowOutput::~WindowOutput() {
    freeImage();
    if (gc_) XFreeGC(display_, gc_);
}

void WindowOutput::resize(int width, int height) {
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    freeImage();
}

bool WindowOutput::lastShowFailed() {
    // Errors of the last frame's requests have come back by now (the
    // server answers within milliseconds, and every poll reads them).
    const bool failed = sent_ && errorCount() != errorsWhenSent_;
    sent_ = false;
    return failed;
}

void WindowOutput::Touch::run() {
    // A megabyte at a time from a shared counter, so the thread that wants
    // the image can take part instead of waiting.
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    for (std::size_t at = next.fetch_add(kChunk); at < bytes; at = next.fetch_add(kChunk)) {
        const std::size_t n = std::min(kChunk, bytes - at);
        // The kernel's pages at once, then the process's first write to
        // each (on a virtual machine the second is as dear as the first).
        madvise(data + at, n, MADV_POPULATE_WRITE);
        std::memset(data + at, 0, n);
    }
}

void WindowOutput::joinToucher(bool help) {
    if (!touch_) return;
    if (help)
        touch_->run();
    else
        touch_->next = touch_->bytes;  // an image about to go: no more of it
    if (toucher_.joinable()) toucher_.join();
    touch_.reset();
}

void WindowOutput::prepare() {
    if (image_ || (width_ == failedW_ && height_ == failedH_)) return;
    if (!makeImage()) {
        failedW_ = width_;
        failedH_ = height_;
        return;
    }
    fresh_ = true;
    touch_ = std::make_unique<Touch>(image_->data, static_cast<std::size_t>(image_->bytes_per_line) * height_);
    try {
        toucher_ = std::thread([touch = touch_.get()] { touch->run(); });
    } catch (const std::system_error&) {
        // No thread to be had (a process limit): the first show does all
        // of it.
    }
}

void WindowOutput::freeImage() {
    joinToucher(false);
    if (!image_) return;
    // The server may still be reading the image.
    XSync(display_, False);
    sent_ = false;
    if (attached_) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);
    }
    if (segment_.shmaddr) {
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
    }
    XDestroyImage(image_);  // frees the data of a plain image
    image_ = nullptr;
    attached_ = false;
    segment_ = XShmSegmentInfo{};
    staging_ = {};
}

bool WindowOutput::makeImage() {
    freeImage();
    if (width_ <= 0 || height_ <= 0 || std::int64_t{width_} * height_ > kLargestImage)
        return fail("no image can be made for a window of " + std::to_string(width_) + "x" + std::to_string(height_) +
                    " pixels");
    const auto w = static_cast<unsigned>(width_), h = static_cast<unsigned>(height_);
    char text[160];
    try {
        if (!layout_.native()) staging_.assign(static_cast<std::size_t>(width_) * height_, 0);
        if (shm_) {
            image_ = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &segment_, w, h);
            if (image_) {
                const std::size_t bytes = static_cast<std::size_t>(image_->bytes_per_line) * h;
                segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
                if (segment_.shmid >= 0) {
                    void* at = shmat(segment_.shmid, nullptr, 0);
                    // Marked for removal at once: it goes when both sides
                    // have let go, even if this process is killed.
                    shmctl(segment_.shmid, IPC_RMID, nullptr);
                    if (at != reinterpret_cast<void*>(-1)) {
                        segment_.shmaddr = image_->data = static_cast<char*>(at);
                        segment_.readOnly = True;
                        ErrorCheck check(display_);
                        XShmAttach(display_, &segment_);
                        attached_ = !check.failed();
                        if (attached_) return true;
                    }
                }
                // No shared memory to be had (limits, or a server that
                // cannot map ours): plain images.
                freeImage();
                if (!layout_.native()) staging_.assign(static_cast<std::size_t>(width_) * height_, 0);
            }
            shm_ = false;
        }
        const int pad = layout_.bitsPerPixel;
        image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr, w, h, pad, 0);
        if (!image_) throw std::bad_alloc();
        image_->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(image_->bytes_per_line), h));
        if (!image_->data) throw std::bad_alloc();
        return true;
    } catch (const std::bad_alloc&) {
        freeImage();
        std::snprintf(text, sizeof text, "not enough memory for an image of %dx%d pixels (%lld MB)", width_, height_,
                      static_cast<long long>(std::int64_t{width_} * height_ * 4 >> 20));
        return fail(text);
    }
}

bool WindowOutput::show(const Picture& frame) {
    if (lastShowFailed()) {
        char text[64];
        std::snprintf(text, sizeof text, "window 0x%lx could not be drawn into", window_);
        // The picture may be partly drawn: all of it next time.
        redrawAll();
        return fail(text);
    }
    // An image that could not be made at this size is not tried again
    // every frame; a new size tries again.
    prepare();
    if (!image_) return fail(failure());
    joinToucher(true);
    auto* pixels = reinterpret_cast<std::uint8_t*>(image_->data);
    const auto stride = static_cast<std::size_t>(image_->bytes_per_line);
    const Canvas canvas = layout_.native()
                              ? Canvas{reinterpret_cast<std::uint32_t*>(pixels), width_, height_, stride}
                              : Canvas{staging_.data(), width_, height_, static_cast<std::size_t>(width_) * 4};
    const std::vector<Rect>& rects = paint(0, canvas, frame, std::exchange(fresh_, false));
    if (rects.empty()) return true;
    for (const Rect& r : rects) {
        if (!layout_.native()) writer_.convert(canvas, pixels, stride, r);
        const auto w = static_cast<unsigned>(r.w), h = static_cast<unsigned>(r.h);
        if (attached_)
            XShmPutImage(display_, window_, gc_, image_, r.x, r.y, r.x, r.y, w, h, False);
        else
            XPutImage(display_, window_, gc_, image_, r.x, r.y, r.x, r.y, w, h);
    }
    // No wait for the server to read the image (a round trip a frame
    // would be a wakeup a frame): the next frame writes it 20 ms later,
    // and only where that frame changed, which it then sends in turn; at
    // worst a server that fell that far behind shows part of the next
    // frame a moment early, never a wrong picture in the end.
    sent_ = true;
    errorsWhenSent_ = errorCount();
    XFlush(display_);
    return true;
}

}  // namespace platform::backend::x11
