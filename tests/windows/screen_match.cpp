// screen-match: finds which of a set of captured frames a screenshot shows.
//
//   screen-match [--rows FROM TO] SHOT.xwd FRAME.png...
//
// SHOT is an X screenshot as `xwd -root` writes it (a ZPixmap of 24 or 32
// bits per pixel, true colour); the frames are PNG pictures of the same size.
// Only rows FROM to TO (inclusive) are compared when --rows is given.
// Prints, for the frame that differs from the screenshot in the fewest
// pixels, its file and that count, and the count of the runner-up, so a
// match can be told from a near miss. Exits 0 when a frame was compared, 1
// on a file that cannot be read.
//
// A host tool of the Windows build's end-to-end check: it compares what Wine
// showed on an X display with what the native build's headless capture drew.
#include "support/png.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using test_support::Image;

std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

int shiftOf(std::uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

// The XWD header is 25 big-endian words, then the window name, then the
// colour map (12 bytes an entry), then the pixels in the image's byte order.
bool readXwd(const std::string& path, Image& out) {
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (b.size() < 100) return false;
    std::uint32_t hd[25];
    for (int i = 0; i < 25; ++i) hd[i] = be32(&b[4 * i]);
    const std::uint32_t headerSize = hd[0], format = hd[2], width = hd[4], height = hd[5], byteOrder = hd[7],
                        bpp = hd[11], bytesPerLine = hd[12], redMask = hd[14], greenMask = hd[15], blueMask = hd[16],
                        ncolors = hd[19];
    if (format != 2 || (bpp != 32 && bpp != 24) || width == 0 || height == 0 || width > 16384 || height > 16384)
        return false;
    const std::size_t start = headerSize + std::size_t{ncolors} * 12;
    if (b.size() < start + std::size_t{bytesPerLine} * height) return false;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.pixels.assign(std::size_t{width} * height, 0);
    const int bytes = static_cast<int>(bpp / 8);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = &b[start + std::size_t{y} * bytesPerLine + std::size_t{x} * bytes];
            std::uint32_t v = 0;
            for (int i = 0; i < bytes; ++i)
                v |= std::uint32_t{p[i]} << (8 * (byteOrder == 0 ? i : bytes - 1 - i));  // 0: LSBFirst
            const std::uint32_t r = (v & redMask) >> shiftOf(redMask);
            const std::uint32_t g = (v & greenMask) >> shiftOf(greenMask);
            const std::uint32_t bl = (v & blueMask) >> shiftOf(blueMask);
            out.pixels[std::size_t{y} * width + x] = r << 16 | g << 8 | bl;
        }
    return true;
}

long differing(const Image& a, const Image& b, int fromRow, int toRow) {
    if (a.width != b.width || a.height != b.height) return -1;
    long n = 0;
    for (int y = fromRow < 0 ? 0 : fromRow; y < a.height && y <= toRow; ++y)
        for (int x = 0; x < a.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * a.width + x;
            n += a.pixels[i] != b.pixels[i];
        }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1, fromRow = 0, toRow = 1 << 30;
    if (argc > 3 && std::string(argv[1]) == "--rows") {
        fromRow = std::atoi(argv[2]);
        toRow = std::atoi(argv[3]);
        first = 4;
    }
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: screen-match [--rows FROM TO] SHOT.xwd FRAME.png...\n");
        return 2;
    }
    Image shot;
    if (!readXwd(argv[first], shot)) {
        std::fprintf(stderr, "screen-match: cannot read %s as a true-colour XWD\n", argv[first]);
        return 1;
    }
    std::string best;
    long bestCount = -1, secondCount = -1;
    for (int i = first + 1; i < argc; ++i) {
        const Image frame = test_support::readPng(argv[i]);
        if (frame.empty()) {
            std::fprintf(stderr, "screen-match: cannot read %s\n", argv[i]);
            return 1;
        }
        const long n = differing(shot, frame, fromRow, toRow);
        if (n < 0) continue;
        if (bestCount < 0 || n < bestCount) {
            secondCount = bestCount;
            bestCount = n;
            best = argv[i];
        } else if (secondCount < 0 || n < secondCount) {
            secondCount = n;
        }
    }
    if (bestCount < 0) {
        std::fprintf(stderr, "screen-match: no frame of the screenshot's size %dx%d\n", shot.width, shot.height);
        return 1;
    }
    std::printf("%s %ld %ld\n", best.c_str(), bestCount, secondCount);
    return 0;
}
