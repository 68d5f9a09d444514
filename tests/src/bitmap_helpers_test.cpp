// The bitmap helpers: loading bitmap files, mirrored copies, transparency
// masks (with the key pixels turned black) and text in the toolkit's font.
#include "sprite_test_util.h"

using namespace sprite_test;

namespace {

using BitmapHelpers = SpriteTest;

// A 5 x 3 picture with key pixels in an uneven pattern, so a mirror or a
// mask that is off by a column shows.
Pixels keyed5x3() {
    return keyedPicture(5, 3, [](int x, int y) { return (x == 0 && y == 0) || (x == 3 && y != 1) || (x == 4 && y == 2); });
}

TEST_F(BitmapHelpers, LoadABitmapReadsAFileAtItsOwnSizeAndNothingElse) {
    const Pixels p = keyed5x3();
    writeBmp("pic.bmp", p);
    HBITMAP b = LoadABitmap("pic.bmp");
    EXPECT_EQ(readBits(b), p);
    DeleteObject(b);

    EXPECT_EQ(LoadABitmap("missing.bmp"), (HBITMAP)NULL);
    std::FILE* f = std::fopen("text.bmp", "wb");
    std::fputs("not a bitmap at all, just text", f);
    std::fclose(f);
    EXPECT_EQ(LoadABitmap("text.bmp"), (HBITMAP)NULL);
}

TEST_F(BitmapHelpers, MirrorCopiesLeftToRightAndLeavesTheSourceAlone) {
    const Pixels p = keyed5x3();
    HBITMAP src = makeBitmap(p);
    HBITMAP m = LoadAndFlipBitmap(src, hwndMain);
    EXPECT_EQ(readBits(m), mirrored(p));
    EXPECT_EQ(bitsPerPixel(m), bitsPerPixel(src));
    EXPECT_EQ(readBits(src), p);
    // Mirroring twice gives the source back.
    HBITMAP mm = LoadAndFlipBitmap(m, hwndMain);
    EXPECT_EQ(readBits(mm), p);

    // A column mirrors to itself.
    const Pixels column = picture(1, 4, [](int, int y) { return RGB(40 * y, 3, 200); });
    HBITMAP c = makeBitmap(column);
    HBITMAP cm = LoadAndFlipBitmap(c, hwndMain);
    EXPECT_EQ(readBits(cm), column);
    for (HBITMAP b : {src, m, mm, c, cm}) DeleteObject(b);
}

TEST_F(BitmapHelpers, MaskMarksTheKeyAndBlackensItInTheImage) {
    const Pixels p = keyed5x3();
    HBITMAP b = makeBitmap(p);
    HBITMAP mask = CreateBitmapMask(b, kKey);
    EXPECT_EQ(bitsPerPixel(mask), 1);
    EXPECT_EQ(readBits(mask), where(p, kKey));
    EXPECT_EQ(readBits(b), replaced(p, kKey, kBlack));

    // The key pixels are black now, so a second mask marks nothing.
    HBITMAP again = CreateBitmapMask(b, kKey);
    EXPECT_EQ(readBits(again), Pixels(5, 3, kBlack));
    EXPECT_EQ(readBits(b), replaced(p, kKey, kBlack));
    for (HBITMAP h : {b, mask, again}) DeleteObject(h);
}

TEST_F(BitmapHelpers, MaskWithoutKeyPixelsOrWithABlackKeyLeavesTheImage) {
    const Pixels plain = keyedPicture(4, 2, [](int, int) { return false; });
    HBITMAP b = makeBitmap(plain);
    HBITMAP mask = CreateBitmapMask(b, kKey);
    EXPECT_EQ(readBits(mask), Pixels(4, 2, kBlack));
    EXPECT_EQ(readBits(b), plain);

    // Black as the key marks the black pixels; black XOR black is black.
    const Pixels dark = replaced(keyed5x3(), kKey, kBlack);
    HBITMAP d = makeBitmap(dark);
    HBITMAP darkMask = CreateBitmapMask(d, kBlack);
    EXPECT_EQ(readBits(darkMask), where(dark, kBlack));
    EXPECT_EQ(readBits(d), dark);
    for (HBITMAP h : {b, mask, d, darkMask}) DeleteObject(h);
}

TEST_F(BitmapHelpers, MirrorTakenBeforeMaskingKeepsTheKeyAndAfterwardsDoesNot) {
    const Pixels p = keyed5x3();
    HBITMAP b = makeBitmap(p);
    HBITMAP before = LoadAndFlipBitmap(b, hwndMain);
    HBITMAP mask = CreateBitmapMask(b, kKey);
    HBITMAP after = LoadAndFlipBitmap(b, hwndMain);

    // The early mirror's own mask is the mirror image of the source's.
    HBITMAP beforeMask = CreateBitmapMask(before, kKey);
    EXPECT_EQ(readBits(beforeMask), mirrored(readBits(mask)));
    // The late mirror holds black where the key was, so its mask is empty.
    EXPECT_EQ(readBits(after), mirrored(replaced(p, kKey, kBlack)));
    HBITMAP afterMask = CreateBitmapMask(after, kKey);
    EXPECT_EQ(readBits(afterMask), Pixels(5, 3, kBlack));
    for (HBITMAP h : {b, before, mask, after, beforeMask, afterMask}) DeleteObject(h);
}

TEST_F(BitmapHelpers, NoBitmapGivesNoMirrorAndNoMask) {
    EXPECT_EQ(LoadAndFlipBitmap(NULL, hwndMain), (HBITMAP)NULL);
    EXPECT_EQ(CreateBitmapMask(NULL, kKey), (HBITMAP)NULL);
}

TEST_F(BitmapHelpers, DrawStringDrawsGlyphsOnlyInTheOneFont) {
    const COLORREF bg = RGB(10, 20, 30);
    Canvas a(Pixels(200, 100, bg));
    Canvas b(Pixels(200, 100, bg));
    SetTextColor(a.dc(), kWhite);

    // An empty string draws nothing but still selects the font and makes
    // the background mode transparent.
    drawString("", 20, 10, b.dc());
    EXPECT_EQ(GetBkMode(b.dc()), TRANSPARENT);
    EXPECT_EQ(b.read(), Pixels(200, 100, bg));

    // A dash lies mid-cell: glyph pixels change, the rows above it and
    // everything below the 46-pixel cell keep the background.
    drawString("--", 20, 10, a.dc());
    EXPECT_EQ(GetBkMode(a.dc()), TRANSPARENT);
    const Pixels drawn = a.read();
    int changed = 0;
    for (int y = 0; y < drawn.h; ++y)
        for (int x = 0; x < drawn.w; ++x) {
            if (drawn.at(x, y) == bg) continue;
            ++changed;
            EXPECT_TRUE(x >= 20 && y >= 10 + 10 && y < 10 + 46) << x << "," << y;
        }
    EXPECT_GT(changed, 0);

    // Both contexts hold the same font: it was made once and kept.
    HGDIOBJ stock = GetStockObject(SYSTEM_FONT);
    HGDIOBJ fontA = SelectObject(a.dc(), stock);
    HGDIOBJ fontB = SelectObject(b.dc(), stock);
    EXPECT_NE(fontA, stock);
    EXPECT_EQ(fontA, fontB);
}

}  // namespace
