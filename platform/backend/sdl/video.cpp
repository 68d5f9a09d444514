#include "backend/sdl/video.h"

#include "backend/sdl/x11.h"

#include <SDL.h>

#include <cstdlib>
#include <string_view>

namespace platform::backend {

bool startSdlVideo(bool x11Only) {
    // The kernel layer installs the SIGINT/SIGTERM/SIGHUP handlers; SDL
    // must not replace them with its own.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A screensaver never keeps the desktop from blanking or locking: no
    // D-Bus inhibition, no simulated activity, no X screensaver resets.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // A window's own surface is plain shared memory, never backed by GL.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Frames go out as soon as they are drawn, as a 2003 GDI program's do.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    // Closing a window is a close request for that window, nothing more.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (x11Only) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // Nothing here takes typed text, so no compose sequences: without this
    // libX11 reads the locale's whole compose table when SDL opens the
    // input method, half of SDL's start-up. A user's own choice stands.
    setenv("XCOMPOSEFILE", "/dev/null", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    // SDL falls back to drivers that draw nowhere; those are no display.
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string_view name = driver ? driver : "";
    if (name.empty() || name == "offscreen" || name == "dummy" || SDL_GetNumVideoDisplays() < 1) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    // A display that goes away ends the process (Xlib's own handler would
    // call exit, whose clean-up then waits forever on the dead connection).
    if (name == "x11") x11::endProcessWhenTheConnectionBreaks();
    return true;
}

void stopSdlVideo() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // Another part of the program may still use SDL (audio, say); shut it
    // down entirely only when nothing is left.
    if (SDL_WasInit(0) == 0) SDL_Quit();
}

}  // namespace platform::backend
