// Courses and collision: a sprite's centre stepping towards its course
// point, and points tested against its rectangle.
#include "sprite_test_util.h"

#include <cstring>

using namespace sprite_test;

namespace {

SPRITE walker(int centreX, int centreY, int courseX, int courseY, int speed) {
    SPRITE s;
    std::memset(&s, 0, sizeof s);
    setDimensions(&s, 107, 181);
    setPositionCenter(&s, centreX, centreY);
    setCourse(&s, courseX, courseY, speed);
    return s;
}

TEST(Course, SpeedOneWalksPixelByPixelAndStopsOnThePoint) {
    SPRITE s = walker(53, 240, 840, 240, 1);
    EXPECT_EQ(s.speed, 1);
    EXPECT_EQ(s.course.x, 840);
    int steps = 0;
    while (followCourse(&s) == 1) {
        ++steps;
        ASSERT_EQ(getPositionCenter(&s).x, 53 + steps);
        ASSERT_EQ(getPositionCenter(&s).y, 240);
        ASSERT_LT(steps, 1000);
    }
    EXPECT_EQ(steps, 840 - 53);
    EXPECT_EQ(getPositionCenter(&s).x, 840);
    EXPECT_EQ(followCourse(&s), 0);  // arrived: stays
    EXPECT_EQ(getPositionCenter(&s).x, 840);
}

TEST(Course, BothAxesMoveTogetherUntilOneArrives) {
    SPRITE s = walker(100, 190, 400, 240, 1);  // 50 down, 300 right
    for (int i = 1; i <= 60; ++i) {
        EXPECT_EQ(followCourse(&s), 1);
        EXPECT_EQ(getPositionCenter(&s).x, 100 + i);
        EXPECT_EQ(getPositionCenter(&s).y, i <= 50 ? 190 + i : 240);
    }
    // Up and to the left, by a step of 3 on each axis.
    SPRITE t = walker(100, 100, 10, 40, 3);
    EXPECT_EQ(followCourse(&t), 1);
    EXPECT_EQ(getPositionCenter(&t).x, 97);
    EXPECT_EQ(getPositionCenter(&t).y, 97);
}

TEST(Course, AFastSpriteRestsWithinHalfAStep) {
    // Speed 4: a course 2 pixels off lies in the dead zone.
    SPRITE s = walker(100, 100, 102, 98, 4);
    EXPECT_EQ(followCourse(&s), 0);
    EXPECT_EQ(getPositionCenter(&s).x, 100);
    // 3 pixels off: one step of 4, then the centre rests 1 pixel past.
    SPRITE t = walker(100, 100, 103, 97, 4);
    EXPECT_EQ(followCourse(&t), 1);
    EXPECT_EQ(getPositionCenter(&t).x, 104);
    EXPECT_EQ(getPositionCenter(&t).y, 96);
    EXPECT_EQ(followCourse(&t), 0);
    EXPECT_EQ(getPositionCenter(&t).x, 104);
}

TEST(Course, SpeedZeroNeverMovesButReportsBeingOffCourse) {
    SPRITE s = walker(100, 100, 100, 101, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(followCourse(&s), 1);
    EXPECT_EQ(getPositionCenter(&s).y, 100);
    setCourse(&s, 100, 100, 0);
    EXPECT_EQ(followCourse(&s), 0);
}

TEST(Collision, OnlyPointsStrictlyInsideTheRectangleHit) {
    SPRITE s;
    std::memset(&s, 0, sizeof s);
    setPosition(&s, 10, 20);
    setDimensions(&s, 30, 40);
    const struct {
        int x, y, hit;
    } cases[] = {
        {10, 30, 0}, {40, 30, 0}, {20, 20, 0}, {20, 60, 0},  // on each edge
        {11, 21, 1}, {39, 59, 1}, {25, 40, 1},               // inside, corners included
        {9, 30, 0},  {41, 30, 0}, {20, 19, 0}, {20, 61, 0},  // outside
    };
    for (const auto& c : cases) EXPECT_EQ(checkCollision(&s, c.x, c.y), c.hit) << c.x << "," << c.y;

    // Nothing lies strictly inside a rectangle one pixel wide or high.
    setDimensions(&s, 1, 40);
    EXPECT_EQ(checkCollision(&s, 10, 30) + checkCollision(&s, 11, 30), 0);
    setDimensions(&s, 30, 1);
    EXPECT_EQ(checkCollision(&s, 20, 20) + checkCollision(&s, 20, 21), 0);
}

}  // namespace
