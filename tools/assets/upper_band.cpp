// The upper landscape band: a summer sky with cumulus clouds over distant
// mountains, blue-green hills, a patchwork of fields with a few farmhouses,
// and a line of woodland along the bottom edge, where the meadow of the
// lower band begins.
//
// The band scrolls and is drawn twice side by side, so everything in it is
// periodic in x with period 640: ridges are sums of whole sine waves over
// the width, noise wraps, and shapes drawn across the right edge come back
// in at the left.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

constexpr int W = kBandWidth;
constexpr int H = kBandHeight;

struct UpperPalette {
    Ramp sky, cloud, far, mid, near, wood, house;
};

UpperPalette buildPalette(Palette& p) {
    UpperPalette u;
    u.sky = p.ramp({{56, 96, 176}, {84, 134, 206}, {134, 180, 228}, {188, 216, 238}, {224, 236, 242}}, 16);
    u.cloud = p.ramp({{124, 138, 176}, {168, 180, 208}, {212, 220, 236}, {246, 248, 252}, {255, 253, 242}}, 10);
    u.far = p.ramp({{112, 128, 178}, {146, 164, 204}, {178, 196, 222}}, 6);
    u.mid = p.ramp({{64, 110, 124}, {98, 146, 148}, {140, 180, 170}}, 8);
    u.near = p.ramp({{36, 86, 46}, {72, 126, 58}, {116, 166, 70}, {172, 204, 98}}, 12);
    u.wood = p.ramp({{16, 40, 28}, {32, 70, 40}, {58, 102, 48}, {94, 140, 62}}, 8);
    u.house = p.ramp({{148, 56, 44}, {190, 88, 60}, {170, 160, 150}, {226, 214, 190}}, 4);
    return u;
}

// A periodic ridge: sum of sines with whole periods over the width, plus
// wrapping noise for roughness.
struct Ridge {
    double base;
    struct Wave {
        int periods;
        double amplitude, phase;
    };
    std::vector<Wave> waves;
    double roughness;
    int roughCell;
    std::uint32_t seed;

    double at(double x) const {
        double y = base;
        for (const Wave& w : waves) y -= w.amplitude * sine(2 * kPi * w.periods * x / W + w.phase);
        return y - roughness * (fractalNoise(x, 0, roughCell, 3, seed, W) - 0.5);
    }
};

void paintSky(Image& img, const UpperPalette& pal) {
    fillRows(img, 0, H, [&](int x, int y, double, double) {
        // Deep blue overhead, paling toward the horizon.
        double t = smoothstep(-10, 200, y);
        t = t * 0.85 + 0.15 * t * t;
        return pal.sky.pick(t, x, y, 1.6);
    });
}

// A cumulus cloud: a heap of round puffs on a flat base, lit from the upper
// left, shading to blue-grey underneath.
struct Puff {
    double x, y, r;
};

void paintCloud(Image& img, const UpperPalette& pal, double cx, double baseY, double width, double height,
                std::uint32_t seed) {
    Rng rng(seed);
    std::vector<Puff> puffs;
    int count = std::max(4, static_cast<int>(width / 16));
    for (int i = 0; i < count; ++i) {
        double t = (i + 0.5) / count;
        // Taller in the middle, lower at the ends.
        double hump = 1.0 - (2 * t - 1) * (2 * t - 1);
        double r = height * (0.35 + 0.45 * hump) * rng.range(0.75, 1.1);
        double x = cx + (t - 0.5) * width + rng.range(-4, 4);
        double y = baseY - r * 0.55 - hump * height * 0.35 + rng.range(-3, 3);
        puffs.push_back({x, y, r});
    }
    // A few small puffs on top for a cauliflower crown.
    for (int i = 0; i < count / 2; ++i) {
        double t = rng.range(0.25, 0.75);
        double r = height * rng.range(0.25, 0.4);
        puffs.push_back({cx + (t - 0.5) * width, baseY - height * 0.75 - r * 0.2, r});
    }
    // Each puff is a ball lit from the upper left; where puffs overlap, their
    // surfaces blend, weighted toward the one the pixel is deepest inside,
    // so the bumps stay crisp without hard seams between them.
    const double lx = -0.5, ly = -0.65, lz = 0.57;
    int x0 = floorInt(cx - width / 2 - height), x1 = floorInt(cx + width / 2 + height);
    int y0 = std::max(0, floorInt(baseY - height * 2)), y1 = std::min(H - 1, floorInt(baseY) + 1);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            double px = x + 0.5, py = y + 0.5;
            if (py > baseY) continue;
            double best = 0, weight = 0, light = 0;
            for (const Puff& p : puffs) {
                double dx = (px - p.x) / p.r, dy = (py - p.y) / p.r;
                double d = 1.0 - (dx * dx + dy * dy);
                if (d <= 0) continue;
                best = std::max(best, d);
                double w = d * d * d * d;
                double nz = std::sqrt(d);
                light += w * (dx * lx + dy * ly + nz * lz);
                weight += w;
            }
            double edge = 0.10 * (fractalNoise(wrap(x, W), y, 8, 2, seed, W) - 0.5);
            if (best <= 0 || best + edge <= 0.03) continue;
            light /= weight;
            double under = smoothstep(baseY - height * 0.6, baseY, py);
            double t = 0.2 + 0.85 * light - 0.35 * under;
            t += 0.08 * (fractalNoise(wrap(x, W), y, 6, 2, seed + 3, W) - 0.5);
            img.set(x, y, pal.cloud.pick(t, wrap(x, W), y, 1.5));
        }
    }
}

// A wisp of high cirrus: noise stretched along the wind, faded at the ends
// and thinned to a dither where it is faint.
void paintWisp(Image& img, const UpperPalette& pal, double cx, double cy, double length, std::uint32_t seed) {
    for (int y = floorInt(cy - 6); y <= floorInt(cy + 6); ++y) {
        for (int x = floorInt(cx - length / 2); x <= floorInt(cx + length / 2); ++x) {
            double u = (x + 0.5 - cx) / (length / 2);
            double v = (y + 0.5 - cy) / 5.0;
            // The wisp leans: lower at its left end.
            v += 0.35 * u;
            double envelope = clamp01(1 - u * u) * clamp01(1 - v * v);
            double n = fractalNoise(wrap(x, W) * 0.25, y * 2.0, 4, 3, seed, W / 4);
            double density = envelope * (0.4 + 0.9 * n);
            if (density < 0.32) continue;
            if (density < 0.45 && bayer(x, y) > (density - 0.32) / 0.13) continue;
            img.set(x, y, pal.cloud.pick(0.45 + 0.6 * (density - 0.32), wrap(x, W), y, 2));
        }
    }
}

// Distant mountains: a chain of peaks, each with a sunlit face on the left
// of its ridge and a shaded face on the right, snow on the high ones, all
// hazy blue with distance.
struct Peak {
    double x, top, steep, depth;  // depth: 0 in front .. 1 behind
};

void paintMountains(Image& img, const UpperPalette& pal) {
    Rng rng(71);
    std::vector<Peak> peaks;
    for (double x = 0; x < W - 20; x += rng.range(38, 70)) {
        peaks.push_back({x, rng.range(118, 158), rng.range(0.55, 0.95), rng.unit()});
    }
    auto dxTo = [](double x, double px) {
        double d = x - px;
        while (d < -W / 2.0) d += W;
        while (d >= W / 2.0) d -= W;
        return d;
    };
    for (int x = 0; x < W; ++x) {
        double rough = 4 * (fractalNoise(x, 0, 16, 3, 73, W) - 0.5);
        for (int y = 100; y < H; ++y) {
            // Of the peaks whose flanks reach down past this pixel, the one
            // in front owns it, so flanks overlap along slanting lines.
            const Peak* owner = nullptr;
            for (const Peak& p : peaks) {
                double top = p.top + std::abs(dxTo(x, p.x)) * p.steep + rough;
                if (y + 0.5 >= top && (!owner || p.depth < owner->depth)) owner = &p;
            }
            if (!owner) continue;
            // The ridge runs down from the summit, wandering a little.
            double ridge = owner->x + 10 * (fractalNoise(0, y, 16, 2, 75) - 0.5) + (y - owner->top) * 0.25;
            bool sunlit = dxTo(x, ridge) < 0;
            double t = sunlit ? 0.62 : 0.22;
            t += 0.45 * smoothstep(10, 70, y - owner->top);  // haze lower down
            t += 0.12 * owner->depth;                        // and farther back
            // Gullies: streaks of shade running down the faces.
            double gully = fractalNoise(x * 1.0 + y * 0.6 * (sunlit ? 1 : -1), y * 0.2, 8, 2, 77, W);
            t -= 0.18 * smoothstep(0.55, 0.75, gully);
            std::uint8_t idx = pal.far.pick(t, x, y, 1.6);
            double snowLine = owner->top + 12 + 8 * fractalNoise(x, y, 4, 2, 79, W);
            if (owner->top < 140 && y < snowLine) idx = pal.cloud.pick(sunlit ? 0.92 : 0.5, x, y, 2);
            img.set(x, y, idx);
        }
    }
}

void paintMidHills(Image& img, const UpperPalette& pal) {
    Ridge ridge{186, {{2, 8, 2.5}, {3, 5, 0.7}, {7, 3, 1.9}}, 8, 32, 91};
    for (int x = 0; x < W; ++x) {
        double top = ridge.at(x);
        double slope = ridge.at(x + 2) - ridge.at(x - 2);
        for (int y = std::max(0, floorInt(top)); y < H; ++y) {
            double depth = y - top;
            double t = 0.55 - 0.06 * slope + 0.25 * smoothstep(0, 30, depth);
            // Dark specks of distant woods.
            double n = fractalNoise(x, y * 1.6, 8, 3, 93, W);
            if (n > 0.62) t -= 0.35;
            img.set(x, y, pal.mid.pick(t, x, y, 1.5));
        }
    }
}

void paintHouse(Image& img, const UpperPalette& pal, int x, int groundY, bool facingLeft) {
    // A white-walled farmhouse with a red pitched roof, seven pixels wide.
    for (int dy = 0; dy < 4; ++dy) {
        for (int dx = 0; dx < 7; ++dx) {
            bool shade = facingLeft ? dx >= 5 : dx < 2;
            img.set(x + dx, groundY - 1 - dy, pal.house.at(shade ? 2 : 3));
        }
    }
    img.set(x + (facingLeft ? 1 : 4), groundY - 2, pal.wood.at(1));  // a window
    for (int row = 0; row < 3; ++row) {
        for (int dx = row - 1; dx <= 7 - row; ++dx) {
            img.set(x + dx, groundY - 5 - row, pal.house.at(row == 0 ? 0 : 1));
        }
    }
}

void paintFields(Image& img, const UpperPalette& pal) {
    Ridge ridge{207, {{1, 5, 1.1}, {4, 4, 0.3}, {6, 2, 2.6}}, 6, 32, 111};
    for (int x = 0; x < W; ++x) {
        double top = ridge.at(x);
        double slope = ridge.at(x + 2) - ridge.at(x - 2);
        for (int y = std::max(0, floorInt(top)); y < H; ++y) {
            double depth = y - top;
            // Fields: rows following the hill's contour, growing deeper
            // nearer the viewer, cut into plots of different crops with
            // darker hedgerows between them.
            double rowPos = depth < 4 ? depth / 4 : 1 + (depth - 4) / 6;
            int row = floorInt(rowPos);
            int cell = row % 2 == 0 ? 64 : 80;  // plot widths divide the band
            double slant = (row % 3 - 1) * 0.8 * (depth - row * 6);
            int plot = floorInt((x + slant + row * 23) / cell);
            std::uint32_t h = hash3(wrap(plot, W / cell), row, 113);
            double tone[] = {0.42, 0.62, 0.30, 0.78, 0.52, 0.68};
            double t = tone[h % 6] - 0.05 * slope - 0.1 * smoothstep(0, 30, depth);
            // Ploughed or mown stripes in some plots.
            if ((h >> 8) % 3 == 0 && ((x + y) / 2) % 2 == 0) t -= 0.08;
            std::uint8_t idx = pal.near.pick(t, x, y, 2.0);
            double inRow = rowPos - row;
            double inPlot = (x + slant + row * 23) / cell - plot;
            if (row > 0 && inRow < 0.12) idx = pal.wood.pick(0.6, x, y, 2.0);
            if (inPlot * cell < 1.0) idx = pal.wood.pick(0.5, x, y, 2.0);
            // A soft crest line where the hill meets the sky behind it.
            if (depth < 1.0) idx = pal.near.pick(0.85, x, y, 2.0);
            img.set(x, y, idx);
        }
    }
    // Farmhouses on the slopes.
    const int houses[][2] = {{96, 0}, {318, 1}, {512, 0}};
    for (const auto& h : houses) {
        int gx = h[0];
        paintHouse(img, pal, gx, floorInt(ridge.at(gx + 3)) + 7, h[1] != 0);
    }
}

// The woodland along the bottom: a row of round crowns, each lit from the
// upper left, with darker ones behind.
void paintWoodland(Image& img, const UpperPalette& pal) {
    for (int layer = 0; layer < 2; ++layer) {
        Rng rng(131 + layer);
        double x = 0;
        while (x < W) {
            double r = rng.range(5, 10) + layer * 1.5;
            double cy = (layer == 0 ? 226 : 232) + rng.range(-3, 3);
            double cx = x;
            fillEllipse(img, cx, cy, r * 1.1, r, [&](int px, int py, double u, double v) {
                double light = 0.5 - 0.45 * (u * 0.6 + v * 0.8);
                double t = (layer == 0 ? 0.35 : 0.55) + 0.5 * light - 0.25;
                t += 0.2 * (valueNoise(px, py, 3, 137, W) - 0.5);
                return pal.wood.pick(t, px, py, 1.8);
            });
            x += r * rng.range(1.1, 1.6);
        }
    }
    // Below the crowns, the shade of the wood reaches the band's edge.
    for (int x = 0; x < W; ++x) {
        for (int y = 236; y < H; ++y) {
            if (img.get(x, y) >= pal.wood.first && img.get(x, y) < pal.wood.first + pal.wood.count) continue;
            img.set(x, y, pal.wood.pick(0.2, x, y));
        }
    }
}

// A few birds far off: small dark chevrons, wings up or down.
void paintBirds(Image& img, const UpperPalette& pal) {
    const int birds[][3] = {{200, 52, 0}, {212, 46, 1}, {222, 56, 1}, {470, 70, 0}};
    for (const auto& b : birds) {
        const int x = b[0], y = b[1];
        const std::uint8_t c = pal.wood.at(0);
        img.set(x, y, c);
        // Raised wings rise toward the tips; level wings droop at the tips.
        const int lift = b[2] == 0 ? -1 : 0;
        for (int side : {-1, 1}) {
            img.set(x + side, y + lift, c);
            img.set(x + 2 * side, y + lift, c);
            img.set(x + 3 * side, y + (b[2] == 0 ? -2 : 1), c);
        }
    }
}

}  // namespace

Image makeUpperBand() {
    Image img(W, H);
    img.wrapX = true;
    Palette palette;
    UpperPalette pal = buildPalette(palette);

    paintSky(img, pal);
    paintWisp(img, pal, 150, 22, 170, 201);
    paintWisp(img, pal, 450, 36, 130, 202);
    paintCloud(img, pal, 70, 92, 130, 38, 211);
    paintCloud(img, pal, 300, 84, 170, 40, 212);
    paintCloud(img, pal, 520, 110, 110, 30, 213);
    paintCloud(img, pal, 630, 48, 60, 18, 214);
    paintMountains(img, pal);
    paintMidHills(img, pal);
    paintFields(img, pal);
    paintWoodland(img, pal);
    paintBirds(img, pal);

    img.palette = palette.colours();
    return img;
}

}  // namespace assets
