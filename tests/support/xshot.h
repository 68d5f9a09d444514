// What an X server shows: a rectangle of a window (the root window for the
// whole screen), read back over a connection of the test's own.
#pragma once

#include "support/png.h"

#include <string>

namespace test_support {

// The rectangle in 0x00RRGGBB, whatever the window's visual (each channel
// widened or narrowed to 8 bits); the whole window when `width` is 0. An
// empty image when the display or window cannot be read.
Image grabWindow(const std::string& display, unsigned long window, int x = 0, int y = 0, int width = 0,
                 int height = 0);
// The root window of the display's default screen.
Image grabScreen(const std::string& display, int x = 0, int y = 0, int width = 0, int height = 0);

}  // namespace test_support
