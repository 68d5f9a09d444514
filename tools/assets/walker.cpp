// The walker: a wanderer in mid-stride, facing right. Green felt hat with a
// red feather, a short beard, a red scarf blown back, a blue coat, a canvas
// rucksack with a rolled blanket, corduroy trousers, leather boots and a
// walking stick planted ahead. Lit from the upper left like the scenes, with
// a dark outline and a dithered shadow under the feet; the key colour
// everywhere else.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

constexpr int W = kWalkerWidth;
constexpr int H = kWalkerHeight;
constexpr int kGround = 175;  // the row the soles rest on

struct WalkerPalette {
    std::uint8_t key, outline, shadow, eyeWhite;
    Ramp skin, hair, hat, red, coat, trousers, leather, canvas, blanket, metal, wood;
};

WalkerPalette buildPalette(Palette& p) {
    WalkerPalette w;
    w.key = p.add(kKey);
    w.outline = p.add({30, 20, 26});
    w.shadow = p.add({40, 34, 40});
    w.eyeWhite = p.add({250, 246, 236});
    w.skin = p.ramp({{104, 52, 42}, {172, 100, 72}, {228, 160, 120}, {252, 210, 174}}, 7);
    w.hair = p.ramp({{46, 28, 20}, {106, 66, 38}, {164, 114, 64}}, 5);
    w.hat = p.ramp({{26, 46, 30}, {56, 92, 46}, {104, 142, 66}, {160, 188, 100}}, 7);
    w.red = p.ramp({{80, 16, 22}, {166, 34, 34}, {226, 74, 52}, {255, 156, 110}}, 7);
    w.coat = p.ramp({{18, 24, 56}, {36, 56, 116}, {60, 96, 168}, {104, 146, 208}, {168, 198, 236}}, 9);
    w.trousers = p.ramp({{38, 32, 30}, {86, 72, 58}, {136, 116, 90}, {182, 164, 132}}, 7);
    w.leather = p.ramp({{28, 16, 12}, {72, 44, 28}, {122, 78, 44}, {172, 122, 72}}, 7);
    w.canvas = p.ramp({{70, 50, 24}, {130, 100, 46}, {190, 156, 80}, {232, 208, 134}}, 8);
    w.blanket = p.ramp({{48, 40, 66}, {94, 86, 128}, {150, 144, 182}}, 6);
    w.metal = p.ramp({{96, 94, 86}, {176, 174, 156}, {240, 238, 212}}, 4);
    w.wood = p.ramp({{56, 36, 22}, {112, 78, 46}, {176, 136, 88}, {214, 182, 132}}, 6);
    // The rest of the 256 entries: a grey ramp no pixel uses.
    int spare = 256 - p.size();
    for (int i = 0; i < spare; ++i) {
        auto g = static_cast<std::uint8_t>(i * 255 / std::max(1, spare - 1));
        p.add({g, g, g});
    }
    return w;
}

// The picture and, per pixel, which part of the body drew it (0: none).
// Parts are numbered in drawing order, back to front; the outline pass uses
// them to separate a part from the one in front of it.
struct Sprite {
    Image img{W, H};
    std::vector<int> part = std::vector<int>(static_cast<std::size_t>(W) * H, 0);
    int current = 0;

    void begin() { ++current; }
    // Wraps a shader so every pixel it paints is marked with the current part.
    Shader mark(Shader shade) {
        return [this, shade](int x, int y, double u, double v) {
            int index = shade(x, y, u, v);
            if (index >= 0 && img.inside(x, y)) part[static_cast<std::size_t>(y) * W + x] = current;
            return index;
        };
    }
    void set(int x, int y, std::uint8_t index) {
        if (!img.inside(x, y)) return;
        img.set(x, y, index);
        part[static_cast<std::size_t>(y) * W + x] = current;
    }
};

// Light from the upper left and in front: (x, y, z) with z toward the viewer.
constexpr double kLx = -0.55, kLy = -0.6, kLz = 0.58;

// Tone of a rounded surface whose outward normal, seen from the front, has
// image-plane part (nx, ny).
double litTone(double nx, double ny, double base, double contrast) {
    double d2 = std::min(1.0, nx * nx + ny * ny);
    double nz = std::sqrt(1 - d2);
    return base + contrast * (nx * kLx + ny * kLy + nz * kLz - 0.35);
}

// A limb or other round rod from a to b, shaded as a cylinder.
void rod(Sprite& s, const Ramp& ramp, Point a, Point b, double ra, double rb, double base, double contrast = 0.55,
         double sharp = 2.5) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double len = std::sqrt(dx * dx + dy * dy);
    double px = len > 0 ? -dy / len : 1, py = len > 0 ? dx / len : 0;
    fillCapsule(s.img, a.x, a.y, b.x, b.y, ra, rb, s.mark([=, &ramp](int x, int y, double, double v) {
        return static_cast<int>(ramp.pick(litTone(px * v, py * v, base, contrast), x, y, sharp));
    }));
}

void ball(Sprite& s, const Ramp& ramp, double cx, double cy, double rx, double ry, double base, double contrast = 0.55,
          double sharp = 2.5) {
    fillEllipse(s.img, cx, cy, rx, ry, s.mark([=, &ramp](int x, int y, double u, double v) {
        return static_cast<int>(ramp.pick(litTone(u, v, base, contrast), x, y, sharp));
    }));
}

// A flat polygon shaded by a gradient from its upper left to lower right.
void panel(Sprite& s, const Ramp& ramp, const std::vector<Point>& pts, double base, double slope, double sharp = 2.5) {
    fillPolygon(s.img, pts, s.mark([=, &ramp](int x, int y, double u, double v) {
        return static_cast<int>(ramp.pick(base + slope * (0.5 - 0.6 * u - 0.4 * v), x, y, sharp));
    }));
}

void shadow(Sprite& s, const WalkerPalette& pal) {
    s.begin();
    fillEllipse(s.img, 56, kGround + 1.5, 34, 3, s.mark([&](int x, int y, double u, double) {
        // Denser toward the middle, every other pixel at most.
        if (((x + y) & 1) != 0) return -1;
        if (std::abs(u) > 0.75 && ((x / 2 + y) & 1) != 0) return -1;
        return static_cast<int>(pal.shadow);
    }));
}

// A boot: the leg's end at `ankle`, the sole tilted by `tilt` (radians,
// positive lifts the heel), the toe pointing right.
void boot(Sprite& s, const WalkerPalette& pal, Point ankle, double tilt, double base) {
    double c = cosine(tilt), sn = sine(tilt);
    auto at = [&](double fx, double fy) {
        // fx forward along the sole, fy down from the ankle.
        return Point{ankle.x + fx * c + fy * sn, ankle.y - fx * sn + fy * c};
    };
    s.begin();
    // Upper and toe cap.
    panel(s, pal.leather, {at(-6, -6), at(5, -6), at(8, 1), at(15, 3), at(17, 7), at(17, 9), at(-8, 9), at(-8, 0)},
          base, 0.6);
    ball(s, pal.leather, at(12, 5).x, at(12, 5).y, 5, 4, base + 0.05);
    // A thick sole, darkest.
    s.begin();
    fillPolygon(s.img, {at(-8, 8.5), at(17.5, 8.5), at(17, 11), at(-8, 11)},
                s.mark([&](int, int, double, double) { return static_cast<int>(pal.leather.at(0)); }));
    // Laces.
    for (int i = 0; i < 3; ++i) {
        Point p = at(2 + i * 2.2, -3 + i * 1.6);
        s.set(floorInt(p.x), floorInt(p.y), pal.canvas.at(6));
    }
}

// A leg from hip through knee to ankle: thigh and shin as cylinders, with a
// fold of cloth at the knee.
void leg(Sprite& s, const WalkerPalette& pal, Point hip, Point knee, Point ankle, double base) {
    s.begin();
    rod(s, pal.trousers, hip, knee, 10, 8, base);
    rod(s, pal.trousers, knee, ankle, 8, 6.5, base - 0.05);
    // Corduroy ribs: faint lines along the leg.
    Point mid{(knee.x + ankle.x) / 2, (knee.y + ankle.y) / 2};
    drawLine(s.img, floorInt(knee.x) + 1, floorInt(knee.y) + 3, floorInt(mid.x) + 1, floorInt(mid.y) + 4,
             pal.trousers.at(1));
}

void backpack(Sprite& s, const WalkerPalette& pal) {
    // The pack itself: a rounded canvas bag on the back.
    s.begin();
    panel(s, pal.canvas, {{24, 50}, {40, 46}, {48, 50}, {48, 98}, {42, 102}, {26, 102}, {20, 94}, {20, 58}}, 0.45,
          0.75);
    // A side pocket, and the flap over the top with its buckle.
    s.begin();
    panel(s, pal.canvas, {{18, 72}, {28, 72}, {28, 92}, {22, 94}, {16, 90}}, 0.3, 0.6);
    s.begin();
    panel(s, pal.canvas, {{21, 52}, {40, 47}, {47, 52}, {46, 66}, {24, 68}}, 0.62, 0.6);
    s.begin();
    rod(s, pal.leather, {33, 62}, {33, 78}, 1.6, 1.6, 0.35, 0.4);
    ball(s, pal.metal, 33, 73, 2.2, 2, 0.6, 0.6, 3);
    // The rolled blanket strapped on top.
    s.begin();
    rod(s, pal.blanket, {14, 46}, {48, 42}, 7, 7, 0.5, 0.6);
    for (int i = 0; i < 5; ++i) {
        // The roll's spiral seen end-on on the left, and its strap.
        drawLine(s.img, 20 + i * 7, 40, 19 + i * 7, 50, pal.blanket.at(1));
    }
    ball(s, pal.blanket, 13, 46, 3, 6.5, 0.3, 0.5);
    s.set(12, 45, pal.blanket.at(0));
    s.set(13, 46, pal.blanket.at(0));
}

void torso(Sprite& s, const WalkerPalette& pal) {
    // The coat: leaning into the walk, flaring a little at the hem.
    s.begin();
    panel(s, pal.coat,
          {{46, 46},
           {64, 44},
           {70, 52},
           {72, 74},
           {70, 92},
           {74, 112},
           {58, 116},
           {42, 114},
           {38, 100},
           {40, 78},
           {42, 56}},
          0.5, 0.6);
    // Shading: the back and the underside of the chest in shade.
    fillPolygon(s.img, {{38, 100}, {42, 114}, {58, 116}, {50, 108}, {46, 96}},
                s.mark([&](int x, int y, double, double) { return static_cast<int>(pal.coat.pick(0.18, x, y)); }));
    // Buttons and the front edge of the coat.
    drawLine(s.img, 68, 56, 70, 92, pal.coat.at(1));
    for (int y = 60; y <= 88; y += 9) s.set(67, y, pal.metal.at(2));
    // Belt and buckle.
    s.begin();
    panel(s, pal.leather, {{40, 88}, {71, 86}, {71, 91}, {40, 93}}, 0.45, 0.4);
    fillPolygon(s.img, {{62, 86}, {67, 86}, {67, 91}, {62, 91}},
                s.mark([&](int x, int y, double, double) { return static_cast<int>(pal.metal.pick(0.7, x, y)); }));
    s.set(64, 88, pal.leather.at(1));
    // Rucksack strap over the shoulder.
    s.begin();
    rod(s, pal.leather, {50, 46}, {56, 90}, 2.4, 2.2, 0.45, 0.4);
}

void head(Sprite& s, const WalkerPalette& pal) {
    // Hair at the back of the head, under the hat.
    s.begin();
    ball(s, pal.hair, 54, 30, 9, 11, 0.45);
    // The face: a skull leaning forward, a nose, an ear.
    s.begin();
    ball(s, pal.skin, 60.5, 29.5, 11.5, 13, 0.62);
    ball(s, pal.skin, 72, 30.5, 3.2, 3.5, 0.7, 0.5);  // nose
    s.begin();
    ball(s, pal.skin, 55, 31, 2.6, 3.6, 0.45, 0.5);  // ear
    s.set(55, 31, pal.skin.at(1));
    // A short beard along the jaw to the chin.
    s.begin();
    fillEllipse(s.img, 61, 39, 10, 5.5, s.mark([&](int x, int y, double u, double v) {
        if (v < -0.1 + 0.45 * u || x > 71) return -1;
        return static_cast<int>(
            pal.hair.pick(0.55 - 0.4 * v - 0.2 * u + 0.25 * (valueNoise(x, y, 2, 601) - 0.5), x, y, 2));
    }));
    // Moustache.
    for (int x = 66; x <= 71; ++x) s.set(x, 35, pal.hair.at(1));
    s.set(70, 36, pal.hair.at(1));
    // Eye: a dark pupil with a glint, under a bushy brow; a rosy cheek.
    s.begin();
    s.set(66, 27, pal.outline);
    s.set(66, 28, pal.outline);
    s.set(67, 28, pal.outline);
    s.set(67, 27, pal.eyeWhite);
    for (int x = 64; x <= 68; ++x) s.set(x, 24, pal.hair.at(1));
    s.set(63, 25, pal.hair.at(1));
    s.set(66, 32, pal.red.at(5));
    s.set(65, 32, pal.red.at(6));
}

void hat(Sprite& s, const WalkerPalette& pal) {
    // Crown, band, then the brim tilted down at the front, and the feather.
    s.begin();
    panel(s, pal.hat, {{48, 19}, {49, 8}, {54, 4}, {62, 3}, {70, 6}, {72, 19}}, 0.55, 0.7);
    s.begin();
    panel(s, pal.leather, {{48, 14}, {72, 14}, {72, 18}, {48, 18}}, 0.35, 0.4);
    s.begin();
    fillPolygon(s.img, {{38, 18}, {60, 16}, {82, 19}, {84, 22}, {70, 23}, {50, 22}, {38, 21}},
                s.mark([&](int x, int y, double u, double v) {
                    return static_cast<int>(pal.hat.pick(0.65 - 0.5 * v - 0.2 * u, x, y, 2.5));
                }));
    // A crease on top of the crown.
    drawLine(s.img, 56, 5, 64, 5, pal.hat.at(1));
    s.begin();
    rod(s, pal.red, {49, 15}, {38, 5}, 2.4, 1.2, 0.55, 0.5);
    rod(s, pal.red, {38, 5}, {33, 2.5}, 1.2, 0.6, 0.7, 0.5);
    drawLine(s.img, 48, 14, 37, 4, pal.red.at(1));
}

void scarf(Sprite& s, const WalkerPalette& pal) {
    // The knot at the throat and the ends streaming back in the wind.
    s.begin();
    rod(s, pal.red, {49, 43}, {66, 42}, 4.5, 4.5, 0.55);
    s.begin();
    panel(s, pal.red, {{50, 42}, {42, 44}, {30, 42}, {20, 46}, {14, 44}, {20, 52}, {32, 50}, {44, 50}, {52, 48}}, 0.5,
          0.7);
    // Fringe at the tip.
    for (int i = 0; i < 4; ++i) s.set(13 - (i & 1), 45 + i * 2, pal.red.at(2));
    // Stripes knitted across the scarf.
    drawLine(s.img, 36, 44, 36, 50, pal.red.at(5));
    drawLine(s.img, 27, 44, 26, 50, pal.red.at(5));
}

void arm(Sprite& s, const WalkerPalette& pal, Point shoulder, Point elbow, Point wrist, double base) {
    s.begin();
    rod(s, pal.coat, shoulder, elbow, 7, 6, base);
    rod(s, pal.coat, elbow, wrist, 6, 5.2, base - 0.05);
    // A darker cuff.
    double dx = wrist.x - elbow.x, dy = wrist.y - elbow.y;
    rod(s, pal.coat, {wrist.x - dx * 0.12, wrist.y - dy * 0.12}, wrist, 5.6, 5.6, base - 0.2);
}

void stick(Sprite& s, const WalkerPalette& pal) {
    // The stick, planted ahead on the ground, leaning back to the hand.
    s.begin();
    rod(s, pal.wood, {84, 64}, {97, kGround}, 2.2, 2.0, 0.5, 0.6);
    ball(s, pal.wood, 84, 64, 3, 3, 0.6);  // a knob on top
}

void hand(Sprite& s, const WalkerPalette& pal) {
    // The near hand gripping the stick, fingers curled round it.
    s.begin();
    ball(s, pal.skin, 87, 88, 5, 4.5, 0.6);
    drawLine(s.img, 85, 87, 89, 86, pal.skin.at(2));
    drawLine(s.img, 85, 89, 89, 88, pal.skin.at(2));
}

// Outline: transparent pixels next to the figure become the outline colour;
// inside, a pixel next to a part drawn in front of it takes the darkest tone
// of its own colour ramp, so overlapping parts read apart.
void outline(Sprite& s, const WalkerPalette& pal) {
    Image src = s.img;
    std::vector<int> part = s.part;
    auto partAt = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= W || y >= H) return 0;
        return part[static_cast<std::size_t>(y) * W + x];
    };
    auto opaque = [&](int x, int y) { return partAt(x, y) != 0 && src.get(x, y) != pal.shadow; };
    auto darkest = [&](std::uint8_t c) {
        for (const Ramp* r : {&pal.skin, &pal.hair, &pal.hat, &pal.red, &pal.coat, &pal.trousers, &pal.leather,
                              &pal.canvas, &pal.blanket, &pal.metal, &pal.wood}) {
            if (c >= r->first && c < r->first + r->count) return r->at(0);
        }
        return pal.outline;
    };
    const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            bool isOpaque = opaque(x, y);
            for (int k = 0; k < 4; ++k) {
                int nx = x + dx[k], ny = y + dy[k];
                if (!opaque(nx, ny)) continue;
                if (!isOpaque) {
                    s.img.set(x, y, pal.outline);
                    break;
                }
                if (partAt(nx, ny) > partAt(x, y)) {
                    s.img.set(x, y, darkest(src.get(x, y)));
                    break;
                }
            }
        }
    }
}

}  // namespace

Image makeWalker() {
    Palette palette;
    WalkerPalette pal = buildPalette(palette);
    Sprite s;
    s.img.pixels.assign(s.img.pixels.size(), pal.key);

    shadow(s, pal);
    // Back to front: the far arm swinging back, the far leg striding
    // forward, the rucksack, the near leg pushing off behind, the body, the
    // head, the near arm swinging forward with the stick.
    arm(s, pal, {50, 52}, {40, 72}, {34, 90}, 0.25);
    s.begin();
    ball(s, pal.skin, 33, 93, 4, 4, 0.4);
    leg(s, pal, {56, 100}, {70, 134}, {74, 162}, 0.35);
    boot(s, pal, {74, 164}, -0.18, 0.35);
    backpack(s, pal);
    leg(s, pal, {50, 100}, {46, 136}, {34, 160}, 0.55);
    boot(s, pal, {34, 161}, 0.5, 0.55);
    scarf(s, pal);
    torso(s, pal);
    head(s, pal);
    hat(s, pal);
    stick(s, pal);
    arm(s, pal, {58, 52}, {72, 70}, {84, 86}, 0.6);
    hand(s, pal);
    outline(s, pal);

    s.img.palette = palette.colours();
    return s.img;
}

}  // namespace assets
