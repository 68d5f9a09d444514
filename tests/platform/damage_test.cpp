// What changed between frames: tiles found by comparing with the last
// frame, and the rectangles they make.
#include "backend/damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using platform::backend::Damage;
using platform::backend::FrameHistory;
using platform::backend::Picture;
using platform::backend::Rect;

namespace {

struct Frame {
    int w, h;
    std::vector<std::uint32_t> px;
    Frame(int width, int height) : w(width), h(height), px(static_cast<std::size_t>(width) * height, 0x102030) {}
    std::uint32_t& at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
    Picture picture() const { return {px.data(), w, h, static_cast<std::size_t>(w) * 4}; }
};

bool same(const Rect& a, const Rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

std::vector<Rect> rectsOf(const Damage& d) { return d.rects(); }

TEST(Damage, TheFirstFrameAndANewSizeAreWholeAndAnUnchangedFrameIsNothing) {
    Frame f(640, 480);
    FrameHistory history;
    std::vector<Rect> r = rectsOf(history.update(f.picture()));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(same(r[0], Rect{0, 0, 640, 480}));
    EXPECT_TRUE(history.update(f.picture()).empty()) << "nothing changed";
    Frame bigger(800, 600);
    r = rectsOf(history.update(bigger.picture()));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(same(r[0], Rect{0, 0, 800, 600}));
    history.forget();
    EXPECT_EQ(rectsOf(history.update(bigger.picture())).size(), 1u) << "after forget, whole again";
}

TEST(Damage, ChangedPixelsMarkTheirTilesAndTilesMergeIntoFewRectangles) {
    Frame f(640, 480);
    FrameHistory history;
    history.update(f.picture());
    // One pixel: its tile, and nothing else.
    f.at(17, 33) = 1;
    std::vector<Rect> r = rectsOf(history.update(f.picture()));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(same(r[0], Rect{16, 32, 16, 16}));
    // A run along a row of tiles, and the same run in the two rows below:
    // one rectangle; a tile elsewhere: a second.
    for (int row = 0; row < 3; ++row)
        for (int x = 40; x < 112; ++x) f.at(x, row * 16 + 3) ^= 0xFF;
    f.at(639, 479) = 7;
    r = rectsOf(history.update(f.picture()));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(same(r[0], Rect{32, 0, 80, 48})) << r[0].x << "," << r[0].y << " " << r[0].w << "x" << r[0].h;
    EXPECT_TRUE(same(r[1], Rect{624, 464, 16, 16}));
    EXPECT_TRUE(history.update(f.picture()).empty()) << "the changed frame is now the last one";
}

TEST(Damage, EdgeTilesAreClippedToTheFrameAndDamageAddsUp) {
    Frame f(650, 490);  // neither side a whole number of tiles
    FrameHistory history;
    history.update(f.picture());
    f.at(649, 489) = 1;
    std::vector<Rect> r = rectsOf(history.update(f.picture()));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(same(r[0], Rect{640, 480, 10, 10}));

    Damage a(650, 490), b(650, 490);
    a.addTile(0, 0);
    b.addTile(1, 0);
    a.add(b);
    r = rectsOf(a);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(same(r[0], Rect{0, 0, 32, 16}));
    a.add(Damage(640, 480));  // another size: everything
    r = rectsOf(a);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(same(r[0], Rect{0, 0, 650, 490}));
    a.clear();
    EXPECT_TRUE(a.empty());
}

}  // namespace
