// A Wayland keyboard's keys as the program's: the compositor's keymap read
// with xkbcommon, each key named by the keysym of its layout's first level
// (as X11 names it), then as a Win32 virtual key (keys.h).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string_view>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform::backend::wayland {

class Keyboard {
public:
    Keyboard();
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // The compositor's keymap, in xkbcommon's text form; false (and the
    // keymap before it kept) when it cannot be read.
    bool setKeymap(std::string_view text);
    // The modifier and group state the compositor reports.
    void setModifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked, std::uint32_t group);

    // The keyboard came to one of our surfaces with these keys (Linux input
    // codes) already down: their releases belong to whatever they were
    // pressed for (the Enter that started the program in a terminal), not
    // to us.
    void entered(const std::set<std::uint32_t>& held) { heldBefore_ = held; }
    void left() { heldBefore_.clear(); }

    struct Key {
        int virtualKey;
        bool altDown;  // Alt as it is after the event
    };
    // A key (Linux input code) pressed or released; nothing for the
    // release of a key held from before the keyboard came, or without a
    // keymap.
    std::optional<Key> key(std::uint32_t evdev, bool pressed);

private:
    xkb_context* context_;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    std::set<std::uint32_t> heldBefore_;
};

}  // namespace platform::backend::wayland
