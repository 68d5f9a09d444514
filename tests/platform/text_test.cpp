// Text: the fonts GDI's font mapper gives for a request, their metrics, and
// what TextOut changes in a bitmap.
//
// Glyph shapes differ from one system's fonts to another's, so these tests
// check what holds for any face: sizes, which pixels may change and to what,
// and that clipped text is the same text cut off. Exact colours are checked
// with NONANTIALIASED_QUALITY fonts, which stay crisp on Windows even when
// font smoothing is on.
#include "gdi_test_util.h"

#include <climits>
#include <cstring>
#include <utility>

using namespace gdi_test;

#ifndef TMPF_FIXED_PITCH
#define TMPF_FIXED_PITCH 0x01  // set for variable-pitch fonts, despite its name
#endif

namespace {

// The saver's own request: 46-pixel cell, fixed pitch, Swiss family, "ARIAL".
HFONT saverFont() {
    return CreateFontA(46, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0x21, "ARIAL");
}

struct Style {
    int height = 30;
    const char* face = "";
    DWORD pitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    int width = 0;
    int weight = FW_NORMAL;
    DWORD italic = 0;
    DWORD underline = 0;
    DWORD strikeOut = 0;
};

HFONT crispFont(const Style& s) {
    return CreateFontA(s.height, s.width, 0, 0, s.weight, s.italic, s.underline, s.strikeOut, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, s.pitchAndFamily, s.face);
}

// A font selected into a DC for the life of the object, then deleted.
class Selected {
public:
    Selected(HDC dc, HFONT font) : dc_(dc), font_(font), old_(font ? SelectObject(dc, font) : NULL) {}
    ~Selected() {
        if (old_) SelectObject(dc_, old_);
        if (font_) DeleteObject(font_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;
    bool ok() const { return font_ && old_; }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_;
};

TEXTMETRICA metricsOf(HDC dc) {
    TEXTMETRICA tm{};
    EXPECT_TRUE(GetTextMetricsA(dc, &tm));
    return tm;
}

SIZE extentOf(HDC dc, const char* text) {
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size));
    return size;
}

void fill(const Surface& s, COLORREF c) {
    put(s, Pixels(s.width(), s.height(), c));
}

// Pixels of `after` that differ from `before`, with where they lie.
struct Changes {
    int count = 0;
    int outsideBox = 0;  // changed pixels outside [left, right) x [top, bottom)
    int notColour = 0;   // changed pixels that are not `colour`
};

Changes changes(const Pixels& before, const Pixels& after, RECT box, COLORREF colour) {
    Changes c;
    for (int y = 0; y < after.h; ++y)
        for (int x = 0; x < after.w; ++x) {
            if (before.at(x, y) == after.at(x, y)) continue;
            ++c.count;
            if (x < box.left || x >= box.right || y < box.top || y >= box.bottom) ++c.outsideBox;
            if (after.at(x, y) != colour) ++c.notColour;
        }
    return c;
}

}  // namespace

// ---- Fonts and metrics -------------------------------------------------

// A positive height asks for that character cell. The font mapper scales the
// face's design ascent and descent to fit it and rounds each to whole pixels,
// so with some faces and sizes the cell comes out a pixel short (Wine gives
// 45 for 46 with DejaVu Sans Mono); it is never taller.
namespace {
::testing::AssertionResult cellFits(LONG cell, int requested) {
    if (cell == requested || cell == requested - 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cell " << cell << " for a request of " << requested;
}
}  // namespace

TEST(TextFont, SaverRequestGivesA46PixelCellOrOneShort) {
    Surface s(8, 8, Format::Colour);
    ASSERT_TRUE(s.ok());
    HFONT font = saverFont();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));

    // The font remembers the request as it was made.
    LOGFONTA lf{};
    ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, 46);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(lf.lfPitchAndFamily, 0x21);
    EXPECT_STREQ(lf.lfFaceName, "ARIAL");

    Selected sel(s.dc(), font);
    ASSERT_TRUE(sel.ok());
    const TEXTMETRICA tm = metricsOf(s.dc());
    EXPECT_TRUE(cellFits(tm.tmHeight, 46));
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    EXPECT_GT(tm.tmDescent, 0);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
    EXPECT_EQ(tm.tmWeight, FW_NORMAL);
    EXPECT_EQ(tm.tmItalic, 0);

    // The extent is the sum of the advances, one cell high.
    const SIZE eight = extentOf(s.dc(), "8");
    const SIZE clock = extentOf(s.dc(), "12:38");
    EXPECT_GT(eight.cx, 0);
    EXPECT_EQ(eight.cy, tm.tmHeight);
    EXPECT_EQ(clock.cx, extentOf(s.dc(), "12").cx + extentOf(s.dc(), ":").cx + extentOf(s.dc(), "38").cx);
    EXPECT_EQ(extentOf(s.dc(), "").cx, 0);
}

TEST(TextFont, PositiveHeightIsTheCellAndNegativeTheEm) {
    Surface s(8, 8, Format::Colour);
    for (int height : {9, 16, 30, 61}) {
        Style st;
        st.height = height;
        Selected cell(s.dc(), crispFont(st));
        ASSERT_TRUE(cell.ok()) << height;
        const TEXTMETRICA tm = metricsOf(s.dc());
        EXPECT_TRUE(cellFits(tm.tmHeight, height)) << tm.tmHeight << " for " << height;
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
        EXPECT_EQ(extentOf(s.dc(), "x").cy, tm.tmHeight);
    }
    for (int em : {12, 30}) {
        Style st;
        st.height = -em;
        Selected sel(s.dc(), crispFont(st));
        ASSERT_TRUE(sel.ok()) << -em;
        const TEXTMETRICA tm = metricsOf(s.dc());
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, em);
        EXPECT_GT(tm.tmHeight, em);  // the cell holds the em and the accents above it
    }
    // Height 0 asks for a reasonable default size.
    Style st;
    st.height = 0;
    Selected sel(s.dc(), crispFont(st));
    ASSERT_TRUE(sel.ok());
    const TEXTMETRICA tm = metricsOf(s.dc());
    EXPECT_GE(tm.tmHeight, 8);
    EXPECT_LE(tm.tmHeight, 40);
}

TEST(TextFont, PitchIsHonouredBeforeTheFaceName) {
    Surface s(8, 8, Format::Colour);
    struct Case {
        const char* face;
        DWORD pitchAndFamily;
        bool fixed;
    } cases[] = {
        {"", FIXED_PITCH | FF_MODERN, true},
        {"", VARIABLE_PITCH | FF_SWISS, false},
        {"", VARIABLE_PITCH | FF_ROMAN, false},
        // The font mapper weighs a mismatched pitch above a mismatched name.
        {"ARIAL", FIXED_PITCH | FF_SWISS, true},
    };
    for (const Case& c : cases) {
        Style st;
        st.face = c.face;
        st.pitchAndFamily = c.pitchAndFamily;
        Selected sel(s.dc(), crispFont(st));
        ASSERT_TRUE(sel.ok());
        const TEXTMETRICA tm = metricsOf(s.dc());
        const LONG narrow = extentOf(s.dc(), "iiii").cx;
        const LONG wide = extentOf(s.dc(), "WWWW").cx;
        SCOPED_TRACE(std::string(c.face) + " pitch and family " + hex(c.pitchAndFamily));
        if (c.fixed) {
            EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
            EXPECT_EQ(narrow, wide);
            EXPECT_EQ(extentOf(s.dc(), "0123456789").cx, 10 * tm.tmAveCharWidth);
        } else {
            EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, TMPF_FIXED_PITCH);
            EXPECT_LT(narrow, wide);
        }
    }
}

TEST(TextFont, WidthWeightAndStylesShowInTheMetrics) {
    Surface s(8, 8, Format::Colour);
    Style regular;
    LONG regularWidth = 0;
    {
        Selected sel(s.dc(), crispFont(regular));
        ASSERT_TRUE(sel.ok());
        regularWidth = extentOf(s.dc(), "Hello").cx;
        EXPECT_EQ(metricsOf(s.dc()).tmWeight, FW_NORMAL);
    }
    // A width sets the average character width and stretches the text.
    LONG narrowWidth = 0;
    for (int width : {6, 20}) {
        Style st;
        st.width = width;
        Selected sel(s.dc(), crispFont(st));
        ASSERT_TRUE(sel.ok());
        const TEXTMETRICA tm = metricsOf(s.dc());
        EXPECT_NEAR(tm.tmAveCharWidth, width, 1);
        EXPECT_EQ(tm.tmHeight, 30);
        if (width == 6)
            narrowWidth = extentOf(s.dc(), "Hello").cx;
        else
            EXPECT_GT(extentOf(s.dc(), "Hello").cx, 2 * narrowWidth);
    }
    {
        Style st;
        st.weight = FW_BOLD;
        Selected sel(s.dc(), crispFont(st));
        ASSERT_TRUE(sel.ok());
        const TEXTMETRICA tm = metricsOf(s.dc());
        EXPECT_EQ(tm.tmWeight, FW_BOLD);
        EXPECT_EQ(tm.tmHeight, 30);
        EXPECT_GE(extentOf(s.dc(), "Hello").cx, regularWidth);
    }
    {
        Style st;
        st.italic = TRUE;
        st.underline = TRUE;
        st.strikeOut = TRUE;
        Selected sel(s.dc(), crispFont(st));
        ASSERT_TRUE(sel.ok());
        const TEXTMETRICA tm = metricsOf(s.dc());
        EXPECT_NE(tm.tmItalic, 0);
        EXPECT_NE(tm.tmUnderlined, 0);
        EXPECT_NE(tm.tmStruckOut, 0);
        EXPECT_EQ(tm.tmHeight, 30);
    }
}

TEST(TextFont, UnknownOrOverlongFaceNamesStillGiveAFont) {
    // The font mapper always finds something for a name it does not know.
    Surface s(80, 40, Format::Colour);
    fill(s, kWhite);
    Style st;
    st.face = "No Such Face Pomrivel";
    Selected sel(s.dc(), crispFont(st));
    ASSERT_TRUE(sel.ok());
    EXPECT_EQ(metricsOf(s.dc()).tmHeight, 30);
    SetBkMode(s.dc(), TRANSPARENT);
    const Pixels before = read(s);
    EXPECT_TRUE(TextOutA(s.dc(), 2, 2, "8", 1));
    EXPECT_GT(changes(before, read(s), RECT{0, 0, 80, 40}, kBlack).count, 0);

    // A name longer than a LOGFONT holds is cut to fit.
    const char* longName = "An Extremely Long Face Name That Does Not Fit";
    HFONT font = CreateFontA(20, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, longName);
    ASSERT_NE(font, nullptr);
    LOGFONTA lf{};
    ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(std::string(lf.lfFaceName), std::string(longName, LF_FACESIZE - 1));
    DeleteObject(font);
}

TEST(TextFont, NewContextsUseTheSystemFont) {
    Surface s(120, 40, Format::Colour);
    ASSERT_TRUE(s.ok());
    fill(s, kWhite);
    const TEXTMETRICA initial = metricsOf(s.dc());
    EXPECT_GT(initial.tmHeight, 0);
    const SIZE extent = extentOf(s.dc(), "Pomrivel");
    EXPECT_EQ(extent.cy, initial.tmHeight);
    const Pixels before = read(s);
    EXPECT_TRUE(TextOutA(s.dc(), 0, 0, "Pomrivel", 8));
    const Changes c = changes(before, read(s), RECT{0, 0, extent.cx, extent.cy}, kBlack);
    EXPECT_GT(c.count, 0);

    // Selecting the stock font explicitly changes nothing.
    HGDIOBJ old = SelectObject(s.dc(), GetStockObject(SYSTEM_FONT));
    ASSERT_NE(old, nullptr);
    const TEXTMETRICA stock = metricsOf(s.dc());
    EXPECT_EQ(stock.tmHeight, initial.tmHeight);
    EXPECT_EQ(stock.tmAveCharWidth, initial.tmAveCharWidth);
    EXPECT_EQ(extentOf(s.dc(), "Pomrivel").cx, extent.cx);
    SelectObject(s.dc(), old);
}

// ---- Drawing -----------------------------------------------------------

TEST(TextOut, TransparentTextSetsOnlyGlyphPixelsInsideTheCell) {
    Surface s(120, 50, Format::Colour);
    ASSERT_TRUE(s.ok());
    const COLORREF ground = RGB(10, 20, 30), ink = RGB(200, 40, 60);
    fill(s, ground);
    Selected sel(s.dc(), crispFont(Style{}));
    ASSERT_TRUE(sel.ok());
    SetBkMode(s.dc(), TRANSPARENT);
    SetBkColor(s.dc(), RGB(0, 255, 0));
    SetTextColor(s.dc(), ink);

    const int x = 12, y = 9;
    const SIZE extent = extentOf(s.dc(), "8H");
    const Pixels before = read(s);
    EXPECT_TRUE(TextOutA(s.dc(), x, y, "8H", 2));
    const Changes c = changes(before, read(s), RECT{x, y, x + extent.cx, y + extent.cy}, ink);
    EXPECT_GT(c.count, 20);
    EXPECT_EQ(c.outsideBox, 0);
    EXPECT_EQ(c.notColour, 0);
}

// (x, y) is the top left of the first cell: capitals stand on the baseline
// tmAscent rows down, and each character starts where the previous one's
// advance ends.
TEST(TextOut, TextStandsOnTheBaselineAndAdvancesCharacterByCharacter) {
    Surface whole(120, 50, Format::Colour), parts(120, 50, Format::Colour);
    ASSERT_TRUE(whole.ok() && parts.ok());
    Selected a(whole.dc(), crispFont(Style{})), b(parts.dc(), crispFont(Style{}));
    ASSERT_TRUE(a.ok() && b.ok());
    fill(whole, kWhite);
    fill(parts, kWhite);
    SetBkMode(whole.dc(), TRANSPARENT);
    SetBkMode(parts.dc(), TRANSPARENT);
    const int x = 7, y = 5;
    const TEXTMETRICA tm = metricsOf(whole.dc());

    ASSERT_TRUE(TextOutA(whole.dc(), x, y, "HxE", 3));
    const Pixels drawn = read(whole);
    int lowest = -1;
    for (int py = 0; py < drawn.h; ++py)
        for (int px = 0; px < drawn.w; ++px)
            if (drawn.at(px, py) == kBlack) lowest = py;
    EXPECT_EQ(lowest, y + tm.tmAscent - 1);

    int pen = x;
    for (const char* ch : {"H", "x", "E"}) {
        ASSERT_TRUE(TextOutA(parts.dc(), pen, y, ch, 1));
        pen += extentOf(parts.dc(), ch).cx;
    }
    EXPECT_TRUE(samePixels(drawn, read(parts)));
}

TEST(TextOut, SaverFontDrawsDigitsInsideTheirCell) {
    // Default quality may be smoothed on Windows, so only where the text
    // lands is checked here, not its exact colour.
    Surface s(120, 70, Format::Colour);
    ASSERT_TRUE(s.ok());
    fill(s, kBlack);
    Selected sel(s.dc(), saverFont());
    ASSERT_TRUE(sel.ok());
    SetBkMode(s.dc(), TRANSPARENT);
    SetTextColor(s.dc(), kWhite);
    const SIZE extent = extentOf(s.dc(), "8");
    const Pixels before = read(s);
    EXPECT_TRUE(TextOutA(s.dc(), 20, 10, "8", 1));
    const Changes c = changes(before, read(s), RECT{20, 10, 20 + extent.cx, 10 + 46}, kWhite);
    EXPECT_GT(c.count, 50);
    EXPECT_EQ(c.outsideBox, 0);
}

TEST(TextOut, AntialiasedTextBlendsBetweenTheGroundAndTheTextColour) {
    Surface s(120, 50, Format::Colour);
    ASSERT_TRUE(s.ok());
    const COLORREF ground = RGB(200, 100, 50), ink = RGB(20, 220, 130);
    fill(s, ground);
    HFONT font = CreateFontA(30, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS, "");
    Selected sel(s.dc(), font);
    ASSERT_TRUE(sel.ok());
    SetBkMode(s.dc(), TRANSPARENT);
    SetTextColor(s.dc(), ink);
    const SIZE extent = extentOf(s.dc(), "8Ho");
    const Pixels before = read(s);
    EXPECT_TRUE(TextOutA(s.dc(), 6, 4, "8Ho", 3));
    const Pixels after = read(s);
    const Changes c = changes(before, after, RECT{6, 4, 6 + extent.cx, 4 + extent.cy}, ink);
    EXPECT_GT(c.count, 20);
    EXPECT_EQ(c.outsideBox, 0);
    EXPECT_LT(c.notColour, c.count);  // stems are fully covered
    const auto between = [](int v, int a, int b) { return v >= std::min(a, b) && v <= std::max(a, b); };
    int outOfRange = 0;
    for (COLORREF p : after.px)
        outOfRange += !between(GetRValue(p), GetRValue(ground), GetRValue(ink)) ||
                      !between(GetGValue(p), GetGValue(ground), GetGValue(ink)) ||
                      !between(GetBValue(p), GetBValue(ground), GetBValue(ink));
    EXPECT_EQ(outOfRange, 0);
}

TEST(TextOut, OpaqueFillsTheCellBoxWithTheBackground) {
    Surface s(120, 50, Format::Colour);
    ASSERT_TRUE(s.ok());
    const COLORREF ink = RGB(255, 0, 0), paper = RGB(0, 128, 0);
    fill(s, kWhite);
    Selected sel(s.dc(), crispFont(Style{}));
    ASSERT_TRUE(sel.ok());
    SetBkMode(s.dc(), OPAQUE);
    SetBkColor(s.dc(), paper);
    SetTextColor(s.dc(), ink);

    const int x = 10, y = 5;
    const SIZE extent = extentOf(s.dc(), "8H");
    EXPECT_TRUE(TextOutA(s.dc(), x, y, "8H", 2));
    const Pixels after = read(s);
    int inks = 0, papers = 0, strays = 0;
    for (int py = 0; py < after.h; ++py)
        for (int px = 0; px < after.w; ++px) {
            const COLORREF c = after.at(px, py);
            const bool inside = px >= x && px < x + extent.cx && py >= y && py < y + extent.cy;
            if (!inside)
                strays += c != kWhite;
            else if (c == ink)
                ++inks;
            else if (c == paper)
                ++papers;
            else
                ++strays;
        }
    EXPECT_GT(inks, 20);
    EXPECT_GT(papers, inks);
    EXPECT_EQ(strays, 0);
    EXPECT_EQ(inks + papers, extent.cx * extent.cy);
}

TEST(TextOut, UnderlineAndStrikeoutRunAcrossTheText) {
    Surface s(120, 50, Format::Colour);
    ASSERT_TRUE(s.ok());
    for (int which = 0; which < 2; ++which) {
        fill(s, kWhite);
        Style st;
        st.underline = which == 0;
        st.strikeOut = which == 1;
        Selected sel(s.dc(), crispFont(st));
        ASSERT_TRUE(sel.ok());
        SetBkMode(s.dc(), TRANSPARENT);
        const TEXTMETRICA tm = metricsOf(s.dc());
        const int x = 4, y = 6;
        const SIZE extent = extentOf(s.dc(), "a b");
        EXPECT_TRUE(TextOutA(s.dc(), x, y, "a b", 3));
        const Pixels after = read(s);
        // Rows that are black from the first to the last column of the text.
        std::vector<int> rows;
        for (int py = 0; py < after.h; ++py) {
            bool full = true;
            for (int px = x; px < x + extent.cx && full; ++px) full = after.at(px, py) == kBlack;
            if (full) rows.push_back(py);
        }
        SCOPED_TRACE(which == 0 ? "underline" : "strikeout");
        ASSERT_FALSE(rows.empty());
        for (int row : rows) {
            EXPECT_LT(row, y + tm.tmHeight);
            if (which == 0)
                EXPECT_GE(row, y + tm.tmAscent);  // below the baseline
            else
                EXPECT_LT(row, y + tm.tmAscent);  // through the letters
        }
    }
}

TEST(TextOut, EmptyNegativeOrMissingTextDrawsNothing) {
    Surface s(60, 40, Format::Colour);
    ASSERT_TRUE(s.ok());
    fill(s, kWhite);
    Selected sel(s.dc(), crispFont(Style{}));
    ASSERT_TRUE(sel.ok());
    SetBkMode(s.dc(), OPAQUE);  // even the background box stays unpainted
    SetBkColor(s.dc(), RGB(0, 0, 255));
    const Pixels before = read(s);

    EXPECT_TRUE(TextOutA(s.dc(), 5, 5, "", 0));
    EXPECT_TRUE(TextOutA(s.dc(), 5, 5, "8", 0));
    EXPECT_FALSE(TextOutA(s.dc(), 5, 5, "8", -1));
#ifndef _WIN32
    // Win32 documents nothing for a missing string with a count (Wine
    // reports success and draws nothing); our layer refuses it.
    EXPECT_FALSE(TextOutA(s.dc(), 5, 5, NULL, 3));
#endif
    EXPECT_FALSE(TextOutA(NULL, 5, 5, "8", 1));
    EXPECT_TRUE(samePixels(before, read(s)));

    SIZE size{};
    EXPECT_FALSE(GetTextExtentPoint32A(s.dc(), "8", -1, &size));
    EXPECT_FALSE(GetTextExtentPoint32A(NULL, "8", 1, &size));
    TEXTMETRICA tm{};
    EXPECT_FALSE(GetTextMetricsA(NULL, &tm));
}

// Text cut off by an edge of the bitmap is exactly the part of the same text
// that lies inside it; text far outside the bitmap changes nothing.
TEST(TextOut, ClippedTextIsTheVisiblePartOfTheSameText) {
    const int w = 90, h = 56;
    const COLORREF ground = RGB(255, 255, 255), ink = RGB(0, 0, 128), paper = RGB(255, 255, 0);
    for (int mode : {TRANSPARENT, OPAQUE}) {
        SCOPED_TRACE(mode == OPAQUE ? "opaque" : "transparent");
        Surface ref(w, h, Format::Colour), s(w, h, Format::Colour);
        ASSERT_TRUE(ref.ok() && s.ok());
        Selected refFont(ref.dc(), crispFont(Style{})), font(s.dc(), crispFont(Style{}));
        ASSERT_TRUE(refFont.ok() && font.ok());
        for (HDC dc : {ref.dc(), s.dc()}) {
            SetBkMode(dc, mode);
            SetBkColor(dc, paper);
            SetTextColor(dc, ink);
        }
        const int x0 = 25, y0 = 12;
        fill(ref, ground);
        ASSERT_TRUE(TextOutA(ref.dc(), x0, y0, "8H", 2));
        const Pixels drawn = read(ref);

        const std::pair<int, int> shifts[] = {{-40, 0}, {0, -25}, {50, 0}, {0, 30}, {-30, -20}, {45, 28}};
        for (auto [dx, dy] : shifts) {
            fill(s, ground);
            EXPECT_TRUE(TextOutA(s.dc(), x0 + dx, y0 + dy, "8H", 2));
            Pixels expected(w, h, ground);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (drawn.at(x, y) != ground && x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h)
                        expected.at(x + dx, y + dy) = drawn.at(x, y);
            EXPECT_TRUE(samePixels(expected, read(s))) << "shifted by " << dx << "," << dy;
        }

        // Windows may refuse coordinates this large or draw nothing; either
        // way the bitmap is left alone.
        const std::pair<int, int> faraway[] = {{INT_MAX - 5, 0},     {INT_MIN + 5, 0}, {0, INT_MAX - 5},
                                               {0, INT_MIN + 5},     {w, 0},           {-1000, h},
                                               {1 << 30, -(1 << 30)}};
        fill(s, ground);
        const Pixels blank = read(s);
        for (auto [x, y] : faraway) TextOutA(s.dc(), x, y, "8H", 2);
        EXPECT_TRUE(samePixels(blank, read(s)));
    }
}

// Black and white text comes out the same in a monochrome bitmap as in a
// colour one, also where it starts inside a byte or is cut off at the edge.
TEST(TextOut, MonochromeBitmapsGetTheSameTextAsColourOnes) {
    Surface mono(100, 50, Format::Mono), colour(100, 50, Format::Colour);
    ASSERT_TRUE(mono.ok() && colour.ok());
    Selected a(mono.dc(), crispFont(Style{})), b(colour.dc(), crispFont(Style{}));
    ASSERT_TRUE(a.ok() && b.ok());
    const SIZE extent = extentOf(mono.dc(), "8H");
    struct Case {
        int mode;
        COLORREF text, bk;
        int x, y;
    } cases[] = {
        {TRANSPARENT, kBlack, kWhite, 3, 2},
        {TRANSPARENT, kBlack, kWhite, 75, -9},
        {OPAQUE, kWhite, kBlack, 13, 10},
        {OPAQUE, kWhite, kBlack, 57, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        for (const Surface* s : {&mono, &colour}) {
            fill(*s, kWhite);
            SetBkMode(s->dc(), c.mode);
            SetBkColor(s->dc(), c.bk);
            SetTextColor(s->dc(), c.text);
            EXPECT_TRUE(TextOutA(s->dc(), c.x, c.y, "8H", 2));
        }
        const Pixels drawn = read(mono);
        const Changes changed =
            changes(Pixels(100, 50, kWhite), drawn, RECT{c.x, c.y, c.x + extent.cx, c.y + extent.cy}, kBlack);
        EXPECT_GT(changed.count, 20);
        EXPECT_EQ(changed.outsideBox, 0);
        EXPECT_TRUE(samePixels(read(colour), drawn));
    }
}
