// The transparent-drawing recipe end to end: a mono mask made from a colour
// key (colour to mono, then mono to colour XOR), then the two-pass copy onto
// a background (mask AND, image OR). Each step rests on a conversion rule, so
// this is where a wrong rule shows as a wrong picture.
#include "gdi_test_util.h"

using namespace gdi_test;

namespace {

HBITMAP bitmapOf(const Pixels& p) {
    HBITMAP bmp = CreateBitmap(p.w, p.h, 1, 32, NULL);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, bmp);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) SetPixel(dc, x, y, p.at(x, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    return bmp;
}

// Makes the mask of `colour` for `key` the way the saver does, which also
// turns the key pixels of `colour` black. The DCs are deleted with the
// bitmaps still selected, as the saver does.
HBITMAP makeMask(HBITMAP colour, COLORREF key) {
    BITMAP bm{};
    GetObjectA(colour, sizeof bm, &bm);
    HBITMAP mask = CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, NULL);
    HDC colourDc = CreateCompatibleDC(NULL);
    HDC maskDc = CreateCompatibleDC(NULL);
    SelectObject(colourDc, colour);
    SelectObject(maskDc, mask);
    SetBkColor(colourDc, key);
    BitBlt(maskDc, 0, 0, bm.bmWidth, bm.bmHeight, colourDc, 0, 0, SRCCOPY);
    BitBlt(colourDc, 0, 0, bm.bmWidth, bm.bmHeight, maskDc, 0, 0, SRCINVERT);
    DeleteDC(colourDc);
    DeleteDC(maskDc);
    return mask;
}

// The saver's mirror of a whole bitmap into a new one of the same format.
HBITMAP mirrorOf(HBITMAP image) {
    BITMAP bm{};
    GetObjectA(image, sizeof bm, &bm);
    HBITMAP out = CreateBitmap(bm.bmWidth, bm.bmHeight, bm.bmPlanes, bm.bmBitsPixel, NULL);
    HDC dst = CreateCompatibleDC(NULL), src = CreateCompatibleDC(NULL);
    SelectObject(src, image);
    SelectObject(dst, out);
    StretchBlt(dst, 0, 0, bm.bmWidth, bm.bmHeight, src, bm.bmWidth - 1, 0, -bm.bmWidth, bm.bmHeight, SRCCOPY);
    DeleteDC(src);
    DeleteDC(dst);
    return out;
}

Pixels maskFor(const Pixels& p, COLORREF key) {
    Pixels m(p.w, p.h);
    for (size_t i = 0; i < p.px.size(); ++i) m.px[i] = p.px[i] == key ? kWhite : kBlack;
    return m;
}

const std::vector<COLORREF> kSpritePalette = {kKey, kKey, RGB(254, 2, 255), RGB(255, 2, 254), RGB(254, 3, 254), kWhite};

}  // namespace

TEST(Transparency, MaskMarksExactlyTheKeyAndTheKeyTurnsBlack) {
    std::mt19937 rng(21);
    const Pixels sprite = randomPixels(37, 11, Format::Colour, rng, kSpritePalette);
    HBITMAP image = bitmapOf(sprite);
    HBITMAP mask = makeMask(image, kKey);
    ASSERT_NE(mask, nullptr);

    Pixels blackened = sprite;
    for (COLORREF& c : blackened.px)
        if (c == kKey) c = kBlack;
    EXPECT_TRUE(samePixels(maskFor(sprite, kKey), readBits(mask)));
    EXPECT_TRUE(samePixels(blackened, readBits(image))) << "key pixels black, all others unchanged";

    // Masking again finds no key left: an empty mask, nothing changed.
    HBITMAP again = makeMask(image, kKey);
    EXPECT_TRUE(samePixels(Pixels(37, 11, kBlack), readBits(again)));
    EXPECT_TRUE(samePixels(blackened, readBits(image)));
    for (HBITMAP b : {image, mask, again}) EXPECT_TRUE(DeleteObject(b));
}

TEST(Transparency, BlackKeyMarksBlackPixelsAndChangesNothing) {
    std::mt19937 rng(22);
    const Pixels sprite = randomPixels(19, 5, Format::Colour, rng, {kBlack, kKey});
    HBITMAP image = bitmapOf(sprite);
    HBITMAP mask = makeMask(image, kBlack);
    EXPECT_TRUE(samePixels(maskFor(sprite, kBlack), readBits(mask)));
    EXPECT_TRUE(samePixels(sprite, readBits(image)));
    DeleteObject(image);
    DeleteObject(mask);
}

TEST(Transparency, MirrorAndMaskInEitherOrder) {
    std::mt19937 rng(23);
    const Pixels sprite = randomPixels(29, 6, Format::Colour, rng, kSpritePalette);
    HBITMAP image = bitmapOf(sprite);
    // Mirrored before masking: keeps the key, so its mask mirrors the source's.
    HBITMAP flipBefore = mirrorOf(image);
    HBITMAP mask = makeMask(image, kKey);
    HBITMAP flipMask = makeMask(flipBefore, kKey);
    EXPECT_TRUE(samePixels(mirrored(maskFor(sprite, kKey)), readBits(flipMask)));
    // Mirrored after masking: the key is already black, so nothing is marked.
    HBITMAP flipAfter = mirrorOf(image);
    HBITMAP emptyMask = makeMask(flipAfter, kKey);
    EXPECT_TRUE(samePixels(Pixels(29, 6, kBlack), readBits(emptyMask)));
    for (HBITMAP b : {image, flipBefore, mask, flipMask, flipAfter, emptyMask}) EXPECT_TRUE(DeleteObject(b));
}

// The painter's two passes through a scratch DC onto a background whose DC
// keeps its default colours (white background, black text), at positions
// inside, across every edge and corner, and off the background, from the
// first and from a later frame of a three-frame strip.
TEST(Transparency, SpriteShowsTheBackgroundThroughItsKeyAndIsClipped) {
    const int frameW = 13, frameH = 9, frames = 3;
    std::mt19937 rng(24);
    const Pixels strip = randomPixels(frameW * frames, frameH, Format::Colour, rng, kSpritePalette);
    HBITMAP image = bitmapOf(strip);
    HBITMAP mask = makeMask(image, kKey);
    Surface back(64, 40, Format::Colour);
    ASSERT_TRUE(back.ok());
    HDC temp = CreateCompatibleDC(NULL);
    HGDIOBJ tempDefault = SelectObject(temp, mask);

    const POINT positions[] = {{10, 7},  {-5, 12}, {20, -4}, {58, 12}, {20, 35},  {-6, -5},
                               {57, 34}, {-13, 3}, {64, 3},  {3, 40},  {-500, 9}, {0, 0}};
    for (int frame : {0, 1, 2})
        for (POINT pos : positions) {
            SCOPED_TRACE(::testing::Message() << "frame " << frame << " at " << pos.x << "," << pos.y);
            const Pixels before = randomPixels(64, 40, Format::Colour, rng);
            put(back, before);
            SelectObject(temp, mask);
            BitBlt(back.dc(), pos.x, pos.y, frameW, frameH, temp, frame * frameW, 0, SRCAND);
            SelectObject(temp, image);
            BitBlt(back.dc(), pos.x, pos.y, frameW, frameH, temp, frame * frameW, 0, SRCPAINT);

            Pixels expected = before;
            for (int y = 0; y < frameH; ++y)
                for (int x = 0; x < frameW; ++x) {
                    const long tx = pos.x + x, ty = pos.y + y;
                    const COLORREF c = strip.at(frame * frameW + x, y);
                    if (tx >= 0 && ty >= 0 && tx < 64 && ty < 40 && c != kKey) expected.at(tx, ty) = c;
                }
            ASSERT_TRUE(samePixels(expected, read(back)));
        }
    SelectObject(temp, tempDefault);
    DeleteDC(temp);
    DeleteObject(image);
    DeleteObject(mask);
}
