// The stand-in for a display when there is none (no X or Wayland display
// could be opened). Windows exist but nothing shows them; message boxes are
// written to stderr and answered with their default button; the clocks are
// the real ones. The
// process start-up refuses to run the saver on it (the saver would run
// unseen), so what runs here is a settings or password answer, or a program
// that needs no screen.
#include "backend/clock.h"
#include "backend/factories.h"

#include <cstdio>

namespace platform::backend {

namespace {

class NoDisplayBackend final : public Backend {
public:
    bool currentMode(DisplayMode& mode) override {
        mode = DisplayMode{};
        mode.width = 640;
        mode.height = 480;
        return true;
    }
    LONG changeMode(const DisplayMode&) override { return DISP_CHANGE_FAILED; }
    void restoreMode() override {}
    RECT workArea() override { return RECT{0, 0, 640, 480}; }

    WindowId createWindow(const std::string&, int, int, int, int) override { return nextWindow_++; }
    void destroyWindow(WindowId) override {}
    void setTitle(WindowId, const std::string&) override {}
    void place(WindowId, int, int, int, int, bool) override {}
    void show(WindowId, bool) override {}
    void recordFrame(WindowId, const gdi::Surface&) override {}
    void showFrames() override {}

    bool pollEvent(Event&) override { return false; }
    void idle() override { waitUntil(systemUptimeMilliseconds() + 1); }
    POINT cursorPosition() override { return POINT{320, 240}; }
    void setCursorVisible(bool) override {}

    // Nobody can see a box: its text goes where a person running the
    // program from a terminal reads it.
    std::optional<int> messageBox(WindowId, const std::string& text, const std::string& caption, UINT style) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return defaultBoxButton(style);
    }

    std::uint64_t uptimeMilliseconds() override { return systemUptimeMilliseconds(); }
    SYSTEMTIME localTime() override { return systemLocalTime(); }

private:
    WindowId nextWindow_ = 1;
};

}  // namespace

std::unique_ptr<Backend> makeNoDisplayBackend() {
    return std::make_unique<NoDisplayBackend>();
}

}  // namespace platform::backend
