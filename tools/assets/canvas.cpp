#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace assets {

// ---- Numbers -----------------------------------------------------------

double clamp01(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

double smoothstep(double e0, double e1, double x) {
    double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

int floorInt(double v) {
    int i = static_cast<int>(v);
    return (static_cast<double>(i) > v) ? i - 1 : i;
}

int wrap(int x, int m) {
    int r = x % m;
    return r < 0 ? r + m : r;
}

double sine(double x) {
    // Reduce to [-pi, pi], then to [-pi/2, pi/2] by symmetry, and sum the
    // Taylor series to the 13th power (error below 1e-9 there).
    double k = static_cast<double>(floorInt(x / (2.0 * kPi) + 0.5));
    double r = x - k * (2.0 * kPi);
    if (r > kPi / 2) r = kPi - r;
    if (r < -kPi / 2) r = -kPi - r;
    double r2 = r * r;
    double term = r;
    double sum = r;
    for (int n = 1; n <= 6; ++n) {
        term *= -r2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double cosine(double x) {
    return sine(x + kPi / 2);
}

double expo(double x) {
    if (x < -700.0) return 0.0;
    // e^x = 2^n e^r with |r| <= ln2 / 2; ldexp is exact.
    constexpr double kLn2 = 0.69314718055994530942;
    int n = floorInt(x / kLn2 + 0.5);
    double r = x - n * kLn2;
    double term = 1.0;
    double sum = 1.0;
    for (int i = 1; i <= 14; ++i) {
        term *= r / i;
        sum += term;
    }
    return std::ldexp(sum, n);
}

std::uint32_t Rng::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

double Rng::unit() {
    return (next() >> 8) * (1.0 / 16777216.0);
}

double Rng::range(double lo, double hi) {
    return lo + (hi - lo) * unit();
}

int Rng::below(int n) {
    return static_cast<int>(unit() * n);
}

std::uint32_t hash3(int x, int y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double valueNoise(double x, double y, int cell, std::uint32_t seed, int period) {
    double fx = x / cell;
    double fy = y / cell;
    int ix = floorInt(fx);
    int iy = floorInt(fy);
    double tx = fx - ix;
    double ty = fy - iy;
    tx = tx * tx * (3.0 - 2.0 * tx);
    ty = ty * ty * (3.0 - 2.0 * ty);
    int cells = period > 0 ? period / cell : 0;
    auto lattice = [&](int cx, int cy) {
        if (cells > 0) cx = wrap(cx, cells);
        return (hash3(cx, cy, seed) >> 8) * (1.0 / 16777216.0);
    };
    double a = lerp(lattice(ix, iy), lattice(ix + 1, iy), tx);
    double b = lerp(lattice(ix, iy + 1), lattice(ix + 1, iy + 1), tx);
    return lerp(a, b, ty);
}

double fractalNoise(double x, double y, int cell, int octaves, std::uint32_t seed, int period) {
    double sum = 0.0;
    double weight = 1.0;
    double total = 0.0;
    for (int o = 0; o < octaves && cell >= 1; ++o) {
        sum += weight * valueNoise(x, y, cell, seed + 7919u * o, period);
        total += weight;
        weight *= 0.5;
        cell /= 2;
    }
    return sum / total;
}

double bayer(int x, int y) {
    static constexpr std::uint8_t kMatrix[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
        {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
    };
    return (kMatrix[y & 7][x & 7] + 0.5) / 64.0;
}

// ---- Palettes ----------------------------------------------------------

std::uint8_t Ramp::at(int i) const {
    i = std::clamp(i, 0, count - 1);
    return static_cast<std::uint8_t>(first + i);
}

std::uint8_t Ramp::pick(double t, int x, int y, double sharpness) const {
    double pos = clamp01(t) * (count - 1);
    int lower = floorInt(pos);
    double frac = pos - lower;
    frac = clamp01((frac - 0.5) * sharpness + 0.5);
    return at(frac > bayer(x, y) ? lower + 1 : lower);
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto channel = [t](int p, int q) {
        return static_cast<std::uint8_t>(std::clamp(floorInt(p + (q - p) * t + 0.5), 0, 255));
    };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

Ramp Palette::ramp(std::initializer_list<Rgb> stops, int n) {
    std::vector<Rgb> s(stops);
    Ramp r{size(), n};
    for (int i = 0; i < n; ++i) {
        double pos = n > 1 ? static_cast<double>(i) * (s.size() - 1) / (n - 1) : 0.0;
        int seg = std::min(floorInt(pos), static_cast<int>(s.size()) - 2);
        if (s.size() == 1) {
            add(s[0]);
        } else {
            add(mix(s[seg], s[seg + 1], pos - seg));
        }
    }
    return r;
}

std::uint8_t Palette::add(Rgb c) {
    colours_.push_back(c);
    return static_cast<std::uint8_t>(colours_.size() - 1);
}

// ---- Images ------------------------------------------------------------

bool Image::inside(int x, int y) const {
    if (y < 0 || y >= height) return false;
    return wrapX || (x >= 0 && x < width);
}

std::uint8_t Image::get(int x, int y) const {
    x = wrapX ? wrap(x, width) : std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return pixels[static_cast<std::size_t>(y) * width + x];
}

void Image::set(int x, int y, std::uint8_t index) {
    if (!inside(x, y)) return;
    if (wrapX) x = wrap(x, width);
    pixels[static_cast<std::size_t>(y) * width + x] = index;
}

namespace {

// The pixel range a shape with the given extent may touch.
struct Span {
    int x0, x1, y0, y1;  // inclusive
};

Span spanOf(const Image& img, double minX, double maxX, double minY, double maxY) {
    Span s{floorInt(minX), floorInt(maxX) + 1, floorInt(minY), floorInt(maxY) + 1};
    s.y0 = std::max(s.y0, 0);
    s.y1 = std::min(s.y1, img.height - 1);
    if (!img.wrapX) {
        s.x0 = std::max(s.x0, 0);
        s.x1 = std::min(s.x1, img.width - 1);
    } else if (s.x1 - s.x0 >= img.width) {
        s.x1 = s.x0 + img.width - 1;
    }
    return s;
}

void apply(Image& img, int x, int y, int index) {
    if (index >= 0) img.set(x, y, static_cast<std::uint8_t>(index));
}

// The x a shader sees: wrapped into the image when the image tiles, so
// noise and dither patterns stay periodic.
int shaderX(const Image& img, int x) {
    return img.wrapX ? wrap(x, img.width) : x;
}

}  // namespace

void fillEllipse(Image& img, double cx, double cy, double rx, double ry, const Shader& shade) {
    Span s = spanOf(img, cx - rx, cx + rx, cy - ry, cy + ry);
    for (int y = s.y0; y <= s.y1; ++y) {
        double v = (y + 0.5 - cy) / ry;
        for (int x = s.x0; x <= s.x1; ++x) {
            double u = (x + 0.5 - cx) / rx;
            if (u * u + v * v <= 1.0) apply(img, x, y, shade(shaderX(img, x), y, u, v));
        }
    }
}

void fillCapsule(Image& img, double ax, double ay, double bx, double by, double ra, double rb, const Shader& shade) {
    double r = std::max(ra, rb);
    Span s = spanOf(img, std::min(ax, bx) - r, std::max(ax, bx) + r, std::min(ay, by) - r, std::max(ay, by) + r);
    double dx = bx - ax;
    double dy = by - ay;
    double len2 = dx * dx + dy * dy;
    double len = std::sqrt(len2);
    for (int y = s.y0; y <= s.y1; ++y) {
        for (int x = s.x0; x <= s.x1; ++x) {
            double px = x + 0.5 - ax;
            double py = y + 0.5 - ay;
            double t = len2 > 0 ? clamp01((px * dx + py * dy) / len2) : 0.0;
            double qx = px - t * dx;
            double qy = py - t * dy;
            double dist = std::sqrt(qx * qx + qy * qy);
            double rad = lerp(ra, rb, t);
            if (dist > rad) continue;
            // Which side of the axis: the cross product's sign.
            double side = len > 0 ? (dx * py - dy * px) / len : 0.0;
            double v = rad > 0 ? std::clamp(side / rad, -1.0, 1.0) : 0.0;
            apply(img, x, y, shade(shaderX(img, x), y, t, v));
        }
    }
}

void fillPolygon(Image& img, const std::vector<Point>& points, const Shader& shade) {
    if (points.size() < 3) return;
    double minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (const Point& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    Span s = spanOf(img, minX, maxX, minY, maxY);
    std::vector<double> crossings;
    for (int y = s.y0; y <= s.y1; ++y) {
        double cy = y + 0.5;
        crossings.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % points.size()];
            if ((a.y <= cy) != (b.y <= cy)) {
                crossings.push_back(a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y));
            }
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            int xa = std::max(floorInt(crossings[i] - 0.5) + 1, s.x0);
            int xb = std::min(floorInt(crossings[i + 1] - 0.5), s.x1);
            for (int x = xa; x <= xb; ++x) {
                double u = (x + 0.5 - minX) / std::max(maxX - minX, 1e-9);
                double v = (cy - minY) / std::max(maxY - minY, 1e-9);
                apply(img, x, y, shade(shaderX(img, x), y, u, v));
            }
        }
    }
}

void fillRows(Image& img, int y0, int y1, const Shader& shade) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, img.height);
    for (int y = y0; y < y1; ++y) {
        for (int x = 0; x < img.width; ++x) {
            apply(img, x, y, shade(x, y, static_cast<double>(x) / img.width, static_cast<double>(y) / img.height));
        }
    }
}

void drawLine(Image& img, int x0, int y0, int x1, int y1, std::uint8_t index) {
    int dx = std::abs(x1 - x0);
    int dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1;
    int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        img.set(x0, y0, index);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

}  // namespace assets
