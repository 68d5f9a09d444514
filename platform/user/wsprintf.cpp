// wsprintfA: Windows' small formatter. It knows %c, %d, %i, %u, %x, %X, %s
// and %% with flags '-', '0', '#', a width, a precision and the size prefixes
// 'l' and 'h', and writes at most 1024 characters including the terminator,
// as Windows does. It formats straight into the caller's buffer, without
// allocating: the saver formats a caption and a countdown every frame.
#include <windows.h>

#include <cstdarg>
#include <cstring>

namespace {

constexpr std::size_t kLimit = 1024;

// Appends to the caller's buffer, silently stopping at the limit.
class Output {
public:
    explicit Output(char* buffer) : buffer_(buffer) {}

    void put(char c) {
        if (length_ < kLimit - 1) buffer_[length_++] = c;
    }
    void put(const char* s, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) put(s[i]);
    }
    void repeat(char c, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) put(c);
    }
    bool full() const { return length_ >= kLimit - 1; }
    int finish() {
        buffer_[length_] = '\0';
        return static_cast<int>(length_);
    }

private:
    char* buffer_;
    std::size_t length_ = 0;
};

struct FieldFormat {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
};

// A field: optional prefix (sign or 0x), zero padding up to `precision`
// digits, then the body, padded to the width.
void pad(Output& out, const FieldFormat& field, const char* prefix, const char* body, std::size_t bodyLength,
           std::size_t minDigits = 0) {
    const std::size_t prefixLength = std::strlen(prefix);
    const std::size_t digitsPad = minDigits > bodyLength ? minDigits - bodyLength : 0;
    const std::size_t length = prefixLength + digitsPad + bodyLength;
    const std::size_t fill = field.width > 0 && static_cast<std::size_t>(field.width) > length
                                 ? static_cast<std::size_t>(field.width) - length
                                 : 0;
    if (!field.leftAlign && !field.zeroPad) out.repeat(' ', fill);
    out.put(prefix, prefixLength);
    if (!field.leftAlign && field.zeroPad) out.repeat('0', fill);
    out.repeat('0', digitsPad);
    out.put(body, bodyLength);
    if (field.leftAlign) out.repeat(' ', fill);
}

// The digits of v in base 10 or 16, written backwards into the end of
// `space`; returns where they start.
char* digits(unsigned long long v, unsigned base, bool upper, char* end) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char* p = end;
    do {
        *--p = set[v % base];
        v /= base;
    } while (v);
    return p;
}

}  // namespace

extern "C" {

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    if (!buffer || !format) return 0;
    std::va_list args;
    va_start(args, format);
    Output out(buffer);
    char number[24];
    char* const numberEnd = number + sizeof number;
    for (const char* p = format; *p && !out.full(); ++p) {
        if (*p != '%') {
            out.put(*p);
            continue;
        }
        ++p;
        FieldFormat field;
        bool alternate = false;
        for (;; ++p) {
            if (*p == '-') field.leftAlign = true;
            else if (*p == '0') field.zeroPad = true;
            else if (*p == '#') alternate = true;
            else break;
        }
        while (*p >= '0' && *p <= '9') field.width = field.width * 10 + (*p++ - '0');
        int precision = -1;
        if (*p == '.') {
            precision = 0;
            ++p;
            while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
        }
        while (*p == 'l' || *p == 'h') ++p;  // int and long are both 32 bits here
        const std::size_t minDigits = precision > 0 ? static_cast<std::size_t>(precision) : 0;
        switch (*p) {
        case 'd':
        case 'i': {
            const long long v = va_arg(args, int);
            const char* start = digits(static_cast<unsigned long long>(v < 0 ? -v : v), 10, false, numberEnd);
            pad(out, field, v < 0 ? "-" : "", start, static_cast<std::size_t>(numberEnd - start), minDigits);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            const unsigned v = va_arg(args, unsigned);
            const unsigned base = *p == 'u' ? 10 : 16;
            const char* start = digits(v, base, *p == 'X', numberEnd);
            const char* prefix = alternate && base == 16 ? (*p == 'X' ? "0X" : "0x") : "";
            pad(out, field, prefix, start, static_cast<std::size_t>(numberEnd - start), minDigits);
            break;
        }
        case 'c': {
            const char c = static_cast<char>(va_arg(args, int));
            field.zeroPad = false;
            pad(out, field, "", &c, 1);
            break;
        }
        case 's': {
            const char* s = va_arg(args, const char*);
            if (!s) s = "(null)";
            // With a precision, the text need not be terminated within it.
            const std::size_t n = precision >= 0 ? strnlen(s, static_cast<std::size_t>(precision)) : std::strlen(s);
            field.zeroPad = false;
            pad(out, field, "", s, n);
            break;
        }
        case '%': out.put('%'); break;
        case '\0': --p; break;  // a lone '%' at the end
        default: out.put(*p); break;  // unknown conversions print their letter
        }
    }
    va_end(args);
    return out.finish();
}

}  // extern "C"
