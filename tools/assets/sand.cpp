// The sand backdrop: a hot afternoon over a sea of dunes. A sky from deep
// blue to a warm haze at the horizon, a blazing sun with its glow, violet
// mesas far off, then dunes in perspective to the horizon, their sunlit
// backs turned to the right and their slip faces in shade, a saguaro on a
// far crest, and rocks and dry scrub in the foreground. The walker crosses
// it with his feet near y = 280 to 330.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

constexpr int W = kScreenWidth;
constexpr int H = kScreenHeight;
constexpr double kSunX = 492, kSunY = 96, kSunR = 26;
constexpr double kHorizon = 222;

struct SandPalette {
    Ramp sky;   // top to horizon
    Ramp glow;  // the sky tinted by the sun's glow, in the entries after the sky's
    Ramp sun, mesa, far, lit, shade, rock, plant;
};

const Rgb kSkyStops[] = {{52, 104, 184}, {86, 144, 212}, {150, 190, 222}, {226, 214, 180}, {246, 214, 160}};
const Rgb kGlow{255, 236, 176};

Rgb skyAt(double y) {
    double t = clamp01(y / kHorizon) * 4;
    int i = std::min(3, floorInt(t));
    return mix(kSkyStops[i], kSkyStops[i + 1], t - i);
}

SandPalette buildPalette(Palette& p) {
    SandPalette s;
    s.sky = p.ramp({kSkyStops[0], kSkyStops[1], kSkyStops[2], kSkyStops[3], kSkyStops[4]}, 48);
    // The glow: the sky at several heights, mixed toward the sun's colour.
    s.glow.first = p.size();
    for (int row = 0; row < 6; ++row) {
        for (int g = 1; g <= 6; ++g) p.add(mix(skyAt(row * 40.0), kGlow, g / 6.5));
    }
    s.glow.count = p.size() - s.glow.first;
    s.sun = p.ramp({{255, 226, 150}, {255, 244, 200}, {255, 253, 236}}, 8);
    s.mesa = p.ramp({{120, 84, 112}, {168, 116, 128}, {206, 156, 146}, {228, 190, 164}}, 16);
    s.far = p.ramp({{200, 140, 100}, {230, 182, 128}, {246, 214, 164}}, 14);
    s.lit = p.ramp({{210, 142, 78}, {232, 176, 104}, {246, 206, 136}, {252, 228, 176}, {255, 244, 214}}, 40);
    s.shade = p.ramp({{132, 62, 44}, {170, 88, 56}, {202, 122, 74}, {228, 156, 100}}, 32);
    s.rock = p.ramp({{56, 36, 34}, {110, 72, 58}, {164, 118, 90}, {206, 170, 136}}, 12);
    s.plant = p.ramp({{34, 52, 30}, {70, 98, 46}, {120, 140, 70}, {172, 170, 104}}, 14);
    // Fill the palette to 256 with more of the sky's blues (harmless).
    int spare = 256 - p.size();
    for (int i = 0; i < spare; ++i) p.add(skyAt(i * kHorizon / spare));
    return s;
}

// The palette entry nearest to c among [first, first + count), after an
// ordered-dither offset, so blends between entries come out as patterns.
std::uint8_t nearestDithered(const std::vector<Rgb>& palette, int first, int count, double r, double g, double b, int x,
                             int y, double spread) {
    double d = (bayer(x, y) - 0.5) * spread;
    r += d;
    g += d;
    b += d;
    int best = first;
    double bestDist = 1e18;
    for (int i = first; i < first + count; ++i) {
        double dr = palette[i].r - r, dg = palette[i].g - g, db = palette[i].b - b;
        double dist = dr * dr * 0.3 + dg * dg * 0.59 + db * db * 0.11;
        if (dist < bestDist) {
            bestDist = dist;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void paintSky(Image& img, const SandPalette& pal, const std::vector<Rgb>& colours) {
    // The sky is dithered from the plain sky and the glow entries together.
    const int first = pal.sky.first, count = pal.glow.first + pal.glow.count - first;
    fillRows(img, 0, floorInt(kHorizon) + 1, [&](int x, int y, double, double) {
        double dx = x + 0.5 - kSunX, dy = (y + 0.5 - kSunY) * 1.1;
        double dist = std::sqrt(dx * dx + dy * dy);
        if (dist <= kSunR) {
            // The disc, a touch warmer at its rim.
            return static_cast<int>(pal.sun.pick(1.0 - 0.5 * smoothstep(kSunR * 0.6, kSunR, dist), x, y, 2));
        }
        double glow = expo(-(dist - kSunR) / 38.0) * 0.95 + expo(-(dist - kSunR) / 120.0) * 0.25;
        Rgb base = skyAt(y);
        double r = lerp(base.r, kGlow.r, clamp01(glow));
        double g = lerp(base.g, kGlow.g, clamp01(glow));
        double b = lerp(base.b, kGlow.b, clamp01(glow));
        return static_cast<int>(nearestDithered(colours, first, count, r, g, b, x, y, 14));
    });
}

// Far mesas: flat-topped, steep-sided, violet with haze, the faces toward
// the sun (right) lit.
void paintMesas(Image& img, const SandPalette& pal) {
    struct Mesa {
        double left, right, top, slope;
    };
    const Mesa mesas[] = {
        {30, 120, 176, 1.6}, {150, 190, 196, 1.3}, {330, 450, 186, 1.8}, {470, 520, 202, 1.2}, {560, 640, 182, 1.5}};
    for (const Mesa& m : mesas) {
        for (int x = floorInt(m.left - 60); x <= floorInt(m.right + 60); ++x) {
            if (x < 0 || x >= W) continue;
            double top = m.top;
            if (x < m.left) top += (m.left - x) * m.slope;
            if (x > m.right) top += (x - m.right) * m.slope;
            top += 3 * (fractalNoise(x, 0, 8, 2, 701) - 0.5);
            for (int y = std::max(0, floorInt(top)); y <= floorInt(kHorizon) + 6; ++y) {
                bool litFace = x > m.right - 6;
                double t = 0.35 + (litFace ? 0.3 : 0.0) + 0.35 * smoothstep(top, kHorizon + 6, y);
                // Layered rock: faint horizontal strata.
                if (((y - floorInt(m.top)) % 7) == 0) t -= 0.08;
                img.set(x, y, pal.mesa.pick(t, x, y, 1.6));
            }
        }
    }
}

// The dunes are a height field over the ground, drawn in perspective the
// way old terrain renderers did it: each screen column marches away from the
// viewer, and every ground sample that rises above what is already drawn
// paints the rows up to its height. The camera stands on a dune, looking
// level at the horizon.
constexpr double kFocal = 560;  // pixels per unit at unit distance
constexpr double kEye = 16;     // camera height above the base level
constexpr double kNear = 6, kFar = 900;

// Sharp-crested ridges running diagonally away from the viewer: each rises
// steeply on its left (the slip face, away from the sun) and falls gently to
// the right. The crests wander and the dunes vary in height.
double duneHeight(double x, double z) {
    double warp = 26 * (fractalNoise(x * 0.5 + 1000, z * 0.5 + 1000, 32, 2, 781) - 0.5);
    double s = x * 0.9 - z * 0.35 + warp;
    constexpr double kLength = 34;
    double q = s / kLength - floorInt(s / kLength);
    double profile;
    if (q < 0.22) {
        double a = q / 0.22;
        profile = a * a * (1.35 - 0.35 * a);  // the steep slip face, concave
    } else {
        double a = (q - 0.22) / 0.78;
        profile = 1 - a * a * (3 - 2 * a);  // the long windward back
    }
    // Higher dunes farther off, rank behind rank up to the horizon.
    double amplitude = (6 + 8 * fractalNoise(x * 0.3 + 500, z * 0.3 + 500, 32, 2, 783)) * (1 + z / 260);
    // Broad swells under the dunes.
    double swell = 4 * (valueNoise(x, z, 120, 785) - 0.5);
    return amplitude * profile + swell;
}

void paintDunes(Image& img, const SandPalette& pal) {
    // Toward the sun: to the right, high, and a little ahead.
    const double lx = 0.8, ly = 0.52, lz = 0.2;
    for (int sx = 0; sx < W; ++sx) {
        double dir = (sx + 0.5 - W / 2.0) / kFocal;
        int lowestFree = H;  // rows from here down are painted
        for (double z = kNear; z < kFar && lowestFree > 0; z *= 1.006) {
            double x = dir * z;
            double h = duneHeight(x, z);
            int top = floorInt(kHorizon - (h - kEye) * kFocal / z);
            if (top >= lowestFree) continue;
            // The surface's slope, for the light; wind ripples on the
            // gentle backs, fading with distance.
            double e = 0.25 + z * 0.004;
            double gx = (duneHeight(x + e, z) - duneHeight(x - e, z)) / (2 * e);
            double gz = (duneHeight(x, z + e) - duneHeight(x, z - e)) / (2 * e);
            double len = std::sqrt(gx * gx + 1 + gz * gz);
            double light = (-gx * lx + ly - gz * lz) / len;
            double haze = smoothstep(60, 600, z);
            double ripple = sine((x * 0.8 + z * 0.6) * 2.2 + 3 * sine(x * 0.15)) * (1 - smoothstep(20, 70, z));
            for (int y = std::max(top, 0); y < lowestFree; ++y) {
                std::uint8_t c;
                if (haze > 0.55 + 0.3 * (bayer(sx, y) - 0.5)) {
                    c = pal.far.pick(0.25 + 0.6 * light, sx, y, 2);
                } else if (light > 0.42) {
                    double t = (light - 0.42) / 0.58 * 1.15 + 0.05 * ripple * (light > 0.6 ? 1 : 0);
                    c = pal.lit.pick(lerp(t, 0.55, haze * 0.5), sx, y, 2);
                } else {
                    double t = 0.25 + light * 1.4 + 0.15 * smoothstep(0, 40, y - top);
                    c = pal.shade.pick(lerp(t, 0.8, haze * 0.6), sx, y, 2);
                }
                img.set(sx, y, c);
            }
            lowestFree = std::max(top, 0);
        }
        // Beyond the last sample the dunes melt into the haze on the horizon.
        for (int y = floorInt(kHorizon); y < lowestFree; ++y) img.set(sx, y, pal.far.pick(0.6, sx, y, 2));
    }
}

void paintSaguaro(Image& img, const SandPalette& pal, double x, double groundY, double height) {
    auto column = [&](double ax, double ay, double bx, double by, double r) {
        double dx = bx - ax, dy = by - ay;
        double len = std::sqrt(dx * dx + dy * dy);
        double px = -dy / len, py = dx / len;
        fillCapsule(img, ax, ay, bx, by, r, r, [&](int cx, int cy, double, double v) {
            // Lit from the right; ribs as faint vertical lines.
            double lit = (px * v) * 0.8 + (py * v) * 0.2;
            double t = 0.45 + 0.35 * lit - 0.2 * v * v;
            if (std::abs(v) > 0.3 && std::abs(v) < 0.45) t -= 0.15;
            return static_cast<int>(pal.plant.pick(t, cx, cy, 2.5));
        });
    };
    double r = height * 0.075;
    column(x, groundY, x, groundY - height, r);
    // Two arms, bent upward.
    column(x, groundY - height * 0.45, x - height * 0.22, groundY - height * 0.5, r * 0.75);
    column(x - height * 0.22, groundY - height * 0.5, x - height * 0.22, groundY - height * 0.78, r * 0.75);
    column(x, groundY - height * 0.6, x + height * 0.18, groundY - height * 0.62, r * 0.7);
    column(x + height * 0.18, groundY - height * 0.62, x + height * 0.18, groundY - height * 0.85, r * 0.7);
}

void paintRock(Image& img, const SandPalette& pal, double cx, double cy, double rx, double ry, std::uint32_t seed) {
    // Shadow cast to the left, away from the sun, then the rock.
    fillEllipse(img, cx - rx * 0.6, cy + ry * 0.55, rx * 1.1, ry * 0.35,
                [&](int x, int y, double, double) { return static_cast<int>(pal.shade.pick(0.3, x, y)); });
    fillEllipse(img, cx, cy, rx, ry, [&](int x, int y, double u, double v) {
        if (v > 0.55) return -1;  // half sunk in the sand
        double n = fractalNoise(x, y, 4, 2, seed);
        if (u * u + v * v > 0.8 + 0.4 * n) return -1;
        double t = 0.5 + 0.35 * u - 0.3 * v + 0.25 * (n - 0.5);
        // Facets: a hard break between lit and shaded sides.
        if (u + 0.3 * v < -0.1) t -= 0.2;
        return static_cast<int>(pal.rock.pick(t, x, y, 3));
    });
}

void paintScrub(Image& img, const SandPalette& pal, double cx, double groundY, double size, std::uint32_t seed) {
    // A dry bush: twigs fanning up from one root, a few grey-green leaves.
    Rng rng(seed);
    for (int i = 0; i < 16; ++i) {
        double angle = rng.range(-1.2, 1.2);
        double len = size * rng.range(0.5, 1.0);
        int x1 = floorInt(cx + sine(angle) * len), y1 = floorInt(groundY - cosine(angle) * len * 0.8);
        drawLine(img, floorInt(cx), floorInt(groundY), x1, y1, pal.plant.at(rng.below(2)));
        if (rng.unit() < 0.6) {
            img.set(x1, y1, pal.plant.at(9 + rng.below(4)));
            img.set(x1 + 1, y1, pal.plant.at(8 + rng.below(4)));
        }
    }
}

}  // namespace

Image makeSand() {
    Image img(W, H);
    Palette palette;
    SandPalette pal = buildPalette(palette);
    const std::vector<Rgb>& colours = palette.colours();

    paintSky(img, pal, colours);
    paintMesas(img, pal);
    paintDunes(img, pal);
    paintSaguaro(img, pal, 452, 250, 44);
    paintRock(img, pal, 86, 440, 22, 14, 751);
    paintRock(img, pal, 112, 448, 10, 7, 752);
    paintRock(img, pal, 590, 424, 14, 9, 753);
    paintScrub(img, pal, 540, 452, 22, 761);
    paintScrub(img, pal, 30, 392, 16, 762);
    img.palette = colours;
    return img;
}

}  // namespace assets
