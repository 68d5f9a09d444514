// The one place where the Win32 layer meets a real display.
//
// Implementations: one per window system (`x11/`, `wayland/`), sharing what
// every real display needs (`display.h`); `headless` (a virtual screen, a
// virtual clock and scripted input, for tests and captures); and a stand-in
// for no display at all. The USER and KERNEL layers above speak only to
// this interface, in screen coordinates of the display mode in force.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::gdi {
class Surface;
}

namespace platform::backend {

// A display mode as the layer sees it. Real displays emulate mode changes
// (the saver's "mode" becomes a logical size scaled onto every monitor), so
// these are the sizes the program sees, never the real desktop's after a
// change.
struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;
    int frequency = 60;
};

// Backend-side identity of a top-level window; 0 is no window.
using WindowId = std::uint32_t;

enum class EventType {
    KeyDown,       // key pressed (or auto-repeated); virtualKey set
    KeyUp,         // key released; virtualKey set
    MouseMove,     // position set
    ButtonDown,    // button and position set
    ButtonUp,      // button and position set
    CloseRequest,  // the window manager asks window `window` to close
};

enum class MouseButton { Left, Right, Middle };

struct Event {
    EventType type = EventType::MouseMove;
    // The window the event belongs to; 0 means the active window.
    WindowId window = 0;
    int virtualKey = 0;  // a VK_ code; letters and digits as upper-case ASCII
    bool altDown = false;  // Alt was held when the key event happened
    MouseButton button = MouseButton::Left;
    POINT position{};  // screen coordinates, for mouse events
};

class Backend {
public:
    virtual ~Backend() = default;

    // ---- Screen and display modes ----
    // False when the current mode cannot be read.
    virtual bool currentMode(DisplayMode& mode) = 0;
    // A temporary change for the life of the process; a DISP_CHANGE_* code.
    virtual LONG changeMode(const DisplayMode& mode) = 0;
    // Back to the mode the desktop had when the process started.
    virtual void restoreMode() = 0;
    // The desktop area not covered by panels, in screen coordinates.
    virtual RECT workArea() = 0;

    // ---- Windows ----
    // A new top-level window, hidden until shown.
    virtual WindowId createWindow(const std::string& title, int x, int y, int width, int height) = 0;
    virtual void destroyWindow(WindowId window) = 0;
    virtual void setTitle(WindowId window, const std::string& title) = 0;
    virtual void place(WindowId window, int x, int y, int width, int height, bool topmost) = 0;
    virtual void show(WindowId window, bool visible) = 0;
    // Records that a window's frame (32-bit pixels, the window's client
    // size) changed; it reaches the screen at the next showFrames().
    // `frame` is the window's own pixel store: it lives until the window is
    // destroyed and changes only by drawing that is recorded, so a backend
    // may read it in place, as a screen reads its framebuffer.
    virtual void recordFrame(WindowId window, const gdi::Surface& frame) = 0;
    // Puts the recorded frames on the screen, as far as they changed since
    // each was last shown, without waiting for vertical sync. The message
    // queue calls it before every idle wait, so the several drawing calls
    // of one frame (a box's text, its buttons) reach the screen together.
    virtual void showFrames() = 0;

    // ---- Input ----
    // Takes one pending input event; never waits. A poll that finds nothing
    // is an idle poll (the headless clock advances on those).
    virtual bool pollEvent(Event& event) = 0;
    // Called when the message queue has nothing to return: waits until the
    // program could next see something new (the millisecond clock move on
    // to a tick that matters), input arrives or a signal asks to close,
    // whichever comes first. So a program that polls without pause (as a
    // screensaver's frame loop does) takes its frames on the same ticks as
    // before but no longer spins between them.
    virtual void idle() = 0;
    virtual POINT cursorPosition() = 0;
    virtual void setCursorVisible(bool visible) = 0;

    // ---- Message boxes ----
    // A modal box of the backend's own over `owner` (0: none) with the
    // buttons and icon of a MB_* style; returns the ID* of the button chosen.
    // std::nullopt: the backend has no box of its own, and the layer shows
    // the box as a window of its own on this backend.
    virtual std::optional<int> messageBox(WindowId owner, const std::string& text, const std::string& caption,
                                          UINT style) = 0;

    // ---- Time ----
    // Milliseconds since the system started, not wrapped to 32 bits.
    virtual std::uint64_t uptimeMilliseconds() = 0;
    // The local wall clock, to the millisecond.
    virtual SYSTEMTIME localTime() = 0;
};

// A message-box button: the ID* the box returns for it and its caption.
struct BoxButton {
    int id;
    const char* label;
};

// The buttons of a MB_* style's button group, left to right.
std::vector<BoxButton> boxButtons(UINT style);
// The ID* of a style's default button (MB_DEFBUTTON1..4), the answer of a
// box nobody can see.
int defaultBoxButton(UINT style);
// The ID* of the button whose caption is `label`, in any case ("retry",
// "Cancel"); 0 for none.
int boxButtonId(std::string_view label);

// How a screensaver host started the process (XScreenSaver's hack options):
// the window to draw into, and whether to show the frame rate.
struct HostOptions {
    std::optional<unsigned long> window;  // an X11 window id
    bool root = false;                    // the root window
    bool showFrameRate = false;           // the caption's text, in a corner
    bool drawsIntoHostWindow() const { return window || root; }
};
// Set by the process start-up before the backend is first used; the X11
// backend then draws into that window instead of windows of its own, takes
// no input from it and changes nothing about it.
void setHostOptions(const HostOptions& options);
const HostOptions& hostOptions();

// The backend of this process, chosen on first use: POMRIVEL_BACKEND=wayland,
// x11 or headless forces one (any other value stops the process with status
// 2); otherwise Wayland when WAYLAND_DISPLAY names a compositor that
// answers, else X11 when DISPLAY names a server that does. Drawing into a
// host's window is X11's. When no display can be opened, a stand-in that
// shows nothing and writes message boxes to stderr.
Backend& current();
// Whether the backend of this process is that stand-in, and why no real
// display could be opened (empty when nothing was named to open).
bool displayMissing();
const std::string& whyDisplayMissing();

// Replaces the backend of this process (tests); the previous one is closed.
void install(std::unique_ptr<Backend> backend);

// Asks every top-level window to close, as a window manager's close does.
// Safe to call from a signal handler: it sets a flag that the message queue
// reads on its next poll and wakes an idle wait.
void requestCloseFromSignal();
bool takeCloseRequest();
// Readable while a close request from a signal is pending, so an idle wait
// can watch it; -1 if it could not be made.
int closeRequestFd();

}  // namespace platform::backend
