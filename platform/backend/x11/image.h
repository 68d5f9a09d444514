// An X window as an output: the frame scaled into an image of the window's
// size and sent, a changed rectangle at a time, with XShmPutImage (shared
// memory, where the server offers MIT-SHM and shares our memory) or
// XPutImage (a remote display). Pixels are written in the window's own
// visual; where that is not 0x00RRGGBB the frame is scaled beside the
// image and converted in.
#pragma once

#include "backend/output.h"
#include "backend/x11/pixels.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace platform::backend::x11 {

class WindowOutput final : public Output {
public:
    // `window` of `width` x `height` pixels, whose visual has `layout` and
    // `depth`. `shm`: the server offers MIT-SHM.
    WindowOutput(Display* display, Window window, Visual* visual, int depth, const PixelLayout& layout, bool shm,
                 int width, int height);
    ~WindowOutput() override;

    Window window() const { return window_; }
    // The window's size changed: a new image at the next show.
    void resize(int width, int height);
    // Makes the image at the window's size now and has its memory touched
    // on a second thread (where one can be started), so a first frame made
    // soon after finds it ready: on a virtual machine the first write to
    // each page of a fresh 33 MB image costs some 50 ms. The thread only
    // writes the image's pages; all of Xlib stays on the calling thread.
    void prepare();
    bool show(const Picture& frame) override;

private:
    bool makeImage();
    void freeImage();
    // Whether errors came of the last frame's requests.
    bool lastShowFailed();
    // Ends the touching of a new image: `help` takes part in what is left
    // of it (a show wants the image), else stops it (the image goes).
    void joinToucher(bool help);

    Display* display_;
    Window window_;
    Visual* visual_;
    int depth_;
    PixelLayout layout_;
    PixelWriter writer_;
    bool shm_;
    GC gc_ = nullptr;
    int width_, height_;
    XImage* image_ = nullptr;
    XShmSegmentInfo segment_{};
    bool attached_ = false;
    // Scaled pixels where the visual is not 0x00RRGGBB.
    std::vector<std::uint32_t> staging_;
    // The first write to a new image's pages, shared between a thread of
    // its own and the first show.
    struct Touch {
        Touch(char* d, std::size_t b) : data(d), bytes(b) {}
        void run();
        char* data;
        std::size_t bytes;
        std::atomic<std::size_t> next{0};
    };
    std::unique_ptr<Touch> touch_;
    std::thread toucher_;
    // The image is new: nothing of the frame is in it yet.
    bool fresh_ = true;
    // A frame was sent since the last check, and the error count then.
    bool sent_ = false;
    unsigned long errorsWhenSent_ = 0;
    // The size an image could not be made at; not tried again at it.
    int failedW_ = 0, failedH_ = 0;
};

}  // namespace platform::backend::x11
