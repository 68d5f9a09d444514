// Device contexts and GDI objects: defaults, selection, lifetime and bad
// handles, as Win32 documents them.
#include "gdi_test_util.h"

using namespace gdi_test;

TEST(DeviceContext, NewMemoryDcHasTheDocumentedDefaults) {
    HDC dc = CreateCompatibleDC(NULL);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_EQ(GetBkColor(dc), kWhite);
    EXPECT_EQ(GetTextColor(dc), kBlack);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetMapMode(dc), MM_TEXT);
    EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);

    // The default brush and pen are the stock white brush and black pen; the
    // default bitmap is a 1x1 monochrome one.
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_PEN)), GetStockObject(BLACK_PEN));
    HBITMAP bmp = CreateBitmap(4, 4, 1, 1, NULL);
    HGDIOBJ first = SelectObject(dc, bmp);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(first, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(SelectObject(dc, first), bmp);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(bmp));
}

TEST(DeviceContext, SettersReturnThePreviousValueAndDcsAreIndependent) {
    HDC a = CreateCompatibleDC(NULL);
    HDC b = CreateCompatibleDC(NULL);
    EXPECT_EQ(SetBkColor(a, kKey), kWhite);
    EXPECT_EQ(SetBkColor(a, RGB(1, 2, 3)), kKey);
    EXPECT_EQ(GetBkColor(a), RGB(1, 2, 3));
    EXPECT_EQ(SetTextColor(a, RGB(9, 8, 7)), kBlack);
    EXPECT_EQ(SetTextColor(a, kWhite), RGB(9, 8, 7));
    EXPECT_EQ(GetTextColor(a), kWhite);
    EXPECT_EQ(SetBkMode(a, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(a, TRANSPARENT), TRANSPARENT);
    EXPECT_EQ(GetBkMode(a), TRANSPARENT);
    EXPECT_EQ(SetMapMode(a, MM_TEXT), MM_TEXT);

    EXPECT_EQ(GetBkColor(b), kWhite);
    EXPECT_EQ(GetTextColor(b), kBlack);
    EXPECT_EQ(GetBkMode(b), OPAQUE);
    DeleteDC(a);
    DeleteDC(b);
}

TEST(Objects, StockObjectsAreSharedAndSurviveDeletion) {
    const struct {
        int id;
        DWORD type;
    } stock[] = {{WHITE_BRUSH, OBJ_BRUSH}, {BLACK_BRUSH, OBJ_BRUSH}, {NULL_BRUSH, OBJ_BRUSH},
                 {WHITE_PEN, OBJ_PEN},     {BLACK_PEN, OBJ_PEN},     {NULL_PEN, OBJ_PEN}};
    for (const auto& o : stock) {
        HGDIOBJ h = GetStockObject(o.id);
        ASSERT_NE(h, nullptr) << o.id;
        DeleteObject(h);  // result not specified; it must be harmless
        EXPECT_EQ(GetStockObject(o.id), h) << o.id;
        EXPECT_EQ(GetObjectType(h), o.type) << o.id;
    }
    LOGBRUSH lb{};
    ASSERT_EQ(GetObjectA(GetStockObject(BLACK_BRUSH), sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(lb.lbColor, kBlack);

    Surface s(6, 4, Format::Colour);
    ASSERT_TRUE(s.ok());
    put(s, Pixels(6, 4, kWhite));
    HGDIOBJ oldBrush = SelectObject(s.dc(), GetStockObject(BLACK_BRUSH));
    ASSERT_NE(oldBrush, nullptr);
    EXPECT_TRUE(Rectangle(s.dc(), 0, 0, 6, 4));
    EXPECT_TRUE(samePixels(Pixels(6, 4, kBlack), read(s))) << "the deleted stock brush still paints";
    SelectObject(s.dc(), oldBrush);
}

TEST(Selection, ABitmapLivesInOneDcAtATime) {
    HDC a = CreateCompatibleDC(NULL);
    HDC b = CreateCompatibleDC(NULL);
    HBITMAP bmp = CreateBitmap(8, 8, 1, 32, NULL);
    HBITMAP other = CreateBitmap(8, 8, 1, 32, NULL);
    HGDIOBJ aDefault = SelectObject(a, bmp);
    ASSERT_NE(aDefault, nullptr);
    EXPECT_EQ(SelectObject(a, bmp), bmp) << "reselecting into the same DC is allowed";
    EXPECT_EQ(SelectObject(b, bmp), nullptr) << "already selected into another DC";

    EXPECT_EQ(SelectObject(a, other), bmp);
    HGDIOBJ bDefault = SelectObject(b, bmp);
    EXPECT_NE(bDefault, nullptr) << "free again once deselected";

    // Deleting a DC releases its bitmap for use elsewhere.
    EXPECT_TRUE(DeleteDC(b));
    EXPECT_EQ(SelectObject(a, bmp), other);
    EXPECT_EQ(SelectObject(a, aDefault), bmp);
    EXPECT_TRUE(DeleteDC(a));
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_TRUE(DeleteObject(other));
}

TEST(Lifetime, NullGarbageAndDeletedObjectsAreRefused) {
    HDC dc = CreateCompatibleDC(NULL);
    int garbage = 0;
    HGDIOBJ bogus = reinterpret_cast<HGDIOBJ>(&garbage);
    HBITMAP gone = CreateBitmap(3, 3, 1, 32, NULL);
    EXPECT_TRUE(DeleteObject(gone));
    for (HGDIOBJ h : {static_cast<HGDIOBJ>(NULL), bogus, static_cast<HGDIOBJ>(gone)}) {
        EXPECT_FALSE(DeleteObject(h));
        EXPECT_EQ(SelectObject(dc, h), nullptr);
        EXPECT_EQ(GetObjectType(h), 0u);
    }
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(gone, sizeof bm, &bm), 0);
    DeleteDC(dc);
}

TEST(Lifetime, ABitmapDeletedWhileSelectedKeepsServingItsDc) {
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bmp = CreateBitmap(5, 3, 1, 32, NULL);
    HGDIOBJ old = SelectObject(dc, bmp);
    ASSERT_NE(old, nullptr);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) SetPixel(dc, x, y, RGB(x * 40, y * 60, 7));
    DeleteObject(bmp);  // Windows refuses, Wine defers: either way the DC keeps it

    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(GetPixel(dc, x, y), RGB(x * 40, y * 60, 7));
    Surface copy(5, 3, Format::Colour);
    ASSERT_TRUE(copy.ok());
    EXPECT_TRUE(BitBlt(copy.dc(), 0, 0, 5, 3, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(copy.dc(), 4, 2), RGB(160, 120, 7));
    SelectObject(dc, old);
    DeleteDC(dc);
}

TEST(Lifetime, NullAndDeletedDcsFailCleanly) {
    Surface s(8, 8, Format::Colour);
    ASSERT_TRUE(s.ok());
    put(s, Pixels(8, 8, kWhite));
    HDC gone = CreateCompatibleDC(NULL);
    ASSERT_TRUE(DeleteDC(gone));
    EXPECT_EQ(GetObjectType(gone), 0u);
    EXPECT_FALSE(DeleteDC(NULL));
    EXPECT_FALSE(DeleteDC(gone));
    for (HDC dc : {static_cast<HDC>(NULL), gone}) {
        EXPECT_EQ(SetBkColor(dc, kKey), CLR_INVALID);
        EXPECT_EQ(SetTextColor(dc, kKey), CLR_INVALID);
        EXPECT_EQ(SetBkMode(dc, TRANSPARENT), 0);
        EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
        EXPECT_FALSE(Rectangle(dc, 0, 0, 4, 4));
        EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), nullptr);
        EXPECT_FALSE(BitBlt(dc, 0, 0, 8, 8, s.dc(), 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(s.dc(), 0, 0, 8, 8, dc, 0, 0, SRCCOPY));
        EXPECT_FALSE(StretchBlt(dc, 0, 0, 8, 8, s.dc(), 7, 0, -8, 8, SRCCOPY));
        EXPECT_FALSE(StretchBlt(s.dc(), 0, 0, 8, 8, dc, 7, 0, -8, 8, SRCCOPY));
    }
    EXPECT_EQ(CreateCompatibleBitmap(gone, 4, 4), nullptr);
    EXPECT_TRUE(samePixels(Pixels(8, 8, kWhite), read(s))) << "failed blits draw nothing";
}
