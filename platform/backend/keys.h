// Keys as the window systems name them, as Win32 virtual keys.
#pragma once

#include <cstdint>

namespace platform::backend {

// The virtual key (VK_*) of a key, from its keysym in the layout's first
// level (X11 and xkbcommon share the keysym values) or, for a letter or
// digit key whose layout makes another symbol, from its position: `evdev`
// is the Linux input code (X11's keycode less 8). Keys with no equivalent
// give 0xFF, so every key still makes an event.
int virtualKeyOf(std::uint32_t keysym, std::uint32_t evdev);

}  // namespace platform::backend
