// The X11 backend as an XScreenSaver hack: the saver's screen is a window
// the host made (its own full-screen window, one per monitor, the
// settings' preview), given by id, or the root window.
//
// It draws into that window as any hack does, on one connection, in the
// window's own visual, and changes nothing about it: no property, no
// cursor, no placement or stacking, no grabs; it only listens for the
// window's resizes, exposes and destruction. The emulated display mode is
// scaled into the window, aspect kept, and follows it when it is resized.
// The host owns the keyboard and mouse: the program sees no input and a
// cursor that never moves. The window's destruction (or X errors once it
// is gone) is a close request, as is the host's SIGTERM, so both end the
// saver the orderly way. Message boxes, which nobody could answer, go to
// stderr.
#pragma once

#include "backend/display.h"
#include "backend/x11/image.h"

#include <X11/Xlib.h>

#include <memory>
#include <set>
#include <string>

namespace platform::backend::x11 {

class Host final : public RealDisplay {
public:
    // Null, with the reason in `error`, when there is no X display, no such
    // window, or one that cannot be drawn into (input-only, or a visual
    // the layer cannot write).
    static std::unique_ptr<Host> open(const HostOptions& options, std::string& error);
    ~Host() override;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The first window made is the host's; any other exists unseen.
    WindowId createWindow(const std::string& title, int x, int y, int width, int height) override;
    void destroyWindow(WindowId window) override;
    void setTitle(WindowId window, const std::string& title) override;
    void place(WindowId, int, int, int, int, bool) override {}
    void show(WindowId, bool) override {}

    bool pollEvent(Event& event) override;
    POINT cursorPosition() override;
    void setCursorVisible(bool) override {}
    std::optional<int> messageBox(WindowId owner, const std::string& text, const std::string& caption,
                                  UINT style) override;

    // ---- For tests ----
    WindowId hostWindowId() const { return hostId_; }

protected:
    std::vector<Monitor> monitors() override { return {Monitor{0, 0, width_, height_, true, ""}}; }
    int depth() override { return layout_.bitsPerPixel; }
    std::vector<Output*> outputsOf(WindowId window) override;
    bool eventsWaiting() override;
    int eventFd() override;
    bool isShown(WindowId window) override { return window == hostId_ && hostId_ != 0; }

private:
    Host(Display* display, Window window, const XWindowAttributes& attributes, const PixelLayout& layout,
         bool showFrameRate);
    // After an X error: whether the host's window is still there.
    bool windowExists();

    Display* display_;
    Window window_;
    Visual* visual_;
    int depth_;
    PixelLayout layout_;
    bool showFrameRate_;
    int width_, height_;
    std::unique_ptr<WindowOutput> output_;
    WindowId hostId_ = 0;
    WindowId nextWindow_ = 1;
    std::set<WindowId> unseen_;
    bool gone_ = false, closeSent_ = false;
    unsigned failuresSeen_ = 0;
};

}  // namespace platform::backend::x11
