// Reading back the PNG files the layer writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row by row
    bool rgb8 = false;                  // the file itself is 8-bit RGB without alpha

    bool empty() const { return pixels.empty(); }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Any PNG, as 8-bit RGB; an empty image if the file cannot be read.
Image readPng(const std::string& path);
// Writes an image as 8-bit RGB (to look at what a test saw); false when
// the file cannot be written.
bool writePng(const std::string& path, const Image& image);

}  // namespace test_support
