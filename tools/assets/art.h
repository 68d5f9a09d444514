// The saver's pictures and sound, each made from scratch by code.
//
// Scene geometry the art is drawn for (a 640 x 480 surface, back to front):
// the lower band at (0, 240); two copies of the upper band side by side at
// y = 0, scrolled left a pixel per frame; the tree layer at (0, 0); the
// walker, 107 x 181, crossing from left to right with its top near y = 100
// to 150, so its feet land on the path around y = 280 to 330. In the sand
// scene the sand backdrop replaces everything but the walker.
#pragma once

#include "canvas.h"

#include <cstdint>
#include <vector>

namespace assets {

// Layer sizes.
constexpr int kWalkerWidth = 107, kWalkerHeight = 181;
constexpr int kBandWidth = 640, kBandHeight = 240;
constexpr int kTreesWidth = 640, kTreesHeight = 405;
constexpr int kScreenWidth = 640, kScreenHeight = 480;

Image makeWalker();     // 256 colours, kKey where the scene shows through
Image makeUpperBand();  // 64 colours; tiles horizontally
Image makeLowerBand();  // 64 colours
Image makeTrees();      // 50 colours, kKey where the landscape shows through
Image makeSand();       // 256 colours

// The 32 x 32 icon; `transparent` receives its mask (row-major, top-down).
Image makeIcon(std::vector<bool>& transparent);

// The sound: 125,679 mono samples at 44100 Hz.
std::vector<std::int16_t> makeChime();
constexpr int kChimeSamples = 125679;

// The two scenes as the saver paints them, for previews: RGB, 640 x 480.
// `scroll` is how far the upper band has moved left; (walkerX, walkerY) is
// the walker's top-left corner.
std::vector<Rgb> composeLandscape(int scroll, int walkerX, int walkerY);
std::vector<Rgb> composeSand(int walkerX, int walkerY);

}  // namespace assets
