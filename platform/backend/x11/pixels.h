// Writing the layer's 0x00RRGGBB pixels in an X visual's own layout: 24-bit
// colour in 32-bit pixels as most desktops have, 10 bits a channel
// (2:10:10:10) on a 10-bit desktop, 5-6-5 on a 16-bit one, either byte
// order.
#pragma once

#include "backend/scaler.h"

#include <array>
#include <cstdint>

namespace platform::backend::x11 {

struct PixelLayout {
    int bitsPerPixel = 32;
    std::uint32_t red = 0xFF0000, green = 0xFF00, blue = 0xFF;
    bool msbFirst = false;  // the X server's image byte order

    // 0x00RRGGBB in little-endian 32-bit words: the layer's own pixels.
    bool native() const {
        return bitsPerPixel == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF && !msbFirst;
    }
    // Whether pixels of this layout can be written here: 16 or 32 bits a
    // pixel, each channel one run of at least one bit, none overlapping.
    bool writable() const;
};

class PixelWriter {
public:
    explicit PixelWriter(const PixelLayout& layout);
    // Converts rectangle `area` of `from` into the same place of `to`, an
    // image of the layout with rows of `toStride` bytes.
    void convert(const Canvas& from, std::uint8_t* to, std::size_t toStride, const Rect& area) const;

private:
    PixelLayout layout_;
    // Each 8-bit channel value, scaled to its channel's width and shifted
    // into place; a pixel is the OR of the three.
    std::array<std::uint32_t, 256> red_{}, green_{}, blue_{};
};

}  // namespace platform::backend::x11
