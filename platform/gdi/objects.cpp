// The handle table, surfaces, and the Win32 object functions that work on
// any GDI object: GetStockObject, SelectObject, DeleteObject, GetObjectA.
#include "gdi/objects.h"

#include "kernel/no_memory.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

namespace platform::gdi {

Surface::Surface(int width, int height, PixelFormat format) : width_(width), height_(height), format_(format) {
    const std::size_t rowBits =
        format == PixelFormat::Mono1 ? static_cast<std::size_t>(width) : static_cast<std::size_t>(width) * 32;
    stride_ = (rowBits + 63) / 64 * 8;
    // One spare word past the last row: see the class comment.
    words_.reset(static_cast<std::uint64_t*>(std::calloc(stride_ / 8 * static_cast<std::size_t>(height) + 1, 8)));
    if (!words_) throw std::bad_alloc();
}

Surface::Surface(const Surface& other) : Surface(other.width_, other.height_, other.format_) {
    std::memcpy(bytes(), other.bytes(), stride_ * static_cast<std::size_t>(height_));
}

Surface& Surface::operator=(const Surface& other) {
    if (this != &other) *this = Surface(other);
    return *this;
}

LONG Surface::win32RowBytes() const {
    const LONG bits = format_ == PixelFormat::Mono1 ? width_ : width_ * 32;
    return (bits + 15) / 16 * 2;
}

namespace {

struct Table {
    // Handles are numbers handed out once, never reused; they start high and
    // step by 4 so that they look like (and never collide with) small values.
    std::uintptr_t nextHandle = 0x10000;
    std::unordered_map<std::uintptr_t, std::unique_ptr<GdiObject>> objects;
    std::unordered_map<std::uintptr_t, std::unique_ptr<DeviceContext>> contexts;

    std::uintptr_t newHandle() {
        const std::uintptr_t h = nextHandle;
        nextHandle += 4;
        return h;
    }
};

Table& table() {
    static Table t;
    return t;
}

std::uintptr_t key(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

template <class T>
T* addStock(std::unique_ptr<T> object) {
    T* o = object.get();
    o->stock = true;
    addObject(std::move(object));
    return o;
}

// The stock brushes, pens and default bitmap, made on first use. Every path
// that hands one of them out (GetStockObject, a new context's defaults,
// defaultBitmap) goes through stock(), so handle lookups need not.
struct StockObjects {
    Brush* brushes[6];  // WHITE_BRUSH .. NULL_BRUSH
    Pen* pens[3];       // WHITE_PEN .. NULL_PEN
    Bitmap* defaultBitmap;

    StockObjects() {
        const COLORREF brushColors[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000, 0x000000};
        for (int i = 0; i < 6; ++i) brushes[i] = addStock(std::make_unique<Brush>(i == NULL_BRUSH, brushColors[i]));
        pens[0] = addStock(std::make_unique<Pen>(false, 0xFFFFFF));
        pens[1] = addStock(std::make_unique<Pen>(false, 0x000000));
        pens[2] = addStock(std::make_unique<Pen>(true, 0x000000));
        defaultBitmap = addStock(std::make_unique<Bitmap>(1, 1, PixelFormat::Mono1));
    }
};

StockObjects& stock() {
    static StockObjects s;
    return s;
}

// The stock system font is made on first use, since finding a face is not free.
HGDIOBJ systemFont() {
    static HGDIOBJ font = [] {
        LOGFONTA request{};
        request.lfHeight = 16;
        request.lfWeight = FW_BOLD;
        request.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        std::strcpy(request.lfFaceName, "System");
        std::unique_ptr<FontObject> f = createFontObject(request);
        return f ? addStock(std::move(f))->handle : HGDIOBJ{};
    }();
    return font;
}

void destroy(GdiObject* o) { table().objects.erase(key(o->handle)); }

}  // namespace

HGDIOBJ addObject(std::unique_ptr<GdiObject> object) {
    Table& t = table();
    const std::uintptr_t h = t.newHandle();
    object->handle = reinterpret_cast<HGDIOBJ>(h);
    // Should the table have no room, nothing is registered and the object
    // is freed.
    t.objects.emplace(h, std::move(object));
    return reinterpret_cast<HGDIOBJ>(h);
}

GdiObject* findObject(HGDIOBJ handle) {
    if (!handle) return nullptr;
    Table& t = table();
    const auto it = t.objects.find(key(handle));
    return it == t.objects.end() || it->second->deletePending ? nullptr : it->second.get();
}

Bitmap& defaultBitmap() { return *stock().defaultBitmap; }

void retain(GdiObject* o) {
    if (o) ++o->selectCount;
}

void release(GdiObject* o) {
    if (!o) return;
    if (--o->selectCount == 0 && o->deletePending) destroy(o);
}

DeviceContext* findDC(HDC handle) {
    if (!handle) return nullptr;
    Table& t = table();
    const auto it = t.contexts.find(key(handle));
    return it == t.contexts.end() ? nullptr : it->second.get();
}

namespace {

// Registers a new context holding `bitmap` and the default brush and pen.
// The objects are counted as selected only once the context is in the
// table, so a table with no room leaves every count as it was.
HDC addContext(std::unique_ptr<DeviceContext> dc, Bitmap* bitmap) {
    Table& t = table();
    StockObjects& s = stock();
    const std::uintptr_t h = t.newHandle();
    dc->handle = reinterpret_cast<HDC>(h);
    dc->bitmap = bitmap;
    dc->brush = s.brushes[WHITE_BRUSH];
    dc->pen = s.pens[BLACK_PEN - WHITE_PEN];
    DeviceContext& added = *t.contexts.emplace(h, std::move(dc)).first->second;
    if (!added.isWindow) retain(added.bitmap);
    retain(added.brush);
    retain(added.pen);
    return reinterpret_cast<HDC>(h);
}

void removeContext(DeviceContext* dc) {
    if (!dc->isWindow) release(dc->bitmap);
    release(dc->brush);
    release(dc->pen);
    release(dc->font);
    table().contexts.erase(key(dc->handle));
}

}  // namespace

HDC createWindowDC(Bitmap& frame, std::function<void()> onDrawn) {
    auto dc = std::make_unique<DeviceContext>();
    dc->isWindow = true;
    dc->onDrawn = std::move(onDrawn);
    return addContext(std::move(dc), &frame);
}

bool releaseWindowDC(HDC hdc) {
    DeviceContext* dc = findDC(hdc);
    if (!dc || !dc->isWindow) return false;
    removeContext(dc);
    return true;
}

}  // namespace platform::gdi

using namespace platform::gdi;
using platform::kernel::failOnNoMemory;

namespace {

// Puts `o` in a context's slot; returns the handle of what was there. The
// previous object is let go of after its handle is read, since letting go
// may free it.
template <class T>
HGDIOBJ swapSelection(T*& slot, T* o) {
    T* previous = slot;
    retain(o);
    slot = o;
    const HGDIOBJ previousHandle = previous ? previous->handle : nullptr;
    release(previous);
    return previousHandle;
}

}  // namespace

extern "C" {

HDC WINAPI CreateCompatibleDC(HDC hdc) {
    // NULL asks for a context compatible with the screen; any other handle
    // must be a live context.
    if (hdc && !findDC(hdc)) return nullptr;
    return failOnNoMemory(HDC{}, [] { return addContext(std::make_unique<DeviceContext>(), &defaultBitmap()); });
}

BOOL WINAPI DeleteDC(HDC hdc) {
    DeviceContext* dc = findDC(hdc);
    if (!dc || dc->isWindow) return FALSE;  // window contexts go back with ReleaseDC
    removeContext(dc);
    return TRUE;
}

// The stock objects are made on first use, the system font too.
HGDIOBJ WINAPI GetStockObject(int i) {
    return failOnNoMemory(HGDIOBJ{}, [i]() -> HGDIOBJ {
        StockObjects& s = stock();
        if (i >= WHITE_BRUSH && i <= NULL_BRUSH) return s.brushes[i]->handle;
        if (i >= WHITE_PEN && i <= NULL_PEN) return s.pens[i - WHITE_PEN]->handle;
        if (i == SYSTEM_FONT) return systemFont();
        return nullptr;
    });
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    return failOnNoMemory(
        HBRUSH{}, [color] { return static_cast<HBRUSH>(addObject(std::make_unique<Brush>(false, color & 0xFFFFFF))); });
}

// Solid and null pens one pixel wide; wider pens are not provided here.
HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
    if ((iStyle != PS_SOLID && iStyle != PS_NULL) || cWidth > 1) return nullptr;
    return failOnNoMemory(HPEN{}, [iStyle, color] {
        return static_cast<HPEN>(addObject(std::make_unique<Pen>(iStyle == PS_NULL, color & 0xFFFFFF)));
    });
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    DeviceContext* dc = findDC(hdc);
    GdiObject* o = findObject(h);
    if (!dc || !o) return nullptr;
    switch (o->kind) {
    case ObjectKind::Bitmap: {
        auto* bitmap = static_cast<Bitmap*>(o);
        // A window context draws into its window; a bitmap other than the
        // shared default lives in one memory context at a time.
        if (dc->isWindow) return nullptr;
        if (bitmap == dc->bitmap) return bitmap->handle;
        if (!bitmap->stock && bitmap->selectCount > 0) return nullptr;
        return swapSelection(dc->bitmap, bitmap);
    }
    case ObjectKind::Brush: return swapSelection(dc->brush, static_cast<Brush*>(o));
    case ObjectKind::Pen: return swapSelection(dc->pen, static_cast<Pen*>(o));
    case ObjectKind::Font: {
        // No font selected means the stock system font, made on first use.
        const HGDIOBJ previous = dc->font ? nullptr : GetStockObject(SYSTEM_FONT);
        const HGDIOBJ swapped = swapSelection(dc->font, static_cast<FontObject*>(o));
        return previous ? previous : swapped;
    }
    }
    return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    GdiObject* o = findObject(ho);
    if (!o) return FALSE;
    if (o->stock) return TRUE;  // stock objects are shared and stay
    // An object still selected somewhere is freed when it is let go of, so
    // no context ever draws with a freed object.
    if (o->selectCount > 0) {
        o->deletePending = true;
        return TRUE;
    }
    destroy(o);
    return TRUE;
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
    GdiObject* o = findObject(h);
    if (!o) return 0;
    switch (o->kind) {
    case ObjectKind::Bitmap: {
        const Surface& s = static_cast<Bitmap*>(o)->surface;
        if (!pv) return sizeof(BITMAP);
        if (c < static_cast<int>(sizeof(BITMAP))) return 0;
        BITMAP bm{};
        bm.bmType = 0;
        bm.bmWidth = s.width();
        bm.bmHeight = s.height();
        bm.bmWidthBytes = s.win32RowBytes();
        bm.bmPlanes = 1;
        bm.bmBitsPixel = s.format() == PixelFormat::Mono1 ? 1 : 32;
        bm.bmBits = nullptr;  // device-dependent bitmaps expose no bits
        std::memcpy(pv, &bm, sizeof bm);
        return sizeof(BITMAP);
    }
    case ObjectKind::Brush: {
        const auto* b = static_cast<Brush*>(o);
        LOGBRUSH lb{b->isHollow ? static_cast<UINT>(BS_NULL) : static_cast<UINT>(BS_SOLID), b->color, 0};
        if (!pv) return sizeof lb;
        const int n = c < static_cast<int>(sizeof lb) ? c : static_cast<int>(sizeof lb);
        if (n <= 0) return 0;
        std::memcpy(pv, &lb, static_cast<std::size_t>(n));
        return n;
    }
    case ObjectKind::Pen: {
        const auto* p = static_cast<Pen*>(o);
        LOGPEN lp{p->isNull ? static_cast<UINT>(PS_NULL) : static_cast<UINT>(PS_SOLID), {1, 0}, p->color};
        if (!pv) return sizeof lp;
        if (c < static_cast<int>(sizeof lp)) return 0;
        std::memcpy(pv, &lp, sizeof lp);
        return sizeof lp;
    }
    case ObjectKind::Font: {
        const auto* f = static_cast<FontObject*>(o);
        if (!pv) return sizeof(LOGFONTA);
        const int n = c < static_cast<int>(sizeof(LOGFONTA)) ? c : static_cast<int>(sizeof(LOGFONTA));
        if (n <= 0) return 0;
        std::memcpy(pv, &f->logFont, static_cast<std::size_t>(n));
        return n;
    }
    }
    return 0;
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
    if (DeviceContext* dc = findDC(static_cast<HDC>(h))) return dc->isWindow ? OBJ_DC : OBJ_MEMDC;
    GdiObject* o = findObject(h);
    if (!o) return 0;
    switch (o->kind) {
    case ObjectKind::Bitmap: return OBJ_BITMAP;
    case ObjectKind::Brush: return OBJ_BRUSH;
    case ObjectKind::Pen: return OBJ_PEN;
    case ObjectKind::Font: return OBJ_FONT;
    }
    return 0;
}

}  // extern "C"
