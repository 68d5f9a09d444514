// The module's resources and the images loaded from them or from files.
//
// The executable carries its compiled resource script (a .res image) as
// embedded bytes; this module parses it once and serves the Win32 resource
// calls from it. The bitmap decoders are exposed so that the fuzz targets and
// other parts of the layer reach them without file I/O.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

#include "user/resfile.h"

namespace platform::user {

// All entries of the embedded resources, in file order; empty when the
// program has none (or they fail to parse).
std::span<const ResourceEntry> moduleResources();

// FindResourceA's lookup: the entry of `type` and `name` in `module` (NULL or
// the main module), preferring language 1033, then the first found. Null with
// the last error set when there is none.
const ResourceEntry* findModuleResource(HMODULE module, LPCSTR name, LPCSTR type);

// A whole .bmp file, checked against sane limits and decoded into a 32-bit
// display bitmap. Null (last error ERROR_INVALID_DATA) for anything damaged,
// hostile or unsupported.
HBITMAP loadBitmapFromBytes(std::span<const std::uint8_t> file);

// A packed DIB as RT_BITMAP resources hold it: the info header, colour masks
// and palette, then the pixels, without the file header. Same checks and
// result as loadBitmapFromBytes.
HBITMAP loadBitmapFromDib(std::span<const std::uint8_t> dib);

// The table behind a handle from LoadAcceleratorsA, or null.
const std::vector<Accelerator>* findAcceleratorTable(HACCEL table);

}  // namespace platform::user
