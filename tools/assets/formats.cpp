#include "formats.h"

#include <png.h>

#include <cstdio>
#include <stdexcept>

namespace assets {

namespace {

void put16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(Bytes& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

void patch32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// BITMAPINFOHEADER.
void putInfoHeader(Bytes& out, int width, int height, std::uint32_t compression, std::uint32_t sizeImage,
                   std::uint32_t clrUsed) {
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);  // planes
    put16(out, 8);  // bits per pixel
    put32(out, compression);
    put32(out, sizeImage);
    put32(out, 0);  // pixels per metre, x and y: unspecified
    put32(out, 0);
    put32(out, clrUsed);
    put32(out, 0);  // every colour is important
}

void putPalette(Bytes& out, const std::vector<Rgb>& palette) {
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

void checkIndices(const Image& img) {
    for (std::uint8_t p : img.pixels) {
        if (p >= img.palette.size()) throw std::logic_error("pixel index outside the palette");
    }
}

}  // namespace

Bytes encodeRle8(const Image& img) {
    Bytes out;
    for (int row = img.height - 1; row >= 0; --row) {
        const std::uint8_t* p = &img.pixels[static_cast<std::size_t>(row) * img.width];
        const int w = img.width;
        auto runAt = [&](int i) {
            int n = 1;
            while (i + n < w && n < 255 && p[i + n] == p[i]) ++n;
            return n;
        };
        auto encodedRuns = [&](int from, int to) {
            for (int i = from; i < to;) {
                int n = 1;
                while (i + n < to && p[i + n] == p[i]) ++n;
                out.push_back(static_cast<std::uint8_t>(n));
                out.push_back(p[i]);
                i += n;
            }
        };
        int i = 0;
        while (i < w) {
            int run = runAt(i);
            if (run >= 3) {
                out.push_back(static_cast<std::uint8_t>(run));
                out.push_back(p[i]);
                i += run;
                continue;
            }
            // A stretch of pixels up to the next run of three, at most 254:
            // 255 is legal, but Wine's decoder misreads the padding byte
            // after an odd stretch of 255, so such stretches are avoided.
            int end = i;
            while (end < w && end - i < 254 && runAt(end) < 3) ++end;
            int len = end - i;
            if (len < 3) {
                encodedRuns(i, end);
            } else {
                out.push_back(0);
                out.push_back(static_cast<std::uint8_t>(len));
                out.insert(out.end(), p + i, p + end);
                if (len & 1) out.push_back(0);
            }
            i = end;
        }
        out.push_back(0);
        out.push_back(row == 0 ? 1 : 0);
    }
    return out;
}

Bytes bitmapFile(const Image& img, bool rle8) {
    checkIndices(img);
    Bytes pixels;
    if (rle8) {
        pixels = encodeRle8(img);
    } else {
        const int stride = (img.width + 3) & ~3;
        pixels.assign(static_cast<std::size_t>(stride) * img.height, 0);
        for (int y = 0; y < img.height; ++y) {
            const auto* src = &img.pixels[static_cast<std::size_t>(y) * img.width];
            std::copy(src, src + img.width, pixels.begin() + static_cast<std::ptrdiff_t>(img.height - 1 - y) * stride);
        }
    }
    const auto colours = static_cast<std::uint32_t>(img.palette.size());
    const std::uint32_t offBits = 14 + 40 + 4 * colours;
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    put32(out, offBits + static_cast<std::uint32_t>(pixels.size()));
    put32(out, 0);  // two reserved words
    put32(out, offBits);
    putInfoHeader(out, img.width, img.height, rle8 ? 1 : 0, static_cast<std::uint32_t>(pixels.size()), colours);
    putPalette(out, img.palette);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

Bytes waveFile(const std::vector<std::int16_t>& samples) {
    Bytes out;
    putTag(out, "RIFF");
    put32(out, 0);  // patched below
    putTag(out, "WAVE");

    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // channels
    put32(out, 44100);
    put32(out, 44100 * 2);  // bytes per second
    put16(out, 2);          // block align
    put16(out, 16);         // bits per sample

    // LIST INFO: the name of the sound and what made it. Strings end in a
    // NUL; a sub-chunk of odd size is padded to an even one.
    auto info = [](Bytes& list, const char(&tag)[5], const std::string& text) {
        putTag(list, tag);
        put32(list, static_cast<std::uint32_t>(text.size() + 1));
        for (char c : text) list.push_back(static_cast<std::uint8_t>(c));
        list.push_back(0);
        if (list.size() & 1) list.push_back(0);
    };
    Bytes list;
    putTag(list, "INFO");
    info(list, "INAM", "Pomrivel walk chime");
    info(list, "ISFT", "Pomrivel asset generator");
    putTag(out, "LIST");
    put32(out, static_cast<std::uint32_t>(list.size()));
    out.insert(out.end(), list.begin(), list.end());

    putTag(out, "data");
    put32(out, static_cast<std::uint32_t>(samples.size() * 2));
    if (out.size() != kWaveHeaderBytes) throw std::logic_error("unexpected WAVE header size");
    for (std::int16_t s : samples) put16(out, static_cast<std::uint16_t>(s));
    patch32(out, 4, static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

Bytes iconFile(const Image& img, const std::vector<bool>& transparent) {
    if (img.width != 32 || img.height != 32 || img.palette.size() > 256 || transparent.size() != 32 * 32) {
        throw std::logic_error("the icon is one 32 x 32 picture");
    }
    checkIndices(img);
    constexpr std::uint32_t kImageBytes = 40 + 1024 + 32 * 32 + 32 * 4;
    Bytes out;
    // ICONDIR and its one ICONDIRENTRY.
    put16(out, 0);
    put16(out, 1);  // an icon
    put16(out, 1);  // one image
    out.push_back(32);
    out.push_back(32);
    out.push_back(0);  // colour count: 0 for 256 colours
    out.push_back(0);
    put16(out, 1);  // planes
    put16(out, 8);  // bits per pixel
    put32(out, kImageBytes);
    put32(out, 6 + 16);

    // The image: a DIB of double height (colour rows, then the mask).
    putInfoHeader(out, 32, 64, 0, 32 * 32 + 32 * 4, 0);
    std::vector<Rgb> palette = img.palette;
    palette.resize(256, Rgb{0, 0, 0});
    putPalette(out, palette);
    for (int y = 31; y >= 0; --y) {
        for (int x = 0; x < 32; ++x) {
            // Transparent pixels are black in the colour image, so drawing
            // the icon (AND with the mask, then XOR) leaves them unchanged.
            bool clear = transparent[y * 32 + x];
            std::uint8_t index = img.pixels[y * 32 + x];
            if (clear && !(img.palette[index] == Rgb{0, 0, 0})) {
                throw std::logic_error("transparent icon pixels must be black");
            }
            out.push_back(index);
        }
    }
    for (int y = 31; y >= 0; --y) {
        for (int byte = 0; byte < 4; ++byte) {
            std::uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (transparent[y * 32 + byte * 8 + bit]) bits |= static_cast<std::uint8_t>(0x80 >> bit);
            }
            out.push_back(bits);
        }
    }
    if (out.size() != 22 + kImageBytes) throw std::logic_error("unexpected icon size");
    return out;
}

bool writePng(const std::string& path, int width, int height, const std::vector<Rgb>& pixels) {
    // Everything with a destructor exists before setjmp, which libpng's
    // errors jump back to.
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb& c = pixels[static_cast<std::size_t>(y) * width + x];
            row[x * 3] = c.r;
            row[x * 3 + 1] = c.g;
            row[x * 3 + 2] = c.b;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
}

}  // namespace assets
