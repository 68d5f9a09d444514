// Writers for the bitmap, icon and cursor files the resource tests use, and
// the sample pictures themselves, so that every test image is made by our own
// code: the build-time generator writes the files the test resource script
// names, and the tests build the same pictures to know what to expect.
#ifndef POMRIVEL_TESTS_PLATFORM_DATA_TEST_IMAGES_H
#define POMRIVEL_TESTS_PLATFORM_DATA_TEST_IMAGES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace test_images {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

// Offsets of header fields in a .bmp file, for tests that make them lie.
constexpr std::size_t kOffBitsAt = 10;
constexpr std::size_t kWidthAt = 18;
constexpr std::size_t kHeightAt = 22;
constexpr std::size_t kBitCountAt = 28;
constexpr std::size_t kCompressionAt = 30;
constexpr std::size_t kClrUsedAt = 46;

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A picture of palette indices, top row first.
struct Indexed {
    int w = 0, h = 0;
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> idx;
    std::uint8_t at(int x, int y) const { return idx[static_cast<std::size_t>(y) * w + x]; }
    Rgb colour(int x, int y) const { return palette[at(x, y)]; }
};

// A picture of colours, top row first.
struct Picture {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Rgb at(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
};

inline Picture toPicture(const Indexed& p) {
    Picture out{p.w, p.h, {}};
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) out.px.push_back(p.colour(x, y));
    return out;
}

inline std::size_t rowBytes(int w, int bpp) {
    return (static_cast<std::size_t>(w) * bpp + 31) / 32 * 4;
}

// Indices of 1, 4 or 8 bits packed into DIB rows, bottom row first unless
// top-down, leftmost pixel in the high bits of a byte.
inline Bytes packIndices(const Indexed& p, int bpp, bool topDown = false) {
    const std::size_t stride = rowBytes(p.w, bpp);
    Bytes out(stride * p.h);
    for (int y = 0; y < p.h; ++y) {
        std::uint8_t* row = &out[stride * (topDown ? y : p.h - 1 - y)];
        for (int x = 0; x < p.w; ++x) {
            const int bit = x * bpp;
            const int shift = 8 - bpp - bit % 8;
            row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (p.at(x, y) << shift));
        }
    }
    return out;
}

// Colours as 16-bit 5-6-5 (for bitfields), 24-bit or 32-bit DIB rows.
inline Bytes packRgb(const Picture& p, int bpp, bool topDown = false) {
    const std::size_t stride = rowBytes(p.w, bpp);
    Bytes out(stride * p.h);
    for (int y = 0; y < p.h; ++y) {
        std::uint8_t* row = &out[stride * (topDown ? y : p.h - 1 - y)];
        for (int x = 0; x < p.w; ++x) {
            const Rgb c = p.at(x, y);
            if (bpp == 16) {
                const unsigned v = ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3);
                row[2 * x] = static_cast<std::uint8_t>(v);
                row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            } else {
                std::uint8_t* px = row + x * (bpp / 8);
                px[0] = c.b;
                px[1] = c.g;
                px[2] = c.r;
            }
        }
    }
    return out;
}

// An RLE8 or RLE4 stream, bottom row first: runs of one index in encoded
// mode, stretches of three or more differing indices in absolute mode, an
// end of line after every row but the last and an end of bitmap after it.
inline Bytes encodeRle(const Indexed& p, bool rle4) {
    Bytes out;
    for (int y = p.h - 1; y >= 0; --y) {
        int x = 0;
        auto runAt = [&](int i) {
            int n = 1;
            while (i + n < p.w && n < 255 && p.at(i + n, y) == p.at(i, y)) ++n;
            return n;
        };
        while (x < p.w) {
            const int run = runAt(x);
            if (run >= 2) {
                const std::uint8_t v = p.at(x, y);
                out.push_back(static_cast<std::uint8_t>(run));
                out.push_back(rle4 ? static_cast<std::uint8_t>(v << 4 | v) : v);
                x += run;
                continue;
            }
            int n = 0;
            while (x + n < p.w && n < 255 && runAt(x + n) < 2) ++n;
            if (n < 3) {
                for (int i = 0; i < n; ++i) {
                    const std::uint8_t v = p.at(x + i, y);
                    out.push_back(1);
                    out.push_back(rle4 ? static_cast<std::uint8_t>(v << 4) : v);
                }
            } else {
                out.push_back(0);
                out.push_back(static_cast<std::uint8_t>(n));
                Bytes data;
                for (int i = 0; i < n; ++i) {
                    const std::uint8_t v = p.at(x + i, y);
                    if (!rle4)
                        data.push_back(v);
                    else if (i % 2 == 0)
                        data.push_back(static_cast<std::uint8_t>(v << 4));
                    else
                        data.back() = static_cast<std::uint8_t>(data.back() | v);
                }
                if (data.size() % 2) data.push_back(0);
                out.insert(out.end(), data.begin(), data.end());
            }
            x += n;
        }
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);
    }
    return out;
}

// Everything that describes a .bmp file.
struct ImageLayout {
    int width = 0;
    int height = 0;  // negative: rows stored top-down
    int bpp = 8;
    std::uint32_t compression = kBiRgb;
    std::uint32_t headerSize = 40;  // 12, 40, 108 or 124
    std::vector<Rgb> palette;       // clrUsed is its size; the core header pads it
    std::uint32_t masks[3] = {};    // bitfields only
    Bytes pixels;
};

// The whole file: file header, info header, masks, colour table, pixels.
inline Bytes makeBmp(const ImageLayout& s) {
    const bool core = s.headerSize == 12;
    const std::size_t entries = core && s.bpp <= 8 ? std::size_t{1} << s.bpp : s.palette.size();
    const std::size_t entrySize = core ? 3 : 4;
    const std::size_t masksAfter = s.compression == kBiBitfields && s.headerSize == 40 ? 12 : 0;
    const std::size_t offBits = 14 + s.headerSize + masksAfter + entries * entrySize;
    Bytes b(offBits + s.pixels.size());
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, static_cast<std::uint32_t>(offBits));
    put32(b, 14, s.headerSize);
    if (core) {
        put16(b, 18, static_cast<std::uint32_t>(s.width));
        put16(b, 20, static_cast<std::uint32_t>(s.height));
        put16(b, 22, 1);
        put16(b, 24, static_cast<std::uint32_t>(s.bpp));
    } else {
        put32(b, 18, static_cast<std::uint32_t>(s.width));
        put32(b, 22, static_cast<std::uint32_t>(s.height));
        put16(b, 26, 1);
        put16(b, 28, static_cast<std::uint32_t>(s.bpp));
        put32(b, 30, s.compression);
        put32(b, 34, static_cast<std::uint32_t>(s.pixels.size()));
        put32(b, 38, 2835);  // 72 dpi
        put32(b, 42, 2835);
        put32(b, 46, static_cast<std::uint32_t>(s.palette.size()));
        if (s.compression == kBiBitfields)
            for (int i = 0; i < 3; ++i) put32(b, 54 + 4 * i, s.masks[i]);
        if (s.headerSize >= 108) put32(b, 14 + 56, 0x73524742);  // colour space 'sRGB'
    }
    std::uint8_t* table = &b[14 + s.headerSize + masksAfter];
    for (std::size_t i = 0; i < s.palette.size() && i < entries; ++i) {
        table[i * entrySize] = s.palette[i].b;
        table[i * entrySize + 1] = s.palette[i].g;
        table[i * entrySize + 2] = s.palette[i].r;
    }
    std::copy(s.pixels.begin(), s.pixels.end(), b.begin() + static_cast<std::ptrdiff_t>(offBits));
    return b;
}

// ---- The sample pictures ------------------------------------------------

// 5 x 3 (rows padded), four palette colours, one of them the saver's
// transparency key.
inline Indexed palettePicture() {
    Indexed p{5, 3, {{255, 0, 0}, {0, 128, 0}, {0, 0, 255}, {254, 2, 254}}, {}};
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) p.idx.push_back(static_cast<std::uint8_t>((x + 2 * y) % 4));
    return p;
}

// 7 x 4 with runs, a stretch of differing pixels and single pixels, so that
// the RLE encoder uses every mode.
inline Indexed runsPicture() {
    Indexed p{7, 4, {{10, 20, 30}, {200, 100, 50}, {0, 255, 255}, {255, 255, 255}, {1, 2, 3}}, {}};
    p.idx = {0, 0, 0, 0, 1, 1, 2,  //
             1, 2, 0, 1, 2, 0, 3,  //
             2, 2, 2, 2, 2, 2, 2,  //
             4, 1, 1, 1, 1, 1, 0};
    return p;
}

// 6 x 5 colours that differ in every channel.
inline Picture colourPicture() {
    Picture p{6, 5, {}};
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            p.px.push_back({static_cast<std::uint8_t>(40 * x + 3), static_cast<std::uint8_t>(50 * y + 7),
                            static_cast<std::uint8_t>(255 - 9 * (x + y))});
    return p;
}

// The same picture with colours exact in 5-6-5.
inline Picture colour565Picture() {
    Picture p = colourPicture();
    for (Rgb& c : p.px) {
        c.r = static_cast<std::uint8_t>((c.r >> 3) << 3 | (c.r >> 5));
        c.g = static_cast<std::uint8_t>((c.g >> 2) << 2 | (c.g >> 6));
        c.b = static_cast<std::uint8_t>((c.b >> 3) << 3 | (c.b >> 5));
    }
    return p;
}

// A picture of two colours for 1 bit per pixel, 11 wide so a row spills
// into a second byte.
inline Indexed monoPicture() {
    Indexed p{11, 3, {{0, 0, 0}, {255, 255, 255}}, {}};
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) p.idx.push_back(static_cast<std::uint8_t>((x * 3 + y) % 5 < 2));
    return p;
}

// Up to 16 colours for 4 bits per pixel.
inline Indexed nibblePicture() {
    Indexed p{9, 4, {}, {}};
    for (int i = 0; i < 16; ++i)
        p.palette.push_back({static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 16),
                             static_cast<std::uint8_t>(i * 7)});
    p.idx = {0, 0, 0,  5,  6,  7,  15, 15, 1,  //
             2, 2, 2,  2,  2,  2,  2,  2,  2,  //
             3, 4, 3,  4,  3,  4,  3,  4,  3,  //
             9, 9, 10, 11, 12, 13, 14, 14, 14};
    return p;
}

// The sample files, as the generator writes them.
inline Bytes palette8File() {
    const Indexed p = palettePicture();
    return makeBmp({p.w, p.h, 8, kBiRgb, 40, p.palette, {}, packIndices(p, 8)});
}
inline Bytes rle8File() {
    const Indexed p = runsPicture();
    return makeBmp({p.w, p.h, 8, kBiRle8, 40, p.palette, {}, encodeRle(p, false)});
}
inline Bytes rgb24File() {
    const Picture p = colourPicture();
    return makeBmp({p.w, p.h, 24, kBiRgb, 40, {}, {}, packRgb(p, 24)});
}

// A w x h RLE8 file of 1,080 bytes whatever its size: a stream of a single
// end-of-bitmap mark, every pixel colour 0 (9, 8, 7).
inline Bytes blankRle8File(int w, int h) {
    return makeBmp({w, h, 8, kBiRle8, 40, std::vector<Rgb>(256, Rgb{9, 8, 7}), {}, {0, 1}});
}

// The bytes of the RCDATA resource: every byte value, zeros included.
inline Bytes blob() {
    Bytes b;
    for (int i = 0; i < 37; ++i) b.push_back(static_cast<std::uint8_t>(i * 71));
    b.push_back(0);
    b.push_back(0xFF);
    return b;
}

// A 16 x 16 icon (or cursor, with a hot spot) holding one 32-bit image: the
// DIB with its doubled height, the colour rows and the AND mask.
inline Bytes iconFile(bool cursor) {
    constexpr int kSide = 16;
    Bytes image(40 + kSide * kSide * 4 + kSide * 4);
    put32(image, 0, 40);
    put32(image, 4, kSide);
    put32(image, 8, 2 * kSide);
    put16(image, 12, 1);
    put16(image, 14, 32);
    for (int i = 0; i < kSide * kSide; ++i) {
        image[40 + 4 * i] = static_cast<std::uint8_t>(i);
        image[40 + 4 * i + 1] = static_cast<std::uint8_t>(255 - i);
        image[40 + 4 * i + 3] = 255;
    }
    Bytes file(6 + 16);
    put16(file, 2, cursor ? 2 : 1);
    put16(file, 4, 1);
    file[6] = kSide;
    file[7] = kSide;
    put16(file, 10, cursor ? 3 : 1);   // planes, or the hot spot's x
    put16(file, 12, cursor ? 5 : 32);  // bits per pixel, or the hot spot's y
    put32(file, 14, static_cast<std::uint32_t>(image.size()));
    put32(file, 18, static_cast<std::uint32_t>(file.size()));
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

}  // namespace test_images

#endif
