// What every real display shares, whatever the window system: the emulated
// display mode and where it lies on each monitor, the frame path (what
// changed, scale it, send it), the wait between frames, the clock, and the
// rule that a saver nobody can see does not run.
//
// A display mode change is emulated: the requested mode becomes the
// program's logical screen, and the real desktop mode is never touched, so
// nothing is left in a wrong resolution if the process dies. A window that
// covers the logical screen (the saver's) is shown on every monitor, each
// scaled to its monitor with the aspect kept; any other window (a message
// box) is a window of its own on the primary monitor, placed and sized by
// the same mapping. The pointer's position is mapped into the logical
// screen through the primary monitor without clamping, so any movement of
// the real pointer, in the bars or on another monitor, moves it there too.
#pragma once

#include "backend/backend.h"
#include "backend/damage.h"
#include "backend/output.h"
#include "backend/scaler.h"
#include "backend/wake.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform::backend {

// A monitor of the real desktop, in the window system's coordinates.
struct Monitor {
    int x = 0, y = 0, width = 0, height = 0;
    bool primary = false;
    std::string name;
};

// A logical area of `logicalW` x `logicalH` shown in a real rectangle.
struct Mapping {
    int logicalW = 1, logicalH = 1;
    Rect real{0, 0, 1, 1};
    // The logical point at a real one; points outside the real rectangle
    // map outside the logical area (floor division, so the bars' points
    // round as the picture's do).
    POINT toLogical(int rx, int ry) const;
    // The real point at a logical one.
    POINT toReal(LONG lx, LONG ly) const;
};

// What a real display keeps of each of the program's top-level windows,
// whatever shows it; the window systems' windows add their surfaces.
struct WindowState {
    std::string title;
    int x = 0, y = 0, width = 1, height = 1;  // logical, never empty
    bool topmost = false, visible = false;
    bool covers = false;  // covers the logical screen: shown on every monitor
    std::string overlay;  // -fps: the caption over the picture
    void moveTo(int left, int top, int w, int h) {
        x = left;
        y = top;
        width = w > 1 ? w : 1;
        height = h > 1 ? h : 1;
    }
};

class RealDisplay : public Backend {
public:
    bool currentMode(DisplayMode& mode) override;
    LONG changeMode(const DisplayMode& mode) override;
    void restoreMode() override;
    RECT workArea() override;

    void recordFrame(WindowId window, const gdi::Surface& frame) override;
    void showFrames() override;
    void idle() override;

    // None of its own: the layer draws each box as a window of its own, so
    // no box can outlive the program.
    std::optional<int> messageBox(WindowId, const std::string&, const std::string&, UINT) override {
        return std::nullopt;
    }

    std::uint64_t uptimeMilliseconds() override;
    SYSTEMTIME localTime() override;

protected:
    RealDisplay();

    // ---- What the window system provides ----
    // The monitors as they are now, at least one.
    virtual std::vector<Monitor> monitors() = 0;
    // The part of the primary monitor not covered by panels, in the window
    // system's coordinates; the whole monitor when unknown.
    virtual Rect usableArea(const Monitor& primary) { return Rect{primary.x, primary.y, primary.width, primary.height}; }
    // Bits per pixel of the desktop mode.
    virtual int depth() { return 32; }
    // The outputs that show a window's frame now.
    virtual std::vector<Output*> outputsOf(WindowId window) = 0;
    // Sends what is buffered for the window system and tells whether
    // events have arrived already (a wait would not see them).
    virtual bool eventsWaiting() = 0;
    // The descriptor input arrives on; -1 for none.
    virtual int eventFd() = 0;
    // The wait that followed eventsWaiting() == false is over;
    // `inputMayWait`: it did not simply run out (the descriptor, or a
    // signal, woke it). Wayland reads its events here.
    virtual void waited(bool inputMayWait) { (void)inputMayWait; }

    // ---- For the window system's half ----
    // The primary monitor (the first when none is marked).
    Monitor primaryMonitor();
    // The logical screen's size: the emulated mode's, else the primary
    // monitor's.
    SIZE logicalSize();
    // The logical screen on the primary monitor.
    Mapping primaryMapping();
    // Whether a window at this logical rectangle covers the logical screen
    // (and so shows on every monitor).
    bool coversScreen(int x, int y, int width, int height);
    // A window is gone: its frame is forgotten.
    void forgetWindow(WindowId window) { frames_.erase(window); }
    // An output of the window can take a frame again (a compositor gave a
    // buffer back): what it missed goes out at the next showFrames().
    void showAgain(WindowId window);
    // Whether a window is shown, for the rule below (a hidden window's
    // frames reach no screen, and need not).
    virtual bool isShown(WindowId window) = 0;

private:
    struct Frames {
        const gdi::Surface* frame = nullptr;
        FrameHistory history;
        bool recorded = false;
    };
    // Ends the process, saying why, when frames of a shown window have
    // reached no screen for two seconds since the first of them.
    void checkSomethingShows();

    std::optional<DisplayMode> emulated_;
    std::map<WindowId, Frames> frames_;
    WakePlanner planner_;
    // The first frame of a shown window was recorded (uptime ms).
    std::optional<std::uint64_t> firstRecorded_;
    bool anyShown_ = false;
    std::string lastFailure_;
};

}  // namespace platform::backend
