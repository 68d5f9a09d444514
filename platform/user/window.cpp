// Window classes and windows: creation, placement, caption, destruction,
// device contexts, and the default window procedure.
#include "user/window.h"

#include "backend/trace.h"
#include "kernel/no_memory.h"
#include "user/queue.h"
#include "user/resfile.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace platform::user {

namespace {

struct State {
    std::map<std::string, WindowClass> classes;
    std::vector<std::unique_ptr<Window>> windows;  // creation order
    std::uintptr_t nextHandle = 0x20000;
    HWND active = nullptr;
    // Stands in for the desktop window: GetDC(NULL) draws here, unseen.
    gdi::Bitmap desktop{1, 1, gdi::PixelFormat::Rgb32};
};

State& state() {
    static State s;
    return s;
}

std::string describe(const Window& w) { return "\"" + w.title + "\""; }

// A line of the trace, where there is memory to write it: the window
// changes whether or not it is told.
void traceWindow(const char* what, const Window& w) {
    try {
        backend::trace(std::string("window ") + what + " " + describe(w) + " " + std::to_string(w.rect.left) + "," +
                       std::to_string(w.rect.top) + " " + std::to_string(w.clientWidth()) + "x" +
                       std::to_string(w.clientHeight()) + (w.topmost ? " topmost" : ""));
    } catch (const std::bad_alloc&) {
    }
}

// Gives a top-level window a frame of its client size. The new frame is
// made before the old one goes, so running out of memory (std::bad_alloc)
// leaves the window with the frame it had.
void resizeFrame(Window& w, int clientWidth, int clientHeight) {
    if (!w.isTopLevel()) return;
    const int width = std::max(1, clientWidth);
    const int height = std::max(1, clientHeight);
    if (w.frame.surface.width() != width || w.frame.surface.height() != height)
        w.frame.surface = gdi::Surface(width, height, gdi::PixelFormat::Rgb32);
}

void setVisible(Window& w, bool visible) {
    if (w.visible == visible) return;
    w.visible = visible;
    if (w.backendId) {
        backend::current().show(w.backendId, visible);
        traceWindow(visible ? "shown" : "hidden", w);
        if (visible) presentFrame(w);
    }
    if (visible && w.isTopLevel()) state().active = w.handle;
    if (!visible && state().active == w.handle) {
        // The keyboard goes back to the owner, as Windows activates it when
        // an owned window (a message box, say) goes away.
        const Window* owner = findWindow(w.owner);
        const bool ownerTakesOver = owner && owner->visible && owner->enabled && !owner->destroying;
        state().active = ownerTakesOver ? owner->handle : nullptr;
    }
}

}  // namespace

Window* findWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (auto& w : state().windows)
        if (w->handle == hwnd) return w.get();
    return nullptr;
}

std::vector<Window*> topLevelWindows() {
    std::vector<Window*> out;
    for (auto& w : state().windows)
        if (w->isTopLevel() && !w->destroying) out.push_back(w.get());
    return out;
}

std::vector<Window*> childrenOf(HWND parent) {
    std::vector<Window*> out;
    for (auto& w : state().windows)
        if (w->parent == parent && !w->isTopLevel()) out.push_back(w.get());
    return out;
}

HWND activeWindow() { return state().active; }

MouseTarget windowAt(POINT p) {
    auto contains = [](const RECT& r, POINT q) {
        return q.x >= r.left && q.x < r.right && q.y >= r.top && q.y < r.bottom;
    };
    // Topmost windows first, then the most recently created.
    Window* best = nullptr;
    for (auto& w : state().windows) {
        if (!w->isTopLevel() || !w->visible || !w->enabled || w->destroying || !contains(w->rect, p)) continue;
        if (!best || w->topmost || !best->topmost) best = w.get();
    }
    if (!best) return {};
    const POINT client{p.x - best->rect.left, p.y - best->rect.top};
    for (Window* child : childrenOf(best->handle)) {
        if (!(child->style & WS_VISIBLE) || !contains(child->rect, client) || letsMouseThrough(*child)) continue;
        return {child->handle, {client.x - child->rect.left, client.y - child->rect.top}};
    }
    return {best->handle, client};
}

LRESULT callWindowProc(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = w.handle;
    if (w.dialogProc) {
        const INT_PTR handled = w.dialogProc(hwnd, msg, wParam, lParam);
        // A dialog procedure that leaves WM_CLOSE alone gets the dialog
        // manager's answer: a Cancel command.
        if (!handled && msg == WM_CLOSE && findWindow(hwnd)) PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        return handled;
    }
    if (w.proc) return w.proc(hwnd, msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A frame that finds no memory on its way to the screen is not recorded;
// the next one will be.
void presentFrame(Window& w) {
    if (!w.visible || !w.backendId) return;
    try {
        backend::current().recordFrame(w.backendId, w.frame.surface);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
}

HWND createWindow(DWORD exStyle, const WindowClass* cls, const std::string& title, DWORD style, RECT rect, HWND owner,
                  HWND parent, DLGPROC dialogProc, std::unique_ptr<Control> control) {
    State& s = state();
    auto w = std::make_unique<Window>();
    w->handle = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += 4;
    w->proc = cls ? cls->proc : nullptr;
    w->classStyle = cls ? cls->style : 0;
    w->dialogProc = dialogProc;
    w->style = style;
    w->title = title;
    w->rect = rect;
    w->owner = owner;
    w->parent = parent;
    w->control = std::move(control);
    w->topmost = exStyle & WS_EX_TOPMOST;
    resizeFrame(*w, w->clientWidth(), w->clientHeight());
    // Room in the table first: once the backend has a window, nothing may
    // fail that would leave it there without ours.
    s.windows.reserve(s.windows.size() + 1);
    if (w->isTopLevel())
        w->backendId = backend::current().createWindow(title, rect.left, rect.top, w->clientWidth(), w->clientHeight());
    const HWND hwnd = w->handle;
    Window& ref = *w;
    s.windows.push_back(std::move(w));

    if (!dialogProc && !ref.control) {
        CREATESTRUCTA cs{};
        cs.hInstance = cls ? cls->instance : nullptr;
        cs.hwndParent = parent ? parent : owner;
        cs.cx = ref.clientWidth();
        cs.cy = ref.clientHeight();
        cs.x = rect.left;
        cs.y = rect.top;
        cs.style = static_cast<LONG>(style);
        cs.lpszName = ref.title.c_str();
        cs.lpszClass = cls ? cls->name.c_str() : "";
        cs.dwExStyle = exStyle;
        const auto csParam = reinterpret_cast<LPARAM>(&cs);
        if (!callWindowProc(ref, WM_NCCREATE, 0, csParam) || callWindowProc(ref, WM_CREATE, 0, csParam) == -1) {
            DestroyWindow(hwnd);
            return nullptr;
        }
    }
    return hwnd;
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;
using platform::kernel::failOnNoMemory;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return failOnNoMemory(ATOM{0}, [wc]() -> ATOM {
        State& s = state();
        const std::string name = upperCase(wc->lpszClassName);
        if (name.empty() || s.classes.count(name)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
        WindowClass cls{name, wc->style, wc->lpfnWndProc, wc->hInstance};
        s.classes.emplace(name, cls);
        // Class atoms start at 0xC000, as Windows numbers registered classes.
        return static_cast<ATOM>(0xC000 + s.classes.size() - 1);
    });
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU, HINSTANCE, LPVOID) {
    if (!lpClassName || IS_INTRESOURCE(lpClassName)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return failOnNoMemory(HWND{}, [&]() -> HWND {
        State& s = state();
        const auto it = s.classes.find(upperCase(lpClassName));
        if (it == s.classes.end()) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (hWndParent && !findWindow(hWndParent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        // Only top-level windows exist here; a child is out of scope.
        if (dwStyle & WS_CHILD) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (X == CW_USEDEFAULT) X = Y = 0;
        if (nWidth == CW_USEDEFAULT) nWidth = nHeight = 0;
        nWidth = std::clamp(nWidth, 0, 16384);
        nHeight = std::clamp(nHeight, 0, 16384);
        const RECT rect{X, Y, X + nWidth, Y + nHeight};
        const HWND hwnd = createWindow(dwExStyle, &it->second, lpWindowName ? lpWindowName : "", dwStyle, rect,
                                       hWndParent, nullptr, nullptr, nullptr);
        if (hwnd && (dwStyle & WS_VISIBLE)) ShowWindow(hwnd, SW_SHOW);
        return hwnd;
    });
}

BOOL WINAPI IsWindow(HWND hWnd) {
    const Window* w = findWindow(hWnd);
    return w && !w->destroying;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    const Window* w = findWindow(hWnd);
    return w && w->visible;
}

HWND WINAPI GetActiveWindow(void) { return activeWindow(); }

// Destruction needs no memory of its own (the windows to destroy with this
// one are looked up one at a time), so it runs to the end whatever the
// process has left; only the backend might still find none.
BOOL WINAPI DestroyWindow(HWND hWnd) {
    Window* w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->destroying) return TRUE;
    return failOnNoMemory(FALSE, [&] {
        w->destroying = true;
        // The next window that goes with this one and is not going already.
        const auto next = [hWnd](bool owned) -> HWND {
            for (const auto& other : state().windows) {
                if (other->destroying) continue;
                if (owned ? other->isTopLevel() && other->owner == hWnd : !other->isTopLevel() && other->parent == hWnd)
                    return other->handle;
            }
            return nullptr;
        };
        // Owned windows go first, as in Windows.
        while (const HWND owned = next(true)) DestroyWindow(owned);
        setVisible(*w, false);
        callWindowProc(*w, WM_DESTROY, 0, 0);
        while (const HWND child = next(false)) DestroyWindow(child);
        callWindowProc(*w, WM_NCDESTROY, 0, 0);

        // The window may have been looked up again during the messages above;
        // find it afresh before removing it.
        w = findWindow(hWnd);
        for (HDC dc : w->contexts) gdi::releaseWindowDC(dc);
        if (w->font) DeleteObject(w->font);
        if (w->backendId) backend::current().destroyWindow(w->backendId);
        forgetMessagesFor(hWnd);
        State& s = state();
        if (s.active == hWnd) s.active = nullptr;
        std::erase_if(s.windows, [hWnd](const std::unique_ptr<Window>& p) { return p->handle == hWnd; });
        return TRUE;
    });
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = findWindow(hWnd);
    if (!w) return FALSE;
    const BOOL wasVisible = w->visible;
    const bool show = nCmdShow != SW_HIDE;
    return failOnNoMemory(wasVisible, [&] {
        if (show != w->visible) callWindowProc(*w, WM_SHOWWINDOW, show, 0);
        if ((w = findWindow(hWnd))) setVisible(*w, show);
        return wasVisible;
    });
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    Window* w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return failOnNoMemory(FALSE, [&] {
        RECT rect = w->rect;
        if (!(uFlags & SWP_NOMOVE)) rect = {X, Y, X + w->clientWidth(), Y + w->clientHeight()};
        if (!(uFlags & SWP_NOSIZE)) {
            rect.right = rect.left + std::clamp(cx, 0, 16384);
            rect.bottom = rect.top + std::clamp(cy, 0, 16384);
            resizeFrame(*w, rect.right - rect.left, rect.bottom - rect.top);
        }
        w->rect = rect;
        if (!(uFlags & SWP_NOZORDER)) {
            if (hWndInsertAfter == HWND_TOPMOST) w->topmost = true;
            if (hWndInsertAfter == HWND_NOTOPMOST) w->topmost = false;
        }
        if (w->backendId) {
            backend::current().place(w->backendId, w->rect.left, w->rect.top, w->clientWidth(), w->clientHeight(),
                                     w->topmost);
            traceWindow("placed", *w);
        }
        if (uFlags & SWP_SHOWWINDOW) setVisible(*w, true);
        if (uFlags & SWP_HIDEWINDOW) setVisible(*w, false);
        if (!(uFlags & SWP_NOACTIVATE) && w->visible && w->isTopLevel()) state().active = hWnd;
        return TRUE;
    });
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    Window* w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return failOnNoMemory(FALSE, [&] {
        w->title = lpString ? lpString : "";
        if (w->backendId) {
            backend::current().setTitle(w->backendId, w->title);
            backend::trace("caption " + describe(*w));
        }
        return TRUE;
    });
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    const Window* w = findWindow(hWnd);
    if (!w || !lpString || nMaxCount <= 0) return 0;
    const auto n = static_cast<int>(std::min<std::size_t>(w->title.size(), static_cast<std::size_t>(nMaxCount - 1)));
    std::memcpy(lpString, w->title.data(), static_cast<std::size_t>(n));
    lpString[n] = '\0';
    return n;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    const Window* w = findWindow(hWnd);
    if (!w || !lpRect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *lpRect = {0, 0, w->clientWidth(), w->clientHeight()};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    const Window* w = findWindow(hWnd);
    if (!w || !lpRect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *lpRect = w->rect;
    return TRUE;
}

HDC WINAPI GetDC(HWND hWnd) {
    return failOnNoMemory(HDC{}, [hWnd]() -> HDC {
        if (!hWnd) return gdi::createWindowDC(state().desktop, {});
        Window* w = findWindow(hWnd);
        if (!w || !w->isTopLevel()) return nullptr;
        // Room for the context in the window's list before it is made, so a
        // context made is a context kept.
        w->contexts.reserve(w->contexts.size() + 1);
        // Every drawing operation into the window's context shows the frame.
        const HDC dc = gdi::createWindowDC(w->frame, [hWnd] {
            if (Window* target = findWindow(hWnd)) presentFrame(*target);
        });
        w->contexts.push_back(dc);
        return dc;
    });
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    if (!hWnd) return gdi::releaseWindowDC(hDC) ? 1 : 0;
    Window* w = findWindow(hWnd);
    if (!w) return 0;
    const auto it = std::find(w->contexts.begin(), w->contexts.end(), hDC);
    if (it == w->contexts.end()) return 0;
    w->contexts.erase(it);
    return gdi::releaseWindowDC(hDC) ? 1 : 0;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 asks the window to close.
        if (wParam == VK_F4 && (lParam & (1L << 29))) SendMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_SETTEXT: return SetWindowTextA(hWnd, reinterpret_cast<LPCSTR>(lParam));
    case WM_GETTEXT: return GetWindowTextA(hWnd, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    default: return 0;
    }
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return callWindowProc(*w, Msg, wParam, lParam);
}

}  // extern "C"
