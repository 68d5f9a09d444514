// Device context attributes, single pixels and rectangles.
#include "gdi/objects.h"
#include "gdi/raster.h"
#include "kernel/no_memory.h"

#include <algorithm>
#include <cstdint>

using namespace platform::gdi;
using platform::kernel::failOnNoMemory;

extern "C" {

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    DeviceContext* dc = findDC(hdc);
    if (!dc) return CLR_INVALID;
    const COLORREF previous = dc->bkColor;
    dc->bkColor = color & 0x00FFFFFF;
    return previous;
}

COLORREF WINAPI GetBkColor(HDC hdc) {
    const DeviceContext* dc = findDC(hdc);
    return dc ? dc->bkColor : CLR_INVALID;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    DeviceContext* dc = findDC(hdc);
    if (!dc) return CLR_INVALID;
    const COLORREF previous = dc->textColor;
    dc->textColor = color & 0x00FFFFFF;
    return previous;
}

COLORREF WINAPI GetTextColor(HDC hdc) {
    const DeviceContext* dc = findDC(hdc);
    return dc ? dc->textColor : CLR_INVALID;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    DeviceContext* dc = findDC(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    const int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

int WINAPI GetBkMode(HDC hdc) {
    const DeviceContext* dc = findDC(hdc);
    return dc ? dc->bkMode : 0;
}

// Only the pixel mapping exists here: one logical unit is one pixel, y down.
// Every context is in it and stays in it.
int WINAPI SetMapMode(HDC hdc, int iMode) {
    return findDC(hdc) && iMode == MM_TEXT ? MM_TEXT : 0;
}

int WINAPI GetMapMode(HDC hdc) { return findDC(hdc) ? MM_TEXT : 0; }

int WINAPI GetStretchBltMode(HDC hdc) { return findDC(hdc) ? BLACKONWHITE : 0; }

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    const DeviceContext* dc = findDC(hdc);
    if (!dc) return CLR_INVALID;
    const Surface& s = dc->bitmap->surface;
    if (x < 0 || y < 0 || x >= s.width() || y >= s.height()) return CLR_INVALID;
    if (s.format() == PixelFormat::Mono1) return monoBit(s.row(y), x) ? 0xFFFFFF : 0x000000;
    return colorFromPixel(s.rgbRow(y)[x]);
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
    const DeviceContext* dc = findDC(hdc);
    if (!dc) return CLR_INVALID;
    Surface& s = dc->bitmap->surface;
    if (x < 0 || y < 0 || x >= s.width() || y >= s.height()) return CLR_INVALID;
    color &= 0x00FFFFFF;
    COLORREF set;
    if (s.format() == PixelFormat::Mono1) {
        const bool bit = monoBitFromColor(color);
        setMonoBit(s.row(y), x, bit);
        set = bit ? 0xFFFFFF : 0x000000;
    } else {
        s.rgbRow(y)[x] = pixelFromColor(color);
        set = color;
    }
    dc->drawn();
    return set;
}

// A monochrome fill goes through a row buffer that grows with the widest
// fill so far.
BOOL WINAPI Rectangle(HDC hdc, int x0, int y0, int x1, int y1) {
    const DeviceContext* dc = findDC(hdc);
    if (!dc) return FALSE;
    return failOnNoMemory(FALSE, [&] {
        // 64-bit, so the edges one pixel in from coordinates at the ends of
        // the int range do not overflow.
        std::int64_t left = x0, top = y0, right = x1, bottom = y1;
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        Surface& s = dc->bitmap->surface;
        const Pen& pen = *dc->pen;
        const Brush& brush = *dc->brush;
        if (pen.isNull) {
            // Without an outline the filled area stops one pixel short of
            // the right and bottom edges, as in Windows.
            if (!brush.isHollow) fillRect(s, left, top, right - 1, bottom - 1, brush.color);
        } else {
            if (right - left < 2 || bottom - top < 2) {
                fillRect(s, left, top, right, bottom, pen.color);
            } else {
                if (!brush.isHollow) fillRect(s, left + 1, top + 1, right - 1, bottom - 1, brush.color);
                fillRect(s, left, top, right, top + 1, pen.color);
                fillRect(s, left, bottom - 1, right, bottom, pen.color);
                fillRect(s, left, top + 1, left + 1, bottom - 1, pen.color);
                fillRect(s, right - 1, top + 1, right, bottom - 1, pen.color);
            }
        }
        dc->drawn();
        return TRUE;
    });
}

}  // extern "C"
