// Windows as the USER layer keeps them: classes, the window table, focus and
// the frame each top-level window draws into.
#pragma once

#include <windows.h>

#include "backend/backend.h"
#include "gdi/objects.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::user {

struct WindowClass {
    std::string name;  // upper-cased: class names compare without case
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
};

// A control of a dialog: a child window that the dialog draws itself. Its
// label is the window's title.
struct Control {
    WORD id = 0;
    std::string className;  // "BUTTON", "SYSDATETIMEPICK32", ...
    DWORD style = 0;
    bool checked = false;  // check boxes
};

struct Window {
    HWND handle = nullptr;
    WNDPROC proc = nullptr;       // the class procedure, or null for a dialog
    DLGPROC dialogProc = nullptr;  // dialogs only
    UINT classStyle = 0;
    DWORD style = 0;
    std::string title;
    RECT rect{};  // screen coordinates; a child's are relative to its parent's client area
    bool visible = false;
    bool topmost = false;
    bool enabled = true;
    bool destroying = false;
    HWND owner = nullptr;   // top-level windows: the owner, if any
    HWND parent = nullptr;  // child windows: the parent
    backend::WindowId backendId = 0;  // top-level windows only
    // What a top-level window shows: its client area, in the display's
    // format. A child's stays one pixel: its parent draws it.
    gdi::Bitmap frame{1, 1, gdi::PixelFormat::Rgb32};
    std::vector<HDC> contexts;  // from GetDC, not yet released
    std::unique_ptr<Control> control;  // dialog controls only
    HFONT font = nullptr;              // dialogs only: the template's font, owned

    bool isTopLevel() const { return !(style & WS_CHILD); }
    int clientWidth() const { return rect.right - rect.left; }
    int clientHeight() const { return rect.bottom - rect.top; }
};

Window* findWindow(HWND hwnd);
// Top-level windows in creation order.
std::vector<Window*> topLevelWindows();
std::vector<Window*> childrenOf(HWND parent);

// The window keyboard input goes to: the last top-level window activated.
HWND activeWindow();
// Where the mouse at a screen point goes: the topmost visible, enabled
// top-level window there, or its visible control under the point; with the
// point in that window's client coordinates. A null window if none is there.
struct MouseTarget {
    HWND hwnd = nullptr;
    POINT client{};
};
MouseTarget windowAt(POINT screen);

// Calls a window's procedure (a dialog's goes through its dialog procedure).
LRESULT callWindowProc(Window& w, UINT msg, WPARAM wParam, LPARAM lParam);

// Records the window's frame for the screen, if it is visible.
void presentFrame(Window& w);

// Creates a window from resolved arguments; used by CreateWindowExA and by
// the dialog builder. Sends the creation messages unless `dialogProc` is set
// (dialogs get WM_INITDIALOG from their builder instead).
HWND createWindow(DWORD exStyle, const WindowClass* cls, const std::string& title, DWORD style, RECT rect, HWND owner,
                  HWND parent, DLGPROC dialogProc, std::unique_ptr<Control> control);

// Whether a dialog control lets the mouse through to what lies under it.
bool letsMouseThrough(const Window& control);

}  // namespace platform::user
