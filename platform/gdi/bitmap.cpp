// Bitmap creation and raw access: CreateBitmap, CreateCompatibleBitmap,
// GetBitmapBits.
#include "gdi/objects.h"
#include "kernel/no_memory.h"

#include <algorithm>
#include <cstring>

using namespace platform::gdi;
using platform::kernel::failOnNoMemory;

namespace {

// Copies between a surface and a buffer laid out as Win32 lays out a
// device-dependent bitmap: rows of win32RowBytes(), top row first, 32-bit
// pixels as blue, green, red, 0 and monochrome rows with the leftmost pixel
// in the top bit. Returns the bytes copied, whole rows only within limit.
std::size_t copyRowsOut(const Surface& s, std::uint8_t* out, std::size_t limit) {
    const std::size_t rowBytes = static_cast<std::size_t>(s.win32RowBytes());
    std::size_t done = 0;
    for (int y = 0; y < s.height() && done < limit; ++y) {
        const std::size_t n = std::min(rowBytes, limit - done);
        std::memcpy(out + done, s.row(y), n);  // our rows are at least as long
        done += n;
    }
    return done;
}

void copyRowsIn(Surface& s, const std::uint8_t* in) {
    const std::size_t rowBytes = static_cast<std::size_t>(s.win32RowBytes());
    const std::size_t dataBytes =
        s.format() == PixelFormat::Mono1 ? (static_cast<std::size_t>(s.width()) + 7) / 8 : static_cast<std::size_t>(s.width()) * 4;
    for (int y = 0; y < s.height(); ++y) std::memcpy(s.row(y), in + static_cast<std::size_t>(y) * rowBytes, dataBytes);
    if (s.format() == PixelFormat::Rgb32) {
        // The fourth byte of a display pixel is unused; keep it zero so that
        // colour comparisons see only blue, green and red.
        for (int y = 0; y < s.height(); ++y) {
            std::uint32_t* row = s.rgbRow(y);
            for (int x = 0; x < s.width(); ++x) row[x] &= 0x00FFFFFFu;
        }
    }
}

HBITMAP makeBitmap(int width, int height, PixelFormat format) {
    if (width < 0 || height < 0) return nullptr;
    if (static_cast<std::int64_t>(width) * height > kMaxBitmapPixels) return nullptr;
    return failOnNoMemory(HBITMAP{}, [=] {
        // A zero size gives the shared 1x1 monochrome bitmap, as Windows does.
        if (width == 0 || height == 0) return static_cast<HBITMAP>(defaultBitmap().handle);
        return static_cast<HBITMAP>(addObject(std::make_unique<Bitmap>(width, height, format)));
    });
}

}  // namespace

extern "C" {

HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits) {
    if (nPlanes != 1) return nullptr;
    PixelFormat format;
    if (nBitCount == 1)
        format = PixelFormat::Mono1;
    else if (nBitCount == 32)
        format = PixelFormat::Rgb32;
    else
        return nullptr;  // only the display's format and masks exist here
    const HBITMAP h = makeBitmap(nWidth, nHeight, format);
    Bitmap* bitmap = findBitmap(h);
    if (bitmap && lpBits && !bitmap->stock) copyRowsIn(bitmap->surface, static_cast<const std::uint8_t*>(lpBits));
    return h;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
    const DeviceContext* dc = findDC(hdc);
    if (!dc) return nullptr;
    // Bitmaps like the one the context draws into: a window's frame is in
    // the display's format, and a memory context is monochrome while it
    // holds its default bitmap.
    return makeBitmap(cx, cy, dc->bitmap->surface.format());
}

LONG WINAPI GetBitmapBits(HBITMAP hbit, LONG cb, LPVOID lpvBits) {
    const Bitmap* bitmap = findBitmap(hbit);
    if (!bitmap || cb < 0) return 0;
    const Surface& s = bitmap->surface;
    const LONG total = s.win32RowBytes() * s.height();
    if (!lpvBits) return total;
    return static_cast<LONG>(copyRowsOut(s, static_cast<std::uint8_t*>(lpvBits), static_cast<std::size_t>(std::min(cb, total))));
}

}  // extern "C"
