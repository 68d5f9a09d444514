// How a window's frames reach the real screen. Two ways:
//
// - the window's own surface (`SDL_GetWindowSurface`: MIT-SHM on X11,
//   wl_shm on Wayland), scaled by the layer's own scaler. No GL context is
//   made: on a display without a GPU driver (Xvfb, virtual machines, remote
//   desktops) SDL's renderer would run Mesa's software GL, which costs most
//   of a core and 100 MB for what a memory copy does;
// - an SDL renderer's texture, where the GL driver is hardware and the GPU
//   scales for nothing.
//
// Both keep the frame's aspect (black bars where it does not fill the
// window) and scale it the same way: integer factors exactly, other
// enlargements sharp-bilinear, reductions by averaging.
#pragma once

#include "backend/sdl/xshm.h"
#include "gdi/objects.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::backend {

class Presenter {
public:
    virtual ~Presenter() = default;
    // Shows `frame`, now or at the next flush(). The frame is the window's
    // own pixel store and lives as long as the window, so the presenter
    // keeps a pointer to it to show it again.
    virtual void present(const gdi::Surface& frame) = 0;
    // Shows the last frame again (the window system lost the picture, or
    // the window changed size), now or at the next flush().
    virtual void refresh() = 0;
    // Draws what present() and refresh() left for later. The backend calls
    // it before it waits for input, so nothing is shown late.
    virtual void flush() {}
    // A line of text shown over the picture's top-left corner from the next
    // frame on (the frame rate, for -fps); empty for none.
    void setOverlay(std::string text) { overlay_ = std::move(text); }
    // What the window shows, 0x00RRGGBB row by row, at the window's size in
    // pixels (tests).
    virtual bool readBack(std::vector<std::uint32_t>& pixels, int& width, int& height) = 0;

protected:
    std::string overlay_;
};

// The window-surface path; never fails to make one.
std::unique_ptr<Presenter> makeSurfacePresenter(SDL_Window* window);

// The window-surface path through an X11 shared-memory image of the layer's
// own, made ahead (x11::ShmImage::prepare). Where the image cannot show in
// the window, found at the first draw, the window's SDL surface takes over.
std::unique_ptr<Presenter> makeShmPresenter(SDL_Window* window, std::unique_ptr<x11::ShmImage> image);

// The texture path: null when no renderer can be made, or, unless
// `anyRenderer`, when the renderer SDL gives draws in software (SDL's own
// software renderer, or GL on llvmpipe, softpipe or swrast).
std::unique_ptr<Presenter> makeTexturePresenter(SDL_Window* window, bool anyRenderer);

}  // namespace platform::backend
