// The frame scaler: per-axis tap tables and two pipelines, chosen once per
// frame.
//
// When neither axis shrinks: a horizontal pass per source row into a two-row
// cache, then a vertical combine per output row. Rows stay packed
// 0x00RRGGBB words and blends are 8-bit, whole rows at a time; a row drawn
// from one source row is a plain copy.
//
// When an axis shrinks: vertical sums per output row, then horizontal sums,
// both at full precision, rounded once, so averages are exact.
#include "backend/scaler.h"

#include <algorithm>
#include <cstring>

namespace platform::backend {

namespace {

bool usable(const void* pixels, int width, int height, std::size_t stride) {
    return pixels != nullptr && width > 0 && height > 0 && stride % sizeof(std::uint32_t) == 0 &&
           stride / sizeof(std::uint32_t) >= static_cast<std::size_t>(width);
}

const std::uint32_t* rowOf(const Picture& p, int y) {
    return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const unsigned char*>(p.pixels) +
                                                  static_cast<std::size_t>(y) * p.stride);
}

std::uint32_t* rowOf(const Canvas& c, int y) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(c.pixels) +
                                            static_cast<std::size_t>(y) * c.stride);
}

// (256 - t) / 256 of a plus t / 256 of b, per channel, rounded, for whole
// rows of n pixels: one byte lane at a time, so that the vectoriser works in
// 16-bit lanes (every sum stays below 2^16). share(i) is t for byte i.
// Equal colours give that colour back, t == 0 gives a, and the fourth
// bytes, 0 in both rows, stay 0.
template <class Share>
void blendRows(std::uint32_t* out, const std::uint32_t* a, const std::uint32_t* b, Share share, int n) {
    auto* __restrict o = reinterpret_cast<unsigned char*>(out);
    const auto* __restrict pa = reinterpret_cast<const unsigned char*>(a);
    const auto* __restrict pb = reinterpret_cast<const unsigned char*>(b);
    for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(n); ++i) {
        const std::uint16_t wb = share(i), wa = static_cast<std::uint16_t>(256 - wb);
        o[i] = static_cast<unsigned char>(static_cast<std::uint16_t>(pa[i] * wa + pb[i] * wb + 128) >> 8);
    }
}

// The two uses of blendRows: a share per byte (a row across) and one share
// for the whole row (rows down). Compiled for AVX2 as well as the baseline,
// chosen once when the program loads: twice the lanes per instruction on
// most machines of the last decade.
#define POMRIVEL_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))

POMRIVEL_WIDE_VECTORS
void blendRowsAcross(std::uint32_t* out, const std::uint32_t* a, const std::uint32_t* b, const std::uint8_t* share,
                     int n) {
    blendRows(out, a, b, [share](std::size_t i) { return std::uint16_t(share[i]); }, n);
}

POMRIVEL_WIDE_VECTORS
void blendRowsDown(std::uint32_t* out, const std::uint32_t* a, const std::uint32_t* b, std::uint16_t t, int n) {
    blendRows(out, a, b, [t](std::size_t) { return t; }, n);
}

// a[x] and b[x]: source pixels i and i + 1 for i the first tap of output x,
// read as one 64-bit load (which the vectoriser handles far better than two
// gathers). The second tap is either i or i + 1, and when it is i its weight
// is 0, so b[x] serves both. The first `paired` outputs have i + 1 in the
// row; the rest show the last source pixel.
POMRIVEL_WIDE_VECTORS
void gatherPairs(std::uint32_t* __restrict a, std::uint32_t* __restrict b, const std::uint32_t* __restrict src,
                 const int* __restrict taps, int paired, int n, int last) {
    for (int x = 0; x < paired; ++x) {
        std::uint64_t both;
        std::memcpy(&both, src + taps[2 * x], sizeof both);
        a[x] = static_cast<std::uint32_t>(both);
        b[x] = static_cast<std::uint32_t>(both >> 32);
    }
    std::fill(a + paired, a + n, src[last]);
    std::fill(b + paired, b + n, src[last]);
}

}  // namespace

Rect letterbox(int w, int h, int outW, int outH) {
    Rect r{0, 0, outW, outH};
    if (w <= 0 || h <= 0 || outW <= 0 || outH <= 0) return r;
    if (std::int64_t{outW} * h >= std::int64_t{outH} * w) {
        r.w = static_cast<int>(std::int64_t{w} * outH / h);
    } else {
        r.h = static_cast<int>(std::int64_t{h} * outW / w);
    }
    r.x = (outW - r.w) / 2;
    r.y = (outH - r.h) / 2;
    return r;
}

int integerFactor(int from, int to) {
    if (from <= 0 || to < from) return 1;
    return to / from;
}

// ---- Tap tables ----

void Scaler::Axis::build(int s, int d) {
    if (s == from && d == to) return;
    from = s;
    to = d;
    start.clear();
    source.clear();
    weight.clear();
    share.clear();
    paired = 0;
    if (s <= 0 || d <= 0) return;
    start.reserve(static_cast<std::size_t>(d) + 1);

    if (d < s) {
        // Output x covers source [x*s/d, (x+1)*s/d): in units of 1/d of a
        // source pixel, [x*s, (x+1)*s), and source pixel i covers
        // [i*d, (i+1)*d). Each weight is the rounded running total of the
        // overlaps less what was given before, so they sum to kOne exactly.
        filter = Filter::Average;
        for (std::int64_t x = 0; x < d; ++x) {
            start.push_back(static_cast<int>(source.size()));
            const std::int64_t lo = x * s, hi = lo + s;
            std::int64_t covered = 0;
            int given = 0;
            for (std::int64_t i = lo / d; i <= (hi - 1) / d; ++i) {
                covered += std::min((i + 1) * d, hi) - std::max(i * d, lo);
                const int upto = static_cast<int>((covered * kOne * 2 + s) / (2 * std::int64_t{s}));
                source.push_back(static_cast<int>(i));
                weight.push_back(static_cast<std::uint16_t>(upto - given));
                given = upto;
            }
        }
        start.push_back(static_cast<int>(source.size()));
        return;
    }

    // Sharp-bilinear: an intermediate of m = k*s pixels, pixel j showing
    // source pixel j / k, sampled linearly at u = (x + 0.5) * m / d - 0.5,
    // that is ((2x + 1) * m - d) / 2d, with t rounded to 8 bits.
    const int k = integerFactor(s, d);
    const std::int64_t m = std::int64_t{k} * s, den = 2 * std::int64_t{d};
    bool blends = false;
    for (std::int64_t x = 0; x < d; ++x) {
        const std::int64_t num = (2 * x + 1) * m - d;
        std::int64_t j = 0;
        int t = 0;
        if (num > 0) {
            j = num / den;
            t = static_cast<int>((num % den * 512 + den) / (2 * den));
        }
        if (t == 256) ++j, t = 0;
        if (j >= m - 1) j = m - 1, t = 0;
        const int a = static_cast<int>(j / k);
        int b = static_cast<int>((j + 1) / k);
        if (t == 0 || a == b) t = 0, b = a;  // both samples show one source pixel
        blends = blends || t != 0;
        start.push_back(static_cast<int>(source.size()));
        source.push_back(a);
        source.push_back(b);
        weight.push_back(static_cast<std::uint16_t>((256 - t) << (kOneBits - 8)));
        weight.push_back(static_cast<std::uint16_t>(t << (kOneBits - 8)));
        share.insert(share.end(), 4, static_cast<std::uint8_t>(t));
        paired += a + 1 < s;
    }
    start.push_back(static_cast<int>(source.size()));
    filter = d == s ? Filter::Copy : blends ? Filter::Linear : Filter::Nearest;
}

std::pair<int, int> Scaler::Axis::reach(int lo, int hi) const {
    // The first and last tap of each output never decrease from one output
    // to the next, so the outputs that read [lo, hi) are one run.
    const int outputs = to;
    auto firstTap = [&](int x) { return source[static_cast<std::size_t>(start[x])]; };
    auto lastTap = [&](int x) { return source[static_cast<std::size_t>(start[x + 1]) - 1]; };
    int a = 0, b = outputs;
    while (a < b) {  // the first output whose last tap is at lo or beyond
        const int mid = a + (b - a) / 2;
        if (lastTap(mid) < lo) a = mid + 1; else b = mid;
    }
    const int first = a;
    b = outputs;
    while (a < b) {  // the first output whose first tap is at hi or beyond
        const int mid = a + (b - a) / 2;
        if (firstTap(mid) < hi) a = mid + 1; else b = mid;
    }
    return {first, a};
}

// ---- The row cache ----

std::uint32_t* Scaler::cacheSlot(int y, bool& fresh) {
    const std::size_t slot = static_cast<std::size_t>(y) % rowInSlot_.size();
    fresh = rowInSlot_[slot] != y;
    rowInSlot_[slot] = y;
    return rows_.data() + slot * static_cast<std::size_t>(across_.to);
}

const std::uint32_t* Scaler::packedRow(const Picture& from, int y, int x0, int x1) {
    const std::uint32_t* src = rowOf(from, y);
    if (across_.filter == Filter::Copy) return src + x0;
    bool fresh = false;
    std::uint32_t* out = cacheSlot(y, fresh);
    if (!fresh) return out;
    const int n = x1 - x0;
    const int* taps = across_.source.data() + 2 * static_cast<std::size_t>(x0);
    if (across_.filter == Filter::Nearest) {
        for (int x = 0; x < n; ++x) out[x] = src[taps[2 * x]];
    } else {
        // Gathering is scalar; the blend then runs over whole rows.
        const int paired = std::clamp(across_.paired - x0, 0, n);
        gatherPairs(first_.data(), second_.data(), src, taps, paired, n, across_.from - 1);
        const std::uint8_t* share = across_.share.data() + 4 * static_cast<std::size_t>(x0);
        blendRowsAcross(out, first_.data(), second_.data(), share, n);
    }
    return out;
}

// ---- The two pipelines ----

void Scaler::scaleSharp(const Picture& from, const Canvas& to, const Rect& out) {
    const int x0 = out.x, x1 = out.x + out.w;
    const std::size_t rowBytes = static_cast<std::size_t>(out.w) * sizeof(std::uint32_t);
    for (int y = out.y; y < out.y + out.h; ++y) {
        const int a = down_.source[2 * y], b = down_.source[2 * y + 1];
        const std::uint32_t t = down_.weight[2 * y + 1] >> (Axis::kOneBits - 8);
        const std::uint32_t* rowA = packedRow(from, a, x0, x1);
        if (t == 0) {
            std::memcpy(rowOf(to, y) + x0, rowA, rowBytes);
        } else {
            blendRowsDown(rowOf(to, y) + x0, rowA, packedRow(from, b, x0, x1), static_cast<std::uint16_t>(t), out.w);
        }
    }
}

// Vertical first: a preview has fewer rows than the source, so the scalar
// horizontal sums run once per output row, and the vertical sums over whole
// source rows vectorise. (A window narrower but taller than the picture
// pays more this way; it is rare.)
void Scaler::scaleAveraging(const Picture& from, const Canvas& to, const Rect& out) {
    const int* start = across_.start.data();
    const int* taps = across_.source.data();
    const std::uint16_t* across = across_.weight.data();
    // The source columns the output columns read, and their sums.
    const int lo = taps[start[out.x]], hi = taps[start[out.x + out.w] - 1] + 1;
    std::uint32_t* red = sums_.data();
    std::uint32_t* green = red + from.width;
    std::uint32_t* blue = green + from.width;
    // Both weights sum to 2^12, so a sum is at most 255 * 2^24 and one
    // rounding shift of 24 bits gives the channel.
    constexpr int shift = 2 * Axis::kOneBits;
    constexpr std::uint32_t half = 1u << (shift - 1);
    for (int y = out.y; y < out.y + out.h; ++y) {
        bool first = true;
        for (int i = down_.start[y]; i < down_.start[y + 1]; ++i) {
            const std::uint32_t w = down_.weight[i];
            if (w == 0) continue;
            const std::uint32_t* row = rowOf(from, down_.source[i]);
            if (first) {
                for (int k = lo; k < hi; ++k) {
                    red[k] = w * (row[k] >> 16 & 0xFFu);
                    green[k] = w * (row[k] >> 8 & 0xFFu);
                    blue[k] = w * (row[k] & 0xFFu);
                }
            } else {
                for (int k = lo; k < hi; ++k) {
                    red[k] += w * (row[k] >> 16 & 0xFFu);
                    green[k] += w * (row[k] >> 8 & 0xFFu);
                    blue[k] += w * (row[k] & 0xFFu);
                }
            }
            first = false;
        }
        std::uint32_t* row = rowOf(to, y);
        for (int x = out.x; x < out.x + out.w; ++x) {
            std::uint32_t r = half, g = half, b = half;
            for (int i = start[x]; i < start[x + 1]; ++i) {
                r += across[i] * red[taps[i]];
                g += across[i] * green[taps[i]];
                b += across[i] * blue[taps[i]];
            }
            row[x] = (r >> shift) << 16 | (g >> shift) << 8 | b >> shift;
        }
    }
}

bool Scaler::prepare(const Picture& from, const Canvas& to) {
    if (!usable(from.pixels, from.width, from.height, from.stride) ||
        !usable(to.pixels, to.width, to.height, to.stride))
        return false;
    across_.build(from.width, to.width);
    down_.build(from.height, to.height);
    if (across_.filter == Filter::Average || down_.filter == Filter::Average) {
        sums_.resize(3 * static_cast<std::size_t>(from.width));
        return true;
    }
    const std::size_t width = static_cast<std::size_t>(to.width);
    rows_.resize(rowInSlot_.size() * width);
    if (across_.filter == Filter::Linear) {
        first_.resize(width);
        second_.resize(width);
    }
    return true;
}

void Scaler::scaleArea(const Picture& from, const Canvas& to, const Rect& out) {
    if (out.w <= 0 || out.h <= 0) return;
    if (across_.filter == Filter::Average || down_.filter == Filter::Average) return scaleAveraging(from, to, out);
    // The cached rows hold this area's columns only.
    rowInSlot_.fill(-1);
    scaleSharp(from, to, out);
}

void Scaler::scale(const Picture& from, const Canvas& to) {
    if (!prepare(from, to)) return;
    scaleArea(from, to, Rect{0, 0, to.width, to.height});
}

Rect Scaler::scaleRegion(const Picture& from, const Canvas& to, const Rect& changed) {
    if (!prepare(from, to)) return Rect{0, 0, 0, 0};
    const int x0 = std::clamp(changed.x, 0, from.width), x1 = std::clamp(changed.x + changed.w, x0, from.width);
    const int y0 = std::clamp(changed.y, 0, from.height), y1 = std::clamp(changed.y + changed.h, y0, from.height);
    if (x0 == x1 || y0 == y1) return Rect{0, 0, 0, 0};
    const auto [ox0, ox1] = across_.reach(x0, x1);
    const auto [oy0, oy1] = down_.reach(y0, y1);
    const Rect out{ox0, oy0, ox1 - ox0, oy1 - oy0};
    scaleArea(from, to, out);
    return out.w > 0 && out.h > 0 ? out : Rect{0, 0, 0, 0};
}

void Scaler::scaleLetterboxed(const Picture& from, const Canvas& to) {
    if (!usable(to.pixels, to.width, to.height, to.stride)) return;
    Rect r{0, 0, 0, 0};
    if (usable(from.pixels, from.width, from.height, from.stride))
        r = letterbox(from.width, from.height, to.width, to.height);
    const bool shown = r.w > 0 && r.h > 0;
    for (int y = 0; y < to.height; ++y) {
        std::uint32_t* row = rowOf(to, y);
        if (!shown || y < r.y || y >= r.y + r.h) {
            std::fill(row, row + to.width, 0u);
        } else {
            std::fill(row, row + r.x, 0u);
            std::fill(row + r.x + r.w, row + to.width, 0u);
        }
    }
    if (shown) scale(from, Canvas{rowOf(to, r.y) + r.x, r.w, r.h, to.stride});
}

}  // namespace platform::backend
