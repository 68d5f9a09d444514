// The lower landscape band: a sunny meadow reaching back to the woodland
// at the foot of the upper band, a dirt path across it where the walker's
// feet fall (rows 35 to 100 here, y 275 to 340 on screen), and a
// foreground of tall grass with daisies, buttercups, poppies and bellflowers.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

constexpr int W = kBandWidth;
constexpr int H = kBandHeight;

struct LowerPalette {
    Ramp grass, far, dirt, stone;
    std::uint8_t white, petalShade, yellow, gold, red, darkRed, violet, darkViolet, pink;
};

LowerPalette buildPalette(Palette& p) {
    LowerPalette l;
    l.grass = p.ramp({{14, 48, 24}, {36, 90, 34}, {78, 138, 46}, {140, 186, 66}, {204, 224, 120}}, 25);
    l.far = p.ramp({{70, 124, 56}, {112, 162, 74}, {168, 200, 112}}, 9);
    l.dirt = p.ramp({{70, 48, 34}, {126, 92, 60}, {180, 144, 96}, {224, 198, 150}}, 14);
    l.stone = p.ramp({{66, 66, 74}, {118, 116, 120}, {170, 166, 158}, {216, 212, 200}}, 7);
    l.white = p.add({250, 250, 242});
    l.petalShade = p.add({198, 204, 214});
    l.yellow = p.add({250, 214, 60});
    l.gold = p.add({206, 150, 30});
    l.red = p.add({220, 52, 40});
    l.darkRed = p.add({140, 30, 32});
    l.violet = p.add({150, 118, 210});
    l.darkViolet = p.add({92, 72, 150});
    l.pink = p.add({244, 156, 184});
    return l;
}

// The path's edges, row numbers within the band.
double pathTop(double x) {
    return 38 + 3 * sine(x * 2 * kPi / 640 * 2 + 0.5) + 1.5 * sine(x * 0.05);
}
double pathBottom(double x) {
    return 98 + 5 * sine(x * 2 * kPi / 640 * 1 + 2.0) + 2 * sine(x * 0.037 + 1);
}

void paintGround(Image& img, const LowerPalette& pal) {
    fillRows(img, 0, H, [&](int x, int y, double, double) {
        double top = pathTop(x), bottom = pathBottom(x);
        if (y < top) {
            // The far meadow: light, hazy, in soft horizontal swathes, a
            // little darker right under the woodland.
            double n = fractalNoise(x, y * 4, 32, 3, 301);
            double t = 0.3 + 0.55 * n + 0.25 * smoothstep(0, 14, y) - 0.2;
            // Tall grass at the foot of the wood, in its shade.
            double fringe = 3 + 3 * fractalNoise(x, 0, 8, 2, 303);
            if (y < fringe) t -= 0.5;
            return static_cast<int>(pal.far.pick(t, x, y, 1.4));
        }
        if (y < bottom) {
            // Packed earth: lighter in the middle where it is trodden, with
            // two darker wheel ruts.
            double across = (y - top) / (bottom - top);
            double n = fractalNoise(x, y * 2.5, 16, 3, 311);
            double t = 0.55 + 0.35 * (n - 0.5) + 0.12 * (1 - std::abs(across - 0.5) * 2);
            for (double rut : {0.3, 0.72}) {
                double d = (across - rut) * (bottom - top) + 1.2 * sine(x * 0.031 + rut * 9);
                if (std::abs(d) < 1.3)
                    t -= 0.14;
                else if (d >= 1.3 && d < 2.6)
                    t += 0.07;  // the rut's lit far bank
            }
            // A little shade under the grass at the far edge.
            t -= 0.12 * (1 - smoothstep(0, 3, y - top));
            return static_cast<int>(pal.dirt.pick(t, x, y, 1.6));
        }
        // The foreground meadow: richer and darker toward the bottom.
        double depth = (y - bottom) / (H - bottom);
        double n = fractalNoise(x, y * 1.5, 24, 3, 321);
        double t = 0.62 - 0.3 * depth + 0.35 * (n - 0.5);
        return static_cast<int>(pal.grass.pick(t, x, y, 1.5));
    });
}

void paintPebbles(Image& img, const LowerPalette& pal) {
    Rng rng(331);
    for (int i = 0; i < 70; ++i) {
        double x = rng.range(0, W);
        double across = rng.unit();
        double y = lerp(pathTop(x) + 4, pathBottom(x) - 3, across);
        double r = rng.range(0.8, 2.4);
        // A shadow below and to the right, then the stone, lit from the
        // upper left.
        fillEllipse(img, x + 1, y + 1, r * 1.3, r * 0.8,
                    [&](int px, int py, double, double) { return static_cast<int>(pal.dirt.pick(0.15, px, py)); });
        fillEllipse(img, x, y, r * 1.3, r * 0.9, [&](int px, int py, double u, double v) {
            double t = 0.55 - 0.35 * (u * 0.6 + v * 0.8);
            return static_cast<int>(pal.stone.pick(t, px, py, 2));
        });
    }
}

// A blade of grass from its root upward, bending with the wind; dark at the
// root, lit toward the tip.
void blade(Image& img, const LowerPalette& pal, double x, double y, double height, double lean, double tone) {
    int steps = std::max(2, floorInt(height));
    for (int i = 0; i < steps; ++i) {
        double f = static_cast<double>(i) / steps;
        double px = x + lean * f * f * height;
        double py = y - i;
        double t = tone - 0.25 + 0.45 * f;
        img.set(floorInt(px), floorInt(py), pal.grass.pick(t, floorInt(px), floorInt(py), 2));
    }
}

void paintGrass(Image& img, const LowerPalette& pal) {
    Rng rng(341);
    // Tufts along the path's far edge, short with distance.
    for (int i = 0; i < 500; ++i) {
        double x = rng.range(0, W);
        double y = pathTop(x) + rng.range(0, 2);
        double height = rng.range(2, 5);
        double lean = rng.range(-0.4, 0.6);
        blade(img, pal, x, y, height, lean, rng.range(0.4, 0.7));
    }
    // Grass leaning over the path's near edge.
    for (int i = 0; i < 900; ++i) {
        double x = rng.range(0, W);
        double y = pathBottom(x) + rng.range(1, 5);
        double height = rng.range(3, 8);
        double lean = rng.range(-0.8, 0.8);
        blade(img, pal, x, y, height, lean, rng.range(0.45, 0.75));
    }
    // The foreground, in rows from back to front so nearer blades overlap
    // farther ones; taller and sparser nearer the viewer.
    for (int y = 88; y < H + 12; y += 2) {
        double depth = clamp01((y - 95.0) / (H - 95.0));
        int count = 90 - static_cast<int>(30 * depth);
        for (int i = 0; i < count; ++i) {
            double x = rng.range(0, W);
            double base = y + rng.range(0, 2);
            if (base < pathBottom(x) + 1) continue;
            double height = lerp(3, 16, depth) * rng.range(0.6, 1.3);
            double tone = 0.55 - 0.2 * depth + rng.range(-0.15, 0.2);
            blade(img, pal, x, base, height, rng.range(-0.5, 0.7), tone);
        }
    }
}

void daisy(Image& img, const LowerPalette& pal, int x, int y, int size) {
    if (size <= 1) {
        img.set(x, y, pal.white);
        return;
    }
    for (int dy = -size; dy <= size; ++dy) {
        for (int dx = -size; dx <= size; ++dx) {
            int d2 = dx * dx + dy * dy;
            if (d2 > size * size) continue;
            bool lower = dy > 0;
            img.set(x + dx, y + dy, lower ? pal.petalShade : pal.white);
        }
    }
    img.set(x, y, pal.yellow);
    img.set(x + 1, y, pal.gold);
    img.set(x, y + 1, pal.gold);
    img.set(x + 1, y + 1, pal.gold);
}

void cupFlower(Image& img, int x, int y, int size, std::uint8_t light, std::uint8_t dark) {
    // A cup seen from the side: lit on the left, dark on the right and
    // underneath.
    for (int dy = 0; dy <= size; ++dy) {
        int half = size - dy / 2;
        for (int dx = -half; dx <= half; ++dx) {
            bool shade = dx > half / 2 || dy == size;
            img.set(x + dx, y + dy - size, shade ? dark : light);
        }
    }
}

void paintFlowers(Image& img, const LowerPalette& pal) {
    Rng rng(351);
    // Specks of colour in the far meadow.
    for (int i = 0; i < 160; ++i) {
        int x = rng.below(W);
        int y = rng.below(30) + 2;
        if (y >= pathTop(x) - 1) continue;
        const std::uint8_t colours[] = {pal.white, pal.yellow, pal.pink, pal.white};
        img.set(x, y, colours[rng.below(4)]);
    }
    // Flowers in the foreground, bigger nearer the viewer, in loose
    // clusters of one kind.
    for (int cluster = 0; cluster < 44; ++cluster) {
        double cx = rng.range(0, W);
        double cy = rng.range(110, H - 4);
        int kind = rng.below(4);
        int n = 2 + rng.below(5);
        for (int i = 0; i < n; ++i) {
            int x = floorInt(cx + rng.range(-18, 18));
            int y = floorInt(cy + rng.range(-6, 6));
            if (y < pathBottom(x) + 6 || y >= H) continue;
            double depth = clamp01((y - 100.0) / (H - 100.0));
            int size = 1 + static_cast<int>(depth * 2.6);
            // A stem under the head.
            for (int s = 1; s <= size * 2 + 1; ++s) img.set(x, y + s, pal.grass.at(6));
            switch (kind) {
                case 0: daisy(img, pal, x, y, size); break;
                case 1: cupFlower(img, x, y, size, pal.yellow, pal.gold); break;
                case 2: cupFlower(img, x, y, size + 1, pal.red, pal.darkRed); break;
                default: cupFlower(img, x, y, size, pal.violet, pal.darkViolet); break;
            }
        }
    }
}

}  // namespace

Image makeLowerBand() {
    Image img(W, H);
    Palette palette;
    LowerPalette pal = buildPalette(palette);
    paintGround(img, pal);
    paintPebbles(img, pal);
    paintGrass(img, pal);
    paintFlowers(img, pal);
    img.palette = palette.colours();
    return img;
}

}  // namespace assets
