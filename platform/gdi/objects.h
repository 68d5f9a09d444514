// GDI objects behind the Win32 handles: bitmaps, brushes, pens, fonts and
// device contexts, and the table that turns handles into objects.
//
// A handle is an opaque number that the table hands out once and never
// reuses, so a stale or forged handle is recognised and rejected instead of
// being dereferenced.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace platform::gdi {

enum class PixelFormat {
    Mono1,  // one bit per pixel, leftmost pixel in the most significant bit
    Rgb32,  // 0x00RRGGBB per 32-bit word: blue in the lowest byte
};

// Largest bitmap the layer creates, in pixels (8192 x 8192); anything
// bigger fails cleanly instead of exhausting memory.
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 26;

// Pixels of one bitmap. Rows are padded to 8 bytes, and the buffer has one
// spare 8-byte word past the last row, so the blitters can read a whole word
// at the end of a row without leaving the allocation.
class Surface {
public:
    Surface(int width, int height, PixelFormat format);
    Surface(const Surface& other);
    Surface& operator=(const Surface& other);
    Surface(Surface&&) noexcept = default;
    Surface& operator=(Surface&&) noexcept = default;

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    std::size_t stride() const { return stride_; }

    std::uint8_t* row(int y) { return bytes() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* row(int y) const { return bytes() + static_cast<std::size_t>(y) * stride_; }
    std::uint32_t* rgbRow(int y) { return reinterpret_cast<std::uint32_t*>(row(y)); }
    const std::uint32_t* rgbRow(int y) const { return reinterpret_cast<const std::uint32_t*>(row(y)); }

    // Row length as Win32 reports it for a device-dependent bitmap
    // (bmWidthBytes): rows padded to a 16-bit boundary.
    LONG win32RowBytes() const;

private:
    std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(words_.get()); }
    const std::uint8_t* bytes() const { return reinterpret_cast<const std::uint8_t*>(words_.get()); }

    struct Free {
        void operator()(std::uint64_t* p) const { std::free(p); }
    };

    int width_;
    int height_;
    PixelFormat format_;
    std::size_t stride_;
    // From calloc: a large bitmap then gets pages the system has already
    // zeroed, touched only when drawn, instead of being cleared by hand.
    std::unique_ptr<std::uint64_t[], Free> words_;
};

// Pixel x of a monochrome row: leftmost pixel in the top bit of each byte.
inline bool monoBit(const std::uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }
inline void setMonoBit(std::uint8_t* row, int x, bool value) {
    const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = static_cast<std::uint8_t>(value ? row[x >> 3] | mask : row[x >> 3] & ~mask);
}

// Colour conversions between COLORREF (0x00BBGGRR) and a 32-bit pixel
// (0x00RRGGBB). The flag byte of a COLORREF is dropped.
inline std::uint32_t pixelFromColor(COLORREF c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF colorFromPixel(std::uint32_t p) {
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}
// A colour drawn into a monochrome bitmap becomes white (1) when it is
// nearer white than black, as GDI maps pens, brushes and SetPixel there.
inline bool monoBitFromColor(COLORREF c) {
    const unsigned sum = (c & 0xFFu) + ((c >> 8) & 0xFFu) + ((c >> 16) & 0xFFu);
    return sum >= 384;
}

enum class ObjectKind { Bitmap, Brush, Pen, Font };

struct GdiObject {
    explicit GdiObject(ObjectKind k) : kind(k) {}
    virtual ~GdiObject() = default;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    const ObjectKind kind;
    bool stock = false;          // shared by the system, never deleted
    int selectCount = 0;         // device contexts it is selected into
    bool deletePending = false;  // DeleteObject came while it was selected
    HGDIOBJ handle = nullptr;    // its own handle, set by the table
};

struct Bitmap final : GdiObject {
    Bitmap(int width, int height, PixelFormat format) : GdiObject(ObjectKind::Bitmap), surface(width, height, format) {}
    Surface surface;
};

struct Brush final : GdiObject {
    Brush(bool hollow, COLORREF c) : GdiObject(ObjectKind::Brush), isHollow(hollow), color(c) {}
    bool isHollow;
    COLORREF color;
};

// Pens are one pixel wide: wider ones are not provided here.
struct Pen final : GdiObject {
    Pen(bool null, COLORREF c) : GdiObject(ObjectKind::Pen), isNull(null), color(c) {}
    bool isNull;
    COLORREF color;
};

// Fonts are made by the text module, which derives its own type from this.
struct FontObject : GdiObject {
    FontObject() : GdiObject(ObjectKind::Font) {}
    LOGFONTA logFont{};
};

// Made by the text module for CreateFontA and the stock system font; null
// when no face can be found for the request.
std::unique_ptr<FontObject> createFontObject(const LOGFONTA& request);

struct DeviceContext {
    // The surface drawn into: the selected bitmap of a memory context, or
    // the frame of the window a window context belongs to. Never null.
    Bitmap* bitmap = nullptr;
    bool isWindow = false;
    // A window context calls this after every drawing operation, so the
    // backend can show the frame; memory contexts leave it empty.
    std::function<void()> onDrawn;

    Brush* brush = nullptr;
    Pen* pen = nullptr;
    FontObject* font = nullptr;  // null: the stock system font

    COLORREF bkColor = 0x00FFFFFF;
    COLORREF textColor = 0x00000000;
    int bkMode = OPAQUE;

    HDC handle = nullptr;

    // Tells a window context's owner that its frame changed.
    void drawn() const {
        if (onDrawn) onDrawn();
    }
};

// ---- The handle table --------------------------------------------------

// Registers a new object and returns its handle.
HGDIOBJ addObject(std::unique_ptr<GdiObject> object);
// The live object behind a handle, or null for NULL, unknown or deleted ones.
GdiObject* findObject(HGDIOBJ handle);
template <class T>
T* findObjectAs(HGDIOBJ handle, ObjectKind kind) {
    GdiObject* o = findObject(handle);
    return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
inline Bitmap* findBitmap(HGDIOBJ h) { return findObjectAs<Bitmap>(h, ObjectKind::Bitmap); }

// The 1x1 monochrome bitmap every new memory context starts with.
Bitmap& defaultBitmap();

// Selection bookkeeping: counts the selections of an object and frees one
// whose deletion was put off once its last context lets go of it.
void retain(GdiObject* o);
void release(GdiObject* o);

DeviceContext* findDC(HDC handle);

// A context drawing into a window's frame. The frame stays owned by the
// caller (the window layer) and must outlive the context; onDrawn runs after
// every drawing operation into it.
HDC createWindowDC(Bitmap& frame, std::function<void()> onDrawn);
// Frees a context made by createWindowDC; false for any other handle.
bool releaseWindowDC(HDC hdc);

}  // namespace platform::gdi
