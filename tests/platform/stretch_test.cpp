// StretchBlt: the left-to-right mirror the saver makes of its sprites, the
// enlargement of its 640x480 back buffer to the screen, and the unscaled case.
#include "gdi_test_util.h"

#include <cstdlib>

using namespace gdi_test;

namespace {

// The saver's mirror: the source rectangle starts at the last column and has
// a negative width.
void mirror(const Surface& dst, const Surface& src) {
    const int w = src.width(), h = src.height();
    ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, w, h, src.dc(), w - 1, 0, -w, h, SRCCOPY));
}

// Checks one axis of an enlargement: map[d] is the source index drawn at
// destination index d. Returns how many destination indices each source index
// covers.
std::vector<int> checkAxis(const std::vector<int>& map, int srcLen, const char* axis) {
    const int dstLen = static_cast<int>(map.size());
    std::vector<int> runs(srcLen, 0);
    EXPECT_EQ(map.front(), 0) << axis << ": first pixel comes from the first source pixel";
    EXPECT_EQ(map.back(), srcLen - 1) << axis << ": last pixel comes from the last source pixel";
    for (int d = 0; d < dstLen; ++d) {
        const int ideal = static_cast<int>(static_cast<long long>(d) * srcLen / dstLen);
        if (std::abs(map[d] - ideal) > 1 || (d > 0 && map[d] != map[d - 1] && map[d] != map[d - 1] + 1)) {
            ADD_FAILURE() << axis << " " << d << " drawn from " << map[d] << ", proportional position " << ideal
                          << ", previous " << (d > 0 ? map[d - 1] : -1);
            return runs;
        }
        ++runs[map[d]];
    }
    return runs;
}

void expectRunsWithin(const std::vector<int>& runs, int lo, int hi, const char* axis) {
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i] < lo || runs[i] > hi) {
            ADD_FAILURE() << axis << ": source pixel " << i << " covers " << runs[i] << " pixels, expected " << lo
                          << " to " << hi;
            return;
        }
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

// The saver enlarges the top-left 640x480 of its back buffer to the window.
// Every source pixel has its own colour, so each destination pixel tells
// which source pixel it came from.
TEST(StretchBlt, EnlargesByPickingNearbySourcePixels) {
    const int sw = 640, sh = 480;
    Surface src(sw, sh, Format::Colour);
    ASSERT_TRUE(src.ok());
    Pixels p(sw, sh);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) p.at(x, y) = static_cast<COLORREF>(y * sw + x);
    put(src, p);

    const struct {
        int dw, dh, colLo, colHi, rowLo, rowHi;
    } targets[] = {{1920, 1080, 3, 3, 2, 3}, {1024, 768, 1, 2, 1, 2}, {640, 480, 1, 1, 1, 1}};
    for (const auto& t : targets) {
        SCOPED_TRACE(::testing::Message() << "onto " << t.dw << "x" << t.dh);
        Surface dst(t.dw, t.dh, Format::Colour);
        ASSERT_TRUE(dst.ok());
        ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, t.dw, t.dh, src.dc(), 0, 0, sw, sh, SRCCOPY));
        const Pixels out = readBits(dst.bitmap());
        ASSERT_EQ(out.w, t.dw);

        // Each destination column takes one source column and each row one
        // source row, the same across the whole picture.
        std::vector<int> col(t.dw), row(t.dh);
        for (int x = 0; x < t.dw; ++x) col[x] = static_cast<int>(out.at(x, 0) % sw);
        for (int y = 0; y < t.dh; ++y) row[y] = static_cast<int>(out.at(0, y) / sw);
        int bad = 0;
        for (int y = 0; y < t.dh; ++y)
            for (int x = 0; x < t.dw; ++x)
                if (out.at(x, y) != static_cast<COLORREF>(row[y] * sw + col[x]) && ++bad <= 3)
                    ADD_FAILURE() << "(" << x << "," << y << ") holds " << hex(out.at(x, y)) << ", not source ("
                                  << col[x] << "," << row[y] << ")";
        ASSERT_EQ(bad, 0);
        expectRunsWithin(checkAxis(col, sw, "column"), t.colLo, t.colHi, "column");
        expectRunsWithin(checkAxis(row, sh, "row"), t.rowLo, t.rowHi, "row");
    }
}
