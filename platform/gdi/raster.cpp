#include "gdi/raster.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform::gdi {

bool ropFromCode(DWORD code, Rop& rop) {
    switch (code) {
    case SRCCOPY: rop = Rop::Copy; return true;
    case SRCAND: rop = Rop::And; return true;
    case SRCPAINT: rop = Rop::Paint; return true;
    case SRCINVERT: rop = Rop::Invert; return true;
    default: return false;
    }
}

namespace {

// Calls f.template operator()<R>() with the operation as a template
// argument, so whatever loop f holds is compiled once per operation and the
// operation is chosen once, outside it.
template <class F>
decltype(auto) withRop(Rop rop, F&& f) {
    switch (rop) {
    case Rop::Copy: return f.template operator()<Rop::Copy>();
    case Rop::And: return f.template operator()<Rop::And>();
    case Rop::Paint: return f.template operator()<Rop::Paint>();
    case Rop::Invert: break;
    }
    return f.template operator()<Rop::Invert>();
}

template <Rop R, class T>
constexpr T combine(T d, T s) {
    if constexpr (R == Rop::Copy) return s;
    if constexpr (R == Rop::And) return static_cast<T>(d & s);
    if constexpr (R == Rop::Paint) return static_cast<T>(d | s);
    if constexpr (R == Rop::Invert) return static_cast<T>(d ^ s);
}

inline std::uint64_t loadBigEndian64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

// Eight pixels of a monochrome row starting at bit pos, which may lie up to
// seven bits before the row (those bits read as 0).
inline std::uint8_t extract8(const std::uint8_t* row, int pos) {
    if (pos < 0) return static_cast<std::uint8_t>(row[0] >> -pos);
    const int b = pos >> 3, shift = pos & 7;
    if (shift == 0) return row[b];
    return static_cast<std::uint8_t>((row[b] << shift) | (row[b + 1] >> (8 - shift)));
}

// ---- Rows into a colour destination ------------------------------------

template <Rop R>
void rgbFromRgb(std::uint32_t* d, const std::uint32_t* s, int n) {
    if constexpr (R == Rop::Copy) {
        std::memmove(d, s, static_cast<std::size_t>(n) * 4);
    } else {
        for (int i = 0; i < n; ++i) d[i] = combine<R>(d[i], s[i]);
    }
}

// What a monochrome source turns into in a colour blit: for every byte of
// eight pixels, their eight colours (1 the background colour, 0 the text
// colour), made once per blit so the row loop only looks them up.
struct MonoColors {
    alignas(64) std::uint32_t table[256][8];
    std::uint32_t text, bk;
};

// True when combining with c leaves the destination as it is.
template <Rop R>
constexpr bool isIdentity(std::uint32_t c) {
    // Colour pixels keep their top byte zero, so AND with 0x00FFFFFF keeps them.
    if constexpr (R == Rop::And) return (c | 0xFF000000u) == 0xFFFFFFFFu;
    if constexpr (R == Rop::Paint || R == Rop::Invert) return c == 0;
    return false;
}

template <Rop R>
inline void constantRun(std::uint32_t* d, int n, std::uint32_t c, bool identity) {
    if (identity) return;
    if constexpr (R == Rop::Copy) {
        std::fill_n(d, n, c);
    } else {
        for (int j = 0; j < n; ++j) d[j] = combine<R>(d[j], c);
    }
}

// Monochrome source bits from bit sx on, 32 pixels at a time. Masks are
// mostly long runs of one value; a run of 32 equal bits is one constant
// loop, or nothing at all where the operation leaves the destination as it is.
template <Rop R>
void rgbFromMono(std::uint32_t* d, const std::uint8_t* srow, int sx, int n, const MonoColors& c) {
    const bool textIsIdentity = isIdentity<R>(c.text), bkIsIdentity = isIdentity<R>(c.bk);
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        const int bit = sx + i;
        const std::uint64_t word = loadBigEndian64(srow + (bit >> 3)) << (bit & 7);
        const auto bits = static_cast<std::uint32_t>(word >> 32);
        if (bits == 0xFFFFFFFFu) {
            constantRun<R>(d + i, 32, c.bk, bkIsIdentity);
        } else if (bits == 0) {
            constantRun<R>(d + i, 32, c.text, textIsIdentity);
        } else {
            for (int g = 0; g < 4; ++g) {
                const std::uint32_t* colors = c.table[(bits >> (24 - 8 * g)) & 0xFF];
                std::uint32_t* dd = d + i + 8 * g;
                for (int j = 0; j < 8; ++j) dd[j] = combine<R>(dd[j], colors[j]);
            }
        }
    }
    for (; i < n; ++i) d[i] = combine<R>(d[i], monoBit(srow, sx + i) ? c.bk : c.text);
}

// ---- Rows into a monochrome destination --------------------------------
//
// The source row is first brought into the destination's bit alignment:
// byte k of `bits` holds the pixels of destination byte (dx >> 3) + k.

inline int alignedBytes(int dx, int n) { return ((dx + n - 1) >> 3) - (dx >> 3) + 1; }

template <Rop R>
void monoCombine(std::uint8_t* drow, int dx, int n, const std::uint8_t* bits) {
    const int first = dx >> 3, last = (dx + n - 1) >> 3;
    const auto firstMask = static_cast<std::uint8_t>(0xFFu >> (dx & 7));
    const auto lastMask = static_cast<std::uint8_t>(0xFFu << (7 - ((dx + n - 1) & 7)));
    if (first == last) {
        const std::uint8_t mask = firstMask & lastMask;
        drow[first] = static_cast<std::uint8_t>((drow[first] & ~mask) | (combine<R>(drow[first], bits[0]) & mask));
        return;
    }
    drow[first] = static_cast<std::uint8_t>((drow[first] & ~firstMask) | (combine<R>(drow[first], bits[0]) & firstMask));
    for (int k = first + 1; k < last; ++k) drow[k] = combine<R>(drow[k], bits[k - first]);
    drow[last] = static_cast<std::uint8_t>((drow[last] & ~lastMask) | (combine<R>(drow[last], bits[last - first]) & lastMask));
}

void alignMonoRow(const std::uint8_t* srow, int sx, int dx, int n, std::uint8_t* bits) {
    const int start = sx - (dx & 7);
    const int count = alignedBytes(dx, n);
    for (int k = 0; k < count; ++k) bits[k] = extract8(srow, start + 8 * k);
}

void alignKeyedRow(const std::uint32_t* s, int n, std::uint32_t key, int dx, std::uint8_t* bits) {
    std::memset(bits, 0, static_cast<std::size_t>(alignedBytes(dx, n)));
    const int shift = dx & 7;
    for (int i = 0; i < n; ++i) {
        const int p = shift + i;
        bits[p >> 3] = static_cast<std::uint8_t>(bits[p >> 3] | ((s[i] == key) << (7 - (p & 7))));
    }
}

// ---- State kept from blit to blit -----------------------------------

// Scratch rows reused from blit to blit, so drawing a frame allocates nothing
// once the rows have grown to the surfaces' width.
template <class T>
T* scratch(std::vector<T>& buffer, std::size_t n) {
    if (buffer.size() < n) buffer.resize(n);
    return buffer.data();
}
std::vector<std::uint8_t> gBits, gBits2;
std::vector<std::uint32_t> gPixels, gPixels2;
MonoColors gMonoColors;

const MonoColors& monoColors(const ColorMapping& colors) {
    MonoColors& c = gMonoColors;
    // Blits mostly repeat the same two colours; the table is kept for them.
    static bool built = false;
    if (!built || c.text != colors.textPixel || c.bk != colors.bkPixel) {
        c.text = colors.textPixel;
        c.bk = colors.bkPixel;
        for (int b = 0; b < 256; ++b)
            for (int j = 0; j < 8; ++j) c.table[b][j] = ((b >> (7 - j)) & 1) ? c.bk : c.text;
        built = true;
    }
    return c;
}

}  // namespace

void blit(Surface& dst, const Surface& src, const BlitArea& a, Rop rop, const ColorMapping& colors) {
    if (a.width <= 0 || a.height <= 0) return;
    withRop(rop, [&]<Rop R> {
        if (dst.format() == PixelFormat::Rgb32) {
            if (src.format() == PixelFormat::Rgb32) {
                for (int j = 0; j < a.height; ++j)
                    rgbFromRgb<R>(dst.rgbRow(a.dy + j) + a.dx, src.rgbRow(a.sy + j) + a.sx, a.width);
            } else {
                const MonoColors& c = monoColors(colors);
                for (int j = 0; j < a.height; ++j)
                    rgbFromMono<R>(dst.rgbRow(a.dy + j) + a.dx, src.row(a.sy + j), a.sx, a.width, c);
            }
            return;
        }
        std::uint8_t* bits = scratch(gBits, static_cast<std::size_t>(alignedBytes(a.dx, a.width)));
        for (int j = 0; j < a.height; ++j) {
            if (src.format() == PixelFormat::Mono1)
                alignMonoRow(src.row(a.sy + j), a.sx, a.dx, a.width, bits);
            else
                alignKeyedRow(src.rgbRow(a.sy + j) + a.sx, a.width, colors.keyPixel, a.dx, bits);
            monoCombine<R>(dst.row(a.dy + j), a.dx, a.width, bits);
        }
    });
}

namespace {

// One destination row of a stretch, gathered from source row y in the
// destination's format: colours for a colour destination, aligned bits for
// a monochrome one. Spans of several pixels are ANDed together.
void gatherRgb(const Surface& src, int y, const StretchArea& a, bool singleColumns, const ColorMapping& colors,
               std::uint32_t* out) {
    if (src.format() == PixelFormat::Rgb32) {
        const std::uint32_t* s = src.rgbRow(y);
        if (singleColumns) {
            for (int i = 0; i < a.width; ++i) out[i] = s[a.columnStart[i]];
        } else {
            for (int i = 0; i < a.width; ++i) {
                std::uint32_t v = 0xFFFFFFFFu;
                for (int c = a.columnStart[i]; c < a.columnEnd[i]; ++c) v &= s[c];
                out[i] = v;
            }
        }
        return;
    }
    const std::uint8_t* s = src.row(y);
    const std::uint32_t diff = colors.textPixel ^ colors.bkPixel;
    for (int i = 0; i < a.width; ++i) {
        std::uint32_t bit = 1;
        for (int c = a.columnStart[i]; c < a.columnEnd[i]; ++c) bit &= monoBit(s, c);
        out[i] = colors.textPixel ^ ((0u - bit) & diff);
    }
}

void gatherMono(const Surface& src, int y, const StretchArea& a, const ColorMapping& colors, std::uint8_t* bits) {
    std::memset(bits, 0, static_cast<std::size_t>(alignedBytes(a.dx, a.width)));
    const int shift = a.dx & 7;
    const bool mono = src.format() == PixelFormat::Mono1;
    const std::uint8_t* monoRow = mono ? src.row(y) : nullptr;
    const std::uint32_t* rgbRow = mono ? nullptr : src.rgbRow(y);
    for (int i = 0; i < a.width; ++i) {
        unsigned bit = 1;
        if (mono) {
            for (int c = a.columnStart[i]; c < a.columnEnd[i]; ++c) bit &= monoBit(monoRow, c);
        } else {
            for (int c = a.columnStart[i]; c < a.columnEnd[i]; ++c) bit &= rgbRow[c] == colors.keyPixel;
        }
        const int p = shift + i;
        bits[p >> 3] = static_cast<std::uint8_t>(bits[p >> 3] | (bit << (7 - (p & 7))));
    }
}

// The row loop of a stretch, for either destination format: T is a colour
// (a colour destination) or a byte of aligned bits (a monochrome one), and
// a gathered row is `count` of them. gather(y, out) reads source row y;
// put(j, row) combines a gathered row into destination row j.
template <class T, class Gather, class Put>
void stretchRows(const StretchArea& a, std::size_t count, std::vector<T>& rowBuffer, std::vector<T>& extraBuffer,
                 Gather gather, Put put) {
    T* row = scratch(rowBuffer, count);
    T* extra = scratch(extraBuffer, count);
    int gatheredStart = -1, gatheredEnd = -1;
    for (int j = 0; j < a.height; ++j) {
        // Neighbouring destination rows often come from the same source
        // rows; gather those once.
        if (a.rowStart[j] != gatheredStart || a.rowEnd[j] != gatheredEnd) {
            gatheredStart = a.rowStart[j];
            gatheredEnd = a.rowEnd[j];
            gather(gatheredStart, row);
            for (int y = gatheredStart + 1; y < gatheredEnd; ++y) {
                gather(y, extra);
                for (std::size_t k = 0; k < count; ++k) row[k] &= extra[k];
            }
        }
        put(j, row);
    }
}

}  // namespace

void stretch(Surface& dst, const Surface& src, const StretchArea& a, Rop rop, const ColorMapping& colors) {
    if (a.width <= 0 || a.height <= 0) return;
    bool singleColumns = true;
    for (int i = 0; i < a.width && singleColumns; ++i) singleColumns = a.columnEnd[i] == a.columnStart[i] + 1;

    withRop(rop, [&]<Rop R> {
        if (dst.format() == PixelFormat::Rgb32) {
            stretchRows(
                a, static_cast<std::size_t>(a.width), gPixels, gPixels2,
                [&](int y, std::uint32_t* out) { gatherRgb(src, y, a, singleColumns, colors, out); },
                [&](int j, const std::uint32_t* row) { rgbFromRgb<R>(dst.rgbRow(a.dy + j) + a.dx, row, a.width); });
        } else {
            stretchRows(
                a, static_cast<std::size_t>(alignedBytes(a.dx, a.width)), gBits, gBits2,
                [&](int y, std::uint8_t* out) { gatherMono(src, y, a, colors, out); },
                [&](int j, const std::uint8_t* bits) { monoCombine<R>(dst.row(a.dy + j), a.dx, a.width, bits); });
        }
    });
}

void fillRect(Surface& s, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, COLORREF color) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, s.width());
    bottom = std::min<std::int64_t>(bottom, s.height());
    if (left >= right || top >= bottom) return;
    const int x = static_cast<int>(left), n = static_cast<int>(right - left);
    if (s.format() == PixelFormat::Rgb32) {
        const std::uint32_t pixel = pixelFromColor(color);
        for (auto y = static_cast<int>(top); y < bottom; ++y) std::fill_n(s.rgbRow(y) + x, n, pixel);
        return;
    }
    const std::uint8_t fill = monoBitFromColor(color) ? 0xFF : 0x00;
    std::uint8_t* bits = scratch(gBits, static_cast<std::size_t>(alignedBytes(x, n)));
    std::memset(bits, fill, static_cast<std::size_t>(alignedBytes(x, n)));
    for (auto y = static_cast<int>(top); y < bottom; ++y) monoCombine<Rop::Copy>(s.row(y), x, n, bits);
}

}  // namespace platform::gdi
