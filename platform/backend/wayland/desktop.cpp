#include "backend/wayland/desktop.h"

#include "backend/backend.h"
#include "fractional-scale-v1.h"
#include "viewporter.h"
#include "wlr-layer-shell-unstable-v1.h"
#include "xdg-shell.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>

namespace platform::backend::wayland {

namespace {

// Stands for the outputs of a compositor that has none (every monitor
// unplugged or off): the frame reaches no screen, and says why.
class NoOutput final : public Output {
public:
    bool show(const Picture&) override { return fail("the compositor has no output to show it on"); }
};

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && p.revents != 0;
}

// The size of an output in the compositor's logical space.
SIZE logicalSizeOf(int pixelW, int pixelH, int scale, int transform) {
    scale = std::max(scale, 1);
    // A quarter turn swaps the sides.
    const bool turned = (transform & 1) != 0;
    const int w = turned ? pixelH : pixelW, h = turned ? pixelW : pixelH;
    return SIZE{w / scale, h / scale};
}

template <typename... A>
void ignore(void*, A...) {}

}  // namespace

// ---- The compositor's events ----

struct Listeners {
    static const wl_registry_listener registry;
    static const wl_shm_listener shm;
    static const xdg_wm_base_listener wmBase;
    static const wl_output_listener output;
    static const wl_seat_listener seat;
    static const wl_pointer_listener pointer;
    static const wl_keyboard_listener keyboard;

    // What the compositor offers, as it comes and goes.
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        auto* d = static_cast<Desktop*>(data);
        const std::string_view i = interface;
        Globals& g = d->globals_;
        const auto bind = [&](const wl_interface* type, std::uint32_t most) {
            return wl_registry_bind(registry, name, type, std::min(version, most));
        };
        if (i == wl_compositor_interface.name && !g.compositor) {
            g.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
            g.compositorVersion = std::min(version, 4u);
        } else if (i == wl_shm_interface.name && !g.shm) {
            g.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
            wl_shm_add_listener(g.shm, &shm, d);
        } else if (i == xdg_wm_base_interface.name && !g.wmBase) {
            g.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 3));
            xdg_wm_base_add_listener(g.wmBase, &wmBase, d);
        } else if (i == zwlr_layer_shell_v1_interface.name && !g.layerShell) {
            g.layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 3));
        } else if (i == wp_viewporter_interface.name && !g.viewporter) {
            g.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
        } else if (i == wp_fractional_scale_manager_v1_interface.name && !g.fractionalScale) {
            g.fractionalScale =
                static_cast<wp_fractional_scale_manager_v1*>(bind(&wp_fractional_scale_manager_v1_interface, 1));
        } else if (i == wl_output_interface.name) {
            auto s = std::make_unique<Desktop::Screen>();
            s->desktop = d;
            s->name = name;
            s->version = std::min(version, 4u);
            s->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
            wl_output_add_listener(s->output, &output, s.get());
            d->screens_.push_back(std::move(s));
        } else if (i == wl_seat_interface.name) {
            auto s = std::make_unique<Desktop::Seat>();
            s->desktop = d;
            s->name = name;
            s->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
            wl_seat_add_listener(s->seat, &seat, s.get());
            d->seats_.push_back(std::move(s));
        }
    }
    static void globalRemove(void* data, wl_registry*, std::uint32_t name) {
        auto* d = static_cast<Desktop*>(data);
        auto& screens = d->screens_;
        if (auto it = std::find_if(screens.begin(), screens.end(), [&](auto& s) { return s->name == name; });
            it != screens.end()) {
            std::unique_ptr<Desktop::Screen> gone = std::move(*it);
            screens.erase(it);
            // Its surfaces go first: they were made on it.
            d->realizeAll();
            if (gone->version >= 3)
                wl_output_release(gone->output);
            else
                wl_output_destroy(gone->output);
            return;
        }
        auto& seats = d->seats_;
        if (auto it = std::find_if(seats.begin(), seats.end(), [&](auto& s) { return s->name == name; });
            it != seats.end()) {
            d->removeSeat(**it);
            seats.erase(it);
        }
    }

    static void shmFormat(void* data, wl_shm*, std::uint32_t format) {
        if (format == WL_SHM_FORMAT_XRGB8888) static_cast<Desktop*>(data)->globals_.xrgb8888 = true;
    }
    static void ping(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }

    // An output's description comes in parts, completed by `done`.
    static void geometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                         std::int32_t, const char*, const char*, std::int32_t transform) {
        auto* s = static_cast<Desktop::Screen*>(data);
        s->x = x;
        s->y = y;
        s->transform = transform;
    }
    static void mode(void* data, wl_output*, std::uint32_t flags, std::int32_t w, std::int32_t h, std::int32_t) {
        auto* s = static_cast<Desktop::Screen*>(data);
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        s->pixelW = w;
        s->pixelH = h;
    }
    static void outputScale(void* data, wl_output*, std::int32_t factor) {
        static_cast<Desktop::Screen*>(data)->scale = std::max(factor, 1);
    }
    static void outputName(void* data, wl_output*, const char* name) {
        static_cast<Desktop::Screen*>(data)->label = name ? name : "";
    }
    static void outputDone(void* data, wl_output*) {
        auto* s = static_cast<Desktop::Screen*>(data);
        s->done = true;
        s->desktop->changed_ = true;
    }

    // A seat's devices.
    static void capabilities(void* data, wl_seat* seat, std::uint32_t caps) {
        auto* s = static_cast<Desktop::Seat*>(data);
        const bool hasPointer = caps & WL_SEAT_CAPABILITY_POINTER, hasKeyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
        if (hasPointer && !s->pointer) {
            s->pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(s->pointer, &pointer, s);
        } else if (!hasPointer && s->pointer) {
            wl_pointer_release(s->pointer);
            s->pointer = nullptr;
            s->pointerOn = nullptr;
        }
        if (hasKeyboard && !s->keyboard) {
            s->keyboard = wl_seat_get_keyboard(seat);
            s->keys = std::make_unique<Keyboard>();
            wl_keyboard_add_listener(s->keyboard, &keyboard, s);
        } else if (!hasKeyboard && s->keyboard) {
            wl_keyboard_release(s->keyboard);
            s->keyboard = nullptr;
            s->keyboardOn = nullptr;
            s->keys.reset();
        }
    }

    static void pointerEnter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface, wl_fixed_t sx,
                             wl_fixed_t sy) {
        auto* s = static_cast<Desktop::Seat*>(data);
        s->enterSerial = serial;
        s->pointerOn = surface;
        s->desktop->applyCursor(*s);
        s->desktop->pointerAt(*s, surface, sx, sy, true);
    }
    static void pointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
        static_cast<Desktop::Seat*>(data)->pointerOn = nullptr;
    }
    static void motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t sx, wl_fixed_t sy) {
        auto* s = static_cast<Desktop::Seat*>(data);
        if (s->pointerOn) s->desktop->pointerAt(*s, s->pointerOn, sx, sy, false);
    }
    static void button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                       std::uint32_t state) {
        auto* s = static_cast<Desktop::Seat*>(data);
        Event e;
        switch (button) {
            case BTN_LEFT: e.button = MouseButton::Left; break;
            case BTN_RIGHT: e.button = MouseButton::Right; break;
            case BTN_MIDDLE: e.button = MouseButton::Middle; break;
            default: return;  // side buttons
        }
        e.type = state == WL_POINTER_BUTTON_STATE_PRESSED ? EventType::ButtonDown : EventType::ButtonUp;
        e.window = s->desktop->find(s->pointerOn).first;
        e.position = s->desktop->pointer_.read(s->desktop->logicalSize());
        s->desktop->events_.push_back(e);
    }

    static void keymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
        auto* s = static_cast<Desktop::Seat*>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (text != MAP_FAILED) {
                s->keys->setKeymap(std::string_view(static_cast<const char*>(text), size));
                munmap(text, size);
            }
        }
        close(fd);
    }
    static void keyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array* keys) {
        auto* s = static_cast<Desktop::Seat*>(data);
        s->keyboardOn = surface;
        std::set<std::uint32_t> held;
        const auto* k = static_cast<const std::uint32_t*>(keys->data);
        for (std::size_t i = 0; i < keys->size / sizeof *k; ++i) held.insert(k[i]);
        s->keys->entered(held);
    }
    static void keyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
        auto* s = static_cast<Desktop::Seat*>(data);
        s->keyboardOn = nullptr;
        s->keys->left();
    }
    static void key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
        auto* s = static_cast<Desktop::Seat*>(data);
        const bool pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
        const std::optional<Keyboard::Key> k = s->keys->key(key, pressed);
        if (!k) return;
        Event e;
        e.type = pressed ? EventType::KeyDown : EventType::KeyUp;
        e.window = s->desktop->find(s->keyboardOn).first;
        e.virtualKey = k->virtualKey;
        e.altDown = k->altDown;
        s->desktop->events_.push_back(e);
    }
    static void modifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
                          std::uint32_t locked, std::uint32_t group) {
        static_cast<Desktop::Seat*>(data)->keys->setModifiers(depressed, latched, locked, group);
    }
};

const wl_registry_listener Listeners::registry = {
    .global = Listeners::global,
    .global_remove = Listeners::globalRemove,
};
const wl_shm_listener Listeners::shm = {
    .format = Listeners::shmFormat,
};
const xdg_wm_base_listener Listeners::wmBase = {
    .ping = Listeners::ping,
};
const wl_output_listener Listeners::output = {
    .geometry = Listeners::geometry,
    .mode = Listeners::mode,
    .done = Listeners::outputDone,
    .scale = Listeners::outputScale,
    .name = Listeners::outputName,
    .description = ignore<wl_output*, const char*>,
};
const wl_seat_listener Listeners::seat = {
    .capabilities = Listeners::capabilities,
    .name = ignore<wl_seat*, const char*>,
};
const wl_pointer_listener Listeners::pointer = {
    .enter = Listeners::pointerEnter,
    .leave = Listeners::pointerLeave,
    .motion = Listeners::motion,
    .button = Listeners::button,
    .axis = ignore<wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t>,
    .frame = ignore<wl_pointer*>,
    .axis_source = ignore<wl_pointer*, std::uint32_t>,
    .axis_stop = ignore<wl_pointer*, std::uint32_t, std::uint32_t>,
    .axis_discrete = ignore<wl_pointer*, std::uint32_t, std::int32_t>,
    .axis_value120 = ignore<wl_pointer*, std::uint32_t, std::int32_t>,
};
const wl_keyboard_listener Listeners::keyboard = {
    .keymap = Listeners::keymap,
    .enter = Listeners::keyboardEnter,
    .leave = Listeners::keyboardLeave,
    .key = Listeners::key,
    .modifiers = Listeners::modifiers,
    .repeat_info = ignore<wl_keyboard*, std::int32_t, std::int32_t>,
};

// ---- Opening ----

std::unique_ptr<Desktop> Desktop::open(std::string& error) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        error = std::string("cannot connect to the Wayland compositor ") + (name && *name ? name : "wayland-0") +
                " (" + std::strerror(errno) + ")";
        return nullptr;
    }
    std::unique_ptr<Desktop> d(new Desktop(display));
    if (!d->start(error)) return nullptr;
    return d;
}

Desktop::Desktop(wl_display* display) : display_(display), noOutput_(std::make_unique<NoOutput>()) {}

bool Desktop::start(std::string& error) {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &Listeners::registry, this);
    // The globals, then what binding them brings (outputs' descriptions,
    // pixel formats, seats' devices).
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
        error = std::string("the Wayland compositor did not answer (") + std::strerror(wl_display_get_error(display_)) +
                ")";
        return false;
    }
    std::string missing;
    if (!globals_.compositor) missing += " wl_compositor";
    if (!globals_.shm) missing += " wl_shm";
    if (!globals_.layerShell && !globals_.wmBase) missing += " zwlr_layer_shell_v1/xdg_wm_base";
    if (!missing.empty()) {
        error = "the Wayland compositor lacks what the saver needs:" + missing;
        return false;
    }
    changed_ = false;
    return true;
}

Desktop::~Desktop() {
    windows_.clear();
    for (auto& s : seats_) removeSeat(*s);
    seats_.clear();
    for (auto& s : screens_) {
        if (s->version >= 3)
            wl_output_release(s->output);
        else
            wl_output_destroy(s->output);
    }
    screens_.clear();
    if (cursorSurface_) wl_surface_destroy(cursorSurface_);
    if (cursorTheme_) wl_cursor_theme_destroy(cursorTheme_);
    if (globals_.fractionalScale) wp_fractional_scale_manager_v1_destroy(globals_.fractionalScale);
    if (globals_.viewporter) wp_viewporter_destroy(globals_.viewporter);
    if (globals_.layerShell) zwlr_layer_shell_v1_destroy(globals_.layerShell);
    if (globals_.wmBase) xdg_wm_base_destroy(globals_.wmBase);
    if (globals_.shm) wl_shm_destroy(globals_.shm);
    if (globals_.compositor) wl_compositor_destroy(globals_.compositor);
    if (registry_) wl_registry_destroy(registry_);
    if (prepared_) wl_display_cancel_read(display_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void Desktop::removeSeat(Seat& s) {
    if (s.pointer) wl_pointer_release(s.pointer);
    if (s.keyboard) wl_keyboard_release(s.keyboard);
    s.pointer = nullptr;
    s.keyboard = nullptr;
    wl_seat_release(s.seat);
}

// ---- Outputs ----

std::string Desktop::describe(const Screen& s) const {
    return "output " + (s.label.empty() ? std::to_string(s.name) : s.label);
}

Desktop::Screen* Desktop::screenOf(wl_output* output) {
    for (auto& s : screens_)
        if (s->output == output) return s.get();
    return nullptr;
}

std::vector<Monitor> Desktop::monitors() {
    std::vector<Monitor> out;
    for (const auto& s : screens_) {
        if (!s->done) continue;
        const SIZE size = logicalSizeOf(s->pixelW, s->pixelH, s->scale, s->transform);
        // Wayland has no primary output: the first the compositor names.
        out.push_back(Monitor{s->x, s->y, static_cast<int>(size.cx), static_cast<int>(size.cy), out.empty(), s->label});
    }
    if (out.empty()) out.push_back(Monitor{0, 0, 640, 480, true, ""});
    return out;
}

// ---- Windows ----

void Desktop::realize(WindowId id, ProgramWindow& w) {
    w.covers = coversScreen(w.x, w.y, w.width, w.height);
    auto& surfaces = w.surfaces;
    if (!w.visible) {
        surfaces.clear();
        forgetGoneSurfaces();
        return;
    }
    const auto ready = [this, id] {
        showAgain(id);
        changed_ = true;
    };
    if (w.covers) {
        const SurfaceOutput::Role role =
            globals_.layerShell ? SurfaceOutput::Role::Layer : SurfaceOutput::Role::FullScreen;
        std::erase_if(surfaces, [&](const std::unique_ptr<SurfaceOutput>& s) {
            const Screen* on = screenOf(s->on());
            return s->role() != role || s->closed() || !on || !on->done;
        });
        forgetGoneSurfaces();
        for (const auto& screen : screens_) {
            if (!screen->done) continue;
            const SIZE size = logicalSizeOf(screen->pixelW, screen->pixelH, screen->scale, screen->transform);
            auto it = std::find_if(surfaces.begin(), surfaces.end(),
                                   [&](const std::unique_ptr<SurfaceOutput>& s) { return s->on() == screen->output; });
            if (it != surfaces.end()) {
                (*it)->setScale(screen->scale);
                (*it)->resize(static_cast<int>(size.cx), static_cast<int>(size.cy));
                continue;
            }
            surfaces.push_back(std::make_unique<SurfaceOutput>(globals_, role, screen->output, screen->scale,
                                                               static_cast<int>(size.cx), static_cast<int>(size.cy),
                                                               w.title, describe(*screen), ready));
            if (!w.overlay.empty()) surfaces.back()->setOverlay(w.overlay);
        }
        return;
    }
    std::erase_if(surfaces, [](const std::unique_ptr<SurfaceOutput>& s) {
        return s->role() != SurfaceOutput::Role::Window;
    });
    forgetGoneSurfaces();
    // Where the window lies on the primary output, as the program placed it.
    const Mapping map = primaryMapping();
    const POINT a = map.toReal(w.x, w.y), b = map.toReal(w.x + w.width, w.y + w.height);
    const int width = std::max<int>(b.x - a.x, 1), height = std::max<int>(b.y - a.y, 1);
    const Screen* primary = nullptr;
    for (const auto& s : screens_)
        if (s->done && !primary) primary = s.get();
    const int scale = primary ? primary->scale : 1;
    if (surfaces.empty()) {
        surfaces.push_back(std::make_unique<SurfaceOutput>(globals_, SurfaceOutput::Role::Window, nullptr, scale, width,
                                                           height, w.title, "the window \"" + w.title + "\"", ready));
        if (!w.overlay.empty()) surfaces.back()->setOverlay(w.overlay);
    } else {
        surfaces.front()->setScale(scale);
        surfaces.front()->resize(width, height);
    }
}

void Desktop::realizeAll() {
    for (auto& [id, w] : windows_) realize(id, w);
}

void Desktop::forgetGoneSurfaces() {
    // A surface made later may reuse a gone one's address.
    for (auto& seat : seats_) {
        if (!find(seat->pointerOn).second) seat->pointerOn = nullptr;
        if (!find(seat->keyboardOn).second) seat->keyboardOn = nullptr;
    }
}

std::vector<SurfaceOutput*> Desktop::surfacesOf(WindowId window) {
    std::vector<SurfaceOutput*> out;
    if (auto it = windows_.find(window); it != windows_.end())
        for (auto& s : it->second.surfaces) out.push_back(s.get());
    return out;
}

std::vector<Output*> Desktop::outputsOf(WindowId window) {
    std::vector<Output*> out;
    auto it = windows_.find(window);
    if (it == windows_.end()) return out;
    for (auto& s : it->second.surfaces) out.push_back(s.get());
    if (out.empty() && it->second.visible && it->second.covers) out.push_back(noOutput_.get());
    return out;
}

bool Desktop::isShown(WindowId window) {
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.visible;
}

std::pair<WindowId, SurfaceOutput*> Desktop::find(wl_surface* surface) {
    if (!surface) return {0, nullptr};
    for (auto& [id, w] : windows_)
        for (auto& s : w.surfaces)
            if (s->surface() == surface) return {id, s.get()};
    return {0, nullptr};
}

WindowId Desktop::createWindow(const std::string& title, int x, int y, int width, int height) {
    const WindowId id = nextWindow_++;
    ProgramWindow& w = windows_[id];
    w.title = title;
    w.moveTo(x, y, width, height);
    realize(id, w);
    return id;
}

void Desktop::destroyWindow(WindowId window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    windows_.erase(it);
    forgetGoneSurfaces();
    forgetWindow(window);
    flush();
}

void Desktop::setTitle(WindowId window, const std::string& title) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.title = title;
    for (auto& s : it->second.surfaces) s->setTitle(title);
    // -fps: the caption's text over the picture too, where a full-screen
    // window's caption cannot be seen.
    if (hostOptions().showFrameRate) {
        it->second.overlay = title;
        for (auto& s : it->second.surfaces) s->setOverlay(title);
    }
}

void Desktop::place(WindowId window, int x, int y, int width, int height, bool) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    ProgramWindow& w = it->second;
    w.moveTo(x, y, width, height);
    realize(window, w);
}

void Desktop::show(WindowId window, bool visible) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.visible = visible;
    realize(window, it->second);
    flush();
}

void Desktop::showFrames() {
    RealDisplay::showFrames();
    flush();
}

// ---- Input ----

POINT Desktop::toLogical(wl_surface* surface, std::int32_t sx, std::int32_t sy) {
    const auto [id, s] = find(surface);
    if (!s) return pointer_.read(logicalSize());
    const ProgramWindow& w = windows_[id];
    const SIZE buffer = s->bufferSize();
    const POINT at = s->toBuffer(sx, sy);
    // The picture lies letterboxed in the buffer, as drawn.
    const Rect inner = letterbox(w.width, w.height, static_cast<int>(buffer.cx), static_cast<int>(buffer.cy));
    const POINT p = Mapping{w.width, w.height, inner}.toLogical(at.x, at.y);
    return POINT{w.x + p.x, w.y + p.y};
}

void Desktop::pointerAt(Seat&, wl_surface* surface, std::int32_t sx, std::int32_t sy, bool entered) {
    const bool wasKnown = pointer_.known();
    const POINT p = pointer_.at(toLogical(surface, sx, sy), logicalSize());
    // The first entry tells where the pointer is, not that it moved.
    if (entered && !wasKnown) return;
    Event e;
    e.type = EventType::MouseMove;
    e.window = find(surface).first;
    e.position = p;
    events_.push_back(e);
}

void Desktop::applyCursor(Seat& s) {
    if (!s.pointer || !s.pointerOn) return;
    if (cursorHidden_) {
        wl_pointer_set_cursor(s.pointer, s.enterSerial, nullptr, 0, 0);
        return;
    }
    // The arrow of the user's cursor theme (libwayland-cursor's own when
    // there is none), made the first time a shown cursor is needed.
    if (!cursorSurface_) {
        const char* size = std::getenv("XCURSOR_SIZE");
        cursorTheme_ = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size ? std::max(std::atoi(size), 8) : 24,
                                            globals_.shm);
        wl_cursor* arrow = cursorTheme_ ? wl_cursor_theme_get_cursor(cursorTheme_, "left_ptr") : nullptr;
        if (!arrow && cursorTheme_) arrow = wl_cursor_theme_get_cursor(cursorTheme_, "default");
        if (!arrow || arrow->image_count == 0) return;
        wl_cursor_image* image = arrow->images[0];
        cursorSurface_ = wl_compositor_create_surface(globals_.compositor);
        wl_surface_attach(cursorSurface_, wl_cursor_image_get_buffer(image), 0, 0);
        wl_surface_damage(cursorSurface_, 0, 0, static_cast<std::int32_t>(image->width),
                          static_cast<std::int32_t>(image->height));
        wl_surface_commit(cursorSurface_);
        hotspotX_ = static_cast<int>(image->hotspot_x);
        hotspotY_ = static_cast<int>(image->hotspot_y);
    }
    wl_pointer_set_cursor(s.pointer, s.enterSerial, cursorSurface_, hotspotX_, hotspotY_);
}

POINT Desktop::cursorPosition() { return pointer_.read(logicalSize()); }

void Desktop::setCursorVisible(bool visible) {
    if (cursorHidden_ == !visible) return;
    cursorHidden_ = !visible;
    for (auto& s : seats_) applyCursor(*s);
    flush();
}

// ---- The connection ----

void Desktop::connectionLost() {
    if (lost_) return;
    lost_ = true;
    const int error = wl_display_get_error(display_);
    std::fprintf(stderr, "pomrivel: the connection to the Wayland compositor was lost (%s)\n",
                 std::strerror(error ? error : EPIPE));
    // Every window is asked to close: the orderly stop.
    Event e;
    e.type = EventType::CloseRequest;
    events_.push_back(e);
}

void Desktop::flush() {
    if (lost_) return;
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) connectionLost();
}

void Desktop::dispatch() {
    if (lost_) return;
    if (wl_display_dispatch_pending(display_) < 0) {
        connectionLost();
        return;
    }
    if (!changed_) return;
    changed_ = false;
    // Outputs came or went, surfaces were configured, closed or asked to
    // close.
    for (auto& [id, w] : windows_) {
        for (auto& s : w.surfaces)
            if (s->closeAsked()) {
                Event e;
                e.type = EventType::CloseRequest;
                e.window = id;
                events_.push_back(e);
            }
        realize(id, w);
    }
}

void Desktop::readNow() {
    if (lost_) return;
    dispatch();
    if (!events_.empty()) return;
    if (wl_display_prepare_read(display_) != 0) {
        dispatch();
        return;
    }
    flush();
    if (readable(wl_display_get_fd(display_))) {
        if (wl_display_read_events(display_) < 0) connectionLost();
    } else {
        wl_display_cancel_read(display_);
    }
    dispatch();
}

bool Desktop::pollEvent(Event& event) {
    if (events_.empty()) readNow();
    if (events_.empty()) return false;
    event = events_.front();
    events_.pop_front();
    return true;
}

bool Desktop::eventsWaiting() {
    if (lost_) return !events_.empty();
    dispatch();
    // A read prepared now sees everything that arrives during the wait.
    while (events_.empty() && wl_display_prepare_read(display_) != 0) dispatch();
    if (!events_.empty() || lost_) {
        if (!lost_) wl_display_cancel_read(display_);
        return true;
    }
    prepared_ = true;
    flush();
    return false;
}

int Desktop::eventFd() { return lost_ ? -1 : wl_display_get_fd(display_); }

void Desktop::waited(bool inputMayWait) {
    if (!prepared_) return;
    prepared_ = false;
    if (lost_) {
        wl_display_cancel_read(display_);
        return;
    }
    if (inputMayWait && readable(wl_display_get_fd(display_))) {
        if (wl_display_read_events(display_) < 0) connectionLost();
    } else {
        wl_display_cancel_read(display_);
    }
    dispatch();
}

}  // namespace platform::backend::wayland
