// What the SDL backend does with X11 directly, where SDL's own calls do
// too much or too little. Every function takes an SDL window and does
// nothing (or answers "no") when that window is not on X11, so the backend
// calls them without asking which video driver runs.
#pragma once

#include <SDL.h>

#include <optional>
#include <string>

namespace platform::backend::x11 {

// From now on, losing the connection to the X server ends the process at
// once with a line on stderr and status 1; nothing runs after it that could
// wait on the dead connection, and the kernel releases the process's locks.
void endProcessWhenTheConnectionBreaks();

// The X connection's descriptor for the window's display; -1 off X11.
int connectionFd(SDL_Window* window);

// Sends what Xlib has buffered and tells whether events are already read
// from the connection but not yet handed to SDL, which a wait on the
// descriptor would not see.
bool flushAndCheckQueued(SDL_Window* window);

// Whether the X server offers direct rendering (DRI3 or DRI2): without it,
// GL on that display can only run on Mesa's software rasteriser. True off
// X11, where the question does not arise.
bool serverOffersDirectRendering(SDL_Window* window);

// The window's EWMH state: full screen and above the others. Written as the
// _NET_WM_STATE property while the window is not mapped (a window manager
// reads it when the window maps) and sent to the window manager as a
// request once it is; never waits for an answer. SDL's own full-screen
// switch waits up to 100 ms for the window to change, which it never does
// when it already covers the screen or no window manager runs. False off
// X11.
bool setWindowState(SDL_Window* window, bool fullscreen, bool above);

// ---- A window a screensaver host gives the process ----

struct HostWindow {
    unsigned long id = 0;
    int width = 0, height = 0;
};

// The window `id` (the root window when there is none) on $DISPLAY, asked
// over a short connection of its own, so a wrong id costs an error message
// instead of an X error in SDL. Empty, with the reason in `error`, when
// there is no X display or no such window.
std::optional<HostWindow> findHostWindow(std::optional<unsigned long> id, std::string& error);

// Asks for the host window's resize, expose and destruction events (SDL
// asks for none on a window it did not make) and, from now on, takes X
// errors as a sign that the host's window may be gone instead of letting
// Xlib end the process.
void watchHostWindow(SDL_Window* window, unsigned long id);

// Whether the watched window is gone: destroyed (`event` its DestroyNotify),
// or, after an X error, no longer found.
bool isHostWindowDestroyed(const SDL_Event& event);
bool hostWindowFailed();

}  // namespace platform::backend::x11
