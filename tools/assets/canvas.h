// Drawing primitives for the asset generator: palette images, colour ramps
// with ordered dithering, a fixed-seed random generator, value noise and
// filled shapes.
//
// Everything here is deterministic on every host: integer arithmetic, or
// IEEE double arithmetic limited to + - * / and sqrt (correctly rounded
// everywhere), and sorts that keep equal elements in order. The few transcendental functions the art and the sound need
// are our own polynomials, because the C library's differ between systems
// in their last bits and the committed files must regenerate byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace assets {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// The colour the saver treats as transparent: red 254, green 2, blue 254.
constexpr Rgb kKey{254, 2, 254};

// ---- Numbers -----------------------------------------------------------

constexpr double kPi = 3.14159265358979323846;

double clamp01(double v);
double lerp(double a, double b, double t);
double smoothstep(double e0, double e1, double x);
double sine(double x);    // sin(x), absolute error below 1e-9
double cosine(double x);  // cos(x)
double expo(double x);    // e^x, relative error below 1e-12
// Integer floor of a double, and x modulo m into [0, m).
int floorInt(double v);
int wrap(int x, int m);

// xorshift32: a small fixed generator whose output is the same everywhere.
// Take one value per statement when several feed one call: C++ leaves the
// order in which arguments are evaluated open, and compilers differ.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t next();
    double unit();                       // [0, 1)
    double range(double lo, double hi);  // [lo, hi)
    int below(int n);                    // [0, n)

private:
    std::uint32_t state_;
};

// A well-mixed hash of lattice coordinates, for noise.
std::uint32_t hash3(int x, int y, std::uint32_t seed);

// Value noise in [0, 1) on a lattice of cell x cell pixels. With period > 0
// the noise repeats every `period` pixels in x (period a multiple of cell).
double valueNoise(double x, double y, int cell, std::uint32_t seed, int period = 0);
// Several octaves of value noise, halving the cell each time; in [0, 1).
double fractalNoise(double x, double y, int cell, int octaves, std::uint32_t seed, int period = 0);

// Ordered-dither threshold for a pixel, in (0, 1): the 8 x 8 Bayer matrix.
double bayer(int x, int y);

// ---- Palettes ----------------------------------------------------------

// A run of palette entries from dark to light.
struct Ramp {
    int first = 0;
    int count = 0;

    std::uint8_t at(int i) const;  // clamped to the ramp
    // The entry for a tone t in [0, 1], dithered between the two nearest
    // entries with the Bayer matrix. `sharpness` 1 dithers the whole step;
    // larger values keep flat bands and dither only near the step.
    std::uint8_t pick(double t, int x, int y, double sharpness = 1.0) const;
};

class Palette {
public:
    // A ramp through the given colour stops, evenly spaced over n entries.
    Ramp ramp(std::initializer_list<Rgb> stops, int n);
    std::uint8_t add(Rgb c);
    int size() const { return static_cast<int>(colours_.size()); }
    const std::vector<Rgb>& colours() const { return colours_; }

private:
    std::vector<Rgb> colours_;
};

Rgb mix(Rgb a, Rgb b, double t);

// ---- Images ------------------------------------------------------------

// An 8-bit palette image, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    std::vector<Rgb> palette;
    // When set, x wraps around, so shapes drawn across the right edge come
    // back in at the left: the picture tiles horizontally.
    bool wrapX = false;

    Image() = default;
    Image(int w, int h, std::uint8_t fill = 0) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

    bool inside(int x, int y) const;
    std::uint8_t get(int x, int y) const;        // wraps or clamps x, clamps y
    void set(int x, int y, std::uint8_t index);  // ignores points outside
    Rgb colour(int x, int y) const { return palette[get(x, y)]; }
};

// A per-pixel painter: given the pixel and the position within the shape
// (shape-specific, see each function), returns a palette index, or -1 to
// leave the pixel alone.
using Shader = std::function<int(int x, int y, double u, double v)>;

// Ellipse centred on (cx, cy); u, v are the position scaled to the radii, so
// u*u + v*v <= 1 inside.
void fillEllipse(Image& img, double cx, double cy, double rx, double ry, const Shader& shade);

// A segment from a to b with radius ra at a and rb at b, rounded ends.
// u is the position along the segment (0 at a, 1 at b), v the signed
// distance from the axis over the local radius (-1..1, negative on the left
// of the direction a->b in image coordinates).
void fillCapsule(Image& img, double ax, double ay, double bx, double by, double ra, double rb, const Shader& shade);

struct Point {
    double x, y;
};
// A polygon, even-odd rule, sampled at pixel centres. u, v are the pixel
// position relative to the polygon's bounding box (0..1).
void fillPolygon(Image& img, const std::vector<Point>& points, const Shader& shade);

// Every pixel in rows y0..y1-1 for which `shade` gives an index; u, v are
// x / width and y / height.
void fillRows(Image& img, int y0, int y1, const Shader& shade);

// A line one pixel wide (Bresenham).
void drawLine(Image& img, int x0, int y0, int x1, int y1, std::uint8_t index);

}  // namespace assets
