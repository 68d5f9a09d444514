#include "backend/wayland/surface.h"

#include "fractional-scale-v1.h"
#include "viewporter.h"
#include "wlr-layer-shell-unstable-v1.h"
#include "xdg-shell.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

namespace platform::backend::wayland {

namespace {

// One the compositor shows, one to draw into. When it has not let go of
// the older one yet, the frame waits for it (a few milliseconds) rather
// than a third buffer take another screenful of memory.
constexpr std::size_t kBuffers = 2;

// The largest buffer made: 16384 x 16384 pixels.
constexpr std::int64_t kLargestBuffer = std::int64_t{1} << 28;

constexpr int kFractionalDenominator = 120;

std::string sizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

}  // namespace

// ---- Listeners ----

// The compositor's answers reach the object through these; the listener
// tables are static, so they cannot be members.
struct SurfaceListeners {
    static void layerConfigure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t w,
                               std::uint32_t h) {
        static_cast<SurfaceOutput*>(data)->configured(serial, static_cast<int>(w), static_cast<int>(h));
    }
    static void layerClosed(void* data, zwlr_layer_surface_v1*) {
        auto* s = static_cast<SurfaceOutput*>(data);
        s->closed_ = true;
        if (s->ready_) s->ready_();
    }
    static void xdgConfigure(void* data, xdg_surface*, std::uint32_t serial) {
        auto* s = static_cast<SurfaceOutput*>(data);
        s->configured(serial, s->pendingW_, s->pendingH_);
    }
    static void toplevelConfigure(void* data, xdg_toplevel*, std::int32_t w, std::int32_t h, wl_array*) {
        auto* s = static_cast<SurfaceOutput*>(data);
        s->pendingW_ = w;
        s->pendingH_ = h;
    }
    static void toplevelClose(void* data, xdg_toplevel*) {
        auto* s = static_cast<SurfaceOutput*>(data);
        s->closeAsked_ = true;
        if (s->ready_) s->ready_();
    }
    static void preferredScale(void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
        auto* s = static_cast<SurfaceOutput*>(data);
        if (static_cast<int>(scale) == s->preferred120_) return;
        s->preferred120_ = static_cast<int>(scale);
        if (s->configured_ && s->ready_) s->ready_();
    }
    static void released(void* data, wl_buffer*) {
        auto* b = static_cast<SurfaceOutput::Buffer*>(data);
        b->busy = false;
        SurfaceOutput* s = b->owner;
        if (std::exchange(s->waitingForBuffer_, false) && s->ready_) s->ready_();
    }
};

namespace {

const zwlr_layer_surface_v1_listener kLayerListener = {
    .configure = SurfaceListeners::layerConfigure,
    .closed = SurfaceListeners::layerClosed,
};
const xdg_surface_listener kXdgSurfaceListener = {
    .configure = SurfaceListeners::xdgConfigure,
};
const xdg_toplevel_listener kToplevelListener = {
    .configure = SurfaceListeners::toplevelConfigure,
    .close = SurfaceListeners::toplevelClose,
    .configure_bounds = [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    .wm_capabilities = [](void*, xdg_toplevel*, wl_array*) {},
};
const wp_fractional_scale_v1_listener kFractionalListener = {
    .preferred_scale = SurfaceListeners::preferredScale,
};
const wl_buffer_listener kBufferListener = {
    .release = SurfaceListeners::released,
};

}  // namespace

// ---- The surface ----

SurfaceOutput::SurfaceOutput(const Globals& globals, Role role, wl_output* on, int scale, int width, int height,
                             const std::string& title, std::string where, std::function<void()> ready)
    : Output(static_cast<int>(kBuffers)), globals_(globals), role_(role), on_(on), ready_(std::move(ready)),
      scale_(std::max(scale, 1)), askedW_(std::max(width, 1)), askedH_(std::max(height, 1)),
      where_(std::move(where)) {
    surface_ = wl_compositor_create_surface(globals_.compositor);
    if (globals_.fractionalScale && globals_.viewporter) {
        fractional_ = wp_fractional_scale_manager_v1_get_fractional_scale(globals_.fractionalScale, surface_);
        wp_fractional_scale_v1_add_listener(fractional_, &kFractionalListener, this);
        viewport_ = wp_viewporter_get_viewport(globals_.viewporter, surface_);
    }
    if (role_ == Role::Layer) {
        layer_ = zwlr_layer_shell_v1_get_layer_surface(globals_.layerShell, surface_, on_,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "pomrivel");
        zwlr_layer_surface_v1_add_listener(layer_, &kLayerListener, this);
        zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        // Over panels and docks too, and every key to us.
        zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layer_,
                                                         ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        zwlr_layer_surface_v1_set_size(layer_, 0, 0);
    } else {
        xdgSurface_ = xdg_wm_base_get_xdg_surface(globals_.wmBase, surface_);
        xdg_surface_add_listener(xdgSurface_, &kXdgSurfaceListener, this);
        toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
        xdg_toplevel_add_listener(toplevel_, &kToplevelListener, this);
        xdg_toplevel_set_title(toplevel_, title.c_str());
        xdg_toplevel_set_app_id(toplevel_, "pomrivel");
        if (role_ == Role::FullScreen) {
            xdg_toplevel_set_fullscreen(toplevel_, on_);
        } else {
            // A fixed size: tiling window managers float such a window.
            xdg_toplevel_set_min_size(toplevel_, askedW_, askedH_);
            xdg_toplevel_set_max_size(toplevel_, askedW_, askedH_);
        }
    }
    // The first commit, without a buffer, asks the compositor to configure.
    wl_surface_commit(surface_);
}

SurfaceOutput::~SurfaceOutput() {
    dropBuffers();
    if (fractional_) wp_fractional_scale_v1_destroy(fractional_);
    if (viewport_) wp_viewport_destroy(viewport_);
    if (layer_) zwlr_layer_surface_v1_destroy(layer_);
    if (toplevel_) xdg_toplevel_destroy(toplevel_);
    if (xdgSurface_) xdg_surface_destroy(xdgSurface_);
    wl_surface_destroy(surface_);
}

void SurfaceOutput::configured(std::uint32_t serial, int width, int height) {
    if (layer_) zwlr_layer_surface_v1_ack_configure(layer_, serial);
    if (xdgSurface_) xdg_surface_ack_configure(xdgSurface_, serial);
    // A size of 0 leaves it to us.
    const int w = width > 0 ? width : askedW_, h = height > 0 ? height : askedH_;
    if (!configured_ || w != width_ || h != height_) redrawAll();
    width_ = w;
    height_ = h;
    configured_ = true;
    if (ready_) ready_();
}

void SurfaceOutput::setScale(int scale) {
    scale = std::max(scale, 1);
    if (scale == scale_) return;
    scale_ = scale;
    if (configured_ && ready_) ready_();
}

void SurfaceOutput::resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == askedW_ && height == askedH_) return;
    askedW_ = width;
    askedH_ = height;
    if (role_ == Role::Window && toplevel_) {
        xdg_toplevel_set_min_size(toplevel_, askedW_, askedH_);
        xdg_toplevel_set_max_size(toplevel_, askedW_, askedH_);
        // Applied with the next commit, which the compositor answers with a
        // configure; until then the new size is drawn.
        width_ = askedW_;
        height_ = askedH_;
        redrawAll();
    }
}

void SurfaceOutput::setTitle(const std::string& title) {
    if (toplevel_) xdg_toplevel_set_title(toplevel_, title.c_str());
}

SIZE SurfaceOutput::bufferSize() const {
    if (!configured_) return SIZE{0, 0};
    if (viewport_ && preferred120_ > 0) {
        // The output's real pixels at a fractional scale; the viewport maps
        // them onto the surface's logical size.
        return SIZE{static_cast<LONG>((std::int64_t{width_} * preferred120_ + kFractionalDenominator / 2) /
                                      kFractionalDenominator),
                    static_cast<LONG>((std::int64_t{height_} * preferred120_ + kFractionalDenominator / 2) /
                                      kFractionalDenominator)};
    }
    const int s = globals_.compositorVersion >= 3 ? scale_ : 1;
    return SIZE{static_cast<LONG>(width_) * s, static_cast<LONG>(height_) * s};
}

POINT SurfaceOutput::toBuffer(std::int32_t sx, std::int32_t sy) const {
    const SIZE b = bufferSize();
    if (width_ <= 0 || height_ <= 0) return POINT{sx / 256, sy / 256};
    // wl_fixed_t has 8 fraction bits.
    const auto scaled = [](std::int32_t v, LONG pixels, int logical) {
        return static_cast<LONG>(std::floor(static_cast<double>(v) / 256.0 * pixels / logical));
    };
    return POINT{scaled(sx, b.cx, width_), scaled(sy, b.cy, height_)};
}

// ---- Buffers ----

bool SurfaceOutput::makeBuffer(Buffer& b, int width, int height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    const int fd = memfd_create("pomrivel-frame", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    const auto failed = [&](const char* what) {
        const int error = errno;
        if (fd >= 0) close(fd);
        return fail("no " + sizeText(width, height) + " buffer for " + where_ + " (" + what + ": " +
                    std::strerror(error) + ")");
    };
    if (fd < 0) return failed("memfd_create");
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) return failed("ftruncate");
    void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) return failed("mmap");
    // The compositor may read it, never resize it under us.
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
    wl_shm_pool* pool = wl_shm_create_pool(globals_.shm, fd, static_cast<std::int32_t>(bytes));
    b.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<std::int32_t>(stride),
                                         WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    b.owner = this;
    b.data = data;
    b.bytes = bytes;
    b.width = width;
    b.height = height;
    b.busy = false;
    b.committed = 0;
    wl_buffer_add_listener(b.buffer, &kBufferListener, &b);
    return true;
}

void SurfaceOutput::dropBuffers() {
    for (auto& b : buffers_) {
        // One the compositor still reads stays readable until it lets go:
        // destroying the wl_buffer is allowed, the pages go with its last
        // reference.
        if (b->buffer) wl_buffer_destroy(b->buffer);
        if (b->data) munmap(b->data, b->bytes);
    }
    buffers_.clear();
    waitingForBuffer_ = false;
}

int SurfaceOutput::pickBuffer(int width, int height, bool& fresh) {
    if (!buffers_.empty() && (buffers_.front()->width != width || buffers_.front()->height != height)) dropBuffers();
    // The free buffer committed last has the least to catch up on.
    int best = -1;
    for (std::size_t i = 0; i < buffers_.size(); ++i)
        if (!buffers_[i]->busy && (best < 0 || buffers_[i]->committed > buffers_[static_cast<std::size_t>(best)]->committed))
            best = static_cast<int>(i);
    if (best >= 0) {
        fresh = buffers_[static_cast<std::size_t>(best)]->committed == 0;
        return best;
    }
    if (buffers_.size() == kBuffers) {
        waitingForBuffer_ = true;
        fail("the compositor holds every buffer of " + where_);
        return -1;
    }
    auto b = std::make_unique<Buffer>();
    if (!makeBuffer(*b, width, height)) return -1;
    buffers_.push_back(std::move(b));
    const int index = static_cast<int>(buffers_.size() - 1);
    // A copy of the last buffer shown costs a fraction of scaling the
    // whole frame again, and leaves only what that one missed to scale.
    fresh = true;
    const Buffer* last = nullptr;
    for (const auto& other : buffers_)
        if (other->committed > 0 && (!last || other->committed > last->committed)) last = other.get();
    if (last) {
        std::memcpy(buffers_.back()->data, last->data, last->bytes);
        copied(index, static_cast<int>(std::find_if(buffers_.begin(), buffers_.end(),
                                                    [&](const auto& o) { return o.get() == last; }) -
                                       buffers_.begin()));
        fresh = false;
    }
    return index;
}

// ---- Showing ----

bool SurfaceOutput::show(const Picture& frame) {
    if (!globals_.xrgb8888)
        return fail("the compositor offers no pixel format the saver draws in (wl_shm without XRGB8888)");
    if (closed_) return fail("the compositor closed the surface on " + where_);
    if (!configured_) return fail("the compositor has not configured the surface on " + where_);
    const SIZE size = bufferSize();
    const int w = static_cast<int>(size.cx), h = static_cast<int>(size.cy);
    if (w <= 0 || h <= 0 || std::int64_t{w} * h > kLargestBuffer)
        return fail("no buffer can be made for " + where_ + " at " + sizeText(w, h) + " pixels");
    bool fresh = false;
    const int index = pickBuffer(w, h, fresh);
    if (index < 0) return false;
    Buffer& b = *buffers_[static_cast<std::size_t>(index)];
    const Canvas canvas{static_cast<std::uint32_t*>(b.data), w, h, static_cast<std::size_t>(w) * 4};
    const std::vector<Rect>& rects = paint(index, canvas, frame, fresh);
    if (rects.empty()) return true;

    // How the buffer's pixels meet the surface: a fractional scale through
    // the viewport, an integer one as the buffer's scale.
    const bool fractional = viewport_ && preferred120_ > 0;
    const int bufferScale = fractional || globals_.compositorVersion < 3 ? 1 : scale_;
    if (bufferScale != sentScale_) {
        if (globals_.compositorVersion >= 3) wl_surface_set_buffer_scale(surface_, bufferScale);
        sentScale_ = bufferScale;
    }
    const int viewW = fractional ? width_ : -1, viewH = fractional ? height_ : -1;
    if (viewport_ && (viewW != sentViewW_ || viewH != sentViewH_)) {
        wp_viewport_set_destination(viewport_, viewW, viewH);
        sentViewW_ = viewW;
        sentViewH_ = viewH;
    }
    if (globals_.compositorVersion >= 4) {
        for (const Rect& r : rects) wl_surface_damage_buffer(surface_, r.x, r.y, r.w, r.h);
    } else {
        wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
    }
    if (!opaqueSent_) {
        // Every pixel is drawn: nothing below need be.
        wl_region* all = wl_compositor_create_region(globals_.compositor);
        wl_region_add(all, 0, 0, INT32_MAX, INT32_MAX);
        wl_surface_set_opaque_region(surface_, all);
        wl_region_destroy(all);
        opaqueSent_ = true;
    }
    wl_surface_attach(surface_, b.buffer, 0, 0);
    wl_surface_commit(surface_);
    b.busy = true;
    b.committed = ++commits_;
    return true;
}

}  // namespace platform::backend::wayland
