// The SDL backend as an XScreenSaver hack: the saver's screen is a window
// the host made (its own full-screen window, a monitor's, the settings'
// preview), given by id. The backend makes no window of its own and
// changes nothing about the host's: no title, cursor, placement, stacking
// or grabs. The emulated display mode is scaled into the window, aspect
// kept, and follows it when it is resized. The host owns the keyboard and
// mouse: the program sees no input and a cursor that never moves. The
// window's destruction is a close request, as is the host's SIGTERM, so
// both end the saver the orderly way. Message boxes, which nobody could
// answer, go to stderr. X11 only (XWayland included): Wayland has no
// protocol for this.
#pragma once

#include "backend/backend.h"
#include "backend/sdl/present.h"

#include <SDL.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform::backend {

class SdlHostedBackend final : public Backend {
public:
    // Null, with a line on stderr saying why, when there is no X display or
    // no such window.
    static std::unique_ptr<SdlHostedBackend> open(const HostOptions& options);
    ~SdlHostedBackend() override;
    SdlHostedBackend(const SdlHostedBackend&) = delete;
    SdlHostedBackend& operator=(const SdlHostedBackend&) = delete;

    bool currentMode(DisplayMode& mode) override;
    LONG changeMode(const DisplayMode& mode) override;
    void restoreMode() override;
    RECT workArea() override;

    // The first window made is the host's; any other exists unseen.
    WindowId createWindow(const std::string& title, int x, int y, int width, int height) override;
    void destroyWindow(WindowId window) override;
    void setTitle(WindowId window, const std::string& title) override;
    void place(WindowId, int, int, int, int, bool) override {}
    void show(WindowId, bool) override {}
    void present(WindowId window, const gdi::Surface& frame) override;

    bool pollEvent(Event& event) override;
    void idle() override;
    POINT cursorPosition() override;
    void setCursorVisible(bool) override {}

    std::optional<int> messageBox(WindowId owner, const std::string& text, const std::string& caption, UINT style) override;

    std::uint64_t uptimeMilliseconds() override;
    SYSTEMTIME localTime() override;

    // ---- For tests ----
    WindowId hostWindowId() const { return hostId_; }
    bool readBack(std::vector<std::uint32_t>& pixels, int& width, int& height);

private:
    struct WindowDeleter {
        void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
    };
    SdlHostedBackend(const HostOptions& options, unsigned long hostXid, int width, int height,
                     std::unique_ptr<x11::ShmImage> prepared);
    // The logical screen: the emulated mode, else the window's size.
    SIZE screen() const;

    HostOptions options_;
    unsigned long hostXid_;
    int hostW_, hostH_;  // the window's size when the process started
    // The image the presenter shows frames through, made while SDL started;
    // null once taken.
    std::unique_ptr<x11::ShmImage> prepared_;
    // In this order so the presenter goes before the window it draws into.
    std::unique_ptr<SDL_Window, WindowDeleter> host_;
    std::unique_ptr<Presenter> presenter_;
    WindowId hostId_ = 0;
    WindowId nextWindow_ = 1;
    std::set<WindowId> unseen_;
    std::optional<DisplayMode> emulated_;
    bool destroyed_ = false;
    bool closeSent_ = false;
};

std::unique_ptr<Backend> makeHostedBackend(const HostOptions& options);

}  // namespace platform::backend
