#include "user/resfile.h"

#include "gdi/utf8.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace platform::user {

std::string upperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool ResourceId::operator==(const ResourceId& other) const {
    if (isNumber != other.isNumber) return false;
    return isNumber ? number == other.number : upperCase(text) == upperCase(other.text);
}

ResourceId ResourceId::fromWin32(LPCSTR name) {
    const auto value = reinterpret_cast<std::uintptr_t>(name);
    if (value >> 16 == 0) return fromNumber(static_cast<WORD>(value));
    if (name[0] == '#') {
        char* end = nullptr;
        const unsigned long n = std::strtoul(name + 1, &end, 10);
        if (end != name + 1 && *end == '\0' && n <= 0xFFFF) return fromNumber(static_cast<WORD>(n));
    }
    return fromText(name);
}

namespace {

// A bounds-checked little-endian reader over untrusted bytes. Once a read
// runs past the end it stays failed, so a parser checks ok() once at the end
// of each record instead of after every field.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    std::size_t offset() const { return offset_; }
    std::size_t remaining() const { return ok_ ? bytes_.size() - offset_ : 0; }

    void seek(std::size_t offset) {
        if (offset > bytes_.size()) ok_ = false;
        else offset_ = offset;
    }
    void alignTo(std::size_t n) { seek((offset_ + n - 1) / n * n); }

    WORD word() {
        if (!need(2)) return 0;
        const WORD v = static_cast<WORD>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
        offset_ += 2;
        return v;
    }
    DWORD dword() {
        const DWORD lo = word();
        const DWORD hi = word();
        return lo | (hi << 16);
    }
    short int16() { return static_cast<short>(word()); }

    std::span<const std::uint8_t> take(std::size_t n) {
        if (!need(n)) return {};
        const auto s = bytes_.subspan(offset_, n);
        offset_ += n;
        return s;
    }

    // A NUL-terminated UTF-16 string, converted to UTF-8.
    std::string string16() {
        std::string out;
        while (ok_) {
            const WORD c = word();
            if (!ok_ || c == 0) break;
            appendUtf8(out, c);
        }
        return out;
    }

    // A name that is either 0xFFFF followed by a 16-bit id, or a string.
    ResourceId nameOrId() {
        if (!need(2)) return {};
        const WORD first = static_cast<WORD>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
        if (first == 0xFFFF) {
            word();
            return ResourceId::fromNumber(word());
        }
        return ResourceId::fromText(string16());
    }

    // The dialog template form: 0 for none, 0xFFFF and an id, or a string.
    ResourceId zeroNameOrId() {
        if (!need(2)) return {};
        const WORD first = static_cast<WORD>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
        if (first == 0) {
            word();
            return ResourceId::fromNumber(0);
        }
        return nameOrId();
    }

private:
    bool need(std::size_t n) {
        if (!ok_ || bytes_.size() - offset_ < n) ok_ = false;
        return ok_;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

}  // namespace

std::optional<std::vector<ResourceEntry>> parseResFile(std::span<const std::uint8_t> image) {
    std::vector<ResourceEntry> entries;
    Reader r(image);
    bool first = true;
    while (r.remaining() > 0) {
        const std::size_t start = r.offset();
        const DWORD dataSize = r.dword();
        const DWORD headerSize = r.dword();
        if (!r.ok() || headerSize < 16 || headerSize > image.size() - start) return std::nullopt;

        // The names and fixed fields lie inside the header.
        Reader header(image.subspan(start + 8, headerSize - 8));
        ResourceEntry e;
        e.type = header.nameOrId();
        e.name = header.nameOrId();
        header.alignTo(4);
        header.dword();  // data version
        header.word();   // memory flags
        e.language = header.word();
        header.dword();  // version
        header.dword();  // characteristics
        if (!header.ok()) return std::nullopt;

        r.seek(start + headerSize);
        e.data = r.take(dataSize);
        if (!r.ok()) return std::nullopt;
        r.alignTo(4);
        if (!r.ok()) r = Reader({});  // the last entry may end unpadded

        // The image starts with an empty entry that marks the format.
        const bool marker = first && dataSize == 0 && e.type == ResourceId::fromNumber(0);
        first = false;
        if (!marker) entries.push_back(std::move(e));
    }
    return entries;
}

std::optional<DialogTemplate> parseDialogTemplate(std::span<const std::uint8_t> data) {
    Reader r(data);
    DialogTemplate t;
    t.style = r.dword();
    t.exStyle = r.dword();
    // The extended form begins with version 1 and signature 0xFFFF instead.
    if ((t.style & 0xFFFF0000u) == 0xFFFF0000u && (t.style & 0xFFFF) == 1) return std::nullopt;
    const WORD count = r.word();
    t.x = r.int16();
    t.y = r.int16();
    t.cx = r.int16();
    t.cy = r.int16();
    t.menu = r.zeroNameOrId();
    t.windowClass = r.zeroNameOrId();
    t.title = r.string16();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.word();
        t.font = r.string16();
    }
    if (!r.ok()) return std::nullopt;
    for (WORD i = 0; i < count; ++i) {
        r.alignTo(4);
        DialogItem item;
        item.style = r.dword();
        item.exStyle = r.dword();
        item.x = r.int16();
        item.y = r.int16();
        item.cx = r.int16();
        item.cy = r.int16();
        item.id = r.word();
        item.windowClass = r.nameOrId();
        item.text = r.nameOrId();
        const WORD extra = r.word();
        r.take(extra);
        if (!r.ok()) return std::nullopt;
        t.items.push_back(std::move(item));
    }
    return t;
}

namespace {

constexpr WORD kMenuPopup = 0x10;
constexpr WORD kMenuEnd = 0x80;

// Items up to and including the one marked as the last; popups nest. Depth
// is bounded so a hostile template cannot exhaust the stack.
bool parseMenuItems(Reader& r, std::vector<MenuItem>& items, int depth) {
    if (depth > 16) return false;
    while (true) {
        MenuItem item;
        item.flags = r.word();
        if (!(item.flags & kMenuPopup)) item.id = r.word();
        item.text = r.string16();
        if (!r.ok()) return false;
        if ((item.flags & kMenuPopup) && !parseMenuItems(r, item.children, depth + 1)) return false;
        const bool last = item.flags & kMenuEnd;
        items.push_back(std::move(item));
        if (last) return true;
    }
}

}  // namespace

std::optional<std::vector<MenuItem>> parseMenuTemplate(std::span<const std::uint8_t> data) {
    Reader r(data);
    const WORD version = r.word();
    const WORD headerExtra = r.word();
    if (!r.ok() || version != 0) return std::nullopt;  // only the standard form
    r.take(headerExtra);
    std::vector<MenuItem> items;
    if (!parseMenuItems(r, items, 0)) return std::nullopt;
    return items;
}

std::optional<std::vector<Accelerator>> parseAcceleratorTable(std::span<const std::uint8_t> data) {
    Reader r(data);
    std::vector<Accelerator> table;
    while (true) {
        Accelerator a;
        a.flags = r.word();
        a.key = r.word();
        a.command = r.word();
        r.word();  // padding
        if (!r.ok()) return std::nullopt;
        table.push_back(a);
        if (a.flags & 0x80) return table;
    }
}

}  // namespace platform::user
