// Rectangle: brush interior, one-pixel pen outline, right and bottom edges
// excluded, clipping, and the saver's per-frame clear to black.
#include "gdi_test_util.h"

#include <climits>
#include <cstdint>
#include <optional>

using namespace gdi_test;

namespace {

// What Rectangle(l, t, r, b) should leave, as Win32 documents it: with a
// one-pixel pen, the outline on columns l and r - 1 and rows t and b - 1 and
// the brush inside; with the null pen, the brush alone on [l, r-1) x [t, b-1).
// 64-bit, so extreme coordinates have their edges where they belong.
Pixels modelRectangle(Pixels p, std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b,
                      std::optional<COLORREF> pen, std::optional<COLORREF> brush) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            if (pen) {
                if (x < l || x >= r || y < t || y >= b) continue;
                const bool edge = x == l || x == r - 1 || y == t || y == b - 1;
                if (edge)
                    p.at(x, y) = *pen;
                else if (brush)
                    p.at(x, y) = *brush;
            } else if (brush && x >= l && x < r - 1 && y >= t && y < b - 1) {
                p.at(x, y) = *brush;
            }
        }
    return p;
}

constexpr COLORREF kRed = RGB(200, 10, 10);

// Selects a brush and a pen for the lifetime of the object, then puts the
// previous ones back.
class Tools {
public:
    Tools(HDC dc, HGDIOBJ brush, HGDIOBJ pen)
        : dc_(dc), oldBrush_(SelectObject(dc, brush)), oldPen_(SelectObject(dc, pen)) {}
    ~Tools() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
    }
    bool ok() const { return oldBrush_ && oldPen_; }

private:
    HDC dc_;
    HGDIOBJ oldBrush_, oldPen_;
};

}  // namespace

TEST(Rectangle, OutlinesWithThePenAndFillsWithTheBrushExcludingRightAndBottom) {
    Surface s(24, 12, Format::Colour);
    ASSERT_TRUE(s.ok());
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HPEN green = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
    const struct {
        HGDIOBJ brush, pen;
        std::optional<COLORREF> brushColour, penColour;
        const char* what;
    } cases[] = {
        {GetStockObject(WHITE_BRUSH), GetStockObject(BLACK_PEN), kWhite, kBlack, "white brush, black pen"},
        {blue, green, RGB(0, 0, 255), RGB(0, 255, 0), "own brush and pen"},
        {GetStockObject(NULL_BRUSH), GetStockObject(BLACK_PEN), std::nullopt, kBlack, "null brush"},
        {GetStockObject(WHITE_BRUSH), GetStockObject(NULL_PEN), kWhite, std::nullopt, "null pen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Pixels before(24, 12, kRed);
        put(s, before);
        Tools tools(s.dc(), c.brush, c.pen);
        ASSERT_TRUE(tools.ok());
        EXPECT_TRUE(Rectangle(s.dc(), 3, 2, 15, 9));
        EXPECT_TRUE(samePixels(modelRectangle(before, 3, 2, 15, 9, c.penColour, c.brushColour), read(s)));
    }
    EXPECT_TRUE(DeleteObject(blue));
    EXPECT_TRUE(DeleteObject(green));
}

TEST(Rectangle, IsClippedAtEveryEdgeWithEitherPen) {
    Surface s(20, 10, Format::Colour);
    ASSERT_TRUE(s.ok());
    const RECT rects[] = {
        {-5, -5, 6, 4}, {15, 6, 30, 20},  {-3, 4, 5, 8}, {12, -9, 17, 3}, {-100000, -100000, 100000, 100000},
        {25, 2, 40, 8}, {-10, -10, 0, 0}, {0, 0, 20, 10},
        // Coordinates at the ends of the int range, where an edge one pixel
        // in from them must not wrap around.
        {INT_MIN, 0, INT_MIN, 4}, {0, INT_MIN, 4, INT_MIN}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
        {INT_MAX, INT_MAX, INT_MIN, INT_MIN}, {INT_MIN, 2, 5, INT_MAX}, {INT_MAX, 0, INT_MAX, 10},
        {10, 5, INT_MIN, INT_MIN}};
    for (const HGDIOBJ pen : {GetStockObject(BLACK_PEN), GetStockObject(NULL_PEN)}) {
        const bool nullPen = pen == GetStockObject(NULL_PEN);
        Tools tools(s.dc(), GetStockObject(WHITE_BRUSH), pen);
        ASSERT_TRUE(tools.ok());
        for (const RECT& r : rects) {
            SCOPED_TRACE(::testing::Message() << (nullPen ? "null pen " : "black pen ") << r.left << "," << r.top
                                              << "," << r.right << "," << r.bottom);
            const Pixels before(20, 10, kRed);
            put(s, before);
            Rectangle(s.dc(), r.left, r.top, r.right, r.bottom);
            const std::optional<COLORREF> penColour = nullPen ? std::nullopt : std::optional<COLORREF>(kBlack);
            EXPECT_TRUE(samePixels(modelRectangle(before, r.left, r.top, r.right, r.bottom, penColour, kWhite), read(s)));
        }
    }
}

TEST(Rectangle, BlackBrushOverTheWholeSurfaceClearsIt) {
    // The saver's per-frame clear: black stock brush, default pen.
    Surface s(640, 480, Format::Colour);
    ASSERT_TRUE(s.ok());
    {
        Tools white(s.dc(), GetStockObject(WHITE_BRUSH), GetStockObject(NULL_PEN));
        Rectangle(s.dc(), 0, 0, 641, 481);
    }
    for (POINT pt : {POINT{0, 0}, POINT{639, 0}, POINT{0, 479}, POINT{639, 479}, POINT{320, 240}})
        SetPixel(s.dc(), pt.x, pt.y, kKey);
    HGDIOBJ old = SelectObject(s.dc(), GetStockObject(BLACK_BRUSH));
    EXPECT_TRUE(Rectangle(s.dc(), 0, 0, 640, 480));
    EXPECT_TRUE(samePixels(Pixels(640, 480, kBlack), readBits(s.bitmap())));
    SelectObject(s.dc(), old);
}

TEST(Rectangle, DrawsOnMonoBitmaps) {
    Surface s(21, 9, Format::Mono);
    ASSERT_TRUE(s.ok());
    std::mt19937 rng(31);
    const Pixels before = randomPixels(21, 9, Format::Mono, rng);
    put(s, before);
    {
        Tools tools(s.dc(), GetStockObject(WHITE_BRUSH), GetStockObject(BLACK_PEN));
        EXPECT_TRUE(Rectangle(s.dc(), -1, 2, 19, 8));
        EXPECT_TRUE(samePixels(modelRectangle(before, -1, 2, 19, 8, kBlack, kWhite), read(s)));
    }
    HGDIOBJ old = SelectObject(s.dc(), GetStockObject(BLACK_BRUSH));
    EXPECT_TRUE(Rectangle(s.dc(), 0, 0, 21, 9));
    EXPECT_TRUE(samePixels(Pixels(21, 9, kBlack), readBits(s.bitmap())));
    SelectObject(s.dc(), old);
}
