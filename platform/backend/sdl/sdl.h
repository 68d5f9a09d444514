// The SDL backend: a real window, real input and the real screen, through
// SDL2.
//
// Display mode changes are emulated: the real desktop mode is never touched.
// The requested mode becomes a logical screen of that size, mapped onto the
// real primary display with its aspect kept and black bars where it does not
// fill it (letterboxing). Window placement, cursor positions and mouse events
// are all given in that logical screen's coordinates, through one integer
// mapping, so the cursor position and the positions in mouse events always
// agree to the pixel.
#pragma once

#include "backend/backend.h"
#include "backend/sdl/present.h"

#include <SDL.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace platform::backend {

class SdlBackend final : public Backend {
public:
    // Null when SDL's video subsystem cannot start (no display).
    static std::unique_ptr<SdlBackend> open();
    ~SdlBackend() override;
    SdlBackend(const SdlBackend&) = delete;
    SdlBackend& operator=(const SdlBackend&) = delete;

    bool currentMode(DisplayMode& mode) override;
    LONG changeMode(const DisplayMode& mode) override;
    void restoreMode() override;
    RECT workArea() override;

    WindowId createWindow(const std::string& title, int x, int y, int width, int height) override;
    void destroyWindow(WindowId window) override;
    void setTitle(WindowId window, const std::string& title) override;
    void place(WindowId window, int x, int y, int width, int height, bool topmost) override;
    void show(WindowId window, bool visible) override;
    void present(WindowId window, const gdi::Surface& frame) override;

    bool pollEvent(Event& event) override;
    void idle() override;
    POINT cursorPosition() override;
    void setCursorVisible(bool visible) override;

    // None of its own: the layer draws the box as a window. (SDL's X11 box
    // runs in a forked child, which could outlive the process and keep its
    // files open.)
    std::optional<int> messageBox(WindowId owner, const std::string& text, const std::string& caption,
                                  UINT style) override;

    std::uint64_t uptimeMilliseconds() override;
    SYSTEMTIME localTime() override;

    // ---- For tests ----
    SDL_Window* sdlWindow(WindowId window) const;
    // What the window shows: 0x00RRGGBB, row by row, at the window's size
    // in pixels.
    bool readBack(WindowId window, std::vector<std::uint32_t>& pixels, int& width, int& height);
    // How the window's frames reach the screen.
    enum class PresentPath { Surface, Texture };
    std::optional<PresentPath> presentPath(WindowId window) const;
    // The Win32 virtual key of an SDL key; 0xFF for keys with no equivalent.
    static int virtualKey(SDL_Keycode key, SDL_Scancode scancode);

private:
    struct Window;
    // A logical area of `w` x `h` placed in a real rectangle.
    struct Mapping {
        int logicalW, logicalH;
        SDL_Rect real;
        // The logical point at a real one, kept on the logical screen as
        // Windows keeps the cursor (points in the bars go to the nearest
        // edge).
        POINT toLogical(int rx, int ry) const;
        SDL_Point toReal(LONG lx, LONG ly) const;
    };

    SdlBackend(std::optional<PresentPath> forcedPath, std::unique_ptr<x11::ShmImage> prepared);
    Window* find(WindowId window) const;
    WindowId idOf(Uint32 sdlWindowId) const;
    // The logical screen on the real primary display.
    Mapping screenMapping() const;
    // A point in a window's real client coordinates, in logical screen
    // coordinates.
    POINT fromWindow(Uint32 sdlWindowId, int x, int y) const;
    // The present path of a new window: the forced one, else the texture
    // path where GL runs on hardware (found out once, with the first window).
    std::unique_ptr<Presenter> makePresenter(SDL_Window* window, PresentPath& path);
    bool translate(const SDL_Event& e, Event& out);

    std::map<WindowId, std::unique_ptr<Window>> windows_;
    WindowId nextWindow_ = 1;
    std::optional<DisplayMode> emulated_;
    std::optional<PresentPath> forcedPath_;
    // Whether the hardware texture path works here; unknown before the
    // first window.
    std::optional<bool> hardwareTextures_;
    // The image the first window's surface path shows frames through, made
    // while SDL starts; null once taken, or where it is not used.
    std::unique_ptr<x11::ShmImage> prepared_;
    // The last idle wait ended at the tick, with the X connection silent.
    bool quietSinceWait_ = false;
};

}  // namespace platform::backend
