// The file formats the generator writes: Windows bitmaps (uncompressed and
// RLE8), a RIFF WAVE file, a Windows icon and, for the previews, PNG.
#pragma once

#include "canvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

using Bytes = std::vector<std::uint8_t>;

// The pixels of an 8-bit image in BI_RLE8 form: rows bottom to top, each
// ended by an end-of-line escape except the last, which the end-of-bitmap
// escape ends. Runs of three or more equal pixels become encoded runs; the
// stretches between them become absolute runs (padded to a word) when three
// or more pixels long, and encoded runs of one or two pixels otherwise.
Bytes encodeRle8(const Image& img);

// A complete .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER with biClrUsed
// equal to the image's palette size, the palette and the pixels (bottom-up;
// uncompressed rows padded to four bytes, or RLE8).
Bytes bitmapFile(const Image& img, bool rle8);

// Mono 16-bit 44100 Hz PCM in a RIFF WAVE file: the "fmt " chunk, a LIST
// INFO chunk naming the sound and the "data" chunk; 118 bytes of headers.
Bytes waveFile(const std::vector<std::int16_t>& samples);
constexpr std::size_t kWaveHeaderBytes = 118;

// A one-image .ico file: a 32 x 32 image of 8 bits per pixel with a
// 256-entry palette and an AND mask (1 = transparent, from `transparent`,
// row-major top-down).
Bytes iconFile(const Image& img, const std::vector<bool>& transparent);

// An RGB picture as PNG; false when the file cannot be written.
bool writePng(const std::string& path, int width, int height, const std::vector<Rgb>& pixels);

bool writeFile(const std::string& path, const Bytes& bytes);

}  // namespace assets
