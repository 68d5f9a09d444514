#include "user/paint3d.h"

namespace platform::user {

void fill(HDC dc, int l, int t, int r, int b, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    SelectObject(dc, brush);
    SelectObject(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, l, t, r + 1, b + 1);  // a null pen fills one pixel short
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
}

void edge(HDC dc, RECT r, bool sunken) {
    const COLORREF outerLight = sunken ? kShadow : kHighlight, outerDark = sunken ? kHighlight : kDarkShadow;
    const COLORREF innerDark = sunken ? kDarkShadow : kShadow;
    fill(dc, r.left, r.top, r.right, r.top + 1, outerLight);
    fill(dc, r.left, r.top, r.left + 1, r.bottom, outerLight);
    fill(dc, r.left, r.bottom - 1, r.right, r.bottom, outerDark);
    fill(dc, r.right - 1, r.top, r.right, r.bottom, outerDark);
    if (sunken) {
        fill(dc, r.left + 1, r.top + 1, r.right - 1, r.top + 2, innerDark);
        fill(dc, r.left + 1, r.top + 1, r.left + 2, r.bottom - 1, innerDark);
    } else {
        fill(dc, r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 1, innerDark);
        fill(dc, r.right - 2, r.top + 1, r.right - 1, r.bottom - 1, innerDark);
    }
}

SIZE textSize(HDC dc, const std::string& s) {
    SIZE size{};
    GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return size;
}

void text(HDC dc, int x, int y, const std::string& s, bool opaque) {
    SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
    SetBkColor(dc, kFace);
    TextOutA(dc, x, y, s.c_str(), static_cast<int>(s.size()));
}

void pushButton(HDC dc, RECT r, const std::string& label, ButtonLook look) {
    if (look.isDefault) {
        // The frame of the default button, drawn outside its edge as Windows
        // draws it: the edge moves one pixel in.
        fill(dc, r.left, r.top, r.right, r.top + 1, kBlack);
        fill(dc, r.left, r.bottom - 1, r.right, r.bottom, kBlack);
        fill(dc, r.left, r.top, r.left + 1, r.bottom, kBlack);
        fill(dc, r.right - 1, r.top, r.right, r.bottom, kBlack);
        r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
    if (look.pressed) {
        // Pressed, a button is one flat shadow line inside its frame.
        fill(dc, r.left, r.top, r.right, r.top + 1, kShadow);
        fill(dc, r.left, r.bottom - 1, r.right, r.bottom, kShadow);
        fill(dc, r.left, r.top, r.left + 1, r.bottom, kShadow);
        fill(dc, r.right - 1, r.top, r.right, r.bottom, kShadow);
    } else {
        edge(dc, r, false);
    }
    const int shift = look.pressed ? 1 : 0;
    if (!label.empty()) {
        const SIZE extent = textSize(dc, label);
        text(dc, (r.left + r.right - extent.cx) / 2 + shift, (r.top + r.bottom - extent.cy) / 2 + shift, label);
    }
    if (look.focused) {
        // Every other pixel of a rectangle three pixels in from the edge.
        const int l = r.left + 3 + shift, t = r.top + 3 + shift, rr = r.right - 4 + shift, b = r.bottom - 4 + shift;
        for (int x = l; x <= rr; x += 2) {
            SetPixel(dc, x, t, kBlack);
            SetPixel(dc, x, b, kBlack);
        }
        for (int y = t; y <= b; y += 2) {
            SetPixel(dc, l, y, kBlack);
            SetPixel(dc, rr, y, kBlack);
        }
    }
}

}  // namespace platform::user
