#include "backend/overlay.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace platform::backend {

namespace {

constexpr int kGlyphW = 5, kGlyphH = 7, kAdvance = 6, kMargin = 4, kPad = 2;

struct Glyph {
    char c;
    std::array<const char*, kGlyphH> rows;
};

// The characters of "Frames Per Second: N" and a few more.
constexpr Glyph kFont[] = {
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'a', {"     ", "     ", " ### ", "    #", " ####", "#   #", " ####"}},
    {'c', {"     ", "     ", " ### ", "#    ", "#    ", "#   #", " ### "}},
    {'d', {"    #", "    #", " ## #", "#  ##", "#   #", "#   #", " ####"}},
    {'e', {"     ", "     ", " ### ", "#   #", "#####", "#    ", " ### "}},
    {'m', {"     ", "     ", "## # ", "# # #", "# # #", "#   #", "#   #"}},
    {'n', {"     ", "     ", "# ## ", "##  #", "#   #", "#   #", "#   #"}},
    {'o', {"     ", "     ", " ### ", "#   #", "#   #", "#   #", " ### "}},
    {'r', {"     ", "     ", "# ## ", "##  #", "#    ", "#    ", "#    "}},
    {'s', {"     ", "     ", " ####", "#    ", " ### ", "    #", "#### "}},
    {':', {"     ", "  #  ", "  #  ", "     ", "  #  ", "  #  ", "     "}},
    {' ', {"     ", "     ", "     ", "     ", "     ", "     ", "     "}},
};

constexpr Glyph kUnknown{'?', {"#####", "#   #", "#   #", "#   #", "#   #", "#   #", "#####"}};

const Glyph& glyphFor(char c) {
    for (const Glyph& g : kFont)
        if (g.c == c) return g;
    return kUnknown;
}

// Font pixels to screen pixels: larger on larger screens.
int scaleFor(const Rect& area) { return area.h >= 600 ? 3 : area.h >= 300 ? 2 : 1; }

}  // namespace

Rect overlayRect(std::string_view text, const Rect& area) {
    if (text.empty() || area.w <= 0 || area.h <= 0) return Rect{area.x, area.y, 0, 0};
    const int scale = scaleFor(area);
    const int w = (static_cast<int>(text.size()) * kAdvance - 1 + 2 * kPad) * scale;
    const int h = (kGlyphH + 2 * kPad) * scale;
    const int margin = kMargin * scale;
    return Rect{area.x + std::min(margin, area.w), area.y + std::min(margin, area.h),
                std::clamp(w, 0, std::max(area.w - margin, 0)), std::clamp(h, 0, std::max(area.h - margin, 0))};
}

void drawOverlay(std::string_view text, const Canvas& to, const Rect& area) {
    const Rect box = overlayRect(text, area);
    // Clipped to the canvas as well.
    const int left = std::max(box.x, 0), top = std::max(box.y, 0);
    const int right = std::min(box.x + box.w, to.width), bottom = std::min(box.y + box.h, to.height);
    if (left >= right || top >= bottom) return;
    const int scale = scaleFor(area);
    auto row = [&](int y) { return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(to.pixels) + y * to.stride); };
    for (int y = top; y < bottom; ++y) std::fill(row(y) + left, row(y) + right, 0u);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph& g = glyphFor(text[i]);
        for (int gy = 0; gy < kGlyphH; ++gy)
            for (int gx = 0; gx < kGlyphW; ++gx) {
                if (g.rows[gy][gx] != '#') continue;
                const int x0 = box.x + (kPad + static_cast<int>(i) * kAdvance + gx) * scale;
                const int y0 = box.y + (kPad + gy) * scale;
                for (int y = std::max(y0, top); y < std::min(y0 + scale, bottom); ++y)
                    for (int x = std::max(x0, left); x < std::min(x0 + scale, right); ++x) row(y)[x] = 0x00FFFFFF;
            }
    }
}

}  // namespace platform::backend
