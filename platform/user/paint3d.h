// The plain 3D look the layer draws its own dialogs and message boxes in:
// the system colours of a classic Windows desktop, raised and sunken edges,
// push buttons, drawn through the layer's own GDI.
#pragma once

#include <windows.h>

#include <string>

namespace platform::user {

constexpr COLORREF kFace = RGB(212, 208, 200);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kDarkShadow = RGB(64, 64, 64);
constexpr COLORREF kHighlight = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Fills the rectangle from (l, t) to (r, b), right and bottom excluded.
void fill(HDC dc, int l, int t, int r, int b, COLORREF color);
// A 3D edge two pixels wide: light on the top and left, dark on the bottom
// and right, or the other way round for a sunken edge.
void edge(HDC dc, RECT r, bool sunken);
SIZE textSize(HDC dc, const std::string& s);
// Text in the context's font and text colour, on the face colour when
// opaque, else over what is there.
void text(HDC dc, int x, int y, const std::string& s, bool opaque = false);

struct ButtonLook {
    bool pressed = false;   // held down: sunken, the label one pixel down and right
    bool isDefault = false; // Return presses it: a black frame around it
    bool focused = false;   // a dotted rectangle inside it
};
// A push button with its label centred.
void pushButton(HDC dc, RECT r, const std::string& label, ButtonLook look = {});

}  // namespace platform::user
