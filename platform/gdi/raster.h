// The pixel loops behind BitBlt, StretchBlt and Rectangle.
//
// Every raster operation works on whole rows. The loop for a blit is chosen
// once, per pair of pixel formats and per operation, so no inner loop ever
// switches on a format or an operation or calls a function per pixel.
#pragma once

#include "gdi/objects.h"

#include <cstdint>

namespace platform::gdi {

// The raster operations the layer provides.
enum class Rop {
    Copy,    // SRCCOPY: source
    And,     // SRCAND: destination AND source
    Paint,   // SRCPAINT: destination OR source
    Invert,  // SRCINVERT: destination XOR source
};

// False for a raster operation the layer does not provide.
bool ropFromCode(DWORD code, Rop& rop);

// The colours a blit between formats converts through.
struct ColorMapping {
    std::uint32_t textPixel;  // monochrome 0 becomes the destination's text colour
    std::uint32_t bkPixel;    // monochrome 1 becomes the destination's background colour
    std::uint32_t keyPixel;   // a colour pixel equal to the source's background colour becomes 1
};

// A source rectangle and a destination rectangle of the same size, already
// clipped to both surfaces.
struct BlitArea {
    int dx, dy, sx, sy, width, height;
};

void blit(Surface& dst, const Surface& src, const BlitArea& area, Rop rop, const ColorMapping& colors);

// A scaled copy. Destination pixel (dx + i, dy + j), for i in [0, width) and
// j in [0, height), takes its value from the source columns columnStart[i]
// up to columnEnd[i] (exclusive) and rows rowStart[j] to rowEnd[j]; where a
// span holds several pixels they are combined with AND, so when shrinking
// black wins over white, as in Windows' default stretching mode. All spans
// lie inside the source.
struct StretchArea {
    int dx, dy, width, height;
    const int* columnStart;
    const int* columnEnd;
    const int* rowStart;
    const int* rowEnd;
};

void stretch(Surface& dst, const Surface& src, const StretchArea& area, Rop rop, const ColorMapping& colors);

// Fills [left, right) x [top, bottom), clipped to the surface.
void fillRect(Surface& s, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, COLORREF color);

}  // namespace platform::gdi
