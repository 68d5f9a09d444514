// BitBlt: the four raster operations in every pairing of mono and colour
// bitmaps, clipping at every edge of both bitmaps, and bad arguments. Every
// result is compared pixel by pixel with modelBlit.
#include "gdi_test_util.h"

#include <climits>

using namespace gdi_test;

namespace {

const DWORD kRops[] = {SRCCOPY, SRCAND, SRCPAINT, SRCINVERT};

const char* ropName(DWORD rop) {
    switch (rop) {
        case SRCCOPY: return "SRCCOPY";
        case SRCAND: return "SRCAND";
        case SRCPAINT: return "SRCPAINT";
        case SRCINVERT: return "SRCINVERT";
    }
    return "?";
}

// Colours common in a source picture: the key, its near misses, black, white.
const std::vector<COLORREF> kPalette = {kKey,  RGB(254, 2, 255), RGB(255, 2, 254), RGB(254, 3, 254), RGB(0, 0, 0),
                                        kWhite};

// Colours are set on both DCs, including the ones that must not matter: a
// mono source is converted with the destination DC's colours, a colour source
// with the source DC's background colour.
void applyColours(const Surface& src, const Surface& dst, const BlitColours& c) {
    SetBkColor(src.dc(), c.srcBk);
    SetTextColor(src.dc(), RGB(0x31, 0x41, 0x59));
    if (src.format() == Format::Mono && dst.format() == Format::Mono) return;  // conversion-free: defaults
    SetBkColor(dst.dc(), c.dstBk);
    SetTextColor(dst.dc(), c.dstText);
}

}  // namespace

// One pairing of source and destination formats with the DC colours to use.
// (Outside the anonymous namespace: GoogleTest's factories hold a copy.)
struct BlitPairingCase {
    Format src, dst;
    BlitColours colours;
    const char* name;
};

void PrintTo(const BlitPairingCase& p, std::ostream* os) {
    *os << p.name;
}

class BlitPairing : public ::testing::TestWithParam<BlitPairingCase> {};

// Rows are handled several pixels at a time, so bit and byte alignment of
// both ends in both bitmaps is where faults hide: odd offsets and widths on
// either side of 8, 32 and 64.
TEST_P(BlitPairing, EveryRasterOperationAtUnalignedOffsetsAndWidths) {
    const BlitPairingCase& p = GetParam();
    Surface src(120, 5, p.src), dst(130, 6, p.dst);
    ASSERT_TRUE(src.ok() && dst.ok());
    applyColours(src, dst, p.colours);
    std::mt19937 rng(1234);
    const Pixels srcPixels = randomPixels(120, 5, p.src, rng, kPalette);
    put(src, srcPixels);

    const struct { int sx, dx; } offsets[] = {{3, 13}, {0, 0}, {8, 1}, {13, 3}, {1, 24}};
    for (DWORD rop : kRops)
        for (auto o : offsets)
            for (int w : {1, 7, 8, 9, 63, 64, 65, 100}) {
                SCOPED_TRACE(::testing::Message()
                             << ropName(rop) << " from x " << o.sx << " to x " << o.dx << ", width " << w);
                const Pixels before = randomPixels(130, 6, p.dst, rng, kPalette);
                put(dst, before);
                ASSERT_TRUE(BitBlt(dst.dc(), o.dx, 1, w, 3, src.dc(), o.sx, 2, rop));
                ASSERT_TRUE(samePixels(
                    modelBlit(before, p.dst, o.dx, 1, w, 3, srcPixels, p.src, o.sx, 2, rop, p.colours), read(dst)));
            }
}

// Positions off each edge and corner of the destination, and source rectangles
// reaching past each edge of the source: only pixels with both ends inside
// their bitmaps are drawn.
TEST_P(BlitPairing, ClipsToBothBitmapsAtEveryEdge) {
    const BlitPairingCase& p = GetParam();
    Surface src(19, 10, p.src), dst(40, 30, p.dst);
    ASSERT_TRUE(src.ok() && dst.ok());
    applyColours(src, dst, p.colours);
    std::mt19937 rng(99);
    const Pixels srcPixels = randomPixels(19, 10, p.src, rng, kPalette);
    put(src, srcPixels);

    const struct {
        int dx, dy, w, h, sx, sy;
    } cases[] = {
        {-5, 4, 19, 10, 0, 0},      {4, -3, 19, 10, 0, 0},         {33, 4, 19, 10, 0, 0},
        {4, 26, 19, 10, 0, 0},      {-5, -3, 19, 10, 0, 0},        {33, 26, 19, 10, 0, 0},
        {-19, 4, 19, 10, 0, 0},     {40, 4, 19, 10, 0, 0},         {4, 30, 19, 10, 0, 0},
        {4, -10, 19, 10, 0, 0},     {-50, -50, 19, 10, 0, 0},      {10, 10, 19, 10, -3, 0},
        {10, 10, 19, 10, 0, -2},    {10, 10, 19, 10, 5, 0},        {10, 10, 19, 10, 0, 4},
        {10, 10, 19, 10, -3, -2},   {10, 10, 19, 10, -19, 0},      {10, 10, 19, 10, 19, 0},
        {-2, -2, 19, 10, -3, -1},   {30, 25, 25, 25, -4, -3},      {0, 0, 1 << 26, 1 << 26, 0, 0},
        {1 << 26, 0, 19, 10, 0, 0}, {0, -(1 << 26), 19, 10, 0, 0}, {5, 5, 19, 10, 1 << 26, 0},
    };
    for (DWORD rop : {SRCCOPY, SRCINVERT})
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << ropName(rop) << " to (" << c.dx << "," << c.dy << ") size " << c.w
                                              << "x" << c.h << " from (" << c.sx << "," << c.sy << ")");
            const Pixels before = randomPixels(40, 30, p.dst, rng, kPalette);
            put(dst, before);
            BitBlt(dst.dc(), c.dx, c.dy, c.w, c.h, src.dc(), c.sx, c.sy, rop);  // fully clipped may report either
            ASSERT_TRUE(
                samePixels(modelBlit(before, p.dst, c.dx, c.dy, c.w, c.h, srcPixels, p.src, c.sx, c.sy, rop, p.colours),
                           read(dst)));
        }
}

INSTANTIATE_TEST_SUITE_P(
    AllPairings, BlitPairing,
    ::testing::Values(
        BlitPairingCase{Format::Colour, Format::Colour, {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9)}, "ColourToColour"},
        BlitPairingCase{Format::Mono, Format::Colour, {}, "MonoToColourDefaultColours"},
        BlitPairingCase{Format::Mono,
                        Format::Colour,
                        {RGB(9, 9, 9), RGB(0x12, 0x34, 0x56), RGB(0xA0, 0x0B, 0xC0)},
                        "MonoToColourOwnColours"},
        BlitPairingCase{
            Format::Colour, Format::Mono, {kKey, RGB(0x12, 0x34, 0x56), RGB(0xA0, 0x0B, 0xC0)}, "ColourToMonoKey"},
        BlitPairingCase{Format::Colour, Format::Mono, {kBlack, kKey, kKey}, "ColourToMonoBlack"},
        BlitPairingCase{Format::Mono, Format::Mono, {}, "MonoToMono"}),
    [](const ::testing::TestParamInfo<BlitPairingCase>& info) { return std::string(info.param.name); });

TEST(BitBlt, EmptyAndExtremeRectanglesDoNoHarm) {
    Surface src(16, 8, Format::Colour), dst(16, 8, Format::Colour);
    ASSERT_TRUE(src.ok() && dst.ok());
    std::mt19937 rng(6);
    const Pixels srcPixels = randomPixels(16, 8, Format::Colour, rng);
    const Pixels before = randomPixels(16, 8, Format::Colour, rng);
    put(src, srcPixels);
    put(dst, before);
    BitBlt(dst.dc(), 2, 2, 0, 5, src.dc(), 0, 0, SRCCOPY);
    BitBlt(dst.dc(), 2, 2, 5, 0, src.dc(), 0, 0, SRCCOPY);
    EXPECT_TRUE(samePixels(before, read(dst))) << "a zero width or height draws nothing";

    // Negative sizes and coordinates near the ends of int: what is drawn is
    // not specified, but nothing may crash and the DCs stay usable.
    const int extremes[] = {INT_MIN, INT_MIN + 1, -(1 << 30), (1 << 30), INT_MAX - 1, INT_MAX};
    BitBlt(dst.dc(), 8, 4, -5, -3, src.dc(), 8, 4, SRCCOPY);
    for (int v : extremes) {
        BitBlt(dst.dc(), v, 0, 16, 8, src.dc(), 0, 0, SRCCOPY);
        BitBlt(dst.dc(), 0, v, 16, 8, src.dc(), 0, 0, SRCAND);
        BitBlt(dst.dc(), 0, 0, 16, 8, src.dc(), v, v, SRCPAINT);
        BitBlt(dst.dc(), v, v, v, v, src.dc(), v, v, SRCINVERT);
        BitBlt(dst.dc(), 0, 0, v, 8, src.dc(), 0, 0, SRCCOPY);
        BitBlt(dst.dc(), 4, 4, INT_MAX, INT_MAX, src.dc(), v, 0, SRCCOPY);
    }
    put(dst, before);
    ASSERT_TRUE(BitBlt(dst.dc(), 3, 1, 11, 6, src.dc(), 2, 0, SRCCOPY));
    EXPECT_TRUE(samePixels(modelBlit(before, Format::Colour, 3, 1, 11, 6, srcPixels, Format::Colour, 2, 0, SRCCOPY),
                           read(dst)));
}
