// The RLE8 encoder on the row shapes that trip encoders up: runs longer than
// a count byte holds, literal stretches of one, two, odd and maximal length
// between runs, and rows that end in the middle of either.
#include "asset_files.h"

#include "assets/formats.h"

#include <gtest/gtest.h>

using namespace asset_test;

namespace {

assets::Image rows(int width, const std::vector<std::vector<std::uint8_t>>& content) {
    assets::Image img(width, static_cast<int>(content.size()));
    for (std::size_t y = 0; y < content.size(); ++y) {
        for (int x = 0; x < width; ++x) img.set(x, static_cast<int>(y), content[y][x]);
    }
    img.palette.assign(256, assets::Rgb{});
    return img;
}

std::vector<std::uint8_t> row(std::initializer_list<std::pair<int, std::vector<std::uint8_t>>> pieces) {
    // Each piece: repeat a pattern of values n times.
    std::vector<std::uint8_t> r;
    for (const auto& [times, pattern] : pieces) {
        for (int i = 0; i < times; ++i) r.insert(r.end(), pattern.begin(), pattern.end());
    }
    return r;
}

}  // namespace

TEST(Rle8, EveryRowShapeDecodesBackExactly) {
    const int w = 600;
    const std::vector<std::vector<std::uint8_t>> content = {
        row({{600, {7}}}),                                        // one colour: runs of 255, 255, 90
        row({{300, {1, 2}}}),                                     // no runs at all: absolute, capped at 255
        row({{10, {5}}, {1, {9}}, {10, {5}}, {579, {6}}}),        // a lone pixel between runs
        row({{10, {5}}, {1, {8, 9}}, {10, {5}}, {578, {6}}}),     // two different pixels between runs
        row({{10, {5}}, {1, {8, 9, 8}}, {10, {5}}, {577, {6}}}),  // three: the shortest absolute run, padded
        row({{2, {4}}, {1, {1, 2, 3, 4}}, {594, {9}}}),           // a pair, then an even literal
        row({{597, {3}}, {1, {1, 2, 1}}}),                        // a literal ending the row
        row({{598, {3}}, {1, {1, 2}}}),                           // two pixels ending the row
        row({{255, {0, 1}}, {90, {2}}}),                          // a literal of 510, then a run
    };
    const assets::Image img = rows(w, content);
    const assets::Bytes encoded = assets::encodeRle8(img);
    const auto decoded = decodeRle8(encoded, w, static_cast<int>(content.size()));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(*decoded == img.pixels);
}

TEST(Rle8, UniformPictureIsRunsOnly) {
    // 256 pixels of one colour per row: a run of 255 and a run of 1, then
    // the row's end; the last row ends the bitmap.
    const assets::Image img = rows(256, {row({{256, {4}}}), row({{256, {4}}})});
    const assets::Bytes expected = {255, 4, 1, 4, 0, 0, 255, 4, 1, 4, 0, 1};
    EXPECT_EQ(assets::encodeRle8(img), expected);
}
