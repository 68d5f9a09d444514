// The scenes composed as the saver paints them, for the previews.
#include "art.h"

namespace assets {

namespace {

struct Surface {
    std::vector<Rgb> px = std::vector<Rgb>(static_cast<std::size_t>(kScreenWidth) * kScreenHeight);

    // Copies `img` with its top-left corner at (left, top); with `keyed`,
    // pixels of the key colour are left out, as the saver's transparent
    // blit leaves them.
    void draw(const Image& img, int left, int top, bool keyed) {
        for (int y = 0; y < img.height; ++y) {
            int sy = top + y;
            if (sy < 0 || sy >= kScreenHeight) continue;
            for (int x = 0; x < img.width; ++x) {
                int sx = left + x;
                if (sx < 0 || sx >= kScreenWidth) continue;
                Rgb c = img.colour(x, y);
                if (keyed && c == kKey) continue;
                px[static_cast<std::size_t>(sy) * kScreenWidth + sx] = c;
            }
        }
    }
};

}  // namespace

std::vector<Rgb> composeLandscape(int scroll, int walkerX, int walkerY) {
    Surface s;
    int x = -wrap(scroll, kBandWidth);
    s.draw(makeLowerBand(), 0, kBandHeight, false);
    Image upper = makeUpperBand();
    s.draw(upper, x, 0, false);
    s.draw(upper, x + kBandWidth, 0, false);
    s.draw(makeTrees(), 0, 0, true);
    s.draw(makeWalker(), walkerX, walkerY, true);
    return s.px;
}

std::vector<Rgb> composeSand(int walkerX, int walkerY) {
    Surface s;
    s.draw(makeSand(), 0, 0, false);
    s.draw(makeWalker(), walkerX, walkerY, true);
    return s.px;
}

}  // namespace assets
