// The painter: what the paint list looks like in the back buffer (order,
// transparency, mirroring, clipping, inactive sprites) and how animations
// advance from paint to paint.
#include "sprite_test_util.h"

#include <string>
#include <vector>

using namespace sprite_test;

namespace {

class Painter : public SpriteTest {
protected:
    // A sprite built by the constructors from p, written as a bitmap file.
    SPRITE make(const Pixels& p, int transparent, int flipable, int frames = 0) {
        const std::string name = "sprite" + std::to_string(files_++);
        writeBmp(name, p);
        return frames ? createAnimatedSprite(name.c_str(), transparent, flipable, frames)
                      : createSprite(name.c_str(), transparent, flipable);
    }

private:
    int files_ = 0;
};

// A background where every pixel differs from its neighbours.
Pixels backdrop(int w, int h) {
    return picture(w, h, [](int x, int y) { return RGB(100 + 3 * x, 50 + 11 * y, 7); });
}

// bg with sprite p laid over it at (px, py), its key pixels left out when it
// is transparent.
Pixels over(Pixels bg, const Pixels& p, int px, int py, bool transparent) {
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const int X = px + x, Y = py + y;
            if (X < 0 || Y < 0 || X >= bg.w || Y >= bg.h || (transparent && p.at(x, y) == kKey)) continue;
            bg.at(X, Y) = p.at(x, y);
        }
    return bg;
}

Pixels ringed(int w, int h) {
    return keyedPicture(w, h, [&](int x, int y) { return x == 0 || y == 0 || x == w - 1 || (x + y) % 3 == 0; });
}

TEST_F(Painter, AnEmptyListDrawsNothing) {
    Canvas c(backdrop(20, 10));
    c.paint();
    EXPECT_EQ(c.read(), backdrop(20, 10));
}

TEST_F(Painter, SpritesAreCopiedClippedAndTheFirstPushedLiesOnTop) {
    // Three opaque squares at the same corner, the first pushed the smallest.
    SPRITE s1 = make(Pixels(2, 2, RGB(1, 0, 0)), 0, 0);
    SPRITE s2 = make(Pixels(4, 4, RGB(2, 0, 0)), 0, 0);
    SPRITE s3 = make(ringed(6, 5), 0, 0);  // opaque: its key pixels are drawn
    for (SPRITE* s : {&s1, &s2, &s3}) {
        setPosition(s, -1, 7);
        addSprite(s);
    }
    Canvas c(backdrop(20, 10));
    c.paint();
    Pixels want =
        over(over(over(backdrop(20, 10), ringed(6, 5), -1, 7, false), Pixels(4, 4, RGB(2, 0, 0)), -1, 7, false),
             Pixels(2, 2, RGB(1, 0, 0)), -1, 7, false);
    EXPECT_EQ(c.read(), want);
    for (SPRITE* s : {&s1, &s2, &s3}) destroySprite(*s);
}

TEST_F(Painter, TransparentSpriteHalfOffTheSurfaceShowsTheBackground) {
    const Pixels p = ringed(8, 6);
    SPRITE s = make(p, 1, 1);
    addSprite(&s);
    for (POINT at : {POINT{16, -3}, POINT{-4, 7}, POINT{5, 2}}) {
        setPosition(&s, at.x, at.y);
        Canvas c(backdrop(20, 10));
        c.paint();
        EXPECT_EQ(c.read(), over(backdrop(20, 10), p, at.x, at.y, true)) << at.x << "," << at.y;
    }

    // Flipped, the mirror is drawn the same way.
    flipGroup("sprite", 1);
    setPosition(&s, 15, 1);
    Canvas c(backdrop(20, 10));
    c.paint();
    EXPECT_EQ(c.read(), over(backdrop(20, 10), mirrored(p), 15, 1, true));
    destroySprite(s);
}

TEST_F(Painter, SpritesWithNothingToShowDrawNothing) {
    SPRITE inactive = make(Pixels(3, 3, RGB(1, 2, 3)), 0, 0);
    inactive.isActive = 0;
    SPRITE dead = make(Pixels(3, 3, RGB(1, 2, 3)), 0, 0);
    dead.hp = 0;
    SPRITE noMirror = make(Pixels(3, 3, RGB(1, 2, 3)), 1, 0);
    noMirror.isFlipped = 1;  // flipped, but built without a mirror
    SPRITE noImage = make(Pixels(3, 3, RGB(1, 2, 3)), 0, 1);
    DeleteObject(noImage.image);
    noImage.image = NULL;
    SPRITE pastTheStrip = make(Pixels(6, 3, RGB(1, 2, 3)), 0, 0, 3);
    pastTheStrip.currentImagePosition = 3;  // a frame the strip does not hold
    pastTheStrip.autoUpdateFrame = 0;
    SPRITE beforeTheStrip = make(Pixels(6, 3, RGB(1, 2, 3)), 0, 0, 3);
    beforeTheStrip.currentImagePosition = -1;
    beforeTheStrip.autoUpdateFrame = 0;
    for (SPRITE* s : {&inactive, &dead, &noMirror, &noImage, &pastTheStrip, &beforeTheStrip}) addSprite(s);

    Canvas c(backdrop(20, 10));
    c.paint();
    dead.isActive = 1;  // hp 0 deactivates again before drawing
    c.paint();
    EXPECT_EQ(dead.isActive, 0);
    EXPECT_EQ(c.read(), backdrop(20, 10));

    // Only exactly 0 counts.
    dead.hp = -1;
    dead.isActive = 1;
    c.paint();
    EXPECT_EQ(c.read(), over(backdrop(20, 10), Pixels(3, 3, RGB(1, 2, 3)), 0, 0, false));
    for (SPRITE* s : {&inactive, &dead, &noMirror, &noImage, &pastTheStrip, &beforeTheStrip}) destroySprite(*s);
}

TEST_F(Painter, ASizeBeyondTheBitmapDrawsOnlyWhatTheBitmapHolds) {
    const Pixels p = ringed(6, 2);
    SPRITE s = make(p, 0, 0);
    setDimensions(&s, 10, 5);
    setPosition(&s, 3, 3);
    addSprite(&s);
    Canvas c(backdrop(20, 10));
    c.paint();
    EXPECT_EQ(c.read(), over(backdrop(20, 10), p, 3, 3, false));
    destroySprite(s);
}

// ---- Animation ----------------------------------------------------------

// A strip of frames 2 pixels wide and 1 high, each a different pair of
// colours, so a frame, its mirror and the background all read apart.
constexpr int kFrames = 3;
Pixels frame(int k) {
    return picture(2, 1, [&](int x, int) { return RGB(40 + 60 * k, x ? 200 : 100, 9); });
}
Pixels strip() {
    return picture(2 * kFrames, 1, [](int x, int) { return frame(x / 2).at(x % 2, 0); });
}

class Animation : public Painter {
protected:
    void SetUp() override {
        Painter::SetUp();
        s = make(strip(), 1, 1, kFrames);
        addSprite(&s);
    }
    void TearDown() override {
        destroySprite(s);
        Painter::TearDown();
    }

    // What each of `count` paints draws over a blank surface: the frame
    // index, the frame index + 10 for a frame's mirror image, or -1 for
    // nothing.
    std::vector<int> paints(int count) {
        std::vector<int> seen;
        for (int i = 0; i < count; ++i) {
            Canvas c(Pixels(2, 1, kWhite));
            c.paint();
            const Pixels drawn = c.read();
            int label = drawn == Pixels(2, 1, kWhite) ? -1 : -2;
            for (int k = 0; k < kFrames; ++k) {
                if (drawn == frame(k)) label = k;
                if (drawn == mirrored(frame(k))) label = 10 + k;
            }
            seen.push_back(label);
        }
        return seen;
    }

    SPRITE s;
};

// Runs of (label, paints).
std::vector<int> runs(std::initializer_list<std::pair<int, int>> parts) {
    std::vector<int> v;
    for (auto [label, n] : parts) v.insert(v.end(), n, label);
    return v;
}

TEST_F(Animation, EachFrameIsHeldForTwoPaintsMoreThanTheThresholdThenItLoops) {
    EXPECT_EQ(paints(67), runs({{0, 22}, {1, 22}, {2, 22}, {0, 1}}));
    EXPECT_EQ(s.repeatFrameCount, 1);

    // Threshold 0: two paints a frame; below 0: one.
    for (int r : {0, -1, -7}) {
        s.currentImagePosition = 0;
        s.repeatFrameCount = 0;
        s.maxRepeatPosition = r;
        const int hold = r >= -1 ? r + 2 : 1;
        EXPECT_EQ(paints(3 * hold + 1), runs({{0, hold}, {1, hold}, {2, hold}, {0, 1}})) << r;
    }
}

TEST_F(Animation, HideWhenDoneDrawsTheLastFrameOnceAndRewinds) {
    s.loopAnimationHideWhenDone = 1;
    EXPECT_EQ(paints(50), runs({{0, 22}, {1, 22}, {2, 1}, {-1, 5}}));
    EXPECT_EQ(s.isActive, 0);
    EXPECT_EQ(s.currentImagePosition, 0);
    EXPECT_EQ(s.repeatFrameCount, 1);  // the counter carries over

    s.isActive = 1;  // reactivated: plays from frame 0 again, counter as it was
    EXPECT_EQ(paints(22), runs({{0, 21}, {1, 1}}));
}

TEST_F(Animation, FreezeWhenDoneStaysOnTheLastFrameForGood) {
    s.loopAnimationFreezeWhenDone = 1;
    EXPECT_EQ(paints(100), runs({{0, 22}, {1, 22}, {2, 56}}));
    EXPECT_EQ(s.autoUpdateFrame, 0);
    EXPECT_EQ(s.currentImagePosition, 2);
    EXPECT_EQ(s.repeatFrameCount, 0);
}

TEST_F(Animation, FramesDrivenByHandStillRunOutOnTheLastFrame) {
    s.autoUpdateFrame = 0;
    s.currentImagePosition = 1;
    s.repeatFrameCount = 5;
    EXPECT_EQ(paints(40), runs({{1, 40}}));
    EXPECT_EQ(s.repeatFrameCount, 5);

    // On the last frame the counter runs and the sprite goes back to frame
    // 0, where it then stays.
    s.currentImagePosition = 2;
    EXPECT_EQ(paints(30), runs({{2, 17}, {0, 13}}));
}

TEST_F(Animation, InactiveOrDeadSpritesAreFrozen) {
    s.currentImagePosition = 1;
    s.repeatFrameCount = 4;
    s.isActive = 0;
    EXPECT_EQ(paints(30), runs({{-1, 30}}));
    s.isActive = 1;
    s.hp = 0;
    EXPECT_EQ(paints(30), runs({{-1, 30}}));
    EXPECT_EQ(s.currentImagePosition, 1);
    EXPECT_EQ(s.repeatFrameCount, 4);
}

TEST_F(Animation, MirroredAnimationPlaysTheFramesInReverse) {
    s.isFlipped = 1;
    EXPECT_EQ(paints(67), runs({{12, 22}, {11, 22}, {10, 22}, {12, 1}}));
}

TEST_F(Animation, ASpriteListedTwiceAdvancesTwicePerPaint) {
    addSprite(&s);
    EXPECT_EQ(paints(12), runs({{0, 11}, {1, 1}}));
}

TEST_F(Painter, AOneFrameAnimationDrawsItsFrameWhileTheCounterCycles) {
    const Pixels p = ringed(5, 2);
    SPRITE s = make(p, 1, 0, 1);
    addSprite(&s);
    for (int i = 1; i <= 50; ++i) {
        Canvas c(backdrop(5, 2));
        c.paint();
        ASSERT_EQ(c.read(), over(backdrop(5, 2), p, 0, 0, true)) << i;
        EXPECT_EQ(s.repeatFrameCount, i % 22) << i;
        EXPECT_EQ(s.currentImagePosition, 0);
    }
    destroySprite(s);
}

}  // namespace
