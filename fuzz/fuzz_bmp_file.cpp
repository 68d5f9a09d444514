// Bitmap files as LoadImageA reads them: any bytes must either decode into a
// bitmap or be refused, never read out of bounds.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "user/resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (HBITMAP bmp = platform::user::loadBitmapFromBytes({data, size})) DeleteObject(bmp);
    return 0;
}
