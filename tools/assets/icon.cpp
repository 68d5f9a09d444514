// The icon: a round badge of the saver's landscape at 32 x 32. A blue sky
// with the sun and a cloud, a green hill with a tree, and the path; a dark
// rim. Outside the circle the icon is transparent.
#include "art.h"

#include <cmath>

namespace assets {

Image makeIcon(std::vector<bool>& transparent) {
    Palette p;
    std::uint8_t black = p.add({0, 0, 0});  // transparent pixels, as the mask needs
    std::uint8_t rim = p.add({22, 30, 40});
    Ramp sky = p.ramp({{48, 92, 176}, {102, 156, 220}, {190, 222, 240}}, 6);
    Ramp sun = p.ramp({{250, 196, 60}, {255, 240, 150}}, 3);
    Ramp cloud = p.ramp({{170, 186, 214}, {255, 255, 255}}, 3);
    Ramp hill = p.ramp({{24, 70, 34}, {64, 128, 48}, {140, 190, 70}}, 6);
    Ramp path = p.ramp({{120, 86, 56}, {214, 182, 128}}, 3);
    Ramp trunk = p.ramp({{60, 40, 28}, {130, 96, 64}}, 2);

    Image img(32, 32, black);
    transparent.assign(32 * 32, true);
    const double r = 15.2;
    auto inDisc = [&](int x, int y) {
        double dx = x + 0.5 - 16, dy = y + 0.5 - 16;
        return dx * dx + dy * dy <= r * r;
    };
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!inDisc(x, y)) continue;
            transparent[y * 32 + x] = false;
            img.set(x, y, sky.pick(clamp01(y / 20.0), x, y, 2));
        }
    }
    // The sun, upper right, and a cloud.
    fillEllipse(img, 22, 9, 4, 4, [&](int x, int y, double u, double v) {
        return static_cast<int>(sun.pick(0.9 - 0.5 * (u + v) * 0.5, x, y, 3));
    });
    fillEllipse(img, 15, 6.5, 3.5, 1.6,
                [&](int x, int y, double, double v) { return static_cast<int>(cloud.pick(0.8 - 0.6 * v, x, y, 3)); });
    fillEllipse(img, 17, 5.5, 2.5, 2,
                [&](int x, int y, double, double v) { return static_cast<int>(cloud.pick(0.9 - 0.6 * v, x, y, 3)); });
    // The hill, rising to the left, lit on its crest, and the path across it.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            double top = 18 + (x - 4) * (x - 4) * 0.012 + 1.5 * sine(x * 0.4);
            if (y + 0.5 < top) continue;
            double t = 0.85 - 0.08 * (y - top) - 0.01 * x;
            img.set(x, y, hill.pick(t, x, y, 2));
            double pathY = 25 + (x - 16) * 0.12;
            if (std::abs(y + 0.5 - pathY) < 1.2) img.set(x, y, path.pick(0.7 - 0.3 * (y + 0.5 - pathY), x, y, 3));
        }
    }
    // A round tree on the hill.
    fillCapsule(img, 9, 21, 9, 15, 1, 1,
                [&](int x, int y, double, double v) { return static_cast<int>(trunk.pick(0.5 - 0.5 * v, x, y, 3)); });
    fillEllipse(img, 9, 12, 5, 5, [&](int x, int y, double u, double v) {
        return static_cast<int>(hill.pick(0.6 - 0.35 * (u + v), x, y, 2));
    });
    // The rim: the outermost ring of the disc.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!inDisc(x, y)) {
                img.set(x, y, black);
                continue;
            }
            bool edge = !inDisc(x - 1, y) || !inDisc(x + 1, y) || !inDisc(x, y - 1) || !inDisc(x, y + 1);
            if (edge) img.set(x, y, rim);
        }
    }
    std::vector<Rgb> palette = p.colours();
    palette.resize(256, Rgb{0, 0, 0});
    img.palette = palette;
    return img;
}

}  // namespace assets
