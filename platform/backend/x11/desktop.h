// The X11 backend on a desktop (`pomrivel /s` from an idle launcher, or any
// Win32 program of ours): windows of its own on one connection, plain
// Xlib, XRandR for the monitors and MIT-SHM for the pixels.
//
// The saver's full-screen window becomes one window per RandR monitor
// (XRRGetMonitors, so a screen split by `xrandr --setmonitor` counts as
// its monitors), each borderless, full screen and above the others on its
// monitor, each showing the frame scaled to that monitor; monitors added
// or removed while it runs gain or lose their window. Any other window (a
// message box) is one window on the primary monitor. Keys and buttons on
// any of them, and the pointer anywhere, are the program's input; the
// pointer is asked of the server each time, so a warped pointer moves too.
#pragma once

#include "backend/display.h"
#include "backend/x11/image.h"

#include <X11/Xlib.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::backend::x11 {

class Desktop final : public RealDisplay {
public:
    // Null, with the reason in `error`, when no X display can be opened or
    // it offers no visual the layer can draw in.
    static std::unique_ptr<Desktop> open(std::string& error);
    ~Desktop() override;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    WindowId createWindow(const std::string& title, int x, int y, int width, int height) override;
    void destroyWindow(WindowId window) override;
    void setTitle(WindowId window, const std::string& title) override;
    void place(WindowId window, int x, int y, int width, int height, bool topmost) override;
    void show(WindowId window, bool visible) override;

    bool pollEvent(Event& event) override;
    POINT cursorPosition() override;
    void setCursorVisible(bool visible) override;

    // ---- For tests ----
    Display* display() const { return display_; }
    // The X windows that show a window, one per monitor for a full-screen
    // one.
    std::vector<Window> xWindows(WindowId window) const;

protected:
    std::vector<Monitor> monitors() override { return monitors_; }
    Rect usableArea(const Monitor& primary) override;
    int depth() override { return layout_.bitsPerPixel; }
    std::vector<Output*> outputsOf(WindowId window) override;
    bool eventsWaiting() override;
    int eventFd() override;
    bool isShown(WindowId window) override;

private:
    struct Real {
        Window xid = 0;
        Rect placed{0, 0, 0, 0};
        bool mapped = false;
        std::unique_ptr<WindowOutput> output;
    };
    struct ProgramWindow : WindowState {
        std::vector<Real> real;
    };

    Desktop(Display* display, Visual* visual, int depth, const PixelLayout& layout);
    void readMonitors();
    // Makes, moves and removes the window's X windows to match where it is.
    void realize(ProgramWindow& w);
    Real makeReal(const ProgramWindow& w, const Rect& at);
    void setState(const ProgramWindow& w, Real& r);
    void setTitleOf(Window xid, const std::string& title);
    bool translate(const XEvent& e, Event& out);
    bool coveringWindowShown() const;
    // The program window an X window belongs to.
    std::pair<WindowId, Real*> find(Window xid);

    Display* display_;
    Window root_;
    Visual* visual_;
    int depth_;
    PixelLayout layout_;
    Colormap colormap_;
    bool shm_ = false;
    int randrEvents_ = -1;  // XRandR's first event code, or -1
    std::vector<Monitor> monitors_;
    Cursor blank_ = 0;
    bool cursorHidden_ = false;
    // The pointer's last known place on the root window, and when it was
    // last asked of the server (uptime ms).
    int pointerX_ = 0, pointerY_ = 0;
    std::optional<std::uint64_t> pointerAsked_;
    std::map<WindowId, ProgramWindow> windows_;
    WindowId nextWindow_ = 1;
};

}  // namespace platform::backend::x11
