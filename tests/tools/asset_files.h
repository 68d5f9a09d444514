// Reading the generator's files back, independently of the generator: a
// strict reader for 8-bit Windows bitmaps (uncompressed and RLE8) and the
// paths the build passes in.
#ifndef POMRIVEL_TESTS_TOOLS_ASSET_FILES_H
#define POMRIVEL_TESTS_TOOLS_ASSET_FILES_H

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace asset_test {

using Bytes = std::vector<std::uint8_t>;

inline std::string sourcePath(const std::string& relative) {
    return std::string(POMRIVEL_SOURCE_DIR) + "/" + relative;
}

inline Bytes readFile(const std::string& path) {
    Bytes bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

inline std::uint32_t le16(const Bytes& b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8)) : 0xFFFFFFFFu;
}
inline std::uint32_t le32(const Bytes& b, std::size_t at) {
    return at + 4 <= b.size() ? le16(b, at) | (le16(b, at + 2) << 16) : 0xFFFFFFFFu;
}
inline std::string tag(const Bytes& b, std::size_t at) {
    return at + 4 <= b.size() ? std::string(b.begin() + at, b.begin() + at + 4) : std::string();
}

struct Colour {
    std::uint8_t r, g, b;
    bool operator==(const Colour&) const = default;
};
constexpr Colour kKey{254, 2, 254};

// The pixels of an RLE8 stream, top row first. Strict: every row must be
// filled exactly and ended by an end-of-line escape, the last by the
// end-of-bitmap escape at the very end of the data; absolute runs must be
// at least three pixels and padded to a word; no delta escapes.
inline std::optional<Bytes> decodeRle8(const Bytes& data, int width, int height) {
    Bytes pixels(static_cast<std::size_t>(width) * height, 0);
    std::size_t at = 0;
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;
        int x = 0;
        for (;;) {
            if (at + 2 > data.size()) return std::nullopt;
            const int count = data[at], value = data[at + 1];
            at += 2;
            if (count > 0) {
                if (x + count > width) return std::nullopt;
                for (int i = 0; i < count; ++i)
                    pixels[static_cast<std::size_t>(y) * width + x++] = static_cast<std::uint8_t>(value);
            } else if (value == 0 || value == 1) {
                const bool last = row == height - 1;
                if (x != width || (value == 1) != last) return std::nullopt;
                break;
            } else if (value == 2) {
                return std::nullopt;
            } else {
                if (x + value > width || at + value + (value & 1) > data.size()) return std::nullopt;
                for (int i = 0; i < value; ++i) pixels[static_cast<std::size_t>(y) * width + x++] = data[at + i];
                at += value + (value & 1);
            }
        }
    }
    if (at != data.size()) return std::nullopt;
    return pixels;
}

// An 8-bit bitmap file's headers, palette and pixels (top row first).
struct Bitmap {
    std::uint32_t fileSize = 0, offBits = 0;
    std::uint32_t headerSize = 0;
    std::int32_t width = 0, height = 0;
    std::uint32_t planes = 0, bitCount = 0, compression = 0, sizeImage = 0, clrUsed = 0;
    std::vector<Colour> palette;
    bool paletteReservedZero = true;
    Bytes pixels;
    std::string error;  // why the file could not be read, if it could not

    Colour at(int x, int y) const { return palette[pixels[static_cast<std::size_t>(y) * width + x]]; }
};

inline Bitmap readBitmap(const Bytes& file) {
    Bitmap bm;
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
        bm.error = "not a bitmap file";
        return bm;
    }
    bm.fileSize = le32(file, 2);
    bm.offBits = le32(file, 10);
    bm.headerSize = le32(file, 14);
    bm.width = static_cast<std::int32_t>(le32(file, 18));
    bm.height = static_cast<std::int32_t>(le32(file, 22));
    bm.planes = le16(file, 26);
    bm.bitCount = le16(file, 28);
    bm.compression = le32(file, 30);
    bm.sizeImage = le32(file, 34);
    bm.clrUsed = le32(file, 46);
    if (bm.bitCount != 8 || bm.width <= 0 || bm.height <= 0 || bm.clrUsed == 0 || bm.clrUsed > 256 ||
        54 + 4 * bm.clrUsed > file.size() || bm.offBits > file.size()) {
        bm.error = "not a bottom-up 8-bit bitmap with a palette";
        return bm;
    }
    for (std::uint32_t i = 0; i < bm.clrUsed; ++i) {
        const std::size_t p = 54 + 4 * i;
        bm.palette.push_back({file[p + 2], file[p + 1], file[p]});
        if (file[p + 3] != 0) bm.paletteReservedZero = false;
    }
    const Bytes data(file.begin() + bm.offBits, file.end());
    if (bm.compression == 1) {
        auto decoded = decodeRle8(data, bm.width, bm.height);
        if (!decoded) {
            bm.error = "malformed RLE8 data";
            return bm;
        }
        bm.pixels = std::move(*decoded);
    } else {
        const std::size_t stride = (static_cast<std::size_t>(bm.width) + 3) & ~std::size_t{3};
        if (data.size() < stride * bm.height) {
            bm.error = "pixel data cut short";
            return bm;
        }
        for (int y = 0; y < bm.height; ++y) {
            const auto row = data.begin() + static_cast<std::ptrdiff_t>((bm.height - 1 - y) * stride);
            bm.pixels.insert(bm.pixels.end(), row, row + bm.width);
        }
    }
    for (std::uint8_t p : bm.pixels) {
        if (p >= bm.clrUsed) {
            bm.error = "a pixel indexes past the palette";
            return bm;
        }
    }
    return bm;
}

}  // namespace asset_test

#endif
