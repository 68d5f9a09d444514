#include "user/box_window.h"

#include "backend/backend.h"
#include "user/paint3d.h"
#include "user/window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace platform::user {

namespace {

// Style bits this layer's windows.h leaves out (no program of ours names them).
constexpr UINT kDefButtonMask = 0x0F00;  // MB_DEFMASK: MB_DEFBUTTON1..4
constexpr UINT kSystemModal = 0x1000;    // MB_SYSTEMMODAL
constexpr UINT kTopmost = 0x40000;       // MB_TOPMOST
constexpr UINT kIconMask = 0xF0;

// The layout, in pixels, close to a classic Windows box in its 8-point font.
constexpr int kFrame = 3;          // raised edge and one pixel of face
constexpr int kCaptionHeight = 18;
constexpr int kMargin = 12;        // around the icon and text, and below the buttons
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;       // between the icon and the text
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kMinBodyWidth = 120;
constexpr int kMaxTextWidth = 400;  // longer lines wrap

constexpr COLORREF kCaptionLeft = RGB(10, 36, 106), kCaptionRight = RGB(166, 202, 240);

struct Box {
    std::vector<backend::BoxButton> buttons;
    std::vector<RECT> buttonRects;
    std::size_t focus = 0;    // the focused button, which Return and Space press
    int mouseHeld = -1;       // the button the left mouse button went down on
    int armedKey = 0;         // a key pressed in the box: its release acts
    int escapeId = 0;         // what Escape and a close answer; 0: they cannot
    std::optional<int> choice;
    UINT icon = 0;
    POINT iconAt{};
    std::vector<std::string> lines;
    POINT textAt{};
    int lineHeight = 0;
    std::string caption;  // as drawn: shortened to fit the caption bar
    HFONT captionFont = nullptr;
    HFONT glyphFont = nullptr;  // the question mark of the question icon
};

std::map<HWND, Box>& boxes() {
    static std::map<HWND, Box> all;
    return all;
}

HFONT boxFont(int height, int weight) {
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                       VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
}

// Character widths of a font, measured as they are needed: text is laid out
// in one pass, whatever its length.
class Widths {
public:
    explicit Widths(HDC dc) : dc_(dc) { widths_.fill(-1); }
    int operator()(char c) {
        int& w = widths_[static_cast<unsigned char>(c)];
        if (w < 0) {
            SIZE size{};
            GetTextExtentPoint32A(dc_, &c, 1, &size);
            w = size.cx;
        }
        return w;
    }

private:
    HDC dc_;
    std::array<int, 256> widths_;
};

// The text in lines of at most `maxWidth` pixels: a line ends at each '\n'
// and before a word that would not fit; a word wider than a line is broken.
// Stops after `maxLines` lines.
std::vector<std::string> wrap(const std::string& text, Widths& width, int maxWidth, std::size_t maxLines) {
    std::vector<std::string> lines;
    if (text.empty()) lines.emplace_back();
    std::size_t start = 0;
    while (start < text.size() && lines.size() < maxLines) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string paragraph = text.substr(start, end - start);
        start = end + 1;
        if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
        std::replace(paragraph.begin(), paragraph.end(), '\t', ' ');
        if (paragraph.empty()) lines.emplace_back();
        std::size_t i = 0;
        while (i < paragraph.size() && lines.size() < maxLines) {
            std::size_t j = i, lastSpace = std::string::npos;
            int used = 0;
            while (j < paragraph.size() && (j == i || used + width(paragraph[j]) <= maxWidth)) {
                if (paragraph[j] == ' ') lastSpace = j;
                used += width(paragraph[j]);
                ++j;
            }
            std::size_t cut = j;
            if (j < paragraph.size() && paragraph[j] != ' ' && lastSpace != std::string::npos && lastSpace > i)
                cut = lastSpace;
            std::size_t lineEnd = cut;
            while (lineEnd > i && paragraph[lineEnd - 1] == ' ') --lineEnd;
            lines.push_back(paragraph.substr(i, lineEnd - i));
            i = cut;
            while (i < paragraph.size() && paragraph[i] == ' ') ++i;
        }
    }
    return lines;
}

// The longest start of `s` that fits in `maxWidth`, with "..." when cut.
std::string fitted(const std::string& s, Widths& width, int maxWidth) {
    int used = 0;
    for (char c : s) used += width(c);
    if (used <= maxWidth) return s;
    const int dots = 3 * width('.');
    used = 0;
    std::size_t n = 0;
    while (n < s.size() && used + width(s[n]) + dots <= maxWidth) used += width(s[n++]);
    return s.substr(0, n) + "...";
}

// ---- The icons: simple symbols drawn stroke by stroke ----

void disc(HDC dc, int cx, int cy, int radius, COLORREF color) {
    for (int dy = -radius; dy < radius; ++dy) {
        const double y = dy + 0.5;
        const int half = static_cast<int>(std::lround(std::sqrt(radius * radius - y * y)));
        fill(dc, cx - half, cy + dy, cx + half, cy + dy + 1, color);
    }
}

// A triangle standing on its base, `inset` pixels inside the icon's square.
void triangle(HDC dc, int x, int y, int inset, COLORREF color) {
    const int top = y + 1 + inset, bottom = y + kIconSize - 1 - inset, cx = x + kIconSize / 2;
    for (int row = top; row < bottom; ++row) {
        const int half = 1 + (row - top) * (kIconSize / 2 - 1 - inset) / std::max(1, bottom - top - 1);
        fill(dc, cx - half, row, cx + half, row + 1, color);
    }
}

void paintIcon(HDC dc, const Box& box) {
    const int x = box.iconAt.x, y = box.iconAt.y, cx = x + kIconSize / 2, cy = y + kIconSize / 2;
    switch (box.icon) {
    case MB_ICONHAND:
        // A red disc with a white cross.
        disc(dc, cx, cy, 16, RGB(128, 0, 0));
        disc(dc, cx, cy, 15, RGB(224, 32, 32));
        for (int i = -7; i <= 7; ++i) {
            fill(dc, cx + i - 1, cy + i - 1, cx + i + 2, cy + i + 2, kHighlight);
            fill(dc, cx + i - 1, cy - i - 1, cx + i + 2, cy - i + 2, kHighlight);
        }
        return;
    case MB_ICONEXCLAMATION:
        // A yellow warning triangle with a black exclamation mark.
        triangle(dc, x, y, 0, kBlack);
        triangle(dc, x, y, 2, RGB(255, 216, 0));
        fill(dc, cx - 2, y + 10, cx + 2, y + 22, kBlack);
        fill(dc, cx - 2, y + 24, cx + 2, y + 28, kBlack);
        return;
    case MB_ICONASTERISK:
    case MB_ICONQUESTION:
        // A blue disc with a white "i", or a white question mark.
        disc(dc, cx, cy, 16, RGB(0, 40, 128));
        disc(dc, cx, cy, 15, RGB(32, 96, 216));
        if (box.icon == MB_ICONASTERISK) {
            fill(dc, cx - 2, y + 6, cx + 2, y + 10, kHighlight);
            fill(dc, cx - 4, y + 13, cx + 2, y + 15, kHighlight);
            fill(dc, cx - 2, y + 13, cx + 2, y + 25, kHighlight);
            fill(dc, cx - 4, y + 23, cx + 5, y + 26, kHighlight);
        } else if (box.glyphFont) {
            SelectObject(dc, box.glyphFont);
            SetTextColor(dc, kHighlight);
            const SIZE extent = textSize(dc, "?");
            text(dc, cx - extent.cx / 2, cy - extent.cy / 2, "?");
        }
        return;
    default: return;
    }
}

void paintBox(Window& w, const Box& box) {
    HDC dc = gdi::createWindowDC(w.frame, {});
    if (!dc) return;
    const int width = w.clientWidth(), height = w.clientHeight();
    fill(dc, 0, 0, width, height, kFace);
    edge(dc, {0, 0, width, height}, false);

    // The caption bar, shaded from left to right, with the caption in bold.
    const int barLeft = kFrame, barRight = width - kFrame, barWidth = std::max(1, barRight - barLeft);
    for (int x = barLeft; x < barRight; ++x) {
        auto mix = [&](int shift) {
            const int a = (kCaptionLeft >> shift) & 0xFF, b = (kCaptionRight >> shift) & 0xFF;
            return a + (b - a) * (x - barLeft) / barWidth;
        };
        fill(dc, x, kFrame, x + 1, kFrame + kCaptionHeight, RGB(mix(0), mix(8), mix(16)));
    }
    if (box.captionFont) SelectObject(dc, box.captionFont);
    SetTextColor(dc, kHighlight);
    text(dc, barLeft + 4, kFrame + (kCaptionHeight - textSize(dc, "Ag").cy) / 2, box.caption);

    paintIcon(dc, box);
    if (w.font) SelectObject(dc, w.font);
    SetTextColor(dc, kBlack);
    for (std::size_t i = 0; i < box.lines.size(); ++i)
        text(dc, box.textAt.x, box.textAt.y + static_cast<int>(i) * box.lineHeight, box.lines[i]);
    for (std::size_t i = 0; i < box.buttons.size(); ++i) {
        ButtonLook look;
        look.focused = look.isDefault = i == box.focus;
        look.pressed = static_cast<int>(i) == box.mouseHeld || (box.armedKey == VK_SPACE && i == box.focus);
        pushButton(dc, box.buttonRects[i], box.buttons[i].label, look);
    }
    gdi::releaseWindowDC(dc);
    presentFrame(w);
}

void repaint(HWND hwnd) {
    Window* w = findWindow(hwnd);
    const auto it = boxes().find(hwnd);
    if (w && it != boxes().end()) paintBox(*w, it->second);
}

int buttonAt(const Box& box, LPARAM lParam) {
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    for (std::size_t i = 0; i < box.buttonRects.size(); ++i) {
        const RECT& r = box.buttonRects[i];
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return static_cast<int>(i);
    }
    return -1;
}

// Keys act on their release, and only when their press came to the box: a
// key already held when the box opened does not answer it, and the release
// of the key that did never reaches the window behind.
LRESULT onKey(HWND hwnd, Box& box, UINT msg, WPARAM key) {
    const std::size_t count = box.buttons.size();
    if (msg == WM_KEYDOWN) {
        switch (key) {
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_SPACE: box.armedKey = static_cast<int>(key); break;
        case VK_TAB:
        case VK_RIGHT:
        case VK_DOWN: box.focus = (box.focus + 1) % count; box.armedKey = 0; break;
        case VK_LEFT:
        case VK_UP: box.focus = (box.focus + count - 1) % count; box.armedKey = 0; break;
        default: return 0;
        }
        repaint(hwnd);
        return 0;
    }
    if (static_cast<int>(key) != box.armedKey) return 0;
    box.armedKey = 0;
    if (key == VK_ESCAPE) {
        if (box.escapeId) box.choice = box.escapeId;
    } else {
        box.choice = box.buttons[box.focus].id;
    }
    if (!box.choice) repaint(hwnd);
    return 0;
}

LRESULT CALLBACK boxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto it = boxes().find(hwnd);
    if (it == boxes().end()) return DefWindowProcA(hwnd, msg, wParam, lParam);
    Box& box = it->second;
    switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP: return onKey(hwnd, box, msg, wParam);
    case WM_LBUTTONDOWN: {
        const int at = buttonAt(box, lParam);
        if (at < 0) return 0;
        box.mouseHeld = at;
        box.focus = static_cast<std::size_t>(at);
        box.armedKey = 0;
        repaint(hwnd);
        return 0;
    }
    case WM_LBUTTONUP: {
        const int held = box.mouseHeld;
        if (held < 0) return 0;
        box.mouseHeld = -1;
        if (buttonAt(box, lParam) == held)
            box.choice = box.buttons[static_cast<std::size_t>(held)].id;
        else
            repaint(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        // The button went up outside the box: nothing is held any more.
        if (box.mouseHeld >= 0 && !(wParam & MK_LBUTTON)) {
            box.mouseHeld = -1;
            repaint(hwnd);
        }
        return 0;
    case WM_CLOSE:
        // The window manager's close answers as Escape does, or not at all.
        if (box.escapeId) box.choice = box.escapeId;
        return 0;
    case WM_NCDESTROY:
        DeleteObject(box.captionFont);
        DeleteObject(box.glyphFont);
        boxes().erase(it);
        return 0;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

const WindowClass kBoxClass{"#32770", 0, boxProc, nullptr};

}  // namespace

HWND openBoxWindow(HWND owner, const std::string& text, const std::string& caption, UINT style) {
    Box box;
    box.buttons = backend::boxButtons(style);
    // MB_DEFBUTTON1..4 choose the button that has the focus first; past the
    // last one, the last.
    box.focus = std::min<std::size_t>((style & kDefButtonMask) >> 8, box.buttons.size() - 1);
    for (const backend::BoxButton& b : box.buttons)
        if (b.id == IDCANCEL) box.escapeId = IDCANCEL;
    if (box.buttons.size() == 1) box.escapeId = box.buttons.front().id;
    box.icon = style & kIconMask;
    if (box.icon != MB_ICONHAND && box.icon != MB_ICONEXCLAMATION && box.icon != MB_ICONASTERISK &&
        box.icon != MB_ICONQUESTION)
        box.icon = 0;

    // The box fits the work area: text past its height is left out.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int workWidth = std::max(320, static_cast<int>(work.right - work.left));
    const int workHeight = std::max(200, static_cast<int>(work.bottom - work.top));

    const HFONT font = boxFont(-11, FW_NORMAL);
    box.captionFont = boxFont(-11, FW_BOLD);
    if (box.icon == MB_ICONQUESTION) box.glyphFont = boxFont(-26, FW_BOLD);
    HDC measure = CreateCompatibleDC(nullptr);
    SelectObject(measure, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(measure, &tm);
    box.lineHeight = std::max<int>(1, tm.tmHeight);
    Widths widths(measure);

    const int iconSpace = box.icon ? kIconSize + kIconGap : 0;
    const int chrome = 2 * kFrame + 2 * kMargin;
    const int maxTextWidth = std::max(40, std::min(kMaxTextWidth, workWidth - chrome - iconSpace));
    const int fixedHeight = 2 * kFrame + kCaptionHeight + 3 * kMargin + kButtonHeight;
    const auto maxLines = static_cast<std::size_t>(std::max(1, (workHeight - fixedHeight) / box.lineHeight));
    box.lines = wrap(text, widths, maxTextWidth, maxLines);
    int textWidth = 0;
    for (const std::string& line : box.lines) {
        int w = 0;
        for (char c : line) w += widths(c);
        textWidth = std::max(textWidth, w);
    }
    const int textHeight = static_cast<int>(box.lines.size()) * box.lineHeight;

    std::vector<int> buttonWidths;
    int buttonsWidth = -kButtonGap;
    for (const backend::BoxButton& b : box.buttons) {
        SIZE label = textSize(measure, b.label);
        buttonWidths.push_back(std::max<int>(kButtonWidth, label.cx + 16));
        buttonsWidth += buttonWidths.back() + kButtonGap;
    }
    SelectObject(measure, box.captionFont);
    Widths captionWidths(measure);
    int captionWidth = 0;
    for (char c : caption) captionWidth += captionWidths(c);

    const int contentWidth = iconSpace + textWidth;
    const int bodyWidth =
        std::min(workWidth - 2 * kFrame,
                 std::max({kMinBodyWidth, contentWidth + 2 * kMargin, buttonsWidth + 2 * kMargin, captionWidth + 8}));
    const int contentHeight = std::max(box.icon ? kIconSize : 0, textHeight);
    const int width = bodyWidth + 2 * kFrame;
    const int height = fixedHeight + contentHeight;
    box.caption = fitted(caption, captionWidths, bodyWidth - 8);
    DeleteDC(measure);

    const int bodyTop = kFrame + kCaptionHeight;
    box.iconAt = {kFrame + kMargin, bodyTop + kMargin};
    box.textAt = {kFrame + kMargin + iconSpace, bodyTop + kMargin + std::max(0, (contentHeight - textHeight) / 2)};
    int x = (width - buttonsWidth) / 2;
    const int buttonTop = bodyTop + 2 * kMargin + contentHeight;
    for (int w : buttonWidths) {
        box.buttonRects.push_back({x, buttonTop, x + w, buttonTop + kButtonHeight});
        x += w + kButtonGap;
    }

    const int left = work.left + std::max(0, (workWidth - width) / 2);
    const int top = work.top + std::max(0, (workHeight - height) / 2);
    const Window* ownerWindow = findWindow(owner);
    const bool topmost = (style & (kTopmost | kSystemModal)) || (ownerWindow && ownerWindow->topmost);
    const HWND hwnd = createWindow(topmost ? WS_EX_TOPMOST : 0, &kBoxClass, caption, WS_POPUP | WS_CAPTION,
                                   {left, top, left + width, top + height}, owner, nullptr, nullptr, nullptr);
    Window* w = findWindow(hwnd);
    if (!w) {
        DeleteObject(font);
        DeleteObject(box.captionFont);
        DeleteObject(box.glyphFont);
        return nullptr;
    }
    w->font = font;  // the window's own: freed with it
    Box& kept = boxes()[hwnd] = std::move(box);
    if (!w->backendId) {
        // The display could not make the window: nobody could answer it.
        DestroyWindow(hwnd);
        return nullptr;
    }
    paintBox(*w, kept);
    SetWindowPos(hwnd, topmost ? HWND_TOPMOST : HWND_TOP, left, top, width, height, SWP_SHOWWINDOW);
    return hwnd;
}

std::optional<int> boxChoice(HWND box) {
    const auto it = boxes().find(box);
    return it == boxes().end() ? std::nullopt : it->second.choice;
}

std::vector<RECT> boxButtonRects(HWND box) {
    const auto it = boxes().find(box);
    return it == boxes().end() ? std::vector<RECT>{} : it->second.buttonRects;
}

}  // namespace platform::user
