// The Wayland backend: the program's windows as surfaces of its own on one
// connection to the compositor, through libwayland-client, with no
// XWayland in between.
//
// The saver's full-screen window becomes one surface per output, each
// showing the frame scaled to that output's real pixels: an overlay layer
// anchored to every edge where the compositor offers layer-shell (sway,
// Hyprland, KDE Plasma, niri, COSMIC, labwc), else a full-screen toplevel
// on that output (GNOME, weston). Outputs added or removed while it runs
// gain or lose their surface. Any other window (a message box) is one
// toplevel of its mapped size. Keys (xkbcommon), buttons and the pointer
// from every seat are the program's input.
#pragma once

#include "backend/display.h"
#include "backend/wayland/keyboard.h"
#include "backend/wayland/pointer.h"
#include "backend/wayland/surface.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct wl_cursor_theme;
struct wl_display;
struct wl_keyboard;
struct wl_pointer;
struct wl_registry;
struct wl_seat;

namespace platform::backend::wayland {

class Desktop final : public RealDisplay {
public:
    // Null, with the reason in `error`, when no compositor answers or it
    // lacks what the saver needs (wl_compositor, wl_shm, and layer-shell or
    // xdg-shell).
    static std::unique_ptr<Desktop> open(std::string& error);
    ~Desktop() override;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    WindowId createWindow(const std::string& title, int x, int y, int width, int height) override;
    void destroyWindow(WindowId window) override;
    void setTitle(WindowId window, const std::string& title) override;
    void place(WindowId window, int x, int y, int width, int height, bool topmost) override;
    void show(WindowId window, bool visible) override;

    // The frames, then the commits sent at once: a compositor that has not
    // seen a commit cannot let go of the buffer before it.
    void showFrames() override;

    bool pollEvent(Event& event) override;
    POINT cursorPosition() override;
    void setCursorVisible(bool visible) override;

    // ---- For tests ----
    // The surfaces that show a window now.
    std::vector<SurfaceOutput*> surfacesOf(WindowId window);

protected:
    std::vector<Monitor> monitors() override;
    std::vector<Output*> outputsOf(WindowId window) override;
    bool eventsWaiting() override;
    int eventFd() override;
    void waited(bool inputMayWait) override;
    bool isShown(WindowId window) override;

private:
    friend struct Listeners;

    // An output (a monitor) as the compositor describes it.
    struct Screen {
        Desktop* desktop = nullptr;
        std::uint32_t name = 0;  // its registry name
        wl_output* output = nullptr;
        std::uint32_t version = 0;
        int x = 0, y = 0;               // in the compositor's logical space
        int pixelW = 0, pixelH = 0;     // its current mode
        int scale = 1, transform = 0;
        std::string label;              // "HDMI-A-1", when told
        bool done = false;              // described in full at least once
    };
    struct Seat {
        Desktop* desktop = nullptr;
        std::uint32_t name = 0;
        wl_seat* seat = nullptr;
        wl_pointer* pointer = nullptr;
        wl_keyboard* keyboard = nullptr;
        std::unique_ptr<Keyboard> keys;
        std::uint32_t enterSerial = 0;
        wl_surface* pointerOn = nullptr;
        wl_surface* keyboardOn = nullptr;
    };
    struct ProgramWindow : WindowState {
        std::vector<std::unique_ptr<SurfaceOutput>> surfaces;
    };

    explicit Desktop(wl_display* display);
    bool start(std::string& error);
    // Runs the handlers of what has arrived, then brings the surfaces in
    // line with what they told.
    void dispatch();
    // Reads what has arrived, without waiting.
    void readNow();
    void flush();
    void connectionLost();
    // Makes and removes the window's surfaces to match where it is.
    void realize(WindowId id, ProgramWindow& w);
    void realizeAll();
    // Seats' focus on surfaces that are gone is no focus.
    void forgetGoneSurfaces();
    std::string describe(const Screen& s) const;
    Screen* screenOf(wl_output* output);
    std::pair<WindowId, SurfaceOutput*> find(wl_surface* surface);
    // A surface-local position (wl_fixed_t) in the logical screen.
    POINT toLogical(wl_surface* surface, std::int32_t sx, std::int32_t sy);
    void pointerAt(Seat& seat, wl_surface* surface, std::int32_t sx, std::int32_t sy, bool entered);
    void applyCursor(Seat& seat);
    void removeSeat(Seat& seat);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    Globals globals_;
    std::vector<std::unique_ptr<Screen>> screens_;
    std::vector<std::unique_ptr<Seat>> seats_;
    std::map<WindowId, ProgramWindow> windows_;
    WindowId nextWindow_ = 1;
    std::deque<Event> events_;
    PointerTrack pointer_;
    bool cursorHidden_ = false;
    wl_cursor_theme* cursorTheme_ = nullptr;
    wl_surface* cursorSurface_ = nullptr;
    int hotspotX_ = 0, hotspotY_ = 0;
    // A read was prepared before an idle wait (wl_display_prepare_read).
    bool prepared_ = false;
    // Surfaces need making, removing or closing.
    bool changed_ = false;
    bool lost_ = false;
    // Stands for the outputs while the compositor has none.
    std::unique_ptr<Output> noOutput_;
};

}  // namespace platform::backend::wayland
