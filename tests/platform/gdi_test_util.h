// Helpers for the drawing-layer conformance tests.
//
// Everything here uses only documented Win32 calls, so the same tests build
// against the real Windows GDI and check that our layer and Windows agree.
#ifndef POMRIVEL_TESTS_PLATFORM_GDI_TEST_UTIL_H
#define POMRIVEL_TESTS_PLATFORM_GDI_TEST_UTIL_H

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace gdi_test {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// The saver's transparency key.
constexpr COLORREF kKey = RGB(254, 2, 254);

enum class Format { Mono, Colour };

inline const char* formatName(Format f) {
    return f == Format::Mono ? "mono" : "colour";
}

// A picture as COLORREFs, row by row: what a bitmap holds or should hold.
// Monochrome pictures hold only kBlack and kWhite, as GetPixel reports them.
struct Pixels {
    int w = 0;
    int h = 0;
    std::vector<COLORREF> px;

    Pixels() = default;
    Pixels(int width, int height, COLORREF c = kBlack)
        : w(width), h(height), px(static_cast<size_t>(width) * height, c) {}
    COLORREF& at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
    COLORREF at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
    bool operator==(const Pixels&) const = default;
};

// A memory DC with its own bitmap selected into it, made as the saver makes
// them: CreateCompatibleDC(NULL) and CreateBitmap with 1 or 32 bits per pixel.
class Surface {
public:
    Surface(int w, int h, Format f) : w_(w), h_(h), format_(f) {
        dc_ = CreateCompatibleDC(NULL);
        bitmap_ = CreateBitmap(w, h, 1, f == Format::Mono ? 1 : 32, NULL);
        if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_);
    }
    ~Surface() {
        if (old_) SelectObject(dc_, old_);
        if (dc_) DeleteDC(dc_);
        if (bitmap_) DeleteObject(bitmap_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool ok() const { return dc_ && bitmap_ && old_; }
    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return w_; }
    int height() const { return h_; }
    Format format() const { return format_; }

private:
    int w_, h_;
    Format format_;
    HDC dc_ = NULL;
    HBITMAP bitmap_ = NULL;
    HGDIOBJ old_ = NULL;
};

// The picture mirrored left to right.
inline Pixels mirrored(const Pixels& p) {
    Pixels m(p.w, p.h);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) m.at(x, y) = p.at(p.w - 1 - x, y);
    return m;
}

inline std::string hex(COLORREF c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%06X", static_cast<unsigned>(c));
    return buf;
}

// Draws a picture pixel by pixel.
inline void put(const Surface& s, const Pixels& p) {
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) SetPixel(s.dc(), x, y, p.at(x, y));
}

// Reads a surface back pixel by pixel.
inline Pixels read(const Surface& s) {
    Pixels p(s.width(), s.height());
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) p.at(x, y) = GetPixel(s.dc(), x, y);
    return p;
}

// Reads a 1 or 32 bits-per-pixel bitmap in one GetBitmapBits call: rows of
// bmWidthBytes, a mono bit 1 is white with the leftmost pixel in the top bit,
// a colour pixel is blue, green, red and an unused byte.
inline Pixels readBits(HBITMAP bmp) {
    BITMAP bm{};
    if (GetObjectA(bmp, sizeof bm, &bm) != sizeof bm) return Pixels();
    std::vector<unsigned char> bytes(static_cast<size_t>(bm.bmWidthBytes) * bm.bmHeight);
    if (GetBitmapBits(bmp, static_cast<LONG>(bytes.size()), bytes.data()) != static_cast<LONG>(bytes.size()))
        return Pixels();
    Pixels p(bm.bmWidth, bm.bmHeight);
    for (int y = 0; y < p.h; ++y) {
        const unsigned char* row = &bytes[static_cast<size_t>(y) * bm.bmWidthBytes];
        for (int x = 0; x < p.w; ++x) {
            if (bm.bmBitsPixel == 1)
                p.at(x, y) = (row[x / 8] & (0x80 >> (x % 8))) ? kWhite : kBlack;
            else
                p.at(x, y) = RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
        }
    }
    return p;
}

// A random picture. Colour pictures draw half their pixels from `palette`
// (so keys and near-keys are common) and the rest from all 24-bit colours.
inline Pixels randomPixels(int w, int h, Format f, std::mt19937& rng, const std::vector<COLORREF>& palette = {}) {
    Pixels p(w, h);
    for (COLORREF& c : p.px) {
        if (f == Format::Mono)
            c = (rng() & 1) ? kWhite : kBlack;
        else if (!palette.empty() && (rng() & 1))
            c = palette[rng() % palette.size()];
        else
            c = rng() & 0xFFFFFF;
    }
    return p;
}

// Compares whole pictures and names the first few differing pixels.
inline ::testing::AssertionResult samePixels(const Pixels& expected, const Pixels& actual) {
    if (expected.w != actual.w || expected.h != actual.h)
        return ::testing::AssertionFailure()
               << "size " << actual.w << "x" << actual.h << ", expected " << expected.w << "x" << expected.h;
    int bad = 0;
    std::string detail;
    for (int y = 0; y < expected.h; ++y)
        for (int x = 0; x < expected.w; ++x)
            if (expected.at(x, y) != actual.at(x, y) && ++bad <= 6)
                detail += " (" + std::to_string(x) + "," + std::to_string(y) + ") expected " + hex(expected.at(x, y)) +
                          " got " + hex(actual.at(x, y)) + ";";
    if (bad == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " pixels differ:" << detail;
}

inline COLORREF applyRop(DWORD rop, COLORREF dst, COLORREF src) {
    switch (rop) {
        case SRCCOPY: return src;
        case SRCAND: return dst & src;
        case SRCPAINT: return dst | src;
        case SRCINVERT: return dst ^ src;
    }
    ADD_FAILURE() << "no model for raster operation " << rop;
    return dst;
}

// The colours of the DCs that take part in a blit.
struct BlitColours {
    COLORREF srcBk = kWhite;
    COLORREF dstBk = kWhite;
    COLORREF dstText = kBlack;
};

// What BitBlt should leave in `dst`, by Win32's documented rules, one pixel at
// a time: only pixels whose destination and source both lie inside their
// bitmaps change; a mono source bit 1 becomes the destination DC's background
// colour and 0 its text colour; a colour source pixel becomes a mono 1 when it
// equals the source DC's background colour.
inline Pixels modelBlit(Pixels dst, Format dstFormat, int dx, int dy, int w, int h, const Pixels& src, Format srcFormat,
                        int sx, int sy, DWORD rop, const BlitColours& colours = {}) {
    const long long i0 = (std::max)({0LL, -static_cast<long long>(dx), -static_cast<long long>(sx)});
    const long long i1 =
        (std::min)({static_cast<long long>(w), static_cast<long long>(dst.w) - dx, static_cast<long long>(src.w) - sx});
    const long long j0 = (std::max)({0LL, -static_cast<long long>(dy), -static_cast<long long>(sy)});
    const long long j1 =
        (std::min)({static_cast<long long>(h), static_cast<long long>(dst.h) - dy, static_cast<long long>(src.h) - sy});
    for (long long j = j0; j < j1; ++j)
        for (long long i = i0; i < i1; ++i) {
            COLORREF s = src.at(static_cast<int>(sx + i), static_cast<int>(sy + j));
            if (srcFormat == Format::Mono && dstFormat == Format::Colour)
                s = s == kWhite ? colours.dstBk : colours.dstText;
            else if (srcFormat == Format::Colour && dstFormat == Format::Mono)
                s = s == colours.srcBk ? kWhite : kBlack;
            COLORREF& d = dst.at(static_cast<int>(dx + i), static_cast<int>(dy + j));
            d = applyRop(rop, d, s) & 0xFFFFFF;
        }
    return dst;
}

}  // namespace gdi_test

#endif
