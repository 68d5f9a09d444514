#include "backend/png.h"

#include "gdi/objects.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace platform::backend {

bool writePng(const std::string& path, const gdi::Surface& surface) {
    const int width = surface.width();
    const int height = surface.height();
    if (width <= 0 || height <= 0) return false;

    // libpng's simplified API takes packed R, G, B bytes.
    std::vector<png_byte> rgb(static_cast<std::size_t>(width) * height * 3);
    png_byte* out = rgb.data();
    for (int y = 0; y < height; ++y) {
        if (surface.format() == gdi::PixelFormat::Rgb32) {
            const std::uint32_t* row = surface.rgbRow(y);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = row[x];
                *out++ = static_cast<png_byte>(p >> 16);
                *out++ = static_cast<png_byte>(p >> 8);
                *out++ = static_cast<png_byte>(p);
            }
        } else {
            const std::uint8_t* row = surface.row(y);
            for (int x = 0; x < width; ++x) {
                const png_byte v = gdi::monoBit(row, x) ? 0xFF : 0x00;
                *out++ = v;
                *out++ = v;
                *out++ = v;
            }
        }
    }

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // Written beside the target and renamed into place, so a reader never
    // sees a half-written file under the final name.
    const std::string partial = path + ".part";
    if (!png_image_write_to_file(&image, partial.c_str(), 0, rgb.data(), 0, nullptr)) {
        std::remove(partial.c_str());
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return false;
    }
    return true;
}

}  // namespace platform::backend
