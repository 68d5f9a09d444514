// A Wayland surface as an output: one wl_surface that shows a window's
// frame, in wl_shm buffers at the real pixels of the output it is on.
//
// Each show scales what the buffer it draws into has not had yet (of two
// buffers: one the compositor shows, one to draw into), damages
// those rectangles of the buffer, attaches and commits. Nothing is sent
// while the compositor has not configured the surface, nor when it holds
// every buffer: the show fails with the reason, and `ready` is called when
// a buffer comes back so what was missed goes out with the next frame.
// Frame callbacks are not asked for: the program's own loop decides when
// a frame is drawn.
//
// The layer scales the frame itself, to the output's real pixels, and the
// compositor only copies: the picture is exactly the layer's sharp-bilinear
// one on every compositor. Handing the scaling to the compositor (an
// integer enlargement in a subsurface, a viewport to the final size) costs
// the client less, but each compositor then filters in its own way, a CPU
// renderer re-filters every damaged region of every output each frame, and
// on sway 1.7 such a picture did not show at all.
//
// The roles: an overlay layer (layer-shell) anchored to every edge of its
// output, taking the keyboard; a full-screen toplevel on its output where
// the compositor has no layer-shell; a plain toplevel window of a given
// size (a message box).
#pragma once

#include "backend/output.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct wl_buffer;
struct wl_compositor;
struct wl_output;
struct wl_shm;
struct wl_surface;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct wp_viewporter;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace platform::backend::wayland {

// What the compositor offers that a surface is made with.
struct Globals {
    wl_compositor* compositor = nullptr;
    std::uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    bool xrgb8888 = false;  // wl_shm offers the layer's own pixel layout
    xdg_wm_base* wmBase = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractionalScale = nullptr;
};

class SurfaceOutput final : public Output {
public:
    enum class Role { Layer, FullScreen, Window };

    // A surface of `role`; `on` the output a layer or full-screen surface
    // covers, whose integer scale is `scale` and logical size `width` x
    // `height` (a window's own size for Window). `ready`: a buffer came
    // back or the surface was configured: the frame can go out again.
    // `where` names it in messages ("output HDMI-A-1").
    SurfaceOutput(const Globals& globals, Role role, wl_output* on, int scale, int width, int height,
                  const std::string& title, std::string where, std::function<void()> ready);
    ~SurfaceOutput() override;

    bool show(const Picture& frame) override;

    wl_surface* surface() const { return surface_; }
    wl_output* on() const { return on_; }
    Role role() const { return role_; }
    // The compositor took the surface away (its output is gone).
    bool closed() const { return closed_; }
    // The window manager asks the window to close.
    bool closeAsked() { return std::exchange(closeAsked_, false); }
    // The output's integer scale changed.
    void setScale(int scale);
    // A window's new size (Window), or the output's (others), in logical
    // coordinates, used until the compositor says otherwise.
    void resize(int width, int height);
    void setTitle(const std::string& title);

    // The size of the surface in logical coordinates and of its buffers in
    // pixels (0 before the compositor configured it).
    SIZE surfaceSize() const { return SIZE{width_, height_}; }
    SIZE bufferSize() const;
    // A surface-local position (wl_fixed_t) in buffer pixels.
    POINT toBuffer(std::int32_t sx, std::int32_t sy) const;

private:
    struct Buffer {
        SurfaceOutput* owner = nullptr;
        wl_buffer* buffer = nullptr;
        void* data = nullptr;
        std::size_t bytes = 0;
        int width = 0, height = 0;
        bool busy = false;
        std::uint64_t committed = 0;  // when it was last committed (a count)
    };

    friend struct SurfaceListeners;
    void configured(std::uint32_t serial, int width, int height);
    bool makeBuffer(Buffer& b, int width, int height);
    void dropBuffers();
    // The buffer to draw into next (an index), or -1 with the show failed.
    int pickBuffer(int width, int height, bool& fresh);

    const Globals& globals_;
    Role role_;
    wl_output* on_;
    std::function<void()> ready_;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wp_fractional_scale_v1* fractional_ = nullptr;

    int scale_ = 1;          // the output's integer scale
    int preferred120_ = 0;   // the compositor's fractional scale, in 120ths; 0 for none
    int width_ = 0, height_ = 0;          // configured, logical
    int askedW_ = 0, askedH_ = 0;         // the size asked for, or assumed
    int pendingW_ = 0, pendingH_ = 0;     // a toplevel's configure, until its xdg_surface's
    bool configured_ = false, closed_ = false, closeAsked_ = false;
    // What was last committed about the surface's scale.
    int sentScale_ = 0, sentViewW_ = 0, sentViewH_ = 0;
    bool opaqueSent_ = false;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    std::uint64_t commits_ = 0;
    bool waitingForBuffer_ = false;
    std::string where_;
};

}  // namespace platform::backend::wayland
