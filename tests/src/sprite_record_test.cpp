// Sprite records: what the constructors build, where the image comes from
// (a bitmap file before a resource), and the position and size operations.
#include "sprite_test_util.h"

#include <cstring>

using namespace sprite_test;

namespace {

using SpriteRecord = SpriteTest;

Pixels keyed6x2() {
    return keyedPicture(6, 2, [](int x, int y) { return x == 0 || (x == 4 && y == 1); });
}

TEST_F(SpriteRecord, CreateSpriteFillsEveryFieldWithItsStartingValue) {
    writeBmp("pic", keyed6x2());
    SPRITE s = createSprite("pic", 0, 0);
    EXPECT_EQ(readBits(s.image), keyed6x2());  // opaque: the key stays
    EXPECT_EQ(s.pos.x, 0);
    EXPECT_EQ(s.pos.y, 0);
    EXPECT_EQ(s.course.x, 0);
    EXPECT_EQ(s.course.y, 0);
    EXPECT_EQ(s.width, 6);
    EXPECT_EQ(s.height, 2);
    EXPECT_EQ(s.speed, 1);
    EXPECT_EQ(s.hp, 2);
    EXPECT_EQ(s.isActive, 1);
    EXPECT_EQ(s.isFlipable, 0);
    EXPECT_EQ(s.nextSpritePtr, 0);
    EXPECT_STREQ(s.spriteName, "");
    EXPECT_STREQ(s.groupName, "sprite");
    EXPECT_EQ(s.imageMask, (HBITMAP)NULL);
    EXPECT_EQ(s.isTransparent, 0);
    EXPECT_EQ(s.imageFlip, (HBITMAP)NULL);
    EXPECT_EQ(s.imageFlipMask, (HBITMAP)NULL);
    EXPECT_EQ(s.isFlipped, 0);
    EXPECT_EQ(s.isAnimation, 0);
    EXPECT_EQ(s.loopAnimationHideWhenDone, 0);
    EXPECT_EQ(s.loopAnimationFreezeWhenDone, 0);
    EXPECT_EQ(s.autoUpdateFrame, 1);
    EXPECT_EQ(s.currentImagePosition, 0);
    EXPECT_EQ(s.maxImagePosition, 0);
    EXPECT_EQ(s.frameSpeed, 7);
    EXPECT_EQ(s.repeatFrameCount, 0);
    EXPECT_EQ(s.maxRepeatPosition, 20);
    EXPECT_EQ(s.repeatPosition, 0);
    destroySprite(s);
}

TEST_F(SpriteRecord, TransparentAndFlipableSpritesGetMasksAndAMirror) {
    const Pixels p = keyed6x2();
    writeBmp("pic", p);

    SPRITE both = createSprite("pic", 7, 3);  // any non-zero flag counts, stored as given
    EXPECT_EQ(both.isTransparent, 7);
    EXPECT_EQ(both.isFlipable, 3);
    EXPECT_EQ(readBits(both.image), replaced(p, kKey, kBlack));
    EXPECT_EQ(readBits(both.imageMask), where(p, kKey));
    EXPECT_EQ(readBits(both.imageFlip), mirrored(replaced(p, kKey, kBlack)));
    EXPECT_EQ(readBits(both.imageFlipMask), mirrored(where(p, kKey)));

    // Flipable but opaque: the image keeps its key pixels, the mirror's are
    // black and it has a working mask all the same.
    SPRITE flipOnly = createSprite("pic", 0, 1);
    EXPECT_EQ(flipOnly.imageMask, (HBITMAP)NULL);
    EXPECT_EQ(readBits(flipOnly.image), p);
    EXPECT_EQ(readBits(flipOnly.imageFlip), mirrored(replaced(p, kKey, kBlack)));
    EXPECT_EQ(readBits(flipOnly.imageFlipMask), mirrored(where(p, kKey)));

    // The key is the one in force at construction.
    transparentColor = RGB(1, 2, 3);
    SPRITE otherKey = createSprite("pic", 1, 0);
    EXPECT_EQ(readBits(otherKey.image), p);
    EXPECT_EQ(readBits(otherKey.imageMask), Pixels(6, 2, kBlack));
    for (SPRITE* s : {&both, &flipOnly, &otherKey}) destroySprite(*s);
}

TEST_F(SpriteRecord, AFileNamedLikeTheResourceComesFirst) {
    HBITMAP resource = LoadBitmapA(hInst, MAKEINTRESOURCEA(666));
    const Pixels fromResource = readBits(resource);
    ASSERT_GT(fromResource.w, 0);
    DeleteObject(resource);

    // No file: "666" is resource 666, and so are "666x" (the number stops at
    // the x) and "66202" (65536 + 666: resource numbers are 16 bits).
    for (const char* name : {"666", "666x", "66202"}) {
        SPRITE s = createSprite(name, 0, 0);
        EXPECT_EQ(readBits(s.image), fromResource) << name;
        EXPECT_EQ(s.width, fromResource.w) << name;
        EXPECT_EQ(s.height, fromResource.h) << name;
        destroySprite(s);
    }

    // A file of that name in the working directory wins.
    writeBmp("666", keyed6x2());
    SPRITE s = createSprite("666", 0, 0);
    EXPECT_EQ(readBits(s.image), keyed6x2());
    destroySprite(s);
}

TEST_F(SpriteRecord, AnImageThatLoadsFromNowhereLeavesAnEmptySprite) {
    // No leading number is resource 0, which loads nothing.
    for (const char* name : {"walker", "0", "x666"}) {
        SPRITE s = createSprite(name, 1, 1);
        EXPECT_EQ(s.image, (HBITMAP)NULL) << name;
        EXPECT_EQ(s.imageMask, (HBITMAP)NULL) << name;
        EXPECT_EQ(s.imageFlip, (HBITMAP)NULL) << name;
        EXPECT_EQ(s.imageFlipMask, (HBITMAP)NULL) << name;
        EXPECT_EQ(s.width, 0) << name;
        EXPECT_EQ(s.height, 0) << name;
        EXPECT_EQ(s.isActive, 1) << name;
        EXPECT_STREQ(s.groupName, "sprite") << name;
    }
}

TEST_F(SpriteRecord, AnimatedSpriteSplitsTheStripIntoFrames) {
    writeBmp("strip", keyedPicture(430, 3, [](int x, int) { return x % 9 == 0; }));
    SPRITE a = createAnimatedSprite("strip", 1, 1, 4);
    EXPECT_EQ(a.isAnimation, 1);
    EXPECT_EQ(a.maxImagePosition, 4);
    EXPECT_EQ(a.width, 107);  // 430 / 4: the last 2 columns are never drawn
    EXPECT_EQ(a.height, 3);
    EXPECT_EQ(readBits(a.imageMask).w, 430);  // masks and mirror stay whole strips
    EXPECT_EQ(readBits(a.imageFlip).w, 430);
    EXPECT_EQ(a.autoUpdateFrame, 1);
    EXPECT_EQ(a.maxRepeatPosition, 20);
    destroySprite(a);

    // Fewer than one frame is taken as one: the whole strip.
    for (int frames : {0, -3}) {
        SPRITE one = createAnimatedSprite("strip", 0, 0, frames);
        EXPECT_EQ(one.maxImagePosition, 1) << frames;
        EXPECT_EQ(one.width, 430) << frames;
        destroySprite(one);
    }
}

SPRITE blankSprite(int w, int h) {
    SPRITE s;
    std::memset(&s, 0, sizeof s);
    setDimensions(&s, w, h);
    return s;
}

TEST_F(SpriteRecord, CentresHalveTowardZeroAndRoundTrip) {
    SPRITE s = blankSprite(107, 181);
    setPosition(&s, 0, 150);
    EXPECT_EQ(getPositionCenter(&s).x, 53);
    EXPECT_EQ(getPositionCenter(&s).y, 240);

    // Negative positions: -200 + 107/2 = -147, and back again.
    setPosition(&s, -200, -7);
    EXPECT_EQ(getPositionCenter(&s).x, -147);
    EXPECT_EQ(getPositionCenter(&s).y, 83);
    setDimensions(&s, -107, 181);
    EXPECT_EQ(getPositionCenter(&s).x, -253);  // -107 / 2 is -53

    for (int w : {107, 108, 1})
        for (int h : {181, 180}) {
            SPRITE t = blankSprite(w, h);
            setPositionCenter(&t, -31, 47);
            EXPECT_EQ(getPositionCenter(&t).x, -31) << w << "x" << h;
            EXPECT_EQ(getPositionCenter(&t).y, 47) << w << "x" << h;
        }
}

TEST_F(SpriteRecord, PositionAndSizeOperations) {
    SPRITE s = blankSprite(107, 181);
    setPosition(&s, 300, 200);
    RECT r = getDimensions(&s);  // the size only, never the position
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 107);
    EXPECT_EQ(r.bottom, 181);

    moveSprite(&s, -310, 5);
    EXPECT_EQ(getPostion(&s).x, -10);
    EXPECT_EQ(getPostion(&s).y, 205);

    // dest is centred on src's centre, whatever their sizes.
    SPRITE dest = blankSprite(20, 11);
    setPositionFromSprite(&s, &dest);
    EXPECT_EQ(getPositionCenter(&dest).x, getPositionCenter(&s).x);
    EXPECT_EQ(getPositionCenter(&dest).y, getPositionCenter(&s).y);
    EXPECT_EQ(getPostion(&dest).x, -10 + 53 - 10);
    EXPECT_EQ(getPostion(&dest).y, 205 + 90 - 5);
    EXPECT_EQ(getPostion(&s).x, -10);  // src stays
}

}  // namespace
