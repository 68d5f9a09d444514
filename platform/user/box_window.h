// A message box as a window of the layer, for backends that have no box of
// their own: the caption, the text, the style's icon and buttons, drawn in
// the plain 3D look of the layer's dialogs, and the keys and clicks that
// answer it. MessageBoxA runs the modal loop around it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace platform::user {

// Creates, lays out, draws and shows the box for a MB_* style, owned by
// `owner` (may be null), centred on the work area; it is active, so the
// keyboard goes to it. Null if it could not be made.
HWND openBoxWindow(HWND owner, const std::string& text, const std::string& caption, UINT style);

// The ID* of the button the person chose, once they have chosen one.
std::optional<int> boxChoice(HWND box);

// For tests: the box's buttons, left to right, in its client coordinates.
std::vector<RECT> boxButtonRects(HWND box);

}  // namespace platform::user
