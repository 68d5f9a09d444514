// A backend that is only a clock the test sets by hand: no screen, no
// input, every box answered OK. For tests of what reads the time.
#pragma once

#include "backend/backend.h"

namespace test_support {

class ClockBackend : public platform::backend::Backend {
public:
    std::uint64_t uptime = 0;
    SYSTEMTIME now{};

    bool currentMode(platform::backend::DisplayMode&) override { return false; }
    LONG changeMode(const platform::backend::DisplayMode&) override { return DISP_CHANGE_FAILED; }
    void restoreMode() override {}
    RECT workArea() override { return {}; }
    platform::backend::WindowId createWindow(const std::string&, int, int, int, int) override { return 0; }
    void destroyWindow(platform::backend::WindowId) override {}
    void setTitle(platform::backend::WindowId, const std::string&) override {}
    void place(platform::backend::WindowId, int, int, int, int, bool) override {}
    void show(platform::backend::WindowId, bool) override {}
    void recordFrame(platform::backend::WindowId, const platform::gdi::Surface&) override {}
    void showFrames() override {}
    bool pollEvent(platform::backend::Event&) override { return false; }
    void idle() override {}
    POINT cursorPosition() override { return {}; }
    void setCursorVisible(bool) override {}
    std::optional<int> messageBox(platform::backend::WindowId, const std::string&, const std::string&, UINT) override {
        return IDOK;
    }
    std::uint64_t uptimeMilliseconds() override { return uptime; }
    SYSTEMTIME localTime() override { return now; }
};

}  // namespace test_support
