// A shared-memory image for showing frames in an X11 window, on an X
// connection of its own (MIT-SHM).
//
// The first time a process writes a fresh 8 MB segment, and the first time
// the X server reads it, every page faults in, one by one: on a virtual
// machine that is tens of milliseconds on each side, which SDL's window
// surface pays in the first frame. Made with `prepare` as the backend starts,
// the image for the whole screen is read once by the X server and written
// black by a thread of this process (which touches nothing but its pages),
// while the program connects through SDL and loads its pictures; the first
// frame then finds it ready. Only the calling thread uses Xlib.
#pragma once

#include "backend/scaler.h"

#include <SDL.h>

#include <memory>

namespace platform::backend::x11 {

class ShmImage {
public:
    // Starts making the image, at width x height or, with either 0, the
    // size of $DISPLAY's default screen; null where no X display is named.
    // Whether it worked shows in `attach`.
    static std::unique_ptr<ShmImage> prepare(int width = 0, int height = 0);
    ~ShmImage();
    ShmImage(const ShmImage&) = delete;
    ShmImage& operator=(const ShmImage&) = delete;

    // Waits for the preparation and binds the image to an SDL window on the
    // same X server, at the window's size. False (and the image unusable)
    // when the window is not on X11, the server has no MIT-SHM, or its
    // pixels are not 32-bit 0x00RRGGBB.
    bool attach(SDL_Window* window);

    // The pixels at the window's current size, made again when that changed
    // (`resized` then true: nothing of the last picture is left). Empty when
    // no image can be made.
    Canvas pixels(bool& resized);
    // Shows a rectangle of the pixels in the window and waits until the X
    // server has read it, so the next frame may write them. False when the
    // window is gone.
    bool show(const Rect& area);

private:
    ShmImage();
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform::backend::x11
