// The headless backend: no display at all. A virtual screen, a virtual clock
// that moves only when the program polls and finds nothing, a script of input
// events at given virtual times, message boxes that are recorded and answered
// at once, display-mode requests that can be made to fail, and capture of the
// presented frames to PNG files. Runs are fast and exactly repeatable.
//
// Configured from the environment variable POMRIVEL_HEADLESS, a list of
// key=value items separated by ';' (an invalid item is reported on stderr and
// the process exits with status 2, so a mistyped test setting never passes
// unnoticed):
//
//   screen=WxH            virtual screen, the current mode (default 640x480)
//   workarea=l,t,r,b      work area (default: the whole screen); keeps its
//                         margins to the screen edges when the mode changes
//   uptime=MS             the clock's start, ms since "boot" (default 3600000);
//                         may be near 2^32 to test the tick count wrap
//   step=MS               clock advance on each idle poll, at least 1
//                         (default 1)
//   localtime=YYYY-MM-DDTHH:MM:SS.mmm
//                         wall clock at the start (default
//                         2003-06-01T12:00:00.000); moves with the clock
//   cursor=X,Y            cursor position at the start (default: the centre)
//   input=FILE            script of input events, one per line (see below)
//   script=LINE|LINE|...  the same script inline, lines separated by '|'
//   box-answer=ok|cancel|yes|no|abort|retry|ignore
//                         the button every message box answers with, when
//                         the box has it (default: the style's first button)
//   box-delay=MS          clock advance while a message box is open
//   mode-query=fail       the current display mode cannot be read
//   mode-change=fail|restart|badmode
//                         display mode changes return DISP_CHANGE_FAILED,
//                         DISP_CHANGE_RESTART or DISP_CHANGE_BADMODE
//   capture=DIR           write presented frames of visible windows to
//                         DIR/frame-NNNNNN.png (DIR created if missing),
//                         NNNNNN the present number, counted from 1
//   capture-first=K       skip the first K presents (default 0)
//   capture-every=N       then keep every N-th present (default 1)
//   capture-count=N       stop after N files (default: no limit); once the
//                         N-th is written (or a write fails), the run ends
//                         with the close request of exit-after
//   exit-after=MS         once the clock is MS past the start, the active
//                         window gets one window-manager close request
//                         (one in all, whichever of the two comes first)
//
// Script lines: `<ms> <event> [args]`, ms relative to the start of the run;
// '#' starts a comment. Events whose time has come are delivered in time
// order (lines with equal times in file order), one per poll:
//
//   keydown VK [alt]      VK a number (decimal or 0x hex, e.g. 0x31 for the
//   keyup VK [alt]        digit 1) or a name: A..Z, F1..F24, ESCAPE, RETURN,
//                         SPACE, TAB, BACK, SHIFT, CONTROL, MENU (Alt), ...
//                         `alt` marks the event as made with Alt held.
//   move X Y              the cursor moves to screen position X,Y
//   buttondown left|right|middle [X Y]   (with X Y the cursor moves first)
//   buttonup left|right|middle [X Y]
//   close                 window-manager close of the active window
//
// Alt state follows keydown/keyup of MENU: a key event carries altDown when
// Alt is down after it (so Alt's own keydown does, its keyup does not).
#pragma once

#include "backend/backend.h"
#include "gdi/objects.h"

#include <cstdint>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::backend {

struct ScriptEvent {
    std::uint64_t time = 0;  // ms after the start of the run
    Event event;
    // For key events: the `alt` flag word was given.
    bool altFlag = false;
    // For button events: the script gave a position.
    bool hasPosition = false;
};

struct HeadlessConfig {
    int screenWidth = 640;
    int screenHeight = 480;
    std::optional<RECT> workArea;
    std::uint64_t uptime = 3'600'000;
    std::uint64_t step = 1;
    // wDayOfWeek is ignored here and computed from the date.
    SYSTEMTIME localTime{2003, 6, 0, 1, 12, 0, 0, 0};
    std::optional<POINT> cursor;  // default: the centre of the screen
    std::vector<ScriptEvent> script;
    std::optional<int> boxAnswer;  // an ID* value
    std::uint64_t boxDelay = 0;
    bool modeQueryFails = false;
    LONG modeChangeResult = DISP_CHANGE_SUCCESSFUL;
    std::string captureDir;  // empty: no capture
    int captureFirst = 0;
    int captureEvery = 1;
    int captureCount = -1;  // negative: no limit
    std::optional<std::uint64_t> exitAfter;
};

// Parses a POMRIVEL_HEADLESS value into `config` (items not given keep
// their values). On failure returns false with a message in `error`.
bool parseHeadlessConfig(const std::string& text, HeadlessConfig& config, std::string& error);

// Parses script text whose lines are separated by `separator` and appends
// the events to `events`. On failure returns false with the line's number
// and the problem in `error`.
bool parseScript(const std::string& text, char separator, std::vector<ScriptEvent>& events, std::string& error);

// A virtual key from a script word (a number or a key name); -1 if unknown.
int parseVirtualKey(const std::string& word);

class HeadlessBackend final : public Backend {
public:
    struct WindowState {
        std::string title;
        int x = 0, y = 0, width = 0, height = 0;
        bool visible = false;
        bool topmost = false;
        bool destroyed = false;
        int presents = 0;
        // What the screen shows of the window: its last presented frame,
        // or nullptr before the first present.
        const gdi::Surface* lastFrame() const { return liveFrame ? liveFrame : keptFrame ? &*keptFrame : nullptr; }

        // While the window is shown, the screen shows its frame in place;
        // hiding or destroying it keeps a copy of what was shown (nothing,
        // where there is no memory for the copy: the window's frame may go
        // with it, so it is never pointed to any more).
        const gdi::Surface* liveFrame = nullptr;
        std::optional<gdi::Surface> keptFrame;
        void keepFrame() {
            const gdi::Surface* shown = std::exchange(liveFrame, nullptr);
            if (!shown) return;
            try {
                keptFrame = *shown;
            } catch (const std::bad_alloc&) {
                keptFrame.reset();
            }
        }
    };
    struct BoxRecord {
        WindowId owner = 0;
        std::string text;
        std::string caption;
        UINT style = 0;
        int answer = 0;
        std::uint64_t time = 0;  // ms after the start when it opened
    };
    struct ModeRecord {
        bool restore = false;   // restoreMode, not changeMode
        DisplayMode requested;  // for changeMode
        LONG result = DISP_CHANGE_SUCCESSFUL;
    };

    explicit HeadlessBackend(HeadlessConfig config);

    bool currentMode(DisplayMode& mode) override;
    LONG changeMode(const DisplayMode& mode) override;
    void restoreMode() override;
    RECT workArea() override;

    WindowId createWindow(const std::string& title, int x, int y, int width, int height) override;
    void destroyWindow(WindowId window) override;
    void setTitle(WindowId window, const std::string& title) override;
    void place(WindowId window, int x, int y, int width, int height, bool topmost) override;
    void show(WindowId window, bool visible) override;
    // Shown at once: the virtual screen shows the frame in place, and a
    // capture counts every frame recorded.
    void recordFrame(WindowId window, const gdi::Surface& frame) override;
    void showFrames() override {}

    bool pollEvent(Event& event) override;
    // The idle poll is this backend's clock step: it never waits.
    void idle() override {}
    POINT cursorPosition() override { return cursor_; }
    void setCursorVisible(bool visible) override { cursorVisible_ = visible; }

    std::optional<int> messageBox(WindowId owner, const std::string& text, const std::string& caption,
                                  UINT style) override;

    std::uint64_t uptimeMilliseconds() override { return now_; }
    SYSTEMTIME localTime() override;

    // ---- For tests and tools ----
    // The window's recorded state (kept after destruction); null if the id
    // was never handed out.
    const WindowState* window(WindowId id) const;
    const std::vector<BoxRecord>& boxes() const { return boxes_; }
    const std::vector<ModeRecord>& modeLog() const { return modeLog_; }
    bool cursorVisible() const { return cursorVisible_; }
    // Virtual milliseconds since the start of the run.
    std::uint64_t elapsed() const { return now_ - config_.uptime; }
    // Presents to visible windows so far.
    int presentCount() const { return presentCount_; }
    // PNG files written so far.
    int capturedCount() const { return captured_; }

private:
    void capture(const gdi::Surface& frame);

    HeadlessConfig config_;
    std::uint64_t now_;
    int screenWidth_;
    int screenHeight_;
    POINT cursor_;
    bool cursorVisible_ = true;
    bool altDown_ = false;
    std::size_t nextScript_ = 0;
    bool exitSent_ = false;
    // capture-count files are written, or can no longer be: the run ends.
    bool captureDone_ = false;
    std::map<WindowId, WindowState> windows_;
    WindowId nextWindow_ = 1;
    std::vector<BoxRecord> boxes_;
    std::vector<ModeRecord> modeLog_;
    int presentCount_ = 0;
    int captured_ = 0;
    bool captureFailed_ = false;
};

// A headless backend configured in-process (tests).
std::unique_ptr<HeadlessBackend> makeHeadlessBackend(const HeadlessConfig& config);

}  // namespace platform::backend
