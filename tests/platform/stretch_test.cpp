// StretchBlt: the left-to-right mirror the saver makes of its sprites, the
// unscaled case, and Windows' rounding when scaling, down to the pixel, for
// the enlargement of the 640x480 back buffer to the screen and every small
// size and mirror form.
#include "gdi_test_util.h"

#include <string>
#include <utility>

using namespace gdi_test;

namespace {

// The saver's mirror: the source rectangle starts at the last column and has
// a negative width.
void mirror(const Surface& dst, const Surface& src) {
    const int w = src.width(), h = src.height();
    ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, w, h, src.dc(), w - 1, 0, -w, h, SRCCOPY));
}

}  // namespace

TEST(StretchBlt, NegativeSourceWidthMirrorsLeftToRight) {
    std::mt19937 rng(11);
    for (Format f : {Format::Colour, Format::Mono})
        for (int w : {1, 2, 7, 8, 37, 64, 65, 100}) {
            SCOPED_TRACE(::testing::Message() << formatName(f) << " width " << w);
            Surface src(w, 4, f), once(w, 4, f), twice(w, 4, f);
            ASSERT_TRUE(src.ok() && once.ok() && twice.ok());
            const Pixels p = randomPixels(w, 4, f, rng, {kKey});
            put(src, p);
            mirror(once, src);
            EXPECT_TRUE(samePixels(mirrored(p), read(once)));
            mirror(twice, once);
            EXPECT_TRUE(samePixels(p, read(twice))) << "mirroring twice gives the original";
            EXPECT_TRUE(samePixels(p, read(src))) << "the source is left alone";
        }
}

TEST(StretchBlt, EqualSizesCopyAsBitBltDoes) {
    std::mt19937 rng(12);
    for (Format srcFormat : {Format::Colour, Format::Mono})
        for (DWORD rop : {SRCCOPY, SRCAND, SRCPAINT, SRCINVERT}) {
            SCOPED_TRACE(::testing::Message() << formatName(srcFormat) << " source, rop " << std::hex << rop);
            Surface src(50, 7, srcFormat), dst(60, 9, Format::Colour);
            ASSERT_TRUE(src.ok() && dst.ok());
            const Pixels s = randomPixels(50, 7, srcFormat, rng, {kKey});
            const Pixels d = randomPixels(60, 9, Format::Colour, rng);
            put(src, s);
            put(dst, d);
            ASSERT_TRUE(StretchBlt(dst.dc(), 13, 2, 33, 5, src.dc(), 3, 1, 33, 5, rop));
            EXPECT_TRUE(samePixels(modelBlit(d, Format::Colour, 13, 2, 33, 5, s, srcFormat, 3, 1, rop), read(dst)));
        }
}

// ---- Win32's rounding, pixel for pixel -------------------------------------

namespace {

// Which source pixels Windows combines into each destination pixel of a run
// scaled from `from` pixels to `to`, written the way round Windows describes
// it: enlarging, each destination pixel takes the source pixel under its
// centre; shrinking, each source pixel goes to the destination pixel under
// its centre and those that meet are ANDed. A boundary hit exactly belongs to
// the pixel before it.
std::vector<std::vector<int>> win32Sources(int from, int to) {
    std::vector<std::vector<int>> sources(to);
    // ceil(n / d) - 1 for positive n and d: the pixel a centre at n / d lies in.
    const auto pixelUnder = [](long long n, long long d) { return static_cast<int>((n + d - 1) / d - 1); };
    if (to >= from) {
        for (int k = 0; k < to; ++k) sources[k].push_back(pixelUnder((2LL * k + 1) * from, 2LL * to));
    } else {
        for (int s = 0; s < from; ++s) sources[pixelUnder((2LL * s + 1) * to, 2LL * from)].push_back(s);
    }
    return sources;
}

// One axis of a stretch in a picture one pixel across the other way, with
// the source and destination extents each given a sign.
struct AxisCase {
    int from, to;
    bool mirrorSource, mirrorDestination, vertical;
};

// What Windows draws for an AxisCase: a source run of `from` pixels into a
// destination run of `to`, the AND of the sources of each pixel.
Pixels modelAxis(const AxisCase& c, const Pixels& src) {
    // Onto a single pixel, a run with neither extent negative loses its last
    // source pixel.
    const bool dropsLast = c.to == 1 && c.from > 1 && !c.mirrorSource && !c.mirrorDestination;
    const auto sources = win32Sources(dropsLast ? c.from - 1 : c.from, c.to);
    std::vector<COLORREF> out(c.to);
    for (int k = 0; k < c.to; ++k) {
        COLORREF v = 0xFFFFFF;
        for (int s : sources[k]) v &= src.px[c.mirrorSource ? c.from - 1 - s : s];
        out[c.mirrorDestination ? c.to - 1 - k : k] = v;
    }
    Pixels p = c.vertical ? Pixels(1, c.to) : Pixels(c.to, 1);
    p.px = out;
    return p;
}

::testing::AssertionResult stretchAxis(const AxisCase& c, Format f, const Pixels& src) {
    const int sw = c.vertical ? 1 : c.from, sh = c.vertical ? c.from : 1;
    const int dw = c.vertical ? 1 : c.to, dh = c.vertical ? c.to : 1;
    Surface s(sw, sh, f), d(dw, dh, f);
    if (!s.ok() || !d.ok()) return ::testing::AssertionFailure() << "no bitmaps";
    put(s, src);
    // A negative extent counts from the far pixel of the run back.
    const int xs = !c.vertical && c.mirrorSource ? c.from - 1 : 0, ws = !c.vertical && c.mirrorSource ? -sw : sw;
    const int ys = c.vertical && c.mirrorSource ? c.from - 1 : 0, hs = c.vertical && c.mirrorSource ? -sh : sh;
    const int xd = !c.vertical && c.mirrorDestination ? c.to - 1 : 0, wd = !c.vertical && c.mirrorDestination ? -dw : dw;
    const int yd = c.vertical && c.mirrorDestination ? c.to - 1 : 0, hd = c.vertical && c.mirrorDestination ? -dh : dh;
    if (!StretchBlt(d.dc(), xd, yd, wd, hd, s.dc(), xs, ys, ws, hs, SRCCOPY))
        return ::testing::AssertionFailure() << "StretchBlt failed";
    return samePixels(modelAxis(c, src), readBits(d.bitmap()));
}

std::string describe(const AxisCase& c, Format f) {
    return std::string(formatName(f)) + (c.vertical ? " rows " : " columns ") + std::to_string(c.from) + " -> " +
           std::to_string(c.to) + (c.mirrorSource ? ", source mirrored" : "") +
           (c.mirrorDestination ? ", destination mirrored" : "");
}

// A source run in which ANDing any two different pixels shows: colour
// pixels with many bits each, monochrome ones mostly white.
Pixels axisSource(const AxisCase& c, Format f, std::mt19937& rng) {
    Pixels p = c.vertical ? Pixels(1, c.from) : Pixels(c.from, 1);
    for (COLORREF& v : p.px) v = f == Format::Mono ? (rng() % 3 ? kWhite : kBlack) : (rng() | 0x10101) & 0xFFFFFF;
    return p;
}

}  // namespace

TEST(StretchBlt, EnlargingTakesTheSourcePixelUnderEachDestinationCentre) {
    // Source pixel i has colour i + 1, so each destination names its source.
    const auto sourcesOf = [](int from, int to) {
        Surface s(from, 1, Format::Colour), d(to, 1, Format::Colour);
        Pixels p(from, 1);
        for (int i = 0; i < from; ++i) p.px[i] = static_cast<COLORREF>(i + 1);
        put(s, p);
        EXPECT_TRUE(StretchBlt(d.dc(), 0, 0, to, 1, s.dc(), 0, 0, from, 1, SRCCOPY));
        std::vector<int> out;
        for (COLORREF c : readBits(d.bitmap()).px) out.push_back(static_cast<int>(c) - 1);
        return out;
    };
    EXPECT_EQ(sourcesOf(3, 7), (std::vector<int>{0, 0, 1, 1, 1, 2, 2}));
    EXPECT_EQ(sourcesOf(2, 5), (std::vector<int>{0, 0, 0, 1, 1})) << "an exact centre goes to the pixel before";
    EXPECT_EQ(sourcesOf(4, 6), (std::vector<int>{0, 0, 1, 2, 2, 3}));
}

TEST(StretchBlt, ShrinkingAndsTheSourcePixelsThatMeet) {
    // 7 -> 5 puts sources 1 and 2 together, then 4 and 5.
    Surface s(7, 1, Format::Colour), d(5, 1, Format::Colour);
    const COLORREF in[7] = {0x000001, 0x0000F3, 0x00003E, 0x000004, 0x0000F5, 0x00005E, 0x000007};
    Pixels p(7, 1);
    p.px.assign(in, in + 7);
    put(s, p);
    ASSERT_TRUE(StretchBlt(d.dc(), 0, 0, 5, 1, s.dc(), 0, 0, 7, 1, SRCCOPY));
    Pixels expected(5, 1);
    expected.px = {0x000001, 0x0000F3 & 0x00003E, 0x000004, 0x0000F5 & 0x00005E, 0x000007};
    EXPECT_TRUE(samePixels(expected, readBits(d.bitmap())));
}

// Every source run of 1 to 33 pixels to every size up to three times and
// five more, along both axes, in colour and monochrome, plain and in each
// mirror form.
TEST(StretchBlt, EveryRunSizeAndMirrorFormRoundsAsWindowsDoes) {
    std::mt19937 rng(21);
    int failures = 0;
    for (Format f : {Format::Colour, Format::Mono})
        for (bool vertical : {false, true})
            for (int form = 0; form < 4; ++form)
                for (int from = 1; from <= 33; ++from)
                    for (int to = 1; to <= 3 * from + 5; ++to) {
                        const AxisCase c{from, to, (form & 1) != 0, (form & 2) != 0, vertical};
                        const auto result = stretchAxis(c, f, axisSource(c, f, rng));
                        if (!result && ++failures <= 8) ADD_FAILURE() << describe(c, f) << ": " << result.message();
                    }
    EXPECT_EQ(failures, 0);
}

// The saver's enlargements of its 640x480 frame: every source pixel has its
// own colour, and each destination pixel must hold the one Windows picks.
TEST(StretchBlt, EnlargesTheFrameToTheScreenAsWindowsDoes) {
    const int sw = 640, sh = 480;
    Surface src(sw, sh, Format::Colour);
    ASSERT_TRUE(src.ok());
    Pixels p(sw, sh);
    for (size_t i = 0; i < p.px.size(); ++i) p.px[i] = static_cast<COLORREF>(i);
    put(src, p);

    for (auto [dw, dh] : {std::pair{1920, 1080}, std::pair{1024, 768}, std::pair{800, 600}}) {
        SCOPED_TRACE(::testing::Message() << "onto " << dw << "x" << dh);
        Surface dst(dw, dh, Format::Colour);
        ASSERT_TRUE(dst.ok());
        ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, dw, dh, src.dc(), 0, 0, sw, sh, SRCCOPY));
        const Pixels out = readBits(dst.bitmap());
        const auto cols = win32Sources(sw, dw), rows = win32Sources(sh, dh);
        int bad = 0;
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x) {
                const COLORREF want = p.at(cols[x][0], rows[y][0]);
                if (out.at(x, y) != want && ++bad <= 4)
                    ADD_FAILURE() << "(" << x << "," << y << ") holds " << hex(out.at(x, y)) << ", Windows draws source ("
                                  << cols[x][0] << "," << rows[y][0] << ")";
            }
        EXPECT_EQ(bad, 0);
    }
}

// Both axes at once, across formats and raster operations, part of the
// destination off the bitmap: a small picture stretched one way and shrunk
// the other.
TEST(StretchBlt, TwoAxesAcrossFormatsAndOperations) {
    std::mt19937 rng(22);
    const int sw = 13, sh = 9, dw = 21, dh = 6;
    for (Format srcFormat : {Format::Colour, Format::Mono})
        for (Format dstFormat : {Format::Colour, Format::Mono})
            for (DWORD rop : {SRCCOPY, SRCAND, SRCPAINT, SRCINVERT}) {
                SCOPED_TRACE(::testing::Message() << formatName(srcFormat) << " onto " << formatName(dstFormat)
                                                  << ", rop " << std::hex << rop);
                Surface src(sw, sh, srcFormat), dst(24, 8, dstFormat);
                ASSERT_TRUE(src.ok() && dst.ok());
                const Pixels s = randomPixels(sw, sh, srcFormat, rng, {kWhite});
                const Pixels before = randomPixels(24, 8, dstFormat, rng);
                put(src, s);
                put(dst, before);
                ASSERT_TRUE(StretchBlt(dst.dc(), 5, 3, dw, dh, src.dc(), 0, 0, sw, sh, rop));

                // Convert first, then AND: mono 1 is white and a colour
                // source pixel equal to the source's background becomes 1.
                const auto cols = win32Sources(sw, dw), rows = win32Sources(sh, dh);
                Pixels expected = before;
                for (int j = 0; j < dh; ++j)
                    for (int i = 0; i < dw; ++i) {
                        if (5 + i >= 24 || 3 + j >= 8) continue;
                        COLORREF v = 0xFFFFFF;
                        for (int y : rows[j])
                            for (int x : cols[i]) {
                                COLORREF p = s.at(x, y);
                                if (srcFormat == Format::Colour && dstFormat == Format::Mono)
                                    p = p == kWhite ? kWhite : kBlack;
                                v &= p;
                            }
                        COLORREF& d = expected.at(5 + i, 3 + j);
                        d = applyRop(rop, d, v) & 0xFFFFFF;
                        if (dstFormat == Format::Mono) d = d == kWhite ? kWhite : kBlack;
                    }
                EXPECT_TRUE(samePixels(expected, read(dst)));
            }
}
