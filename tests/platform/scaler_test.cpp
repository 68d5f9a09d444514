// The frame scaler: what a user sees of the 640x480 frame on a real screen
// or in a preview window.
#include "backend/scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

using platform::backend::Canvas;
using platform::backend::letterbox;
using platform::backend::Picture;
using platform::backend::Rect;
using platform::backend::Scaler;

namespace {

// An image whose rows are `pad` words longer than its width. The buffer ends
// at the last row's last pixel, so the sanitizer build catches any read or
// write past the end; writes into the padding are checked by the tests.
struct Image {
    int w, h, pad;
    std::vector<std::uint32_t> words;

    Image(int width, int height, std::uint32_t fill = 0, int padding = 0, std::uint32_t padFill = 0)
        : w(width), h(height), pad(padding),
          words(static_cast<std::size_t>(height - 1) * (width + padding) + width, padFill) {
        for (int y = 0; y < h; ++y) std::fill_n(&at(0, y), w, fill);
    }
    std::uint32_t& at(int x, int y) { return words[static_cast<std::size_t>(y) * (w + pad) + x]; }
    std::uint32_t at(int x, int y) const { return words[static_cast<std::size_t>(y) * (w + pad) + x]; }
    std::size_t stride() const { return static_cast<std::size_t>(w + pad) * 4; }
    Picture picture() const { return {words.data(), w, h, stride()}; }
    Canvas canvas() { return {words.data(), w, h, stride()}; }
};

int channel(std::uint32_t p, int c) { return static_cast<int>(p >> (16 - 8 * c) & 0xFF); }

std::uint32_t rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}

Image randomImage(int w, int h, std::mt19937& rng, int lo = 0, int hi = 255) {
    std::uniform_int_distribution<int> c(lo, hi);
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = rgb(c(rng), c(rng), c(rng));
    return img;
}

Image scaled(const Image& from, int w, int h) {
    Image to(w, h, 0xDEADBEEF);
    Scaler().scale(from.picture(), to.canvas());
    return to;
}

// A line of n source pixels in red, green and blue by turns: a blend of two
// neighbours has exactly two channels lit, which tell the pair, and their
// shares tell how far along it the output lies.
std::vector<std::uint32_t> stripeColours(int n) {
    std::vector<std::uint32_t> c(n);
    for (int j = 0; j < n; ++j) c[j] = 0xFFu << (16 - 8 * (j % 3));
    return c;
}

// Where along such a line an output colour lies: j + t for a blend of
// (1 - t) of pixel j and t of pixel j + 1, j the one of its turn nearest
// `guess`; nothing when the colour is no such blend.
std::optional<double> positionOf(std::uint32_t o, int guess, int n) {
    for (int j = std::max(0, guess - 1); j <= std::min(n - 1, guess + 1); ++j) {
        const int here = channel(o, j % 3), next = channel(o, (j + 1) % 3), other = channel(o, (j + 2) % 3);
        if (here == 255 && next == 0 && other == 0) return j;
        if (j + 1 < n && here > 0 && next > 0 && other == 0 && std::abs(here + next - 255) <= 1)
            return j + next / 255.0;
    }
    return std::nullopt;
}

// Checks one enlarged line: each output pixel is a source colour or a blend
// of two neighbours, in order; every source pixel gets the same share of the
// output (its pure pixels and its parts of blends) within a fifth of a pixel,
// where nearest-neighbour alone would make some a whole pixel wider than
// others; from a factor of 2 up, every source pixel keeps a pure run and the
// runs' widths differ by at most 1.
void expectSharpLine(int n, const std::vector<std::uint32_t>& out) {
    const int d = static_cast<int>(out.size());
    std::vector<int> pure(n, 0);
    std::vector<double> share(n + 1, 0.0);
    double last = 0;
    for (int x = 0; x < d; ++x) {
        const auto p = positionOf(out[x], static_cast<int>((2 * std::int64_t{x} + 1) * n / (2 * d)), n);
        ASSERT_TRUE(p) << "output " << x << " is no blend of neighbours";
        ASSERT_GE(*p, last) << "output " << x << " goes back along the source";
        last = *p;
        const int j = static_cast<int>(*p);
        share[j] += 1 - (*p - j);
        share[j + 1] += *p - j;
        if (*p == j) ++pure[j];
    }
    for (int j = 0; j < n; ++j) EXPECT_NEAR(share[j], double(d) / n, 0.2) << "source pixel " << j;
    if (d >= 2 * n) {
        const auto [lo, hi] = std::minmax_element(pure.begin(), pure.end());
        EXPECT_GE(*lo, 1);
        EXPECT_LE(*hi - *lo, 1) << "pure runs from " << *lo << " to " << *hi << " pixels wide";
    }
}

}  // namespace

TEST(Scaler, IntegerFactorsRepeatEachPixelExactly) {
    std::mt19937 rng(1);
    const Image src = randomImage(37, 23, rng);
    for (auto [fx, fy] : {std::pair{1, 1}, {2, 2}, {3, 3}, {2, 3}, {5, 1}}) {
        SCOPED_TRACE(::testing::Message() << fx << "x" << fy);
        const Image out = scaled(src, src.w * fx, src.h * fy);
        for (int y = 0; y < out.h; ++y)
            for (int x = 0; x < out.w; ++x) ASSERT_EQ(out.at(x, y), src.at(x / fx, y / fy)) << x << "," << y;
    }
}

TEST(Scaler, NonIntegerEnlargementKeepsEverySourcePixelSharp) {
    for (auto [n, d] : {std::pair{640, 1440}, {480, 1080}, {640, 1024}, {480, 768}, {64, 160}, {7, 23}, {3, 4}}) {
        SCOPED_TRACE(::testing::Message() << n << " -> " << d);
        const std::vector<std::uint32_t> src = stripeColours(n);
        Image across(n, 2), down(2, n);
        for (int j = 0; j < n; ++j) across.at(j, 0) = across.at(j, 1) = down.at(0, j) = down.at(1, j) = src[j];
        const Image wide = scaled(across, d, 3), tall = scaled(down, 3, d);
        std::vector<std::uint32_t> row(d), column(d);
        for (int x = 0; x < d; ++x) row[x] = wide.at(x, 1), column[x] = tall.at(1, x);
        expectSharpLine(n, row);
        expectSharpLine(n, column);
    }
}

TEST(Scaler, CheckerboardShadowKeepsEveryDotOnA1080LineScreen) {
    const std::uint32_t shadow = rgb(0x1E, 0x3A, 0x14);
    Image src(640, 480);
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x) src.at(x, y) = (x + y) % 2 ? shadow : 0;
    Image screen(1920, 1080, 0xDEADBEEF);
    Scaler().scaleLetterboxed(src.picture(), screen.canvas());
    // The picture is 1440 wide, from x = 240; each dot's footprint is 2.25
    // pixels square and its middle shows the dot's own colour.
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x)
            ASSERT_EQ(screen.at(240 + (4 * x + 2) * 9 / 16, (4 * y + 2) * 9 / 16), src.at(x, y)) << x << "," << y;
}

TEST(Scaler, ReductionAveragesWhatEachPixelCovers) {
    std::mt19937 rng(3);
    const Image src = randomImage(64, 48, rng);
    const Image halved = scaled(src, 32, 24), across = scaled(src, 32, 48), mixed = scaled(src, 128, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < 3; ++c) {
                const int a = channel(src.at(2 * x, 2 * y), c), b = channel(src.at(2 * x + 1, 2 * y), c);
                const int e = channel(src.at(2 * x, 2 * y + 1), c), f = channel(src.at(2 * x + 1, 2 * y + 1), c);
                ASSERT_EQ(channel(halved.at(x, y), c), (a + b + e + f + 2) / 4);
                ASSERT_EQ(channel(across.at(x, 2 * y), c), (a + b + 1) / 2);
                // Doubled across and halved down.
                ASSERT_EQ(channel(mixed.at(4 * x + 3, y), c), (b + f + 1) / 2);
            }
}

TEST(Scaler, ReductionKeepsUniformAreasExact) {
    // Four uniform quadrants: an output pixel covering only one of them
    // shows its colour exactly.
    const std::uint32_t colours[4] = {rgb(0x12, 0x34, 0x56), rgb(255, 255, 255), rgb(0, 0, 1), rgb(200, 7, 99)};
    Image src(640, 480);
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x) src.at(x, y) = colours[(x >= 320) + 2 * (y >= 240)];
    for (auto [w, h] : {std::pair{200, 150}, {7, 5}, {213, 97}, {639, 479}, {2, 2}, {100, 479}}) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        const Image out = scaled(src, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool left = (x + 1) * 640 <= 320 * w, right = x * 640 >= 320 * w;
                const bool top = (y + 1) * 480 <= 240 * h, bottom = y * 480 >= 240 * h;
                if ((left || right) && (top || bottom)) {
                    ASSERT_EQ(out.at(x, y), colours[right + 2 * bottom]) << x << "," << y;
                }
            }
    }
}

TEST(Scaler, ReductionKeepsOnePixelLinesVisible) {
    for (auto [n, d] : {std::pair{90, 30}, {170, 100}}) {
        for (int line = 0; line < n; ++line) {
            SCOPED_TRACE(::testing::Message() << n << " -> " << d << ", line at " << line);
            Image vertical(n, 3), horizontal(3, n);
            for (int i = 0; i < 3; ++i) vertical.at(line, i) = horizontal.at(i, line) = rgb(255, 255, 255);
            const Image a = scaled(vertical, d, 1), b = scaled(horizontal, 1, d);
            int brightest = 0, total = 0;
            for (int x = 0; x < d; ++x) {
                EXPECT_EQ(a.at(x, 0), b.at(0, x));
                brightest = std::max(brightest, channel(a.at(x, 0), 1));
                total += channel(a.at(x, 0), 1);
            }
            EXPECT_GE(brightest, 64);
            // The line's light is spread, not lost or doubled.
            EXPECT_NEAR(total, 255.0 * d / n, 1.0);
        }
    }
}

TEST(Scaler, LetterboxedPictureIsCentredBetweenBlackBars) {
    const auto box = [](Rect r) { return std::tuple{r.x, r.y, r.w, r.h}; };
    EXPECT_EQ(box(letterbox(640, 480, 1920, 1080)), std::tuple(240, 0, 1440, 1080));
    EXPECT_EQ(box(letterbox(640, 480, 1280, 1024)), std::tuple(0, 32, 1280, 960));
    EXPECT_EQ(box(letterbox(640, 480, 200, 150)), std::tuple(0, 0, 200, 150));
    EXPECT_EQ(box(letterbox(0, 480, 200, 150)), std::tuple(0, 0, 200, 150));
    std::mt19937 rng(4);
    const Image src = randomImage(64, 48, rng, 1, 255);
    for (auto [w, h] : {std::pair{200, 100}, {100, 200}, {1920, 1080}, {1280, 1024}, {64, 48}, {21, 15}}) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        const Rect r = letterbox(src.w, src.h, w, h);
        EXPECT_LE(std::abs((w - r.w) - 2 * r.x), 1);
        EXPECT_LE(std::abs((h - r.h) - 2 * r.y), 1);
        EXPECT_TRUE(r.w == w || r.h == h);
        Image screen(w, h, 0xFFFFFFFF, 3, 0xFFFFFFFF);
        Scaler().scaleLetterboxed(src.picture(), screen.canvas());
        const Image alone = scaled(src, r.w, r.h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
                ASSERT_EQ(screen.at(x, y), inside ? alone.at(x - r.x, y - r.y) : 0u) << x << "," << y;
            }
        for (int y = 0; y + 1 < h; ++y) ASSERT_EQ(screen.at(w, y), 0xFFFFFFFFu) << "padding written";
    }
}

TEST(Scaler, OddSizesStayInBoundsAndInRange) {
    // Padding the picture with a marked colour shows a read past a row's
    // end; the image buffers end exactly, so the sanitizer build catches a
    // read or write past the last row.
    std::mt19937 rng(5);
    const std::tuple<int, int, int, int> sizes[] = {
        {1, 1, 1, 1}, {1, 1, 1000, 3}, {1, 7, 5, 1}, {640, 480, 7, 7}, {1, 1000, 3, 1000}, {3, 1, 2, 5},
        {640, 480, 1000, 100}, {640, 480, 100, 1000}, {2, 2, 3, 1}, {1, 3, 1000, 2}, {640, 1, 7, 1000}};
    for (auto [sw, sh, dw, dh] : sizes) {
        SCOPED_TRACE(::testing::Message() << sw << "x" << sh << " -> " << dw << "x" << dh);
        Image src(sw, sh, 0, 2, 0xFF000000);
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) src.at(x, y) = rgb(40 + rng() % 160, 40 + rng() % 160, 40 + rng() % 160);
        Image out(dw, dh, 0x01010101, 1, 0xABABABAB), uniform(dw, dh);
        Scaler scaler;
        scaler.scale(src.picture(), out.canvas());
        for (int y = 0; y < dh; ++y) {
            if (y + 1 < dh) {
                ASSERT_EQ(out.at(dw, y), 0xABABABABu) << "padding written";
            }
            for (int x = 0; x < dw; ++x)
                for (int c = -1; c < 3; ++c) {
                    const int v = c < 0 ? static_cast<int>(out.at(x, y) >> 24) : channel(out.at(x, y), c);
                    ASSERT_TRUE(c < 0 ? v == 0 : v >= 40 && v < 200) << x << "," << y << " channel " << c;
                }
        }
        // The same sizes keep a uniform picture exactly uniform.
        const Image flat(sw, sh, rgb(0x9A, 0x33, 0xC7));
        scaler.scale(flat.picture(), uniform.canvas());
        for (std::uint32_t p : uniform.words) ASSERT_EQ(p, rgb(0x9A, 0x33, 0xC7));
    }
}

TEST(Scaler, MalformedInputIsRefused) {
    Image src(8, 8, rgb(1, 2, 3)), out(16, 16, 0x00777777);
    const Picture bad[] = {{nullptr, 8, 8, 32}, {src.words.data(), 0, 8, 32}, {src.words.data(), 8, -1, 32},
                           {src.words.data(), 8, 8, 28}, {src.words.data(), 8, 8, 34}};
    Scaler scaler;
    for (const Picture& p : bad) {
        scaler.scale(p, out.canvas());
        for (std::uint32_t v : out.words) ASSERT_EQ(v, 0x00777777u);
    }
    scaler.scaleLetterboxed(bad[1], out.canvas());
    for (std::uint32_t v : out.words) ASSERT_EQ(v, 0u) << "nothing to show is a black screen";
    // A malformed canvas is left alone.
    scaler.scale(src.picture(), Canvas{out.words.data(), 16, 16, 60});
    scaler.scaleLetterboxed(src.picture(), Canvas{out.words.data(), -16, 16, 64});
    for (std::uint32_t v : out.words) ASSERT_EQ(v, 0u);
    // A picture too thin to reach one output line leaves only black.
    const Image line(1000, 1, rgb(9, 9, 9));
    Image box(10, 10, 0x00777777);
    scaler.scaleLetterboxed(line.picture(), box.canvas());
    for (std::uint32_t v : box.words) ASSERT_EQ(v, 0u);
}

TEST(Scaler, ReusedScalerFollowsNewPicturesAndSizes) {
    std::mt19937 rng(6);
    Scaler scaler;
    const std::pair<int, int> sizes[] = {{1440, 1080}, {1440, 1080}, {200, 150}, {1024, 768}, {1440, 1080},
                                         {640, 480}, {200, 150}};
    for (auto [w, h] : sizes) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        const Image src = randomImage(640, 480, rng);
        Image out(w, h);
        scaler.scale(src.picture(), out.canvas());
        ASSERT_EQ(out.words, scaled(src, w, h).words);
    }
}

// A screen kept up to date by scaling only what changed, frame after frame,
// equals a whole scale of the last frame, pixel for pixel: every kind of
// axis (exact, sharp-bilinear, averaged, and one of each), changes of every
// size down to one pixel, at the edges and inside.
TEST(Scaler, RegionsKeepTheScreenEqualToAWholeScale) {
    std::mt19937 rng(7);
    struct Case {
        int outW, outH;
    };
    for (const Case c : {Case{1280, 960}, Case{1440, 1080}, Case{1024, 768}, Case{200, 150}, Case{960, 300}}) {
        SCOPED_TRACE(::testing::Message() << "640x480 into " << c.outW << "x" << c.outH);
        Image frame = randomImage(640, 480, rng);
        Image screen(c.outW, c.outH, 0, 3, 0xDEADBEEF);
        Scaler scaler;
        scaler.scale(frame.picture(), screen.canvas());
        for (int step = 0; step < 30; ++step) {
            // A few rectangles of new pixels, as a frame's sprites make.
            std::uniform_int_distribution<int> count(1, 4), xs(0, 639), ys(0, 479), side(1, 90);
            std::vector<Rect> changed;
            for (int n = count(rng); n > 0; --n) {
                const int x = xs(rng), y = ys(rng);
                changed.push_back(Rect{x, y, std::min(side(rng), 640 - x), std::min(side(rng), 480 - y)});
            }
            if (step == 0) changed = {Rect{0, 0, 1, 1}, Rect{639, 479, 1, 1}};
            for (const Rect& r : changed)
                for (int y = r.y; y < r.y + r.h; ++y)
                    for (int x = r.x; x < r.x + r.w; ++x) frame.at(x, y) = rng() & 0x00FFFFFF;
            for (const Rect& r : changed) {
                const Rect out = scaler.scaleRegion(frame.picture(), screen.canvas(), r);
                ASSERT_GT(out.w, 0);
                ASSERT_GT(out.h, 0);
                EXPECT_LE(out.x + out.w, c.outW);
                EXPECT_LE(out.y + out.h, c.outH);
            }
            const Image whole = scaled(frame, c.outW, c.outH);
            int wrong = 0;
            for (int y = 0; y < c.outH; ++y)
                for (int x = 0; x < c.outW; ++x)
                    if (screen.at(x, y) != whole.at(x, y) && ++wrong <= 3)
                        ADD_FAILURE() << "step " << step << ": (" << x << "," << y << ") differs from a whole scale";
            ASSERT_EQ(wrong, 0);
            for (int y = 0; y + 1 < c.outH; ++y)  // the padding after each row but the last
                for (int p = 0; p < 3; ++p) ASSERT_EQ(screen.words[y * (c.outW + 3) + c.outW + p], 0xDEADBEEF);
        }
    }
}

TEST(Scaler, ARegionReachesOnlyTheOutputsThatReadIt) {
    std::mt19937 rng(3);
    const Image frame = randomImage(640, 480, rng);
    Image screen(1280, 960);
    Scaler scaler;
    // Exactly twice: a pixel reaches its own 2x2 block and nothing more.
    EXPECT_EQ(scaler.scaleRegion(frame.picture(), screen.canvas(), Rect{10, 20, 1, 1}).x, 20);
    const Rect block = scaler.scaleRegion(frame.picture(), screen.canvas(), Rect{10, 20, 1, 1});
    EXPECT_EQ(block.y, 40);
    EXPECT_EQ(block.w, 2);
    EXPECT_EQ(block.h, 2);
    // Sharp-bilinear 2.25x: the block's edge pixels blend with the
    // neighbours', so the region is a little wider than 2.25 pixels.
    Image wide(1440, 1080);
    const Rect blended = scaler.scaleRegion(frame.picture(), wide.canvas(), Rect{10, 20, 1, 1});
    EXPECT_GE(blended.w, 3);
    EXPECT_LE(blended.w, 4);
    // Outside the picture, or empty: nothing.
    EXPECT_EQ(scaler.scaleRegion(frame.picture(), wide.canvas(), Rect{640, 0, 5, 5}).w, 0);
    EXPECT_EQ(scaler.scaleRegion(frame.picture(), wide.canvas(), Rect{5, 5, 0, 5}).w, 0);
}
