#include "backend/x11/pixels.h"

#include <bit>
#include <cstring>

namespace platform::backend::x11 {

namespace {

// One channel's mask is a single run of bits: its shift and width.
bool run(std::uint32_t mask, int& shift, int& width) {
    if (mask == 0) return false;
    shift = std::countr_zero(mask);
    width = std::popcount(mask);
    return (mask >> shift) == (std::uint32_t{1} << width) - 1 || width == 32;
}

std::array<std::uint32_t, 256> channelTable(std::uint32_t mask) {
    std::array<std::uint32_t, 256> table{};
    int shift = 0, width = 0;
    if (!run(mask, shift, width)) return table;
    const std::uint64_t top = (std::uint64_t{1} << width) - 1;
    for (std::uint32_t v = 0; v < 256; ++v)
        table[v] = static_cast<std::uint32_t>((v * top + 127) / 255) << shift;
    return table;
}

}  // namespace

bool PixelLayout::writable() const {
    if (bitsPerPixel != 16 && bitsPerPixel != 32) return false;
    int shift = 0, width = 0;
    for (const std::uint32_t m : {red, green, blue})
        if (!run(m, shift, width) || shift + width > bitsPerPixel) return false;
    return (red & green) == 0 && (red & blue) == 0 && (green & blue) == 0;
}

PixelWriter::PixelWriter(const PixelLayout& layout)
    : layout_(layout), red_(channelTable(layout.red)), green_(channelTable(layout.green)),
      blue_(channelTable(layout.blue)) {}

void PixelWriter::convert(const Canvas& from, std::uint8_t* to, std::size_t toStride, const Rect& area) const {
    const int bytes = layout_.bitsPerPixel / 8;
    auto value = [this](std::uint32_t p) { return red_[p >> 16 & 0xFF] | green_[p >> 8 & 0xFF] | blue_[p & 0xFF]; };
    for (int y = area.y; y < area.y + area.h; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(from.pixels) +
                                                                 static_cast<std::size_t>(y) * from.stride) + area.x;
        std::uint8_t* dst = to + static_cast<std::size_t>(y) * toStride + static_cast<std::size_t>(area.x) * bytes;
        if (!layout_.msbFirst && bytes == 4) {
            for (int i = 0; i < area.w; ++i) {
                const std::uint32_t v = value(src[i]);
                std::memcpy(dst + 4 * i, &v, 4);
            }
        } else if (!layout_.msbFirst && bytes == 2) {
            for (int i = 0; i < area.w; ++i) {
                const auto v = static_cast<std::uint16_t>(value(src[i]));
                std::memcpy(dst + 2 * i, &v, 2);
            }
        } else {
            // A server of the other byte order: byte by byte, in its order.
            for (int i = 0; i < area.w; ++i, dst += bytes) {
                const std::uint32_t v = value(src[i]);
                for (int b = 0; b < bytes; ++b) dst[b] = static_cast<std::uint8_t>(v >> 8 * (bytes - 1 - b));
            }
        }
    }
}

}  // namespace platform::backend::x11
