// Compiled resource images: the .res reader, then every entry through the
// dialog, menu and accelerator readers, and bitmap entries through
// LoadBitmapA's decoder.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "user/resfile.h"
#include "user/resources.h"

using namespace platform::user;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto entries = parseResFile({data, size});
    if (!entries) return 0;
    const ResourceId bitmapType = ResourceId::fromNumber(2);  // RT_BITMAP
    for (const ResourceEntry& e : *entries) {
        (void)parseDialogTemplate(e.data);
        (void)parseMenuTemplate(e.data);
        (void)parseAcceleratorTable(e.data);
        if (e.type == bitmapType)
            if (HBITMAP bmp = loadBitmapFromDib(e.data)) DeleteObject(bmp);
    }
    return 0;
}
