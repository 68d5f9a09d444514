// The frame rate a screensaver hack shows when asked (-fps): a line of
// text drawn over what the screen shows, in a corner, with a small pixel
// font of the layer's own. The program's own pictures are never touched.
#pragma once

#include "backend/scaler.h"

#include <string_view>

namespace platform::backend {

// Where the text goes inside `area` (its top-left corner, a margin in):
// the rectangle it covers, clipped to `area`; empty for no text.
Rect overlayRect(std::string_view text, const Rect& area);

// Draws `text` into `to` at overlayRect(text, area): white letters on
// black. Characters the font lacks show as small boxes.
void drawOverlay(std::string_view text, const Canvas& to, const Rect& area);

}  // namespace platform::backend
