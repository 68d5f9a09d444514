// The paint list: pushing, popping from the top, releasing the sprites'
// bitmaps, and the operations on named groups.
#include "sprite_test_util.h"

#include <cstring>

using namespace sprite_test;

namespace {

using PaintList = SpriteTest;

SPRITE listed(const char* group = "sprite", int flipable = 0) {
    SPRITE s;
    std::memset(&s, 0, sizeof s);
    std::strcpy(s.groupName, group);
    s.isActive = 1;
    s.isFlipable = flipable;
    return s;
}

// A sprite holding four small bitmaps of its own.
SPRITE withBitmaps() {
    SPRITE s = listed();
    const Pixels p(2, 2, RGB(9, 9, 9));
    s.image = makeBitmap(p);
    s.imageMask = CreateBitmap(2, 2, 1, 1, NULL);
    s.imageFlip = makeBitmap(p);
    s.imageFlipMask = CreateBitmap(2, 2, 1, 1, NULL);
    return s;
}

TEST_F(PaintList, PushesInOrderAndRefusesA26thEntryOrNoSprite) {
    addSprite(NULL);
    EXPECT_EQ(maxSpriteStack, 0);
    SPRITE s[MAXSPRITES + 1];
    for (SPRITE& one : s) {
        one = listed();
        addSprite(&one);
    }
    EXPECT_EQ(maxSpriteStack, MAXSPRITES);
    for (int i = 0; i < MAXSPRITES; ++i) EXPECT_EQ(spriteStack[i], &s[i]) << i;
}

TEST_F(PaintList, RemoveTakesOnlyTheTopEntryAndReleasesItsImageAndMask) {
    SPRITE s1 = withBitmaps(), s2 = withBitmaps(), s3 = withBitmaps();
    const SPRITE before = s3;
    removeSprite(&s1);  // empty list: refused
    EXPECT_EQ(maxSpriteStack, 0);
    EXPECT_TRUE(exists(s1.image));

    addSprite(&s1);
    addSprite(&s2);
    addSprite(&s3);
    removeSprite(&s2);  // not the top entry: refused
    EXPECT_EQ(maxSpriteStack, 3);
    EXPECT_TRUE(exists(s2.image) && exists(s2.imageMask));

    removeSprite(&s3);
    EXPECT_EQ(maxSpriteStack, 2);
    EXPECT_EQ(spriteStack[0], &s1);
    EXPECT_EQ(spriteStack[1], &s2);
    EXPECT_FALSE(exists(s3.image));
    EXPECT_FALSE(exists(s3.imageMask));
    EXPECT_TRUE(exists(s3.imageFlip));  // the mirror and its mask stay
    EXPECT_TRUE(exists(s3.imageFlipMask));
    EXPECT_EQ(std::memcmp(&s3, &before, sizeof s3), 0);  // the record is untouched
    for (SPRITE* s : {&s1, &s2})
        EXPECT_TRUE(exists(s->image) && exists(s->imageMask) && exists(s->imageFlip) && exists(s->imageFlipMask));

    DeleteObject(s3.imageFlip);
    DeleteObject(s3.imageFlipMask);
    destroySprite(s1);
    destroySprite(s2);
}

TEST_F(PaintList, DeleteAllReleasesEveryImageAndMaskAndKeepsTheList) {
    SPRITE s1 = withBitmaps(), s2 = withBitmaps();
    s2.imageMask = NULL;  // an opaque sprite: releasing no mask is harmless
    addSprite(&s1);
    addSprite(&s2);
    deleteAllSpriteObjects();
    EXPECT_EQ(maxSpriteStack, 2);
    EXPECT_EQ(spriteStack[1], &s2);
    for (SPRITE* s : {&s1, &s2}) {
        EXPECT_FALSE(exists(s->image));
        EXPECT_FALSE(exists(s->imageMask));
        EXPECT_TRUE(exists(s->imageFlip) && exists(s->imageFlipMask));
        DeleteObject(s->imageFlip);
        DeleteObject(s->imageFlipMask);
    }
}

using SpriteGroups = SpriteTest;

TEST_F(SpriteGroups, MembersAreListedSpritesWithTheExactName) {
    SPRITE a = listed(), b = listed(), trees = listed("trees"), unlisted = listed();
    for (SPRITE* s : {&a, &b, &trees}) addSprite(s);

    deactivateGroup("Sprite");  // names compare with case
    deactivateGroup("sprit");
    EXPECT_TRUE(a.isActive && b.isActive && trees.isActive);
    deactivateGroup("sprite");
    EXPECT_FALSE(a.isActive || b.isActive);
    EXPECT_TRUE(trees.isActive);
    EXPECT_TRUE(unlisted.isActive);  // not in the list, in no group
}

TEST_F(SpriteGroups, FlipChangesOnlyFlipableMembers) {
    SPRITE flipable = listed("walkers", 1), fixed = listed("walkers", 0), other = listed("sprite", 1);
    for (SPRITE* s : {&flipable, &fixed, &other}) addSprite(s);
    flipGroup("walkers", 5);  // stored as given
    EXPECT_EQ(flipable.isFlipped, 5);
    EXPECT_EQ(fixed.isFlipped, 0);
    EXPECT_EQ(other.isFlipped, 0);
    flipGroup("walkers", 0);
    EXPECT_EQ(flipable.isFlipped, 0);
}

TEST_F(SpriteGroups, PositionAndMoveActOnEveryEntryOnce) {
    SPRITE a = listed(), twice = listed("twice"), b = listed();
    setPosition(&b, 5, 6);
    for (SPRITE* s : {&a, &twice, &b, &twice}) addSprite(s);

    setPositionGroup("sprite", -3, 40);
    EXPECT_EQ(a.pos.x, -3);
    EXPECT_EQ(b.pos.y, 40);
    EXPECT_EQ(twice.pos.x, 0);

    moveSpriteGroup("nobody", 100, 100);
    EXPECT_EQ(a.pos.x, -3);
    moveSpriteGroup("twice", 10, -1);  // listed twice: moved twice
    EXPECT_EQ(twice.pos.x, 20);
    EXPECT_EQ(twice.pos.y, -2);
    moveSpriteGroup("sprite", 1, 1);
    EXPECT_EQ(a.pos.x, -2);
    EXPECT_EQ(b.pos.y, 41);
}

TEST_F(SpriteGroups, AnEmptyListHasNoMembers) {
    SPRITE s = listed("sprite", 1);
    deleteAllSpriteObjects();
    flipGroup("sprite", 1);
    deactivateGroup("sprite");
    setPositionGroup("sprite", 9, 9);
    moveSpriteGroup("sprite", 9, 9);
    EXPECT_EQ(s.isFlipped, 0);
    EXPECT_EQ(s.isActive, 1);
    EXPECT_EQ(s.pos.x, 0);
    EXPECT_EQ(maxSpriteStack, 0);
}

}  // namespace
