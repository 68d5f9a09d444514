// The module's resources (FindResourceA, LoadResource, LockResource,
// SizeofResource), bitmaps from resources and from files (LoadBitmapA,
// LoadImageA), and the icon, cursor and accelerator handles.
//
// Bitmaps are decoded by SDL2's BMP reader, but never from bytes as they came:
// every header field is checked against sane limits first, RLE streams are
// walked to prove that no run leaves the image, and SDL is then given rebuilt
// headers (a plain 40-byte one and a full palette) followed by the image's own
// pixel bytes, so that it only ever sees well-formed input. SDL's surface is
// copied straight into the final bitmap's rows, widening 5- and 6-bit
// channels as Win32 does.
#include "user/resources.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "gdi/objects.h"
#include "kernel/no_memory.h"
#include "kernel/process.h"

// The compiled resource script, defined by the object that
// pomrivel_add_resources generates for a program. The references are weak so
// that a program without resources still links; the addresses are then null.
extern "C" {
extern const unsigned char pomrivel_module_res[] __attribute__((weak));
extern const std::size_t pomrivel_module_res_size __attribute__((weak));
}

namespace platform::user {
namespace {

constexpr WORD kLanguageEnglishUs = 1033;

// ---- The resource table --------------------------------------------------

const std::vector<ResourceEntry>& entries() {
    static const std::vector<ResourceEntry> parsed = [] {
        std::vector<ResourceEntry> none;
        if (&pomrivel_module_res_size == nullptr || pomrivel_module_res == nullptr) return none;
        auto result = parseResFile({pomrivel_module_res, pomrivel_module_res_size});
        if (!result) {
            std::fputs("pomrivel: the embedded resources are damaged; none are available\n", stderr);
            return none;
        }
        return std::move(*result);
    }();
    return parsed;
}

bool isMainModule(HMODULE module) {
    return module == nullptr || module == kernel::mainModule();
}

// An HRSRC is the address of its entry in the table, which never changes
// once parsed. Anything else is rejected rather than dereferenced.
HRSRC handleFromEntry(const ResourceEntry* e) {
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(e));
}

const ResourceEntry* entryFromHandle(HRSRC handle) {
    const auto& all = entries();
    if (all.empty() || !handle) return nullptr;
    const auto p = reinterpret_cast<std::uintptr_t>(handle);
    const auto first = reinterpret_cast<std::uintptr_t>(all.data());
    if (p < first || (p - first) % sizeof(ResourceEntry) != 0) return nullptr;
    const std::size_t index = (p - first) / sizeof(ResourceEntry);
    return index < all.size() ? &all[index] : nullptr;
}

// ---- Bitmaps ---------------------------------------------------------------

constexpr DWORD kBiRgb = 0;
constexpr DWORD kBiRle8 = 1;
constexpr DWORD kBiRle4 = 2;
constexpr DWORD kBiBitfields = 3;

// What one bitmap may cost. The scene's largest image is 640 x 480; 2^22
// pixels (2048 x 2048, 16 MB as a display bitmap) leave room for far bigger
// pictures while keeping a whole scene of images at the limit, with their
// mirrors, well inside what a screensaver may take. The largest image inside
// the limit, uncompressed at 32 bits per pixel, is 16 MB of file; twice that
// is the most read of a file.
constexpr std::int64_t kMaxSide = 16384;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 22;
constexpr std::size_t kMaxFileBytes = std::size_t{32} << 20;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

// Little-endian reads; callers have checked the bounds.
std::uint32_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return le16(b, at) | (le16(b, at + 2) << 16);
}
void putLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void putLe32(std::uint8_t* p, std::uint32_t v) {
    putLe16(p, v & 0xFFFF);
    putLe16(p + 2, v >> 16);
}

// What a checked info header says.
struct DibHeader {
    std::uint32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // always positive; topDown gives the row order
    bool topDown = false;
    int bpp = 0;
    DWORD compression = kBiRgb;
    std::uint32_t masks[3] = {};   // red, green, blue; bitfields only
    std::uint32_t masksAfter = 0;  // mask bytes that follow a 40-byte header
    std::uint32_t colours = 0;     // colour table entries that follow the masks
    std::uint32_t colourSize = 4;  // bytes per entry: 3 for the core header

    std::uint64_t colourTableBytes() const { return std::uint64_t{colours} * colourSize; }
};

// Masks of a bitfields image: each non-zero, one run of bits, inside the
// pixel and apart from the others.
bool validMasks(const std::uint32_t (&masks)[3], int bpp) {
    const std::uint64_t limit = bpp == 32 ? 0xFFFFFFFFu : 0xFFFFu;
    std::uint32_t seen = 0;
    for (std::uint32_t m : masks) {
        if (m == 0 || m > limit || (m & seen)) return false;
        const std::uint64_t run = std::uint64_t{m} >> std::countr_zero(m);
        if ((run & (run + 1)) != 0) return false;
        seen |= m;
    }
    return true;
}

// Reads and checks the info header at the start of `b` (which runs to the end
// of the data, so the masks after a 40-byte header are in reach).
std::optional<DibHeader> readDibHeader(std::span<const std::uint8_t> b) {
    if (b.size() < 4) return std::nullopt;
    DibHeader h;
    h.headerSize = le32(b, 0);
    switch (h.headerSize) {
        case 12:
        case 40:
        case 52:
        case 56:
        case 108:
        case 124: break;
        default: return std::nullopt;
    }
    if (b.size() < h.headerSize) return std::nullopt;

    std::int64_t width, height;
    std::uint32_t planes, clrUsed = 0;
    if (h.headerSize == 12) {  // BITMAPCOREHEADER: 16-bit sizes, RGB triples
        width = le16(b, 4);
        height = le16(b, 6);
        planes = le16(b, 8);
        h.bpp = static_cast<int>(le16(b, 10));
        h.colourSize = 3;
        if (h.bpp != 1 && h.bpp != 4 && h.bpp != 8 && h.bpp != 24) return std::nullopt;
    } else {
        width = static_cast<std::int32_t>(le32(b, 4));
        height = static_cast<std::int32_t>(le32(b, 8));
        planes = le16(b, 12);
        h.bpp = static_cast<int>(le16(b, 14));
        h.compression = le32(b, 16);
        clrUsed = le32(b, 32);
    }
    if (planes != 1) return std::nullopt;
    h.topDown = height < 0;
    if (height < 0) height = -height;
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide || width * height > kMaxPixels)
        return std::nullopt;
    h.width = static_cast<std::int32_t>(width);
    h.height = static_cast<std::int32_t>(height);

    switch (h.bpp) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32: break;
        default: return std::nullopt;
    }
    switch (h.compression) {
        case kBiRgb: break;
        // Compressed images are always stored bottom-up.
        case kBiRle8:
            if (h.bpp != 8 || h.topDown) return std::nullopt;
            break;
        case kBiRle4:
            if (h.bpp != 4 || h.topDown) return std::nullopt;
            break;
        case kBiBitfields:
            if (h.bpp != 16 && h.bpp != 32) return std::nullopt;
            // Version 2 and later headers hold the masks; a 40-byte one is
            // followed by them.
            if (h.headerSize == kInfoHeaderSize) {
                if (b.size() < kInfoHeaderSize + 12) return std::nullopt;
                h.masksAfter = 12;
            }
            for (int i = 0; i < 3; ++i) h.masks[i] = le32(b, 40 + 4 * i);
            if (!validMasks(h.masks, h.bpp)) return std::nullopt;
            break;
        default: return std::nullopt;
    }

    if (h.bpp <= 8) {
        const std::uint32_t full = 1u << h.bpp;
        if (clrUsed > full) return std::nullopt;
        h.colours = clrUsed ? clrUsed : full;
    } else {
        h.colours = clrUsed;  // an optional table for palette displays, unused here
    }
    return h;
}

// Walks an RLE8 or RLE4 stream. Returns its length up to and including the
// end-of-bitmap mark, or nothing when a run or a jump leaves the image or the
// stream ends before the mark.
std::optional<std::size_t> rleLength(std::span<const std::uint8_t> s, const DibHeader& h) {
    const bool rle4 = h.compression == kBiRle4;
    std::int64_t x = 0, y = 0;
    std::size_t i = 0;
    while (s.size() - i >= 2) {
        const unsigned count = s[i], code = s[i + 1];
        i += 2;
        if (count > 0) {  // a run of one index (RLE4: two alternating ones)
            if (y >= h.height || x + count > h.width) return std::nullopt;
            x += count;
            continue;
        }
        switch (code) {
            case 0:  // end of line
                x = 0;
                if (++y > h.height) return std::nullopt;
                break;
            case 1:  // end of bitmap
                return i;
            case 2:  // jump right and up
                if (s.size() - i < 2) return std::nullopt;
                x += s[i];
                y += s[i + 1];
                i += 2;
                if (x > h.width || y > h.height) return std::nullopt;
                break;
            default: {  // `code` literal indices, padded to a 16-bit boundary
                const std::size_t bytes = rle4 ? (code + 1) / 2 : code;
                const std::size_t padded = bytes + (bytes & 1);
                if (s.size() - i < padded || y >= h.height || x + code > h.width) return std::nullopt;
                x += code;
                i += padded;
            }
        }
    }
    return std::nullopt;
}

// The part of `pixels` the image uses: every row of an uncompressed image
// (all must be there), or a compressed stream that stays inside the image.
std::optional<std::span<const std::uint8_t>> usedPixels(const DibHeader& h, std::span<const std::uint8_t> pixels) {
    if (h.compression == kBiRle8 || h.compression == kBiRle4) {
        const auto n = rleLength(pixels, h);
        if (!n) return std::nullopt;
        return pixels.first(*n);
    }
    const std::uint64_t rowBytes = (std::uint64_t{static_cast<std::uint32_t>(h.width)} * h.bpp + 31) / 32 * 4;
    const std::uint64_t total = rowBytes * static_cast<std::uint32_t>(h.height);
    if (total > pixels.size()) return std::nullopt;
    return pixels.first(static_cast<std::size_t>(total));
}

// The headers of the image as a .bmp file in the one form handed to SDL: a
// 40-byte header, the masks after it for bitfields, then a colour table with
// an entry for every possible index (unused ones black, so no index can fall
// outside it). The `pixelBytes` pixel bytes follow them in the stream.
std::vector<std::uint8_t> canonicalHeaders(const DibHeader& h, std::span<const std::uint8_t> colourTable,
                                           std::size_t pixelBytes) {
    const std::uint32_t maskBytes = h.compression == kBiBitfields ? 12 : 0;
    const std::uint32_t paletteEntries = h.bpp <= 8 ? 1u << h.bpp : 0;
    const std::size_t offBits = kFileHeaderSize + kInfoHeaderSize + maskBytes + 4 * paletteEntries;
    std::vector<std::uint8_t> out(offBits);
    std::uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    putLe32(p + 2, static_cast<std::uint32_t>(offBits + pixelBytes));
    putLe32(p + 10, static_cast<std::uint32_t>(offBits));
    std::uint8_t* info = p + kFileHeaderSize;
    putLe32(info, kInfoHeaderSize);
    putLe32(info + 4, static_cast<std::uint32_t>(h.width));
    putLe32(info + 8, static_cast<std::uint32_t>(h.topDown ? -h.height : h.height));
    putLe16(info + 12, 1);
    putLe16(info + 14, static_cast<std::uint32_t>(h.bpp));
    putLe32(info + 16, h.compression);
    putLe32(info + 20, static_cast<std::uint32_t>(pixelBytes));
    putLe32(info + 32, paletteEntries);
    std::uint8_t* table = info + kInfoHeaderSize;
    for (std::uint32_t i = 0; i < maskBytes / 4; ++i) putLe32(table + 4 * i, h.masks[i]);
    table += maskBytes;
    if (paletteEntries) {
        for (std::uint32_t i = 0; i < h.colours; ++i)
            std::memcpy(table + 4 * i, colourTable.data() + std::size_t{i} * h.colourSize, 3);
    }
    return out;
}

// What SDL reads the image from: the rebuilt headers, then the pixel bytes
// where they lie in the caller's data, so they are never copied to sit
// behind the headers.
struct TwoPartStream {
    std::span<const std::uint8_t> head, pixels;
    std::size_t pos = 0;

    std::size_t size() const { return head.size() + pixels.size(); }
    static TwoPartStream& of(SDL_RWops* rw) { return *static_cast<TwoPartStream*>(rw->hidden.unknown.data1); }

    static Sint64 sizeOf(SDL_RWops* rw) { return static_cast<Sint64>(of(rw).size()); }
    static Sint64 seek(SDL_RWops* rw, Sint64 offset, int whence) {
        TwoPartStream& s = of(rw);
        const Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? static_cast<Sint64>(s.pos) : static_cast<Sint64>(s.size());
        if (offset < -base || offset > static_cast<Sint64>(s.size()) - base) return SDL_SetError("seek outside the image");
        s.pos = static_cast<std::size_t>(base + offset);
        return static_cast<Sint64>(s.pos);
    }
    static std::size_t read(SDL_RWops* rw, void* out, std::size_t size, std::size_t count) {
        TwoPartStream& s = of(rw);
        if (size == 0) return 0;
        const std::size_t whole = std::min(count, (s.size() - s.pos) / size);
        auto* to = static_cast<std::uint8_t*>(out);
        for (std::size_t left = whole * size; left > 0;) {
            const bool inHead = s.pos < s.head.size();
            const std::span<const std::uint8_t> part =
                inHead ? s.head.subspan(s.pos) : s.pixels.subspan(s.pos - s.head.size());
            const std::size_t n = std::min(left, part.size());
            std::memcpy(to, part.data(), n);
            to += n;
            s.pos += n;
            left -= n;
        }
        return whole;
    }
    static std::size_t write(SDL_RWops*, const void*, std::size_t, std::size_t) { return 0; }
    static int close(SDL_RWops* rw) {
        SDL_FreeRW(rw);
        return 0;
    }
};

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// One colour channel of a direct-colour pixel: where its bits are and what
// each value becomes in 8 bits. As in Win32, a narrower channel is widened by
// repeating its bits (5-bit v becomes v << 3 | v >> 2, 6-bit v << 2 | v >> 4),
// so that full scale stays full scale; a wider one keeps its top 8 bits.
class Channel {
public:
    explicit Channel(std::uint32_t fieldMask) {
        const int bits = std::popcount(fieldMask);
        const int kept = std::min(bits, 8);
        shift_ = static_cast<unsigned>(std::countr_zero(fieldMask) + bits - kept);
        mask_ = (1u << kept) - 1;
        for (std::uint32_t v = 0; v <= mask_; ++v) {
            std::uint32_t repeated = 0;
            int filled = 0;
            for (; filled < 8; filled += kept) repeated = repeated << kept | v;
            to8_[v] = static_cast<std::uint8_t>(repeated >> (filled - 8));
        }
    }
    std::uint32_t operator()(std::uint32_t pixel) const { return to8_[(pixel >> shift_) & mask_]; }

private:
    unsigned shift_ = 0;
    std::uint32_t mask_ = 0;
    std::array<std::uint8_t, 256> to8_{};
};

// Direct-colour rows of `Bytes` bytes a pixel into display pixels.
template <int Bytes>
void expandRows(const SDL_Surface& from, gdi::Surface& to) {
    const Channel red(from.format->Rmask), green(from.format->Gmask), blue(from.format->Bmask);
    for (int y = 0; y < to.height(); ++y) {
        const auto* in = static_cast<const std::uint8_t*>(from.pixels) + std::size_t(y) * std::size_t(from.pitch);
        std::uint32_t* out = to.rgbRow(y);
        for (int x = 0; x < to.width(); ++x, in += Bytes) {
            std::uint32_t pixel = 0;
            if constexpr (Bytes == 3)
                pixel = std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 | std::uint32_t{in[2]} << 16;
            else if constexpr (Bytes == 2) {
                std::uint16_t word;
                std::memcpy(&word, in, 2);
                pixel = word;
            } else
                std::memcpy(&pixel, in, 4);
            out[x] = red(pixel) << 16 | green(pixel) << 8 | blue(pixel);
        }
    }
}

// Indexed rows (SDL widens 1 and 4 bits to one byte an index) into display
// pixels through the palette.
void paletteRows(const SDL_Surface& from, gdi::Surface& to) {
    std::array<std::uint32_t, 256> colours{};
    const SDL_Palette& palette = *from.format->palette;
    for (int i = 0; i < std::min(palette.ncolors, 256); ++i) {
        const SDL_Color c = palette.colors[i];
        colours[static_cast<std::size_t>(i)] = std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
    }
    for (int y = 0; y < to.height(); ++y) {
        const auto* in = static_cast<const std::uint8_t*>(from.pixels) + std::size_t(y) * std::size_t(from.pitch);
        std::uint32_t* out = to.rgbRow(y);
        for (int x = 0; x < to.width(); ++x) out[x] = colours[in[x]];
    }
}

// Copies SDL's decoded surface into a display bitmap of the same size.
// False when the surface is in a form not expected of SDL's BMP reader.
bool copyPixels(const SDL_Surface& from, gdi::Surface& to) {
    const SDL_PixelFormat& f = *from.format;
    if (from.w != to.width() || from.h != to.height() || from.pitch < from.w * f.BytesPerPixel) return false;
    if (f.palette) {
        if (f.BytesPerPixel != 1) return false;
        paletteRows(from, to);
        return true;
    }
    if (f.Rmask == 0 || f.Gmask == 0 || f.Bmask == 0) return false;
    switch (f.BytesPerPixel) {
        case 2: expandRows<2>(from, to); return true;
        case 3: expandRows<3>(from, to); return true;
        case 4: expandRows<4>(from, to); return true;
        default: return false;
    }
}

// Decodes a checked image with SDL straight into a new display bitmap.
HBITMAP decode(const DibHeader& h, std::span<const std::uint8_t> colourTable, std::span<const std::uint8_t> pixels) {
    const std::vector<std::uint8_t> head = canonicalHeaders(h, colourTable, pixels.size());
    TwoPartStream stream{head, pixels};
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    rw->size = TwoPartStream::sizeOf;
    rw->seek = TwoPartStream::seek;
    rw->read = TwoPartStream::read;
    rw->write = TwoPartStream::write;
    rw->close = TwoPartStream::close;
    rw->hidden.unknown.data1 = &stream;
    const SurfacePtr loaded(SDL_LoadBMP_RW(rw, 1));
    if (!loaded) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const HBITMAP bitmap = CreateBitmap(h.width, h.height, 1, 32, nullptr);
    gdi::Bitmap* target = gdi::findBitmap(bitmap);
    if (!target) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!copyPixels(*loaded, target->surface)) {
        DeleteObject(bitmap);
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return bitmap;
}

HBITMAP invalidImage() {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
}

// ---- Icons, cursors and accelerator tables ------------------------------------

// Nothing draws icons or cursors here, but their handles must name what was
// loaded. Loading one resource again gives the same handle, as Win32's shared
// icons and cursors do.
struct SharedImage {
    const ResourceEntry* group;  // null for a stock image
    WORD stockId;
};

constexpr WORD kStockIconIds[] = {32512, 32513, 32514, 32515, 32516, 32517, 32518};  // IDI_*
constexpr WORD kStockCursorIds[] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                                    32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};  // IDC_*

struct AcceleratorObject {
    const ResourceEntry* source;
    std::vector<Accelerator> table;
};

// Handles are the addresses of deque elements, which stay where they are as
// the deques grow.
struct HandleTables {
    std::mutex mutex;
    std::deque<SharedImage> stockIcons, stockCursors, images;
    std::deque<AcceleratorObject> accelerators;

    HandleTables() {
        for (WORD id : kStockIconIds) stockIcons.push_back({nullptr, id});
        for (WORD id : kStockCursorIds) stockCursors.push_back({nullptr, id});
    }
};

HandleTables& tables() {
    static HandleTables t;
    return t;
}

// A group directory (RT_GROUP_ICON or RT_GROUP_CURSOR): reserved 0, the
// type (1 icon, 2 cursor), a count, then 14-byte entries each naming an
// RT_ICON or RT_CURSOR resource by id. Every named image must be present.
bool validGroup(const ResourceEntry& group, bool cursor) {
    const auto d = group.data;
    if (d.size() < 6 || le16(d, 0) != 0 || le16(d, 2) != (cursor ? 2u : 1u)) return false;
    const std::uint32_t count = le16(d, 4);
    if (count == 0 || d.size() < 6 + std::size_t{14} * count) return false;
    const ResourceId imageType = ResourceId::fromWin32(cursor ? RT_CURSOR : RT_ICON);
    for (std::uint32_t i = 0; i < count; ++i) {
        const ResourceId id = ResourceId::fromNumber(static_cast<WORD>(le16(d, 6 + 14 * i + 12)));
        bool found = false;
        for (const ResourceEntry& e : entries())
            if (e.type == imageType && e.name == id) found = true;
        if (!found) return false;
    }
    return true;
}

HANDLE loadSharedImage(HINSTANCE instance, LPCSTR name, bool cursor) {
    HandleTables& t = tables();
    if (!instance) {  // the system's stock icons and cursors
        const ResourceId id = ResourceId::fromWin32(name);
        std::lock_guard lock(t.mutex);
        for (SharedImage& s : cursor ? t.stockCursors : t.stockIcons)
            if (id.isNumber && s.stockId == id.number) return &s;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const ResourceEntry* group = findModuleResource(instance, name, cursor ? RT_GROUP_CURSOR : RT_GROUP_ICON);
    if (!group) return nullptr;
    // Only valid groups are cached, so a group found there needs no check.
    std::lock_guard lock(t.mutex);
    for (SharedImage& s : t.images)
        if (s.group == group) return &s;
    if (!validGroup(*group, cursor)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return &t.images.emplace_back(SharedImage{group, 0});
}

// Reads a whole regular file of at most kMaxFileBytes. Anything else in the
// working directory (a directory, a FIFO, a device, or a link to one) is
// refused unread. The type is looked at before opening, so no device is
// opened at all, and again on what was opened, which is opened non-blocking:
// should a FIFO take the file's place in between, the open returns at once
// instead of waiting for a writer that never comes.
std::optional<std::vector<std::uint8_t>> readFile(const char* path) {
    struct Descriptor {
        int fd = -1;
        ~Descriptor() {
            if (fd >= 0) close(fd);
        }
    } file;
    struct stat st {};
    if (stat(path, &st) == 0 && S_ISREG(st.st_mode)) file.fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const int fd = file.fd;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (done != bytes.size()) {  // shortened while it was read, or unreadable
        SetLastError(ERROR_INVALID_DATA);
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::span<const ResourceEntry> moduleResources() {
    return entries();
}

const ResourceEntry* findModuleResource(HMODULE module, LPCSTR name, LPCSTR type) {
    if (!isMainModule(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const auto& all = entries();
    if (all.empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);  // the module has no resource section
        return nullptr;
    }
    const ResourceId wantedType = ResourceId::fromWin32(type);
    const ResourceId wantedName = ResourceId::fromWin32(name);
    bool typeSeen = false;
    const ResourceEntry* first = nullptr;
    for (const ResourceEntry& e : all) {
        if (!(e.type == wantedType)) continue;
        typeSeen = true;
        if (!(e.name == wantedName)) continue;
        if (e.language == kLanguageEnglishUs) return &e;
        if (!first) first = &e;
    }
    if (!first) SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return first;
}

HBITMAP loadBitmapFromBytes(std::span<const std::uint8_t> file) {
    if (file.size() < kFileHeaderSize + 12 || file.size() > kMaxFileBytes) return invalidImage();
    if (file[0] != 'B' || file[1] != 'M') return invalidImage();
    const std::uint32_t offBits = le32(file, 10);
    const auto header = readDibHeader(file.subspan(kFileHeaderSize));
    if (!header) return invalidImage();
    // The colour table lies between the header and the pixels; images of
    // more than 8 bits per pixel have no use for one and it is not read.
    const std::uint64_t tableStart = kFileHeaderSize + header->headerSize + header->masksAfter;
    const std::uint64_t tableBytes = header->bpp <= 8 ? header->colourTableBytes() : 0;
    if (tableStart + tableBytes > offBits || offBits > file.size()) return invalidImage();
    const auto pixels = usedPixels(*header, file.subspan(offBits));
    if (!pixels) return invalidImage();
    return decode(*header, file.subspan(static_cast<std::size_t>(tableStart), static_cast<std::size_t>(tableBytes)),
                  *pixels);
}

HBITMAP loadBitmapFromDib(std::span<const std::uint8_t> dib) {
    const auto header = readDibHeader(dib);
    if (!header) return invalidImage();
    // In a packed DIB the pixels follow the colour table directly.
    const std::uint64_t tableStart = header->headerSize + header->masksAfter;
    const std::uint64_t tableBytes = header->colourTableBytes();
    if (tableStart + tableBytes > dib.size()) return invalidImage();
    const auto pixels = usedPixels(*header, dib.subspan(static_cast<std::size_t>(tableStart + tableBytes)));
    if (!pixels) return invalidImage();
    return decode(*header, dib.subspan(static_cast<std::size_t>(tableStart), static_cast<std::size_t>(tableBytes)),
                  *pixels);
}

const std::vector<Accelerator>* findAcceleratorTable(HACCEL table) {
    HandleTables& t = tables();
    std::lock_guard lock(t.mutex);
    for (const AcceleratorObject& a : t.accelerators)
        if (reinterpret_cast<HACCEL>(const_cast<AcceleratorObject*>(&a)) == table) return &a.table;
    return nullptr;
}

}  // namespace platform::user

using namespace platform::user;
using platform::kernel::failOnNoMemory;

// The module's resource table is read on first use, and images and
// accelerator tables are made from it: any of these may find no memory.
extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    return failOnNoMemory(HRSRC{}, [&]() -> HRSRC {
        const ResourceEntry* e = findModuleResource(hModule, lpName, lpType);
        return e ? handleFromEntry(e) : nullptr;
    });
}

// As on Windows, the "global" a resource loads into is simply the address of
// its bytes, and locking it returns that address.
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    return failOnNoMemory(HGLOBAL{}, [&]() -> HGLOBAL {
        const ResourceEntry* e = isMainModule(hModule) ? entryFromHandle(hResInfo) : nullptr;
        if (!e) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        return const_cast<std::uint8_t*>(e->data.data());
    });
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    return failOnNoMemory(DWORD{0}, [&]() -> DWORD {
        const ResourceEntry* e = isMainModule(hModule) ? entryFromHandle(hResInfo) : nullptr;
        if (!e) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        return static_cast<DWORD>(e->data.size());
    });
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
    if (!hInstance) {  // the system's predefined bitmaps: none here
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return failOnNoMemory(HBITMAP{}, [&]() -> HBITMAP {
        const ResourceEntry* e = findModuleResource(hInstance, lpBitmapName, RT_BITMAP);
        return e ? loadBitmapFromDib(e->data) : nullptr;
    });
}

HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    // Bitmaps at their own size only: no stretching, DIB sections or colour
    // mapping.
    if (type != IMAGE_BITMAP || cx != 0 || cy != 0 || (fuLoad & ~static_cast<UINT>(LR_LOADFROMFILE)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!(fuLoad & LR_LOADFROMFILE)) return LoadBitmapA(hInst, name);
    if (!name || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return failOnNoMemory(HANDLE{}, [name]() -> HANDLE {
        const auto bytes = readFile(name);
        return bytes ? loadBitmapFromBytes(*bytes) : nullptr;
    });
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    return failOnNoMemory(HICON{}, [&] { return static_cast<HICON>(loadSharedImage(hInstance, lpIconName, false)); });
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    return failOnNoMemory(HCURSOR{},
                          [&] { return static_cast<HCURSOR>(loadSharedImage(hInstance, lpCursorName, true)); });
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE hInstance, LPCSTR lpTableName) {
    return failOnNoMemory(HACCEL{}, [&]() -> HACCEL {
        const ResourceEntry* e = findModuleResource(hInstance, lpTableName, RT_ACCELERATOR);
        if (!e) return nullptr;
        HandleTables& t = tables();
        std::lock_guard lock(t.mutex);
        for (AcceleratorObject& a : t.accelerators)
            if (a.source == e) return reinterpret_cast<HACCEL>(&a);
        auto table = parseAcceleratorTable(e->data);
        if (!table) {
            SetLastError(ERROR_INVALID_DATA);
            return nullptr;
        }
        return reinterpret_cast<HACCEL>(&t.accelerators.emplace_back(AcceleratorObject{e, std::move(*table)}));
    });
}

}  // extern "C"
