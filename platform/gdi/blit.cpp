// BitBlt and StretchBlt: argument checks, rectangle normalisation and
// clipping. The pixel work is in raster.cpp.
#include "gdi/objects.h"
#include "gdi/raster.h"
#include "kernel/no_memory.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

using namespace platform::gdi;
using platform::kernel::failOnNoMemory;

namespace {

// A run of pixels along one axis, from an origin and a signed extent. As in
// Windows, a negative extent covers the pixels from origin + extent + 1 up to
// and including the origin.
struct Run {
    std::int64_t start;
    std::int64_t length;
};

Run normalise(int origin, int extent) {
    if (extent < 0) return {std::int64_t{origin} + extent + 1, -std::int64_t{extent}};
    return {origin, extent};
}

ColorMapping colorsFor(const DeviceContext& dst, const DeviceContext& src) {
    return {pixelFromColor(dst.textColor), pixelFromColor(dst.bkColor), pixelFromColor(src.bkColor)};
}

struct Operands {
    DeviceContext* dst;
    DeviceContext* src;
    Rop rop;
};

std::optional<Operands> operands(HDC hdc, HDC hdcSrc, DWORD code) {
    Operands o{findDC(hdc), findDC(hdcSrc), Rop::Copy};
    if (!o.dst || !o.src || !ropFromCode(code, o.rop)) return std::nullopt;
    return o;
}

// A copy of part of a surface, for a blit whose source and destination
// overlap in the same bitmap: the source is read before any of it changes.
Surface copyOf(const Surface& s, int x, int y, int width, int height) {
    Surface copy(width, height, s.format());
    blit(copy, s, {0, 0, x, y, width, height}, Rop::Copy, {});
    return copy;
}

bool overlaps(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength) {
    return a < b + bLength && b < a + aLength;
}

// Same-size copy. Returns false when nothing is left after clipping.
bool clippedBlit(DeviceContext& dstDc, DeviceContext& srcDc, Run dx, Run dy, std::int64_t sx, std::int64_t sy, Rop rop) {
    Surface& dst = dstDc.bitmap->surface;
    const Surface& src = srcDc.bitmap->surface;
    // Clip the destination to its bitmap and to where the source bitmap is.
    const std::int64_t left = std::max({dx.start, std::int64_t{0}, dx.start - sx});
    const std::int64_t top = std::max({dy.start, std::int64_t{0}, dy.start - sy});
    const std::int64_t right =
        std::min({dx.start + dx.length, std::int64_t{dst.width()}, dx.start - sx + src.width()});
    const std::int64_t bottom =
        std::min({dy.start + dy.length, std::int64_t{dst.height()}, dy.start - sy + src.height()});
    if (left >= right || top >= bottom) return false;

    BlitArea area{static_cast<int>(left),
                  static_cast<int>(top),
                  static_cast<int>(left - dx.start + sx),
                  static_cast<int>(top - dy.start + sy),
                  static_cast<int>(right - left),
                  static_cast<int>(bottom - top)};
    const ColorMapping colors = colorsFor(dstDc, srcDc);
    if (&dst == &src && overlaps(area.dx, area.width, area.sx, area.width) &&
        overlaps(area.dy, area.height, area.sy, area.height)) {
        const Surface copy = copyOf(src, area.sx, area.sy, area.width, area.height);
        area.sx = area.sy = 0;
        blit(dst, copy, area, rop, colors);
    } else {
        blit(dst, src, area, rop, colors);
    }
    return true;
}

// Which source pixels make destination pixel k of a scaled run, as offsets
// [first, last) into the source run, with Windows' rounding. Enlarging, a
// destination pixel takes the source pixel under its centre, (k + 1/2) * from
// / to, an exact boundary going to the pixel before it. Shrinking, source
// pixel s goes to the destination pixel under its centre, (s + 1/2) * to /
// from, again an exact boundary to the pixel before; the source pixels that
// meet in one destination pixel form a run. At equal sizes both are the
// identity.
std::pair<std::int64_t, std::int64_t> sourceSpan(std::int64_t k, std::int64_t to, std::int64_t from) {
    if (to >= from) {
        const std::int64_t s = ((2 * k + 1) * from - 1) / (2 * to);
        return {s, s + 1};
    }
    // The first source pixel whose centre lies past destination pixel d's
    // left edge: the least s with (2s + 1) * to > 2d * from.
    const auto firstOf = [&](std::int64_t d) { return (2 * d * from + to) / (2 * to); };
    return {firstOf(k), firstOf(k + 1)};
}

// The source span of each destination pixel along one axis, for the
// destination pixels inside [0, limit) whose span meets the source's
// [0, sourceLimit). A mirrored source takes its pixels from the far end of
// its run; a mirrored destination lays the scaled run down from its far end.
// Returns the first destination coordinate, or nothing when no pixel remains.
std::optional<std::int64_t> mapAxis(Run to, Run from, bool sourceMirrored, bool destinationMirrored,
                                    std::int64_t limit, std::int64_t sourceLimit, std::vector<int>& starts,
                                    std::vector<int>& ends) {
    starts.clear();
    ends.clear();
    const std::int64_t lo = std::max<std::int64_t>(to.start, 0);
    const std::int64_t hi = std::min<std::int64_t>(to.start + to.length, limit);
    std::optional<std::int64_t> first;
    for (std::int64_t d = lo; d < hi; ++d) {
        const std::int64_t i = d - to.start;
        const std::int64_t k = destinationMirrored ? to.length - 1 - i : i;
        auto [a, b] = sourceSpan(k, to.length, from.length);
        if (sourceMirrored) std::tie(a, b) = std::pair{from.length - b, from.length - a};
        a = std::max<std::int64_t>(from.start + a, 0);
        b = std::min<std::int64_t>(from.start + b, sourceLimit);
        if (a >= b) {
            // The mapping is monotonic, so once pixels were taken the rest
            // of the run lies outside the source as well.
            if (first) break;
            continue;
        }
        if (!first) first = d;
        starts.push_back(static_cast<int>(a));
        ends.push_back(static_cast<int>(b));
    }
    return first;
}

std::vector<int> gColumnStart, gColumnEnd, gRowStart, gRowEnd;

// StretchBlt itself; the exported function adds the memory check.
BOOL stretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc, int wSrc,
                int hSrc, DWORD rop) {
    const auto o = operands(hdcDest, hdcSrc, rop);
    if (!o) return FALSE;
    // Shrinking a run that is not mirrored to a single pixel, Windows leaves
    // the run's last source pixel out.
    if (wDest == 1 && wSrc > 1) --wSrc;
    if (hDest == 1 && hSrc > 1) --hSrc;
    const Run dx = normalise(xDest, wDest), dy = normalise(yDest, hDest);
    const Run sx = normalise(xSrc, wSrc), sy = normalise(ySrc, hSrc);
    if (dx.length == 0 || dy.length == 0 || sx.length == 0 || sy.length == 0) return TRUE;
    // At equal sizes, mirroring both the source and the destination of an
    // axis leaves it as it is.
    if (dx.length == sx.length && dy.length == sy.length && (wDest < 0) == (wSrc < 0) && (hDest < 0) == (hSrc < 0)) {
        if (clippedBlit(*o->dst, *o->src, dx, dy, sx.start, sy.start, o->rop)) o->dst->drawn();
        return TRUE;
    }

    Surface& dst = o->dst->bitmap->surface;
    const Surface& src = o->src->bitmap->surface;
    const auto left = mapAxis(dx, sx, wSrc < 0, wDest < 0, dst.width(), src.width(), gColumnStart, gColumnEnd);
    const auto top = mapAxis(dy, sy, hSrc < 0, hDest < 0, dst.height(), src.height(), gRowStart, gRowEnd);
    if (!left || !top) return TRUE;

    StretchArea area{static_cast<int>(*left),      static_cast<int>(*top),
                     static_cast<int>(gColumnStart.size()), static_cast<int>(gRowStart.size()),
                     gColumnStart.data(),          gColumnEnd.data(),
                     gRowStart.data(),             gRowEnd.data()};
    const ColorMapping colors = colorsFor(*o->dst, *o->src);
    if (&dst == &src) {
        // Read the whole source before writing any of it.
        const Surface copy = copyOf(src, 0, 0, src.width(), src.height());
        stretch(dst, copy, area, o->rop, colors);
    } else {
        stretch(dst, src, area, o->rop, colors);
    }
    o->dst->drawn();
    return TRUE;
}

}  // namespace

extern "C" {

// A copy within one bitmap first copies its source, and the row buffers
// grow with the widest blit so far: either may find no memory.
BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    const auto o = operands(hdc, hdcSrc, rop);
    if (!o) return FALSE;
    const Run dx = normalise(x, cx), dy = normalise(y, cy);
    const Run sx = normalise(x1, cx), sy = normalise(y1, cy);
    return failOnNoMemory(FALSE, [&] {
        if (clippedBlit(*o->dst, *o->src, dx, dy, sx.start, sy.start, o->rop)) o->dst->drawn();
        return TRUE;
    });
}

BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                       int wSrc, int hSrc, DWORD rop) {
    return failOnNoMemory(
        FALSE, [&] { return stretchBlt(hdcDest, xDest, yDest, wDest, hDest, hdcSrc, xSrc, ySrc, wSrc, hSrc, rop); });
}

}  // extern "C"
