// Writing a frame as a PNG file, for frame capture.
#pragma once

#include <string>

namespace platform::gdi {
class Surface;
}

namespace platform::backend {

// Writes `surface` to `path` as an 8-bit RGB PNG without alpha. A colour
// surface's pixels are 0x00RRGGBB words; a monochrome one is written black
// for 0 and white for 1. Returns false (and leaves no partial file) when the
// file cannot be written.
bool writePng(const std::string& path, const gdi::Surface& surface);

}  // namespace platform::backend
