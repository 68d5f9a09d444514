#include "backend/wayland/keyboard.h"

#include "backend/keys.h"

#include <windows.h>

#include <xkbcommon/xkbcommon.h>

#include <string>

namespace platform::backend::wayland {

namespace {

// xkbcommon numbers keys as X11 does: the Linux input code plus 8.
constexpr std::uint32_t kKeycodeOffset = 8;

}  // namespace

Keyboard::Keyboard() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

Keyboard::~Keyboard() {
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

bool Keyboard::setKeymap(std::string_view text) {
    if (!context_) return false;
    // The compositor's text ends in a NUL inside its size; xkbcommon wants
    // none within the length it is given.
    const std::string copy(text.substr(0, text.find('\0')));
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(context_, copy.data(), copy.size(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return false;
    xkb_state* state = xkb_state_new(keymap);
    if (!state) {
        xkb_keymap_unref(keymap);
        return false;
    }
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;
    return true;
}

void Keyboard::setModifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                            std::uint32_t group) {
    if (state_) xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, group);
}

std::optional<Keyboard::Key> Keyboard::key(std::uint32_t evdev, bool pressed) {
    if (!state_) return std::nullopt;
    if (heldBefore_.erase(evdev) && !pressed) return std::nullopt;
    const xkb_keycode_t code = evdev + kKeycodeOffset;
    // The key's symbol in the first level of its layout, whatever the
    // modifiers: the key, not the character it types.
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state_, code);
    const xkb_keysym_t* syms = nullptr;
    const int count = layout == XKB_LAYOUT_INVALID
                          ? 0
                          : xkb_keymap_key_get_syms_by_level(keymap_, code, layout, 0, &syms);
    const std::uint32_t sym = count > 0 ? syms[0] : XKB_KEY_NoSymbol;
    Key k{virtualKeyOf(sym, evdev), false};
    // The compositor sends the modifiers a key changes after the key
    // itself: Alt's own press and release decide for themselves.
    k.altDown = k.virtualKey == VK_MENU
                    ? pressed
                    : xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0;
    return k;
}

}  // namespace platform::backend::wayland
