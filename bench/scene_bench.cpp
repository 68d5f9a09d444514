// What the sprite painter costs for the saver's scene: paintSprite drawing
// six sprites of the scene's sizes into a 640 x 480 back buffer, beside a
// memcpy of one 640 x 480 frame in the same run (bench/compare.sh prints
// the ratio against its target of 4.5).
//
// The sprites are built by the sprite engine's own constructors from the
// saver's bitmaps, and sit as in the landscape scene: the upper band twice
// side by side (640 x 240 each, scrolling), the lower band (640 x 240), the
// tree layer (640 x 405, transparent), the walker (107 x 181, transparent,
// a one-frame animation) and the inactive sand backdrop (640 x 480). Each
// paint moves the bands one pixel left and the walker one pixel right, as
// the scene does, so the masks are read at every bit offset in turn.
#include <windows.h>

#include "xsavermain.h"
#include "xsprite.h"

#include <benchmark/benchmark.h>

#include "memcpy_baseline.h"
#include "saver_window.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr std::int64_t kFrameBytes = std::int64_t{kWidth} * kHeight * 4;

SPRITE walker, trees, band, band2, lowerBand, sand;

bool setUpScene() {
    static bool done = false, ok = false;
    if (done) return ok;
    done = true;
    openSaverWindow();

    transparentColor = RGB(254, 2, 254);  // the key the saver's bitmaps are drawn with
    walker = createAnimatedSprite("666", 1, 0, 1);
    trees = createSprite("670", 1, 0);
    band = createSprite("668", 0, 0);
    band2 = createSprite("668", 0, 0);
    lowerBand = createSprite("669", 0, 0);
    sand = createSprite("671", 0, 0);
    setPosition(&walker, 0, 150);
    setPosition(&band2, kWidth, 0);
    setPosition(&lowerBand, 0, 240);
    sand.isActive = 0;
    maxSpriteStack = 0;
    for (SPRITE* s : {&walker, &trees, &band, &band2, &lowerBand, &sand}) addSprite(s);

    ok = h && temp && walker.width == 107 && walker.height == 181 && trees.width == 640 &&
         trees.height == 405 && band.height == 240 && band2.height == 240 && lowerBand.height == 240 &&
         sand.height == 480 && walker.imageMask && trees.imageMask;
    return ok;
}

// The scene's motion between paints, without the course arithmetic.
void step() {
    for (SPRITE* s : {&band, &band2}) {
        moveSprite(s, -1, 0);
        if (s->pos.x == -kWidth) setPosition(s, kWidth, 0);
    }
    moveSprite(&walker, 1, 0);
    if (walker.pos.x > kWidth) setPosition(&walker, -walker.width, 150);
}

void BM_Scene(benchmark::State& state) {
    if (!setUpScene()) return state.SkipWithError("could not build the scene from the saver's bitmaps");
    for (int i = 0; i < 3; ++i) paintSprite(h, temp);
    for (auto _ : state) {
        step();
        paintSprite(h, temp);
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_Scene)->Name("BM_Scene/640x480");

BENCHMARK_CAPTURE(BM_Memcpy, 640x480, 640, 480);

}  // namespace
