// The tree layer: an oak on the left and a birch on the right, standing on
// the far meadow behind the path and framing the scene under their crowns,
// with their shade dappled on the grass. Everything else is the key colour,
// so the landscape shows through.
//
// The trees stand well behind the path (their roots near y = 260, the
// walker's feet near y = 280 to 330), so the walker rightly passes in front
// of them.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

constexpr int W = kTreesWidth;
constexpr int H = kTreesHeight;

struct TreePalette {
    std::uint8_t key;
    Ramp leaf, birchLeaf, bark, birch;
    std::uint8_t shade, birchMark, outline;
};

TreePalette buildPalette(Palette& p) {
    TreePalette t;
    t.key = p.add(kKey);
    t.leaf = p.ramp({{10, 30, 22}, {20, 56, 32}, {38, 88, 36}, {74, 128, 42}, {128, 172, 62}, {188, 212, 106}}, 18);
    t.birchLeaf = p.ramp({{18, 48, 26}, {44, 92, 34}, {96, 146, 46}, {160, 194, 76}, {206, 224, 124}}, 9);
    t.bark = p.ramp({{30, 22, 20}, {66, 46, 34}, {108, 82, 58}, {150, 124, 94}, {184, 164, 134}}, 12);
    t.birch = p.ramp({{104, 100, 96}, {168, 166, 158}, {214, 212, 202}, {242, 240, 230}}, 7);
    t.shade = p.add({34, 56, 30});
    t.birchMark = p.add({36, 32, 32});
    t.outline = p.add({14, 24, 18});
    return t;
}

// Bark on a limb: a cylinder lit from the left, with furrows along it.
Shader barkShader(const TreePalette& pal, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double len = std::sqrt(dx * dx + dy * dy);
    dx /= len;
    dy /= len;
    return [=, &pal](int x, int y, double, double v) {
        // v < 0 is the left of the limb's direction; turned to the sun when
        // the limb points up.
        double lit = dy < 0 ? -v : v;
        double t = 0.5 + 0.35 * lit - 0.25 * v * v;
        // Furrows run along the limb: noise stretched in its direction.
        double along = x * dx + y * dy;
        double across = x * -dy + y * dx;
        double n = fractalNoise(across * 2.2, along * 0.25, 8, 2, 401);
        t += 0.35 * (n - 0.5);
        return static_cast<int>(pal.bark.pick(t, x, y, 1.8));
    };
}

void limb(Image& img, const TreePalette& pal, double ax, double ay, double bx, double by, double ra, double rb) {
    fillCapsule(img, ax, ay, bx, by, ra, rb, barkShader(pal, ax, ay, bx, by));
}

// A cluster of single leaves, each a few pixels, scattered over a ball and
// toned by where they sit on it (lit from the upper left); the lit ones are
// drawn last, in front.
void leafCluster(Image& img, const Ramp& ramp, double cx, double cy, double r, double ambient, std::uint32_t seed) {
    Rng rng(seed);
    struct Leaf {
        double x, y, t;
    };
    std::vector<Leaf> leaves;
    int count = static_cast<int>(r * r * 0.9) + 6;
    for (int i = 0; i < count; ++i) {
        double u = rng.range(-1, 1), v = rng.range(-1, 1);
        double d2 = u * u + v * v;
        if (d2 > 1) continue;
        double nz = std::sqrt(1 - d2);
        double light = -0.55 * u - 0.65 * v + 0.52 * nz;
        leaves.push_back({cx + u * r, cy + v * r * 1.15, ambient + 0.4 * light + rng.range(-0.12, 0.12)});
    }
    std::stable_sort(leaves.begin(), leaves.end(), [](const Leaf& a, const Leaf& b) { return a.t < b.t; });
    for (const Leaf& l : leaves) {
        int x = floorInt(l.x), y = floorInt(l.y);
        std::uint8_t c = ramp.pick(l.t, x, y, 4);
        // A leaf hangs: two pixels wide, three tall, the tip lighter.
        img.set(x, y, c);
        img.set(x + 1, y, c);
        img.set(x, y + 1, c);
        img.set(x + 1, y + 1, ramp.pick(l.t - 0.12, x, y, 4));
        img.set(x, y + 2, ramp.pick(l.t - 0.2, x, y, 4));
    }
}

struct Crown {
    double cx, cy, rx, ry;  // the crown's overall ellipse
    double clumpMin, clumpMax;
    int clumps;
    std::uint32_t seed;
};

// Fills a crown with clumps from the back and bottom to the front and top:
// the ones drawn first, low and inside, are darker, as the crown shades
// itself.
void paintCrown(Image& img, const Ramp& ramp, const Crown& c) {
    Rng rng(c.seed);
    struct Clump {
        double x, y, r, order;
    };
    std::vector<Clump> clumps;
    while (static_cast<int>(clumps.size()) < c.clumps) {
        double u = rng.range(-1, 1), v = rng.range(-1, 1);
        if (u * u + v * v > 1) continue;
        double r = rng.range(c.clumpMin, c.clumpMax);
        // Clumps toward the rim and the top come to the front.
        double order = (u * u + v * v) * 0.6 - v * 0.5 + rng.range(0, 0.5);
        clumps.push_back({c.cx + u * c.rx, c.cy + v * c.ry, r, order});
    }
    std::stable_sort(clumps.begin(), clumps.end(), [](const Clump& a, const Clump& b) { return a.order < b.order; });
    std::uint32_t seed = c.seed * 31;
    for (const Clump& k : clumps) {
        double u = (k.x - c.cx) / c.rx, v = (k.y - c.cy) / c.ry;
        // The crown is lit as a whole from the upper left, and clumps deep
        // inside it (drawn first) are in its shade.
        double ambient = 0.18 + 0.34 * clamp01(0.5 - 0.45 * u - 0.6 * v) + 0.12 * clamp01(k.order);
        leafCluster(img, ramp, k.x, k.y, k.r, ambient, ++seed);
    }
}

// Dappled shade on the grass: every other pixel darkened, in an ellipse with
// a ragged edge and sunny gaps.
void groundShade(Image& img, const TreePalette& pal, double cx, double cy, double rx, double ry, std::uint32_t seed) {
    fillEllipse(img, cx, cy, rx, ry, [&](int x, int y, double u, double v) {
        double n = fractalNoise(x, y * 2, 10, 2, seed);
        if (u * u + v * v > 0.75 + 0.5 * n) return -1;
        if (n > 0.68) return -1;  // a fleck of sunlight through the leaves
        if (((x + y) & 1) != 0) return -1;
        return static_cast<int>(pal.shade);
    });
}

void paintOak(Image& img, const TreePalette& pal) {
    const double baseX = 84, baseY = 262;
    groundShade(img, pal, baseX + 36, baseY + 4, 92, 11, 411);
    // Roots flaring into the ground.
    limb(img, pal, baseX - 4, baseY - 26, baseX - 24, baseY + 1, 9, 3);
    limb(img, pal, baseX + 4, baseY - 26, baseX + 26, baseY + 1, 9, 3);
    limb(img, pal, baseX, baseY - 20, baseX - 6, baseY + 2, 10, 5);
    // The trunk, in a gentle S, thick at the foot; a knot hole halfway up.
    const Point spine[] = {{baseX, baseY - 2}, {baseX + 3, 222}, {baseX - 1, 190}, {baseX + 6, 150}};
    const double radius[] = {18, 15.5, 14, 12.5};
    for (int i = 0; i < 3; ++i) {
        limb(img, pal, spine[i].x, spine[i].y, spine[i + 1].x, spine[i + 1].y, radius[i], radius[i + 1]);
    }
    fillEllipse(img, baseX + 2, 214, 4.5, 6, [&](int x, int y, double u, double v) {
        double rim = u * u + v * v;
        if (rim > 0.55) return static_cast<int>(pal.bark.pick(v < 0 ? 0.25 : 0.7, x, y, 3));
        return static_cast<int>(pal.bark.at(0));
    });
    // The main limbs reaching into the crown.
    limb(img, pal, baseX + 6, 156, baseX - 40, 70, 11, 5);
    limb(img, pal, baseX + 6, 156, baseX + 70, 60, 11, 5);
    limb(img, pal, baseX + 4, 150, baseX + 10, 40, 9, 4);
    limb(img, pal, baseX + 40, 106, baseX + 120, 98, 5, 2);
    limb(img, pal, baseX - 22, 110, baseX - 70, 118, 5, 2);
    limb(img, pal, baseX + 50, 92, baseX + 84, 30, 4, 2);
    // The crown: a broad dome in two masses, so gaps open between them.
    paintCrown(img, pal.leaf, {baseX - 10, 70, 110, 64, 14, 26, 70, 421});
    paintCrown(img, pal.leaf, {baseX + 80, 58, 70, 50, 12, 22, 40, 431});
    paintCrown(img, pal.leaf, {baseX - 60, 130, 50, 30, 10, 18, 18, 441});
    paintCrown(img, pal.leaf, {baseX + 120, 116, 40, 22, 9, 15, 12, 451});
}

void birchBark(Image& img, const TreePalette& pal, double ax, double ay, double bx, double by, double ra, double rb,
               double ground) {
    fillCapsule(img, ax, ay, bx, by, ra, rb, [&](int x, int y, double, double v) {
        if (y > ground) return -1;
        double t = 0.62 - 0.4 * v - 0.3 * v * v;
        // Near the ground the bark is old, dark and furrowed.
        double old = smoothstep(ground - 26, ground - 4, y + 6 * valueNoise(x, y, 4, 465));
        if (old > 0.5)
            return static_cast<int>(
                pal.bark.pick(0.42 - 0.3 * v + 0.3 * (valueNoise(x, y * 0.4, 2, 467) - 0.5), x, y, 2));
        // The birch's dark marks: short horizontal dashes.
        double n = valueNoise(x * 0.5, y * 2.5, 4, 461);
        if (n > 0.74 && std::abs(v) < 0.9) return static_cast<int>(pal.birchMark);
        return static_cast<int>(pal.birch.pick(t, x, y, 2));
    });
}

void paintBirch(Image& img, const TreePalette& pal) {
    const double baseX = 566, baseY = 258;
    groundShade(img, pal, baseX + 28, baseY + 4, 70, 9, 471);
    birchBark(img, pal, baseX, baseY + 8, baseX - 6, 120, 9, 7, baseY + 1);
    birchBark(img, pal, baseX - 6, 124, baseX - 12, 20, 7, 4, baseY);
    birchBark(img, pal, baseX - 5, 150, baseX + 40, 80, 4, 2, baseY);
    birchBark(img, pal, baseX - 8, 120, baseX - 50, 60, 4, 2, baseY);
    birchBark(img, pal, baseX - 10, 80, baseX + 30, 30, 3, 2, baseY);
    // Fine drooping twigs.
    Rng rng(469);
    for (int i = 0; i < 14; ++i) {
        double x = baseX - 10 + rng.range(-60, 60), y = rng.range(20, 120);
        double dx = rng.range(-14, 14);
        double dy = rng.range(10, 30);
        drawLine(img, floorInt(x), floorInt(y), floorInt(x + dx), floorInt(y + dy), pal.bark.at(2));
    }
    paintCrown(img, pal.birchLeaf, {baseX - 10, 62, 72, 64, 7, 12, 95, 481});
    paintCrown(img, pal.birchLeaf, {baseX + 44, 134, 28, 24, 6, 10, 20, 491});
    paintCrown(img, pal.birchLeaf, {baseX - 62, 126, 26, 22, 6, 10, 16, 501});
}

// A dark outline around every opaque shape, on the sides facing away from
// the light (right and below), where a hard edge reads best.
void outlineShadowSide(Image& img, const TreePalette& pal) {
    Image src = img;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            if (src.get(x, y) == pal.key || src.get(x, y) == pal.shade) continue;
            bool edgeRight = x + 1 < W && (src.get(x + 1, y) == pal.key || src.get(x + 1, y) == pal.shade);
            bool edgeBelow = y + 1 < H && (src.get(x, y + 1) == pal.key || src.get(x, y + 1) == pal.shade);
            if (edgeRight || edgeBelow) img.set(x, y, pal.outline);
        }
    }
}

}  // namespace

Image makeTrees() {
    Palette palette;
    TreePalette pal = buildPalette(palette);
    Image img(W, H, pal.key);
    paintBirch(img, pal);
    paintOak(img, pal);
    outlineShadowSide(img, pal);
    img.palette = palette.colours();
    return img;
}

}  // namespace assets
