// The scene in-process on the headless backend, set up as the saver's run
// does it and stepped one frame at a time: the paint list after init, the
// scrolling landscape and its wrap, the walks, the switch between the scenes
// every third walk, the countdown composed on every frame, and whole frames
// compared with the scene composed by hand from the bitmaps.
#include <windows.h>

#include "gdi_test_util.h"
#include "support/headless.h"
#include "screen.h"
#include "xsavermain.h"
#include "xsprite.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using gdi_test::Pixels;
using gdi_test::readBits;
using platform::backend::HeadlessConfig;

namespace {

constexpr COLORREF kKey = RGB(254, 2, 254);  // the scene's key, which init sets

// Where the upper band's first copy stands after `frame` paints: it starts
// at 0, moves one pixel left a frame and goes round from -640 to 639.
int bandX(int frame) {
    return 639 - (frame + 639) % 1280;
}

class Scene : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessConfig config;
        config.localTime = SYSTEMTIME{2003, 6, 0, 13, 23, 59, 58, 500};
        test_support::installHeadless(config);
        hInst = GetModuleHandleA(nullptr);
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = hInst;
        wc.lpszClassName = "SceneTest";
        RegisterClassA(&wc);  // once per process; later tests reuse the class
        hwndMain = CreateWindowExA(0, "SceneTest", "scene", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, hInst, nullptr);
        SetWindowPos(hwndMain, HWND_TOPMOST, 0, 0, 640, 480, SWP_SHOWWINDOW);
        getGraphics(hwndMain);
        hb = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));

        // A fresh paint list and count, and tunables that init must set.
        maxSpriteStack = 0;
        changeSceneCount = 0;
        GAMESPEED = 100;
        transparentColor = 0xFF00FF;
        init();
        frames_ = 0;
    }

    // Leaves the paint list and the tunables as a fresh process has them,
    // for whatever runs next in this process.
    void TearDown() override {
        maxSpriteStack = 0;
        GAMESPEED = 100;
        transparentColor = 0xFF00FF;
    }

    // One frame as the frame loop runs it: the back buffer cleared to black,
    // then the scene.
    void frame() {
        SelectObject(h, hb);
        Rectangle(h, 0, 0, screenSize.right, screenSize.bottom);
        paint();
        ++frames_;
    }
    void runTo(int n) {
        while (frames_ < n) frame();
    }

    int frames_ = 0;
};

// ---- Set-up ------------------------------------------------------------------

TEST_F(Scene, InitBuildsSixSpritesInPaintOrderOnTheLandscape) {
    EXPECT_EQ(GAMESPEED, 50);
    EXPECT_EQ(transparentColor, 0xFE02FEu);

    ASSERT_EQ(maxSpriteStack, 6);
    SPRITE* const order[] = {&mainCharacter, &tree, &background, &background2, &background3, &backgroundSand};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(spriteStack[i], order[i]) << i;

    struct Expect {
        const SPRITE* s;
        int width, height, x, y, active, transparent;
    };
    const Expect expects[] = {
        {&mainCharacter, 107, 181, 0, 150, 1, 1}, {&tree, 640, 405, 0, 0, 1, 1},
        {&background, 640, 240, 0, 0, 1, 0},      {&background2, 640, 240, 640, 0, 1, 0},
        {&background3, 640, 240, 0, 240, 1, 0},   {&backgroundSand, 640, 480, 0, 0, 0, 0},
    };
    for (const Expect& e : expects) {
        const int i = static_cast<int>(&e - expects);
        EXPECT_NE(e.s->image, nullptr) << i;
        EXPECT_EQ(e.s->width, e.width) << i;
        EXPECT_EQ(e.s->height, e.height) << i;
        EXPECT_EQ(e.s->pos.x, e.x) << i;
        EXPECT_EQ(e.s->pos.y, e.y) << i;
        EXPECT_EQ(e.s->isActive, e.active) << i;
        EXPECT_EQ(e.s->isTransparent, e.transparent) << i;
        EXPECT_EQ(e.s->imageMask != nullptr, e.transparent != 0) << i;
        EXPECT_EQ(e.s->isFlipable, 0) << i;
    }
    EXPECT_EQ(mainCharacter.isAnimation, 1);
    EXPECT_EQ(mainCharacter.maxImagePosition, 1);

    // The walker's centre must pass 200 pixels beyond the right edge; the
    // bands head far to the left at the height of their own centre.
    EXPECT_EQ(mainCharacter.course.x, 840);
    EXPECT_EQ(mainCharacter.course.y, 240);
    EXPECT_EQ(mainCharacter.speed, 1);
    for (const SPRITE* band : {&background, &background2}) {
        EXPECT_EQ(band->course.x, -640);
        EXPECT_EQ(band->course.y, 120);
        EXPECT_EQ(band->speed, 1);
    }
    // The two copies are loaded separately.
    EXPECT_NE(background.image, background2.image);
}

TEST_F(Scene, TheSoundIsLoadedByInitAndLetGoOfByDeinit) {
    ASSERT_NE(mysound, nullptr);
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(mysound));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::memcmp(bytes, "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(bytes + 8, "WAVE", 4), 0);
    const std::uint32_t riffSize = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | std::uint32_t{bytes[7]} << 24;
    EXPECT_EQ(riffSize + 8, 251476u);
    deinit();
    EXPECT_EQ(mysound, nullptr);
    deinit();  // a second release finds nothing to let go of
    EXPECT_EQ(mysound, nullptr);
}

// ---- Motion ------------------------------------------------------------------

TEST_F(Scene, TheLandscapeScrollsAndWrapsAt640WithoutAGap) {
    frame();
    EXPECT_EQ(background.pos.x, -1);
    EXPECT_EQ(background2.pos.x, 639);

    int previous = background.pos.x, previous2 = background2.pos.x;
    for (int n = 2; n <= 2600; ++n) {
        frame();
        const int x = background.pos.x, x2 = background2.pos.x;
        ASSERT_EQ(x, bandX(n)) << "frame " << n;
        // One pixel left a frame, or round from -640 to 639; never left of
        // -640, and always 640 apart, so the copies join without a gap.
        ASSERT_TRUE(x == previous - 1 || (previous == -640 && x == 639)) << "frame " << n;
        ASSERT_TRUE(x2 == previous2 - 1 || (previous2 == -640 && x2 == 639)) << "frame " << n;
        ASSERT_GE(x, -640);
        ASSERT_GE(x2, -640);
        ASSERT_EQ(std::abs(x - x2), 640) << "frame " << n;
        ASSERT_EQ(background.pos.y, 0);
        ASSERT_EQ(background2.pos.y, 0);
        previous = x, previous2 = x2;
        if (n == 640) {
            EXPECT_EQ(x, -640);
        }
        if (n == 641) {
            EXPECT_EQ(x, 639);
        }
        if (n == 1280) {
            EXPECT_EQ(x2, -640);
        }
        if (n == 1281) {
            EXPECT_EQ(x2, 639);
        }
    }
}

TEST_F(Scene, TheWalkerCrossesThenStartsAgainOffScreenAndDriftsDown) {
    // The first walk: 787 moves to the right at the course height.
    for (int n = 1; n <= 787; ++n) {
        frame();
        ASSERT_EQ(mainCharacter.pos.x, n) << "frame " << n;
        ASSERT_EQ(mainCharacter.pos.y, 150) << "frame " << n;
    }
    EXPECT_EQ(changeSceneCount, 0);
    // Then one arrival frame, which puts the walker off-screen at the left.
    frame();
    EXPECT_EQ(mainCharacter.pos.x, -200);
    EXPECT_EQ(mainCharacter.pos.y, 100);
    EXPECT_EQ(changeSceneCount, 1);

    // Every later walk: 987 moves, the first 50 of them down as well.
    for (int walk = 2; walk <= 3; ++walk) {
        for (int k = 1; k <= 987; ++k) {
            frame();
            ASSERT_EQ(mainCharacter.pos.x, -200 + k) << "walk " << walk << " move " << k;
            ASSERT_EQ(mainCharacter.pos.y, 100 + (k < 50 ? k : 50)) << "walk " << walk << " move " << k;
        }
        frame();
        EXPECT_EQ(mainCharacter.pos.x, -200);
        EXPECT_EQ(mainCharacter.pos.y, 100);
    }
    EXPECT_EQ(frames_, 788 + 2 * 988);
}

TEST_F(Scene, EveryThirdArrivalSwitchesScenesAndTheLandscapeReturnsWhereItGotTo) {
    auto landscape = [] {
        return tree.isActive && background.isActive && background2.isActive && background3.isActive &&
               !backgroundSand.isActive && mainCharacter.isActive;
    };
    auto sand = [] {
        return !tree.isActive && !background.isActive && !background2.isActive && !background3.isActive &&
               backgroundSand.isActive && mainCharacter.isActive;
    };
    // Arrivals come on frames 788, 1776, 2764, 3752, 4740 and 5728.
    runTo(787);
    EXPECT_EQ(changeSceneCount, 0);
    runTo(788);
    EXPECT_EQ(changeSceneCount, 1);
    EXPECT_TRUE(landscape());
    runTo(1776);
    EXPECT_EQ(changeSceneCount, 2);
    EXPECT_TRUE(landscape());
    runTo(2763);
    EXPECT_TRUE(landscape());
    runTo(2764);
    EXPECT_EQ(changeSceneCount, 0);
    EXPECT_TRUE(sand());
    // The walk goes on from where the arrival put it.
    runTo(2765);
    EXPECT_EQ(mainCharacter.pos.x, -199);
    EXPECT_EQ(mainCharacter.pos.y, 101);
    // The hidden bands keep scrolling.
    runTo(4000);
    EXPECT_EQ(background.pos.x, bandX(4000));
    runTo(4740);
    EXPECT_EQ(changeSceneCount, 2);
    EXPECT_TRUE(sand());
    runTo(5727);
    EXPECT_TRUE(sand());
    runTo(5728);
    EXPECT_EQ(changeSceneCount, 0);
    EXPECT_TRUE(landscape());
    EXPECT_EQ(background.pos.x, bandX(5728));
    EXPECT_EQ(background2.pos.x, bandX(5728 + 640));
}

TEST_F(Scene, TheSceneFlipFollowsTheTreeAlone) {
    // With the tree hidden by something else while the bands show, the next
    // switch turns the landscape on again rather than off.
    tree.isActive = 0;
    switchScenes();
    EXPECT_EQ(tree.isActive, 1);
    EXPECT_EQ(background.isActive, 1);
    EXPECT_EQ(backgroundSand.isActive, 0);
    switchScenes();
    EXPECT_EQ(tree.isActive, 0);
    EXPECT_EQ(background3.isActive, 0);
    EXPECT_EQ(backgroundSand.isActive, 1);
    // The walker is never touched.
    EXPECT_EQ(mainCharacter.isActive, 1);
    EXPECT_EQ(mainCharacter.pos.x, 0);
}

// ---- The countdown -----------------------------------------------------------

TEST_F(Scene, EachFrameComposesTheCountdownAndLeavesTheTextColourBlack) {
    // The clock stands at 2003-06-13 23:59:58.500: the seconds line is the
    // one left in the buffer.
    std::srand(11);
    frame();
    int seconds = -1, milliseconds = -1;
    ASSERT_EQ(std::sscanf(output, "%d Seconds, %d Milliseconds", &seconds, &milliseconds), 2) << output;
    EXPECT_EQ(seconds, 1);
    EXPECT_GE(milliseconds, 499);
    EXPECT_LE(milliseconds, 507);
    EXPECT_EQ(std::string(output),
              std::to_string(seconds) + " Seconds, " + std::to_string(milliseconds) + " Milliseconds");
    // Exactly one draw from the generator (no second draw below 1000).
    const int next = std::rand();
    std::srand(11);
    std::rand();
    EXPECT_EQ(next, std::rand());
    // The masked drawing of the next frame relies on black text and the
    // white background colour.
    EXPECT_EQ(GetTextColor(h), 0u);
    EXPECT_EQ(GetBkColor(h), 0xFFFFFFu);
}

// ---- What is seen ------------------------------------------------------------

// The back buffer as it stands.
Pixels backBuffer() {
    HDC copy = CreateCompatibleDC(h);
    HBITMAP bitmap = CreateCompatibleBitmap(h, 640, 480);
    HGDIOBJ old = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, 640, 480, h, 0, 0, SRCCOPY);
    SelectObject(copy, old);
    DeleteDC(copy);
    Pixels out = readBits(bitmap);
    DeleteObject(bitmap);
    return out;
}

// A scene picture as loaded from the resources, key colour untouched.
Pixels loadPicture(int id) {
    HBITMAP bitmap = LoadBitmapA(hInst, MAKEINTRESOURCEA(id));
    Pixels p = readBits(bitmap);
    DeleteObject(bitmap);
    return p;
}

// Lays `p` at (x, y) on a 640 x 480 frame, clipped, leaving its key-coloured
// pixels out when `keyed`. Returns how many of its opaque pixels covered a
// pixel already drawn in another colour (so a test can tell that the layers
// overlapped at all).
int lay(Pixels& frame, std::vector<bool>& drawn, const Pixels& p, int x, int y, bool keyed) {
    int covered = 0;
    for (int row = 0; row < p.h; ++row) {
        for (int col = 0; col < p.w; ++col) {
            const int fx = x + col, fy = y + row;
            if (fx < 0 || fy < 0 || fx >= 640 || fy >= 480) continue;
            const COLORREF c = p.at(col, row);
            if (keyed && c == kKey) continue;
            const std::size_t i = static_cast<std::size_t>(fy) * 640 + fx;
            if (drawn[i] && frame.at(fx, fy) != c) ++covered;
            frame.at(fx, fy) = c;
            drawn[i] = true;
        }
    }
    return covered;
}

TEST_F(Scene, FramesShowTheWalkerOverTheTreeOverTheBands) {
    const Pixels walker = loadPicture(666), band = loadPicture(668), meadow = loadPicture(669),
                 trees = loadPicture(670), sandPicture = loadPicture(671);
    ASSERT_EQ(walker.w, 107);
    ASSERT_EQ(sandPicture.h, 480);

    // A frame at the start, one in each later walk over the landscape, the
    // first sand frame (the walker off-screen), one with the walker on the
    // sand, and the landscape's return.
    const int checkpoints[] = {1, 400, 1501, 2200, 2764, 3001, 5728, 5800};
    for (int n : checkpoints) {
        runTo(n);
        Pixels expected(640, 480);
        std::vector<bool> drawn(640 * 480, false);
        int treeOverBands = 0, walkerOverScene = 0;
        if (backgroundSand.isActive) lay(expected, drawn, sandPicture, 0, 0, false);
        if (tree.isActive) {
            lay(expected, drawn, meadow, 0, 240, false);
            lay(expected, drawn, band, background2.pos.x, 0, false);
            lay(expected, drawn, band, background.pos.x, 0, false);
            treeOverBands = lay(expected, drawn, trees, 0, 0, true);
        }
        walkerOverScene = lay(expected, drawn, walker, mainCharacter.pos.x, mainCharacter.pos.y, true);

        const Pixels got = backBuffer();
        ASSERT_EQ(got.px.size(), expected.px.size()) << "frame " << n;
        int wrong = 0, firstWrong = -1, keyed = 0;
        for (std::size_t i = 0; i < got.px.size(); ++i) {
            if (got.px[i] != expected.px[i]) {
                if (firstWrong < 0) firstWrong = static_cast<int>(i);
                ++wrong;
            }
            if (got.px[i] == kKey) ++keyed;
        }
        EXPECT_EQ(wrong, 0) << "frame " << n << ": first difference at (" << firstWrong % 640 << ", "
                            << firstWrong / 640 << ")";
        EXPECT_EQ(keyed, 0) << "frame " << n << " shows the key colour";
        if (tree.isActive) {
            EXPECT_GT(treeOverBands, 1000) << "frame " << n;
        }
        if (mainCharacter.pos.x > -107 && mainCharacter.pos.x < 640) {
            EXPECT_GT(walkerOverScene, 1000) << "frame " << n;
        }
    }
}

}  // namespace
