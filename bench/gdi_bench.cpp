// What the saver's drawing costs on our GDI, beside a memcpy of the same
// bytes measured in the same run.
//
// Every figure goes through the public Win32 calls only (memory contexts,
// CreateBitmap, BitBlt, StretchBlt, Rectangle), so it is what the saver
// pays per call, handle lookups and clipping included. Each benchmark sets
// the bytes it stands for, so its throughput reads against the memcpy of
// the same size; bench/compare.sh turns the medians into ratios.
#include <windows.h>

#include <benchmark/benchmark.h>

#include "memcpy_baseline.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The key colour a sprite's transparent pixels carry before the mask is cut.
constexpr COLORREF kKey = RGB(255, 0, 255);

// A colour pixel as the layer stores it: 0x00RRGGBB.
std::uint32_t pixelOf(COLORREF c) {
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (static_cast<std::uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// A busy, non-repeating picture: every pixel differs from its neighbours and
// none equals the key.
std::vector<std::uint32_t> patternPixels(int w, int h) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = static_cast<std::uint32_t>(x) * 2654435761u ^ static_cast<std::uint32_t>(y) * 40503u;
            v = (v ^ (v >> 13)) & 0x00FFFFFFu;
            if (v == pixelOf(kKey)) v ^= 0x000100u;
            px[static_cast<std::size_t>(y) * w + x] = v;
        }
    }
    return px;
}

// The opaque part of a sprite: a ring-shaped figure with thin spokes, so
// rows hold long runs of both kinds with edges at every bit position, as a
// drawn sprite's do.
bool opaqueAt(int x, int y, int w, int h) {
    const double dx = (x - w / 2.0) / (w / 2.0);
    const double dy = (y - h / 2.0) / (h / 2.0);
    const double r2 = dx * dx + dy * dy;
    if (r2 > 1.0) return false;
    if (r2 < 0.16) return (x + 2 * y) % 37 < 3;  // spokes across the hole
    return true;
}

// A memory context with a bitmap of its own selected, as the saver keeps
// its back buffer and sprite images.
class Canvas {
public:
    Canvas(int w, int h, UINT bitCount, const void* bits = nullptr)
        : dc_(CreateCompatibleDC(nullptr)), bitmap_(CreateBitmap(w, h, 1, bitCount, bits)) {
        if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        if (old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    bool ok() const { return old_ != nullptr && old_ != HGDI_ERROR; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_ = nullptr;
};

std::int64_t colourBytes(int w, int h) { return std::int64_t{w} * h * 4; }

// ---- memcpy baselines ---------------------------------------------------

BENCHMARK_CAPTURE(BM_Memcpy, 640x480, 640, 480);
BENCHMARK_CAPTURE(BM_Memcpy, 640x405, 640, 405);
BENCHMARK_CAPTURE(BM_Memcpy, 1920x1080, 1920, 1080);
BENCHMARK_CAPTURE(BM_Memcpy, 107x181, 107, 181);

// ---- BitBlt SRCCOPY, colour to colour -----------------------------------

void BM_BitBltCopy(benchmark::State& state) {
    constexpr int w = 640, h = 480;
    const std::vector<std::uint32_t> pixels = patternPixels(w, h);
    Canvas src(w, h, 32, pixels.data());
    Canvas dst(w, h, 32);
    if (!src.ok() || !dst.ok()) return state.SkipWithError("could not make the bitmaps");
    if (!BitBlt(dst.dc(), 0, 0, w, h, src.dc(), 0, 0, SRCCOPY)) return state.SkipWithError("BitBlt failed");
    for (auto _ : state) {
        benchmark::DoNotOptimize(BitBlt(dst.dc(), 0, 0, w, h, src.dc(), 0, 0, SRCCOPY));
    }
    state.SetBytesProcessed(state.iterations() * colourBytes(w, h));
}
BENCHMARK(BM_BitBltCopy)->Name("BM_BitBltCopy/640x480");

// ---- The masked pair: mask SRCAND, then image SRCPAINT -------------------

// One sprite as the saver holds it: the image with black where it is
// transparent, and the monochrome mask cut from the keyed image (1 where
// transparent).
struct Sprite {
    static constexpr int w = 640, h = 405;
    std::vector<std::uint32_t> keyedPixels, paintPixels;
    std::int64_t transparentCount = 0;

    Sprite() : keyedPixels(patternPixels(w, h)), paintPixels(keyedPixels) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (opaqueAt(x, y, w, h)) continue;
                const std::size_t i = static_cast<std::size_t>(y) * w + x;
                keyedPixels[i] = pixelOf(kKey);
                paintPixels[i] = 0;
                ++transparentCount;
            }
        }
    }
};

// Cuts the mask the way the saver does: a colour-to-monochrome blit with
// the source context's background colour set to the key. Returns false
// when the mask does not come out with one 1 bit per keyed pixel, since
// the figures would then be measured on the wrong data.
bool cutMask(const Sprite& sprite, const Canvas& keyed, const Canvas& mask) {
    SetBkColor(keyed.dc(), kKey);
    if (!BitBlt(mask.dc(), 0, 0, Sprite::w, Sprite::h, keyed.dc(), 0, 0, SRCCOPY)) return false;

    const LONG rowBytes = ((Sprite::w + 15) / 16) * 2;  // Win32 pads mono rows to 16 bits
    std::vector<unsigned char> bits(static_cast<std::size_t>(rowBytes) * Sprite::h);
    if (GetBitmapBits(mask.bitmap(), static_cast<LONG>(bits.size()), bits.data()) != static_cast<LONG>(bits.size()))
        return false;
    std::int64_t ones = 0;
    for (int y = 0; y < Sprite::h; ++y)
        for (int x = 0; x < Sprite::w; ++x)
            ones += (bits[static_cast<std::size_t>(y) * rowBytes + x / 8] >> (7 - x % 8)) & 1;
    return ones == sprite.transparentCount;
}

// Which of the sprite painter's two blits a figure times.
enum class Blits { Both, MaskOnly, ImageOnly };

// The sprite painter's two blits at destination (x, y) of a 640x480 back
// buffer. A sprite at x = 3 writes unaligned destination rows; at x = -3 it
// is clipped on the left, so the mask is read from bit 3 of its first byte.
// Each blit alone is timed too, to tell which half a slow pair spends on.
void BM_MaskedPair(benchmark::State& state, int x, int y, Blits blits) {
    constexpr int screenW = 640, screenH = 480;
    const Sprite sprite;
    const std::vector<std::uint32_t> background = patternPixels(screenW, screenH);
    Canvas keyed(Sprite::w, Sprite::h, 32, sprite.keyedPixels.data());
    Canvas image(Sprite::w, Sprite::h, 32, sprite.paintPixels.data());
    Canvas mask(Sprite::w, Sprite::h, 1);
    Canvas screen(screenW, screenH, 32, background.data());
    if (!keyed.ok() || !image.ok() || !mask.ok() || !screen.ok())
        return state.SkipWithError("could not make the bitmaps");
    if (!cutMask(sprite, keyed, mask)) return state.SkipWithError("the mask did not come out of the keyed blit");

    const bool andMask = blits != Blits::ImageOnly, paintImage = blits != Blits::MaskOnly;
    for (auto _ : state) {
        if (andMask) benchmark::DoNotOptimize(BitBlt(screen.dc(), x, y, Sprite::w, Sprite::h, mask.dc(), 0, 0, SRCAND));
        if (paintImage)
            benchmark::DoNotOptimize(BitBlt(screen.dc(), x, y, Sprite::w, Sprite::h, image.dc(), 0, 0, SRCPAINT));
    }
    // The colour bytes of the visible part: 637 of the 640 columns when the
    // sprite is 3 pixels off either edge.
    const int visibleW = (x < 0 ? Sprite::w + x : (x + Sprite::w > screenW ? screenW - x : Sprite::w));
    state.SetBytesProcessed(state.iterations() * colourBytes(visibleW, Sprite::h));
}
BENCHMARK_CAPTURE(BM_MaskedPair, 640x405_at_x0, 0, 37, Blits::Both);
BENCHMARK_CAPTURE(BM_MaskedPair, 640x405_at_x3, 3, 37, Blits::Both);
BENCHMARK_CAPTURE(BM_MaskedPair, 640x405_at_x-3, -3, 37, Blits::Both);
BENCHMARK_CAPTURE(BM_MaskedPair, mask_SRCAND_only, 0, 37, Blits::MaskOnly);
BENCHMARK_CAPTURE(BM_MaskedPair, image_SRCPAINT_only, 0, 37, Blits::ImageOnly);

// ---- The per-frame clear ------------------------------------------------

void BM_RectangleClear(benchmark::State& state) {
    constexpr int w = 640, h = 480;
    const std::vector<std::uint32_t> pixels = patternPixels(w, h);
    Canvas screen(w, h, 32, pixels.data());
    if (!screen.ok()) return state.SkipWithError("could not make the bitmap");
    SelectObject(screen.dc(), GetStockObject(BLACK_BRUSH));
    if (!Rectangle(screen.dc(), 0, 0, w, h)) return state.SkipWithError("Rectangle failed");
    for (auto _ : state) {
        benchmark::DoNotOptimize(Rectangle(screen.dc(), 0, 0, w, h));
    }
    state.SetBytesProcessed(state.iterations() * colourBytes(w, h));
}
BENCHMARK(BM_RectangleClear)->Name("BM_RectangleClear/640x480");

// ---- StretchBlt ---------------------------------------------------------

// The 640x480 frame enlarged to a 1920x1080 screen.
void BM_StretchUp(benchmark::State& state) {
    constexpr int sw = 640, sh = 480, dw = 1920, dh = 1080;
    const std::vector<std::uint32_t> pixels = patternPixels(sw, sh);
    Canvas src(sw, sh, 32, pixels.data());
    Canvas dst(dw, dh, 32);
    if (!src.ok() || !dst.ok()) return state.SkipWithError("could not make the bitmaps");
    if (!StretchBlt(dst.dc(), 0, 0, dw, dh, src.dc(), 0, 0, sw, sh, SRCCOPY))
        return state.SkipWithError("StretchBlt failed");
    for (auto _ : state) {
        benchmark::DoNotOptimize(StretchBlt(dst.dc(), 0, 0, dw, dh, src.dc(), 0, 0, sw, sh, SRCCOPY));
    }
    state.SetBytesProcessed(state.iterations() * colourBytes(dw, dh));
}
BENCHMARK(BM_StretchUp)->Name("BM_StretchBlt/640x480_to_1920x1080");

// A sprite drawn facing the other way: same size, source read right to left.
void BM_StretchMirror(benchmark::State& state) {
    constexpr int w = 107, h = 181, screenW = 640, screenH = 480;
    const std::vector<std::uint32_t> pixels = patternPixels(w, h);
    const std::vector<std::uint32_t> background = patternPixels(screenW, screenH);
    Canvas src(w, h, 32, pixels.data());
    Canvas screen(screenW, screenH, 32, background.data());
    if (!src.ok() || !screen.ok()) return state.SkipWithError("could not make the bitmaps");
    if (!StretchBlt(screen.dc(), 211, 150, w, h, src.dc(), w - 1, 0, -w, h, SRCCOPY))
        return state.SkipWithError("StretchBlt failed");
    for (auto _ : state) {
        benchmark::DoNotOptimize(StretchBlt(screen.dc(), 211, 150, w, h, src.dc(), w - 1, 0, -w, h, SRCCOPY));
    }
    state.SetBytesProcessed(state.iterations() * colourBytes(w, h));
}
BENCHMARK(BM_StretchMirror)->Name("BM_StretchBlt/107x181_mirrored");

}  // namespace
