// Bitmaps: creation, the BITMAP record, raw bits and single pixels.
#include "gdi_test_util.h"

#include <cstring>

using namespace gdi_test;

namespace {

BITMAP describe(HGDIOBJ bmp) {
    BITMAP bm;
    std::memset(&bm, 0xCD, sizeof bm);
    EXPECT_EQ(GetObjectA(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
    return bm;
}

}  // namespace

TEST(CreateBitmap, MonoAndColourBitmapsReportTheirFormat) {
    for (UINT bits : {1u, 32u})
        for (int w : {1, 7, 15, 16, 17, 33, 640}) {
            SCOPED_TRACE(::testing::Message() << bits << " bpp, width " << w);
            HBITMAP bmp = CreateBitmap(w, 3, 1, bits, NULL);
            ASSERT_NE(bmp, nullptr);
            EXPECT_EQ(GetObjectType(bmp), static_cast<DWORD>(OBJ_BITMAP));
            EXPECT_EQ(GetObjectA(bmp, 0, NULL), static_cast<int>(sizeof(BITMAP)));
            BITMAP bm = describe(bmp);
            EXPECT_EQ(bm.bmType, 0);
            EXPECT_EQ(bm.bmWidth, w);
            EXPECT_EQ(bm.bmHeight, 3);
            // Rows of a device-dependent bitmap are padded to a 16-bit boundary.
            EXPECT_EQ(bm.bmWidthBytes, bits == 1 ? (w + 15) / 16 * 2 : w * 4);
            EXPECT_EQ(bm.bmPlanes, 1);
            EXPECT_EQ(bm.bmBitsPixel, bits);
            EXPECT_EQ(bm.bmBits, nullptr) << "a device-dependent bitmap exposes no bits";
            EXPECT_TRUE(DeleteObject(bmp));
        }
}

TEST(CreateBitmap, ZeroSizeGivesTheOneByOneMonoBitmap) {
    HDC dc = CreateCompatibleDC(NULL);
    for (HBITMAP bmp : {CreateBitmap(0, 0, 1, 1, NULL), CreateBitmap(0, 5, 1, 32, NULL),
                        CreateBitmap(5, 0, 1, 32, NULL), CreateCompatibleBitmap(dc, 0, 0)}) {
        ASSERT_NE(bmp, nullptr);
        BITMAP bm = describe(bmp);
        EXPECT_EQ(bm.bmWidth, 1);
        EXPECT_EQ(bm.bmHeight, 1);
        EXPECT_EQ(bm.bmBitsPixel, 1);
        DeleteObject(bmp);  // it is the shared default bitmap: deleting is harmless
    }
    DeleteDC(dc);
}

TEST(CreateBitmap, ImpossibleSizesFailAndOddRequestsFailCleanly) {
    EXPECT_EQ(CreateBitmap(100000, 100000, 1, 32, NULL), nullptr) << "40 GB of pixels";
    EXPECT_EQ(CreateBitmap(4, 4, 1, 33, NULL), nullptr);
    // Windows refuses negative sizes and Wine takes their magnitude; Windows
    // makes 24 bits per pixel and a layer may refuse it. Either way the answer
    // is no bitmap or a whole one of the requested size.
    const struct {
        int w, h;
        UINT bits;
    } odd[] = {{-1, 4, 1}, {4, -1, 32}, {-640, -480, 32}, {4, 4, 24}};
    for (const auto& o : odd) {
        SCOPED_TRACE(::testing::Message() << o.w << "x" << o.h << ", " << o.bits << " bpp");
        HBITMAP bmp = CreateBitmap(o.w, o.h, 1, o.bits, NULL);
        if (!bmp) continue;
        BITMAP bm = describe(bmp);
        EXPECT_EQ(bm.bmWidth, o.w < 0 ? -o.w : o.w);
        EXPECT_EQ(bm.bmHeight, o.h < 0 ? -o.h : o.h);
        EXPECT_TRUE(DeleteObject(bmp));
    }
}

TEST(CreateCompatibleBitmap, FollowsTheBitmapSelectedInTheMemoryDc) {
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP mono = CreateCompatibleBitmap(dc, 10, 4);
    ASSERT_NE(mono, nullptr);
    EXPECT_EQ(describe(mono).bmBitsPixel, 1) << "a new memory DC holds a mono bitmap";

    HBITMAP colour = CreateBitmap(2, 2, 1, 32, NULL);
    HGDIOBJ old = SelectObject(dc, colour);
    HBITMAP compatible = CreateCompatibleBitmap(dc, 10, 4);
    ASSERT_NE(compatible, nullptr);
    BITMAP bm = describe(compatible);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmWidth, 10);
    EXPECT_EQ(bm.bmHeight, 4);
    SelectObject(dc, old);
    DeleteDC(dc);
    for (HBITMAP b : {mono, colour, compatible}) EXPECT_TRUE(DeleteObject(b));
}

// The row layout itself is checked by comparing readBits with GetPixel below;
// here, how much is copied.
TEST(GetBitmapBits, CopiesNoMoreThanAskedOrHeld) {
    Surface colour(3, 2, Format::Colour);
    ASSERT_TRUE(colour.ok());
    unsigned char c[3 * 2 * 4 + 4];
    EXPECT_EQ(GetBitmapBits(colour.bitmap(), sizeof c, c), 24);
    std::memset(c, 0xAA, sizeof c);
    ASSERT_EQ(GetBitmapBits(colour.bitmap(), 15, c), 15);
    for (size_t i = 15; i < sizeof c; ++i) EXPECT_EQ(c[i], 0xAA) << "byte " << i << " written";
}

TEST(Pixel, SetAndGetRoundTripExactly) {
    // Colour bitmaps keep every 24-bit colour; mono ones hold black and white.
    // GetBitmapBits gives the same picture in the documented layout: rows of
    // bmWidthBytes; mono leftmost pixel in the top bit, white 1; colour blue,
    // green, red, unused.
    std::mt19937 rng(7);
    for (Format f : {Format::Colour, Format::Mono}) {
        SCOPED_TRACE(formatName(f));
        Surface s(70, 3, f);
        ASSERT_TRUE(s.ok());
        const Pixels p = randomPixels(70, 3, f, rng, {kKey, kBlack, kWhite, RGB(254, 2, 255)});
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 70; ++x) ASSERT_EQ(SetPixel(s.dc(), x, y, p.at(x, y)), p.at(x, y));
        EXPECT_TRUE(samePixels(p, read(s)));
        EXPECT_TRUE(samePixels(p, readBits(s.bitmap())));
    }
}

TEST(Pixel, OutsideTheBitmapIsInvalidAndUntouched) {
    for (Format f : {Format::Colour, Format::Mono}) {
        SCOPED_TRACE(formatName(f));
        Surface s(9, 5, f);
        ASSERT_TRUE(s.ok());
        put(s, Pixels(9, 5, kWhite));
        const POINT outside[] = {{-1, 0}, {0, -1}, {9, 0}, {0, 5}, {9, 5}, {-100000, 2}, {2, 100000}};
        for (POINT pt : outside) {
            EXPECT_EQ(GetPixel(s.dc(), pt.x, pt.y), CLR_INVALID) << pt.x << "," << pt.y;
            // Windows documents -1 from SetPixel here, Wine returns the colour:
            // only the untouched bitmap is common ground.
            SetPixel(s.dc(), pt.x, pt.y, kBlack);
        }
        EXPECT_TRUE(samePixels(Pixels(9, 5, kWhite), read(s)));
    }
}
