// Modeless dialogs from dialog template resources. The dialog is a top-level
// window; its controls are child windows that the dialog draws itself in a
// plain 3D style, through the layer's own GDI.
#include "backend/trace.h"
#include "kernel/no_memory.h"
#include "user/paint3d.h"
#include "user/resfile.h"
#include "user/window.h"

#include <cstdio>

using namespace platform;
using namespace platform::user;
using platform::kernel::failOnNoMemory;

namespace {

constexpr DWORD kDateTimeTimeFormat = 0x0009;  // DTS_TIMEFORMAT
constexpr UINT kButtonTypeMask = 0x000F;
constexpr UINT kPushButton = 0x0, kDefPushButton = 0x1, kCheckBox = 0x2, kAutoCheckBox = 0x3, kGroupBox = 0x7;

std::string predefinedClass(const ResourceId& id) {
    if (!id.isNumber) return upperCase(id.text);
    switch (id.number) {
    case 0x80: return "BUTTON";
    case 0x81: return "EDIT";
    case 0x82: return "STATIC";
    case 0x83: return "LISTBOX";
    case 0x84: return "SCROLLBAR";
    case 0x85: return "COMBOBOX";
    default: return "";
    }
}

// Dialog base units: the average character width and the height of the
// dialog's font, as Windows measures them.
SIZE baseUnits(HFONT font) {
    SIZE units{6, 13};
    if (!font) return units;
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    TEXTMETRICA tm{};
    SIZE extent{};
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (GetTextMetricsA(dc, &tm) && GetTextExtentPoint32A(dc, kAlphabet, 52, &extent))
        units = {(extent.cx / 26 + 1) / 2, tm.tmHeight};
    DeleteDC(dc);
    return units;
}

// The font a dialog's template asks for, in points at 96 pixels an inch.
HFONT dialogFont(const DialogTemplate& t) {
    const int points = t.pointSize ? t.pointSize : 8;
    const int height = -(points * 96 + 36) / 72;
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                       VARIABLE_PITCH | FF_SWISS, t.font.empty() ? "MS Sans Serif" : t.font.c_str());
}

// Button and static texts mark their mnemonic with '&'; it is not shown.
std::string withoutMnemonic(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

void paintControl(HDC dc, const Window& w) {
    const Control& c = *w.control;
    const RECT r = w.rect;
    const std::string label = withoutMnemonic(w.title);
    const SIZE extent = textSize(dc, label);
    const int middle = (r.top + r.bottom - extent.cy) / 2;
    if (c.className == "BUTTON") {
        switch (c.style & kButtonTypeMask) {
        case kGroupBox: {
            const int top = r.top + extent.cy / 2;
            edge(dc, {r.left, top, r.right, r.bottom}, true);
            edge(dc, {r.left + 1, top + 1, r.right - 1, r.bottom - 1}, false);
            if (!label.empty()) {
                fill(dc, r.left + 6, r.top, r.left + 9 + extent.cx, r.top + extent.cy, kFace);
                text(dc, r.left + 8, r.top, label);
            }
            return;
        }
        case kCheckBox:
        case kAutoCheckBox: {
            const int box = 13, top = (r.top + r.bottom - box) / 2;
            fill(dc, r.left, top, r.left + box, top + box, kHighlight);
            edge(dc, {r.left, top, r.left + box, top + box}, true);
            if (c.checked) {
                // A tick: two strokes, three pixels thick.
                for (int i = 0; i < 7; ++i) {
                    const int x = r.left + 3 + i, y = i < 3 ? top + 5 + i : top + 9 - (i - 2);
                    fill(dc, x, y, x + 1, y + 3, RGB(0, 0, 0));
                }
            }
            text(dc, r.left + box + 4, middle, label);
            return;
        }
        case kPushButton:
        case kDefPushButton:
        default: pushButton(dc, r, label); return;
        }
    }
    if (c.className == "SYSDATETIMEPICK32") {
        fill(dc, r.left, r.top, r.right, r.bottom, kHighlight);
        edge(dc, r, true);
        SYSTEMTIME now{};
        GetLocalTime(&now);
        char value[32];
        if ((c.style & kDateTimeTimeFormat) == kDateTimeTimeFormat) {
            const int hour12 = now.wHour % 12 == 0 ? 12 : now.wHour % 12;
            std::snprintf(value, sizeof value, "%d:%02d:%02d %s", hour12, now.wMinute, now.wSecond,
                          now.wHour < 12 ? "AM" : "PM");
        } else {
            std::snprintf(value, sizeof value, "%d/%d/%d", now.wMonth, now.wDay, now.wYear);
        }
        text(dc, r.left + 4, (r.top + r.bottom - textSize(dc, value).cy) / 2, value);
        // The drop-down button at the right.
        const int button = r.bottom - r.top - 4;
        const RECT b{r.right - 2 - button, r.top + 2, r.right - 2, r.bottom - 2};
        fill(dc, b.left, b.top, b.right, b.bottom, kFace);
        edge(dc, b, false);
        const int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2 - 1;
        for (int i = 0; i < 4; ++i) fill(dc, cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1, RGB(0, 0, 0));
        return;
    }
    if (!label.empty()) text(dc, r.left, r.top, label);
}

// Draws a dialog and its controls into its frame and shows it. A dialog
// that finds no memory to draw in shows what is drawn so far.
void paintDialog(Window& dialog) {
    // A context of its own rather than GetDC's, which would show the frame
    // after every stroke: the finished picture is shown once.
    HDC dc = nullptr;
    try {
        dc = gdi::createWindowDC(dialog.frame, {});
        if (dialog.font) SelectObject(dc, dialog.font);
        SetTextColor(dc, RGB(0, 0, 0));
        fill(dc, 0, 0, dialog.clientWidth(), dialog.clientHeight(), kFace);
        for (Window* child : childrenOf(dialog.handle))
            if (child->control && (child->style & WS_VISIBLE)) paintControl(dc, *child);
    } catch (const std::bad_alloc&) {
    }
    if (dc) gdi::releaseWindowDC(dc);
    presentFrame(dialog);
}

LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = findWindow(hwnd);
    if (msg == WM_LBUTTONUP && w && w->control && w->control->className == "BUTTON") {
        Control& c = *w->control;
        const UINT type = c.style & kButtonTypeMask;
        if (type == kGroupBox) return 0;
        if (type == kAutoCheckBox) c.checked = !c.checked;
        const HWND parent = w->parent;
        if (Window* dialog = findWindow(parent)) paintDialog(*dialog);
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(c.id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const WindowClass kControlClass{"CONTROL", 0, controlProc, nullptr};

}  // namespace

namespace platform::user {

// Group boxes let clicks through to what they frame.
bool letsMouseThrough(const Window& w) {
    return w.control && w.control->className == "BUTTON" && (w.control->style & kButtonTypeMask) == kGroupBox;
}

}  // namespace platform::user

extern "C" {

// A dialog whose controls find no memory is destroyed again, so none is
// left half made.
HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
    const HRSRC found = FindResourceA(hInstance, lpTemplateName, RT_DIALOG);
    const HGLOBAL loaded = found ? LoadResource(hInstance, found) : nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes || !lpDialogFunc) return nullptr;
    return failOnNoMemory(HWND{}, [&]() -> HWND {
        const auto parsed = parseDialogTemplate({bytes, SizeofResource(hInstance, found)});
        if (!parsed) return nullptr;
        const DialogTemplate& t = *parsed;
        Window* owner = findWindow(hWndParent);
        if (hWndParent && !owner) return nullptr;

        const HFONT font = dialogFont(t);
        const SIZE units = baseUnits(font);
        auto px = [&](int v) { return v * units.cx / 4; };
        auto py = [&](int v) { return v * units.cy / 8; };
        // The template places the dialog relative to its owner's client area.
        const int originX = owner ? owner->rect.left : 0, originY = owner ? owner->rect.top : 0;
        const RECT rect{originX + px(t.x), originY + py(t.y), originX + px(t.x) + px(t.cx),
                        originY + py(t.y) + py(t.cy)};
        const DWORD style = t.style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD);
        HWND hwnd = nullptr;
        try {
            hwnd = createWindow(t.exStyle, nullptr, t.title, style, rect, hWndParent, nullptr, lpDialogFunc, nullptr);
        } catch (const std::bad_alloc&) {
            DeleteObject(font);
            throw;
        }
        if (!hwnd) {
            DeleteObject(font);
            return nullptr;
        }
        findWindow(hwnd)->font = font;

        HWND firstControl = nullptr;
        const bool built = failOnNoMemory(false, [&] {
            for (const DialogItem& item : t.items) {
                auto control = std::make_unique<Control>();
                control->id = item.id;
                control->className = predefinedClass(item.windowClass);
                control->style = item.style;
                const RECT r{px(item.x), py(item.y), px(item.x) + px(item.cx), py(item.y) + py(item.cy)};
                const std::string text = item.text.isNumber ? "" : item.text.text;
                const HWND child = createWindow(item.exStyle, &kControlClass, text, item.style | WS_CHILD, r, nullptr,
                                                hwnd, nullptr, std::move(control));
                if (!firstControl) firstControl = child;
            }
            backend::trace("dialog created \"" + t.title + "\"");
            return true;
        });
        if (!built) {
            DestroyWindow(hwnd);
            return nullptr;
        }
        lpDialogFunc(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstControl), dwInitParam);
        Window* dialog = findWindow(hwnd);
        if (!dialog) return nullptr;  // the procedure destroyed it
        paintDialog(*dialog);
        if (t.style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
        return hwnd;
    });
}

}  // extern "C"
