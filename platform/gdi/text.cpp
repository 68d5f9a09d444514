// Text: fonts found through Fontconfig, opened and rendered with FreeType,
// drawn into device contexts the way GDI's TextOut does.
//
// A font is sized as GDI sizes a TrueType font: a positive height is the
// character cell (ascent plus descent, taken from the OS/2 table's Windows
// metrics), a negative one is the em height. Glyphs are rendered without
// antialiasing unless antialiasing is asked for, so every pixel text touches
// is exactly the text colour, and each font keeps the glyphs it has rendered.
#include "gdi/objects.h"
#include "gdi/raster.h"
#include "gdi/utf8.h"
#include "kernel/no_memory.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define POMRIVEL_HAS_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POMRIVEL_HAS_LSAN 1
#endif
#endif
#ifdef POMRIVEL_HAS_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace platform::gdi {
namespace {

// Fonts taller or wider than this are refused: one glyph of such a font
// would already take tens of megabytes.
constexpr std::int64_t kMaxFontPixels = 4096;
// The cell height GDI uses when a request gives height 0.
constexpr int kDefaultCellHeight = 16;
// Shear of a synthesised italic: tan(12 degrees) in 16.16.
constexpr FT_Fixed kObliqueShear = 0x0366A;

// Characters are Windows-1252 bytes. Only 0x80-0x9F differ from Unicode;
// the five bytes the code page leaves undefined map to themselves.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t codepointOf(unsigned char c) {
    return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
}

std::string utf8FromAnsi(const char* s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) appendUtf8(out, codepointOf(static_cast<unsigned char>(s[i])));
    return out;
}

// ---- FreeType and Fontconfig handles -----------------------------------

// The FreeType library instance, shared by every face opened from it and
// freed with the last of them, whatever order static objects die in.
class Library {
public:
    static std::shared_ptr<Library> instance() {
        static std::shared_ptr<Library> lib = [] {
            FT_Library handle = nullptr;
            return FT_Init_FreeType(&handle) == 0 ? std::shared_ptr<Library>(new Library(handle)) : nullptr;
        }();
        return lib;
    }
    ~Library() { FT_Done_FreeType(handle_); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    FT_Library get() const { return handle_; }

private:
    explicit Library(FT_Library h) : handle_(h) {}
    FT_Library handle_;
};

struct FaceCloser {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceCloser>;

struct PatternDestroyer {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDestroyer {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// Loads Fontconfig's configuration once. Fontconfig keeps a few blocks it
// allocates while parsing its configuration files and never frees them; a
// leak checker is told to look away from that one-time load.
bool fontconfigReady() {
    static const bool ready = [] {
#ifdef POMRIVEL_HAS_LSAN
        __lsan_disable();
#endif
        const bool ok = FcInit() == FcTrue;
#ifdef POMRIVEL_HAS_LSAN
        __lsan_enable();
#endif
        return ok;
    }();
    return ready;
}

// ---- Choosing a face ---------------------------------------------------

struct Candidate {
    std::string file;
    int index;
    bool fixedPitch;
};

bool wantsFixedPitch(const LOGFONTA& lf) {
    return (lf.lfPitchAndFamily & 0x03) == FIXED_PITCH;
}

// The generic family that stands in when the named face is not installed,
// as GDI's font mapper falls back on the requested pitch and family.
const char* genericFamily(const LOGFONTA& lf) {
    if (wantsFixedPitch(lf)) return "monospace";
    switch (lf.lfPitchAndFamily & 0xF0) {
        case FF_ROMAN: return "serif";
        case FF_MODERN: return "monospace";
        case FF_SCRIPT: return "cursive";
        case FF_DECORATIVE: return "fantasy";
        default: return "sans-serif";
    }
}

// Scalable faces in the order Fontconfig ranks them for the request. When a
// fixed pitch is asked for, fixed-pitch faces come first: GDI weighs pitch
// above the face name, so "Arial" in fixed pitch gives a monospaced face.
std::vector<Candidate> candidateFaces(const LOGFONTA& lf) {
    std::vector<Candidate> found;
    if (!fontconfigReady()) return found;
    std::unique_ptr<FcPattern, PatternDestroyer> pattern(FcPatternCreate());
    if (!pattern) return found;
    FcPattern* p = pattern.get();

    const std::string name = utf8FromAnsi(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    if (!name.empty()) FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(genericFamily(lf)));
    if (lf.lfWeight > 0) FcPatternAddInteger(p, FC_WEIGHT, FcWeightFromOpenType(std::min<LONG>(lf.lfWeight, 1000)));
    FcPatternAddInteger(p, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (wantsFixedPitch(lf)) FcPatternAddInteger(p, FC_SPACING, FC_MONO);
    FcPatternAddBool(p, FC_SCALABLE, FcTrue);
    if (!FcConfigSubstitute(nullptr, p, FcMatchPattern)) return found;
    FcDefaultSubstitute(p);

    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, FontSetDestroyer> set(FcFontSort(nullptr, p, FcFalse, nullptr, &result));
    if (!set) return found;
    for (int i = 0; i < set->nfont; ++i) {
        const FcPattern* font = set->fonts[i];
        FcChar8* file = nullptr;
        FcBool scalable = FcFalse;
        int index = 0;
        int spacing = FC_PROPORTIONAL;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) continue;
        if (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable) continue;
        FcPatternGetInteger(font, FC_INDEX, 0, &index);
        FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
        found.push_back({reinterpret_cast<const char*>(file), index, spacing == FC_MONO || spacing == FC_CHARCELL});
    }
    if (wantsFixedPitch(lf)) {
        std::stable_partition(found.begin(), found.end(), [](const Candidate& c) { return c.fixedPitch; });
    }
    return found;
}

// ---- Fonts -------------------------------------------------------------

// One rendered character: coverage 0..255 per pixel, row by row, placed
// relative to the pen on the baseline.
struct Glyph {
    bool rendered = false;
    int left = 0;  // from the pen to the first column
    int top = 0;   // from the baseline up to the first row
    int width = 0;
    int height = 0;
    int advance = 0;
    std::vector<std::uint8_t> coverage;
};

// A horizontal band of the cell drawn across the text: underline, strikeout.
struct Stroke {
    int top;  // first row, from the top of the cell
    int thickness;
};

class Font final : public FontObject {
public:
    static std::unique_ptr<Font> open(const LOGFONTA& request);

    int cellHeight() const { return ascent_ + descent_; }
    int ascent() const { return ascent_; }
    bool underlined() const { return logFont.lfUnderline != 0; }
    bool struckOut() const { return logFont.lfStrikeOut != 0; }
    Stroke underline() const { return underline_; }
    Stroke strikeout() const { return strikeout_; }

    // The glyph of a character, rendered on first use and kept.
    const Glyph& glyph(unsigned char c);
    // Sum of the advances, as GetTextExtentPoint32 reports it.
    std::int64_t extent(const unsigned char* s, std::size_t n) {
        std::int64_t width = 0;
        for (std::size_t i = 0; i < n; ++i) width += glyph(s[i]).advance;
        return width;
    }
    void metrics(TEXTMETRICA& tm) const;

private:
    Font(std::shared_ptr<Library> lib, FacePtr face) : library_(std::move(lib)), face_(std::move(face)) {}
    bool setUp(bool fixedPitch);
    Glyph render(unsigned char c);

    std::shared_ptr<Library> library_;  // declared first: outlives the face
    FacePtr face_;
    bool antialiased_ = false;
    bool symbolMap_ = false;  // the face has only a symbol character map
    FT_Pos embolden_ = 0;     // synthetic bold stroke, 26.6 pixels; 0 for none
    bool oblique_ = false;    // synthetic italic
    int ascent_ = 0;
    int descent_ = 0;
    int internalLeading_ = 0;
    int externalLeading_ = 0;
    int aveCharWidth_ = 0;
    int maxCharWidth_ = 0;
    int weight_ = FW_NORMAL;
    BYTE pitchAndFamily_ = 0;
    Stroke underline_{};
    Stroke strikeout_{};
    std::array<Glyph, 256> glyphs_;
};

std::unique_ptr<Font> Font::open(const LOGFONTA& request) {
    // 64-bit: the request may be INT_MIN.
    const auto tooBig = [](LONG v) { return std::abs(std::int64_t{v}) > kMaxFontPixels; };
    if (tooBig(request.lfHeight) || tooBig(request.lfWidth)) return nullptr;
    std::shared_ptr<Library> lib = Library::instance();
    if (!lib) return nullptr;
    for (const Candidate& c : candidateFaces(request)) {
        FT_Face raw = nullptr;
        if (FT_New_Face(lib->get(), c.file.c_str(), c.index, &raw) != 0) continue;
        FacePtr face(raw);
        if (!FT_IS_SCALABLE(raw) || raw->units_per_EM == 0) continue;
        std::unique_ptr<Font> font(new Font(lib, std::move(face)));
        font->logFont = request;
        if (font->setUp(c.fixedPitch)) return font;
    }
    return nullptr;
}

// Sizes the face for the request and works out the metrics GDI reports.
bool Font::setUp(bool fixedPitch) {
    FT_Face face = face_.get();
    const LOGFONTA& lf = logFont;
    const double upem = face->units_per_EM;

    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
        symbolMap_ = FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;
    }

    // The cell is the Windows ascent and descent of the OS/2 table; fonts
    // without one use the horizontal header's.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version == 0xFFFF) os2 = nullptr;
    double cellAscent = face->ascender;
    double cellDescent = -face->descender;
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        cellAscent = os2->usWinAscent;
        cellDescent = os2->usWinDescent;
    }
    if (cellAscent + cellDescent <= 0) {
        cellAscent = upem * 0.8;
        cellDescent = upem * 0.2;
    }
    const double cellUnits = cellAscent + cellDescent;

    // Both within kMaxFontPixels, checked by open().
    const int height = lf.lfHeight == 0 ? kDefaultCellHeight : static_cast<int>(lf.lfHeight);
    const int width = std::abs(static_cast<int>(lf.lfWidth));

    double emY = 0;  // em height in pixels
    if (height > 0) {
        // Whole pixels, rounded down: hinted TrueType glyphs are scaled to a
        // whole pixels-per-em, and rounding down keeps them inside the cell.
        emY = std::max(1.0, std::floor(height * upem / cellUnits + 1e-9));
        ascent_ = std::clamp(static_cast<int>(std::lround(cellAscent * height / cellUnits)), 0, height);
        descent_ = height - ascent_;
    } else {
        emY = -height;
        ascent_ = std::max(0, static_cast<int>(std::lround(cellAscent * emY / upem)));
        descent_ = std::max(0, static_cast<int>(std::lround(cellDescent * emY / upem)));
    }
    internalLeading_ = std::max(0, ascent_ + descent_ - static_cast<int>(std::lround(emY)));

    // A width stretches the font so its average character is that wide.
    const double avgUnits = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
    const double emX = width > 0 ? width * upem / avgUnits : emY;
    if (emX > kMaxFontPixels || emY > kMaxFontPixels) return false;

    const auto to26dot6 = [](double px) { return std::max<FT_F26Dot6>(64, std::lround(px * 64)); };
    if (FT_Set_Char_Size(face, to26dot6(emX), to26dot6(emY), 72, 72) != 0) return false;

    // Line gap beyond the cell, by the OpenType rule for GDI.
    const double lineGap = face->height - (face->ascender - face->descender);
    externalLeading_ = std::max(
        0, static_cast<int>(std::lround((lineGap - (cellUnits - (face->ascender - face->descender))) * emY / upem)));

    aveCharWidth_ = static_cast<int>(std::lround(avgUnits * emX / upem));
    maxCharWidth_ = std::max(aveCharWidth_, static_cast<int>(std::lround(face->max_advance_width * emX / upem)));

    // Bold and italic that the face lacks are synthesised, as GDI does.
    int faceWeight = os2 && os2->usWeightClass > 0 ? os2->usWeightClass
                                                   : (face->style_flags & FT_STYLE_FLAG_BOLD ? FW_BOLD : FW_NORMAL);
    if (lf.lfWeight >= FW_SEMIBOLD && faceWeight < FW_SEMIBOLD) {
        embolden_ = std::max<FT_Pos>(64, std::lround(emY / 24) * 64);
        faceWeight = FW_BOLD;
        aveCharWidth_ += static_cast<int>(embolden_ >> 6);
        maxCharWidth_ += static_cast<int>(embolden_ >> 6);
    }
    weight_ = faceWeight;
    const bool faceItalic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    if (lf.lfItalic && !faceItalic) {
        oblique_ = true;
        FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
        FT_Set_Transform(face, &shear, nullptr);
    }
    // Antialiased and the ClearType qualities above it are smoothed in grey;
    // every other quality is drawn crisp.
    antialiased_ = lf.lfQuality >= ANTIALIASED_QUALITY;

    // Pitch and family as TEXTMETRIC reports them. The "fixed pitch" bit is
    // set for variable-pitch fonts, as it always has been in GDI.
    const bool fixed = fixedPitch || FT_IS_FIXED_WIDTH(face);
    BYTE family = lf.lfPitchAndFamily & 0xF0;
    if (fixed) {
        family = FF_MODERN;
    } else if (os2 && os2->panose[0] == 2 && os2->panose[1] >= 11 && os2->panose[1] <= 15) {
        family = FF_SWISS;
    } else if (os2 && os2->panose[0] == 2 && os2->panose[1] >= 2 && os2->panose[1] <= 10) {
        family = FF_ROMAN;
    } else if (os2 && os2->panose[0] == 3) {
        family = FF_SCRIPT;
    } else if (os2 && os2->panose[0] == 4) {
        family = FF_DECORATIVE;
    }
    constexpr BYTE kVariablePitchBit = 0x01, kVectorBit = 0x02, kTrueTypeBit = 0x04;
    pitchAndFamily_ = family | kVectorBit | (FT_IS_SFNT(face) ? kTrueTypeBit : 0) | (fixed ? 0 : kVariablePitchBit);

    // Underline and strikeout bands, kept inside the cell.
    const double scale = emY / upem;
    const auto clampStroke = [this](int top, int thickness) {
        const int cell = ascent_ + descent_;
        thickness = std::clamp(thickness, 1, std::max(1, cell));
        return Stroke{std::clamp(top, 0, std::max(0, cell - thickness)), thickness};
    };
    const int underlineThickness = std::max(1, static_cast<int>(std::lround(face->underline_thickness * scale)));
    const int underlineDrop = std::max(1, static_cast<int>(std::lround(-face->underline_position * scale)));
    underline_ = clampStroke(ascent_ + underlineDrop - underlineThickness / 2, underlineThickness);
    double strikeUnits = upem * 0.25;
    double strikeSize = face->underline_thickness;
    if (os2 && os2->yStrikeoutSize > 0) {
        strikeUnits = os2->yStrikeoutPosition;
        strikeSize = os2->yStrikeoutSize;
    }
    const int strikeThickness = std::max(1, static_cast<int>(std::lround(strikeSize * scale)));
    strikeout_ = clampStroke(ascent_ - static_cast<int>(std::lround(strikeUnits * scale)), strikeThickness);
    return true;
}

const Glyph& Font::glyph(unsigned char c) {
    Glyph& g = glyphs_[c];
    // Kept only once rendered whole: a glyph that found no memory for its
    // pixels is tried again next time.
    if (!g.rendered) g = render(c);
    return g;
}

// FreeType's own allocation failure, reported as the layer's.
FT_Error orNoMemory(FT_Error error) {
    if (error == FT_Err_Out_Of_Memory) throw std::bad_alloc();
    return error;
}

// A character's glyph, without pixels where the face has none or FreeType
// cannot render it.
Glyph Font::render(unsigned char c) {
    Glyph g;
    g.rendered = true;

    FT_Face face = face_.get();
    const char32_t cp = codepointOf(c);
    const FT_UInt index = FT_Get_Char_Index(face, symbolMap_ ? 0xF000u | c : cp);
    FT_Int32 flags = antialiased_ ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
    // Synthetic styles work on outlines, never on embedded bitmaps.
    if (embolden_ || oblique_) flags |= FT_LOAD_NO_BITMAP;
    if (orNoMemory(FT_Load_Glyph(face, index, flags)) != 0) return g;
    FT_GlyphSlot slot = face->glyph;

    FT_Pos advance = slot->advance.x;
    if (embolden_ && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        // Thicken horizontally only, so the cell keeps its height, and keep
        // the glyph's left edge where it was.
        FT_Outline_EmboldenXY(&slot->outline, embolden_, 0);
        FT_Outline_Translate(&slot->outline, embolden_ / 2, 0);
        advance += embolden_;
    }
    g.advance = static_cast<int>((advance + 32) >> 6);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
        orNoMemory(FT_Render_Glyph(slot, antialiased_ ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO)) != 0) {
        return g;
    }

    const FT_Bitmap& bm = slot->bitmap;
    const int w = static_cast<int>(bm.width);
    const int h = static_cast<int>(bm.rows);
    if (w <= 0 || h <= 0 || !bm.buffer) return g;
    const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
    const bool gray = bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.num_grays > 1;
    const bool bgra = bm.pixel_mode == FT_PIXEL_MODE_BGRA;
    if (!mono && !gray && !bgra) return g;

    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = w;
    g.height = h;
    g.coverage.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    // A negative pitch means the rows are stored bottom up.
    const std::ptrdiff_t pitch = bm.pitch;
    const std::uint8_t* src = bm.buffer + (pitch < 0 ? -pitch * (h - 1) : 0);
    for (int y = 0; y < h; ++y, src += pitch) {
        std::uint8_t* dst = g.coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) {
            if (mono) {
                dst[x] = monoBit(src, x) ? 255 : 0;
            } else if (gray) {
                dst[x] = static_cast<std::uint8_t>(src[x] * 255 / (bm.num_grays - 1));
            } else {
                dst[x] = src[x * 4 + 3];
            }
        }
    }
    // Without antialiasing every pixel is either text or not.
    if (!antialiased_) {
        for (std::uint8_t& v : g.coverage) v = v >= 128 ? 255 : 0;
    }
    return g;
}

void Font::metrics(TEXTMETRICA& tm) const {
    tm = TEXTMETRICA{};
    tm.tmHeight = ascent_ + descent_;
    tm.tmAscent = ascent_;
    tm.tmDescent = descent_;
    tm.tmInternalLeading = internalLeading_;
    tm.tmExternalLeading = externalLeading_;
    tm.tmAveCharWidth = aveCharWidth_;
    tm.tmMaxCharWidth = maxCharWidth_;
    tm.tmWeight = weight_;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    // Bytes below the space have no glyph and draw the default character.
    tm.tmFirstChar = 0x1F;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = (logFont.lfItalic || (face_->style_flags & FT_STYLE_FLAG_ITALIC)) ? 0xFF : 0;
    tm.tmUnderlined = logFont.lfUnderline ? 0xFF : 0;
    tm.tmStruckOut = logFont.lfStrikeOut ? 0xFF : 0;
    tm.tmPitchAndFamily = pitchAndFamily_;
    tm.tmCharSet = ANSI_CHARSET;
}

// The font a context draws with: its selected font, or the stock system font.
Font* fontOf(const DeviceContext& dc) {
    if (auto* f = dynamic_cast<Font*>(dc.font)) return f;
    return dynamic_cast<Font*>(findObject(GetStockObject(SYSTEM_FONT)));
}

// ---- Drawing -----------------------------------------------------------

inline std::uint32_t blend(std::uint32_t dst, std::uint32_t src, unsigned a) {
    const unsigned na = 255 - a;
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const unsigned d = (dst >> shift) & 0xFF, c = (src >> shift) & 0xFF;
        out |= ((c * a + d * na + 127) / 255) << shift;
    }
    return out;
}

// Draws one glyph with its origin at (penX, baseline), clipped to the surface:
// in `pixel` on a colour surface, as `bit` on a monochrome one.
void drawGlyph(Surface& s, const Glyph& g, std::int64_t penX, std::int64_t baseline, std::uint32_t pixel, bool bit) {
    if (g.coverage.empty()) return;
    const std::int64_t gx = penX + g.left;
    const std::int64_t gy = baseline - g.top;
    const std::int64_t x0 = std::max<std::int64_t>(gx, 0), x1 = std::min<std::int64_t>(gx + g.width, s.width());
    const std::int64_t y0 = std::max<std::int64_t>(gy, 0), y1 = std::min<std::int64_t>(gy + g.height, s.height());
    if (x0 >= x1 || y0 >= y1) return;
    const int cols = static_cast<int>(x1 - x0);
    const int firstCol = static_cast<int>(x0 - gx);
    for (std::int64_t y = y0; y < y1; ++y) {
        const std::uint8_t* cov = g.coverage.data() +
                                  static_cast<std::size_t>(y - gy) * static_cast<std::size_t>(g.width) +
                                  static_cast<std::size_t>(firstCol);
        if (s.format() == PixelFormat::Rgb32) {
            std::uint32_t* dst = s.rgbRow(static_cast<int>(y)) + x0;
            for (int i = 0; i < cols; ++i) {
                const unsigned a = cov[i];
                if (a == 255) {
                    dst[i] = pixel;
                } else if (a != 0) {
                    dst[i] = blend(dst[i], pixel, a);
                }
            }
        } else {
            std::uint8_t* row = s.row(static_cast<int>(y));
            for (int i = 0; i < cols; ++i) {
                if (cov[i] >= 128) setMonoBit(row, static_cast<int>(x0) + i, bit);
            }
        }
    }
}

}  // namespace

std::unique_ptr<FontObject> createFontObject(const LOGFONTA& request) {
    return Font::open(request);
}

}  // namespace platform::gdi

using namespace platform::gdi;
using platform::kernel::failOnNoMemory;

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                         DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision, DWORD iClipPrecision,
                         DWORD iQuality, DWORD iPitchAndFamily, LPCSTR pszFaceName) {
    LOGFONTA lf{};
    lf.lfHeight = cHeight;
    lf.lfWidth = cWidth;
    lf.lfEscapement = cEscapement;
    lf.lfOrientation = cOrientation;
    lf.lfWeight = cWeight;
    lf.lfItalic = bItalic ? 1 : 0;
    lf.lfUnderline = bUnderline ? 1 : 0;
    lf.lfStrikeOut = bStrikeOut ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(iCharSet);
    lf.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
    lf.lfQuality = static_cast<BYTE>(iQuality);
    lf.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
    // Longer names are cut to fit, leaving room for the terminator.
    if (pszFaceName) std::strncpy(lf.lfFaceName, pszFaceName, LF_FACESIZE - 1);

    return failOnNoMemory(HFONT{}, [&]() -> HFONT {
        std::unique_ptr<FontObject> font = createFontObject(lf);
        if (!font) return nullptr;
        return static_cast<HFONT>(addObject(std::move(font)));
    });
}

// Glyphs are rendered on first use; TextOutA and GetTextExtentPoint32A may
// find no memory for them.
BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
    DeviceContext* dc = findDC(hdc);
    if (!dc || c < 0 || (!lpString && c > 0)) return FALSE;
    Font* font = fontOf(*dc);
    if (!font) return FALSE;
    return failOnNoMemory(FALSE, [&] {
        Surface& surface = dc->bitmap->surface;
        const auto* text = reinterpret_cast<const unsigned char*>(lpString);
        const auto n = static_cast<std::size_t>(c);
        const std::uint32_t textPixel = pixelFromColor(dc->textColor);
        const bool textBit = monoBitFromColor(dc->textColor);

        // (x, y) is the top left of the first character cell.
        const std::int64_t left = x;
        const std::int64_t top = y;
        const std::int64_t baseline = top + font->ascent();
        const bool needExtent = dc->bkMode == OPAQUE || font->underlined() || font->struckOut();
        const std::int64_t width = needExtent ? font->extent(text, n) : 0;

        if (dc->bkMode == OPAQUE) {
            fillRect(surface, left, top, left + width, top + font->cellHeight(), dc->bkColor);
        }
        std::int64_t pen = left;
        for (std::size_t i = 0; i < n; ++i) {
            const Glyph& g = font->glyph(text[i]);
            drawGlyph(surface, g, pen, baseline, textPixel, textBit);
            pen += g.advance;
        }
        // Underline and strikeout run across the whole text, over the glyphs.
        if (font->underlined()) {
            const Stroke u = font->underline();
            fillRect(surface, left, top + u.top, left + width, top + u.top + u.thickness, dc->textColor);
        }
        if (font->struckOut()) {
            const Stroke s = font->strikeout();
            fillRect(surface, left, top + s.top, left + width, top + s.top + s.thickness, dc->textColor);
        }
        if (n > 0) dc->drawn();
        return TRUE;
    });
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm) {
    DeviceContext* dc = findDC(hdc);
    if (!dc || !lptm) return FALSE;
    Font* font = fontOf(*dc);
    if (!font) return FALSE;
    font->metrics(*lptm);
    return TRUE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
    DeviceContext* dc = findDC(hdc);
    if (!dc || !psizl || c < 0 || (!lpString && c > 0)) return FALSE;
    Font* font = fontOf(*dc);
    if (!font) return FALSE;
    return failOnNoMemory(FALSE, [&] {
        const std::int64_t cx =
            font->extent(reinterpret_cast<const unsigned char*>(lpString), static_cast<std::size_t>(c));
        psizl->cx = static_cast<LONG>(std::min<std::int64_t>(cx, std::numeric_limits<LONG>::max()));
        psizl->cy = font->cellHeight();
        return TRUE;
    });
}
