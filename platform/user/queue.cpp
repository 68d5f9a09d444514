// The thread's message queue: posted messages, input from the backend turned
// into the messages Windows sends, and the quit flag.
#include "user/queue.h"

#include "kernel/no_memory.h"
#include "user/window.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <new>

namespace platform::user {

namespace {

struct Queue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quit = false;
    int quitCode = 0;
    bool keyDown[256] = {};
    WPARAM buttons = 0;  // MK_ flags of the mouse buttons held
    // The last left press, for double clicks.
    DWORD lastPressTime = 0;
    POINT lastPressPoint{};
    HWND lastPressWindow = nullptr;
    bool lastPressWasDouble = false;
};

Queue& queue() {
    static Queue q;
    return q;
}

// Windows' defaults: two presses within 500 ms and 4 pixels make a double click.
constexpr DWORD kDoubleClickTime = 500;
constexpr LONG kDoubleClickDistance = 2;

MSG message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    GetCursorPos(&m.pt);
    return m;
}

// Key messages: the system forms (WM_SYS*) when Alt is held or the key is
// Alt or F10. The word parameter is the virtual key; the long parameter
// holds the repeat count, the context code (bit 29: Alt held), the previous
// key state (bit 30) and the transition state (bit 31).
void queueKey(const backend::Event& e) {
    Queue& q = queue();
    const auto vk = static_cast<unsigned>(e.virtualKey) & 0xFF;
    const bool down = e.type == backend::EventType::KeyDown;
    const bool wasDown = q.keyDown[vk];
    q.keyDown[vk] = down;
    const HWND target = activeWindow();
    const Window* w = findWindow(target);
    if (!w || !w->enabled) return;
    const bool system = e.altDown || vk == VK_MENU || vk == VK_F10;
    UINT msg;
    if (down)
        msg = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    else
        msg = system ? WM_SYSKEYUP : WM_KEYUP;
    LPARAM lParam = 1;
    if (e.altDown) lParam |= LPARAM{1} << 29;
    if (!down || wasDown) lParam |= LPARAM{1} << 30;
    if (!down) lParam |= LPARAM{1} << 31;
    q.input.push_back(message(target, msg, vk, static_cast<LPARAM>(static_cast<DWORD>(lParam))));
}

void queueMouse(const backend::Event& e) {
    Queue& q = queue();
    WPARAM flag = 0;
    UINT downMsg = 0, upMsg = 0;
    switch (e.button) {
    case backend::MouseButton::Left: flag = MK_LBUTTON; downMsg = WM_LBUTTONDOWN; upMsg = WM_LBUTTONUP; break;
    case backend::MouseButton::Right: flag = MK_RBUTTON; downMsg = WM_RBUTTONDOWN; upMsg = WM_RBUTTONUP; break;
    case backend::MouseButton::Middle: flag = MK_MBUTTON; downMsg = WM_MBUTTONDOWN; upMsg = WM_MBUTTONUP; break;
    }
    if (e.type == backend::EventType::ButtonDown) q.buttons |= flag;
    if (e.type == backend::EventType::ButtonUp) q.buttons &= ~flag;

    auto [target, client] = windowAt(e.position);
    const Window* w = findWindow(target);
    if (!w) {
        // Outside every window of the program's screen (a letterbox's bars,
        // another monitor showing the same window): the window the event
        // came from takes it, as a window with the mouse captured would.
        for (Window* named : topLevelWindows())
            if (e.window && named->backendId == e.window && named->visible && named->enabled) w = named;
        if (!w) return;
        target = w->handle;
        client = POINT{e.position.x - w->rect.left, e.position.y - w->rect.top};
    }
    UINT msg = WM_MOUSEMOVE;
    if (e.type == backend::EventType::ButtonDown) msg = downMsg;
    if (e.type == backend::EventType::ButtonUp) msg = upMsg;

    if (msg == WM_LBUTTONDOWN) {
        const DWORD now = GetTickCount();
        const bool isDouble = (w->classStyle & CS_DBLCLKS) && !q.lastPressWasDouble && target == q.lastPressWindow &&
                              now - q.lastPressTime <= kDoubleClickTime &&
                              std::abs(e.position.x - q.lastPressPoint.x) <= kDoubleClickDistance &&
                              std::abs(e.position.y - q.lastPressPoint.y) <= kDoubleClickDistance;
        if (isDouble) msg = WM_LBUTTONDBLCLK;
        q.lastPressWasDouble = isDouble;
        q.lastPressTime = now;
        q.lastPressPoint = e.position;
        q.lastPressWindow = target;
    }
    const LPARAM lParam = MAKELPARAM(static_cast<WORD>(client.x), static_cast<WORD>(client.y));
    q.input.push_back(message(target, msg, q.buttons, lParam));
}

// A close request for the backend's window `window`, or for every window
// (0). Closing without a window to close ends the message loop instead, so a
// signal always stops the program; so does a close that finds no memory to
// queue its message in.
void queueClose(backend::WindowId window) {
    Queue& q = queue();
    try {
        if (window) {
            for (Window* w : topLevelWindows())
                if (w->backendId == window) q.input.push_back(message(w->handle, WM_CLOSE, 0, 0));
            return;  // a window that is gone already closes nothing
        }
        bool any = false;
        for (Window* w : topLevelWindows()) {
            if (w->owner) continue;  // owned windows close with their owner
            q.input.push_back(message(w->handle, WM_CLOSE, 0, 0));
            any = true;
        }
        if (any) return;
    } catch (const std::bad_alloc&) {
    }
    PostQuitMessage(0);
}

void queueEvent(const backend::Event& e) {
    switch (e.type) {
    case backend::EventType::KeyDown:
    case backend::EventType::KeyUp: queueKey(e); break;
    case backend::EventType::MouseMove:
    case backend::EventType::ButtonDown:
    case backend::EventType::ButtonUp: queueMouse(e); break;
    case backend::EventType::CloseRequest: queueClose(e.window); break;
    }
}

bool matches(const MSG& m, HWND hwnd, UINT first, UINT last) {
    if (hwnd == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false;
    } else if (hwnd && m.hwnd != hwnd) {
        return false;
    }
    return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
}

bool take(std::deque<MSG>& from, LPMSG out, HWND hwnd, UINT first, UINT last, bool remove) {
    const auto it = std::find_if(from.begin(), from.end(), [&](const MSG& m) { return matches(m, hwnd, first, last); });
    if (it == from.end()) return false;
    *out = *it;
    if (remove) from.erase(it);
    return true;
}

// Turns pending backend input (and a signal's close request) into queued
// messages.
void pumpInput() {
    if (backend::takeCloseRequest()) queueClose(0);
    backend::Event e;
    while (backend::current().pollEvent(e)) queueEvent(e);
}

// Whether a key is held, as far as the queue has seen.
bool isKeyDown(int vk) { return queue().keyDown[static_cast<unsigned>(vk) & 0xFF]; }

}  // namespace

void discardInput() {
    backend::Event e;
    while (backend::current().pollEvent(e)) {
        // Only a close request survives: it is not meant for the box.
        if (e.type == backend::EventType::CloseRequest) queueEvent(e);
    }
}

void forgetMessagesFor(HWND hwnd) {
    Queue& q = queue();
    std::erase_if(q.posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
    std::erase_if(q.input, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
}

}  // namespace platform::user

using namespace platform::user;
using platform::kernel::failOnNoMemory;

extern "C" {

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) return FALSE;
    try {
        pumpInput();
    } catch (const std::bad_alloc&) {
        // Input that finds no room in the queue is lost, as it is when
        // Windows' queue is full; a close request never is.
    }
    Queue& q = queue();
    const bool remove = wRemoveMsg & PM_REMOVE;
    // Posted messages come before input; the quit message only once neither
    // is waiting.
    if (take(q.posted, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove)) return TRUE;
    if (take(q.input, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove)) return TRUE;
    if (q.quit && ((wMsgFilterMin == 0 && wMsgFilterMax == 0) ||
                   (WM_QUIT >= wMsgFilterMin && WM_QUIT <= wMsgFilterMax))) {
        *lpMsg = message(nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
        if (remove) q.quit = false;
        return TRUE;
    }
    // Nothing to return: what was drawn goes to the screen, then the
    // backend waits for a tick that matters or input, so a loop that polls
    // without pause costs next to nothing between frames and still takes
    // its frames on the same ticks.
    platform::backend::Backend& backend = platform::backend::current();
    backend.showFrames();
    backend.idle();
    return FALSE;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd && !IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return failOnNoMemory(FALSE, [&] {
        queue().posted.push_back(message(hWnd, Msg, wParam, lParam));
        return TRUE;
    });
}

void WINAPI PostQuitMessage(int nExitCode) {
    Queue& q = queue();
    q.quit = true;
    q.quitCode = nExitCode;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg) return FALSE;
    const UINT m = lpMsg->message;
    if (m != WM_KEYDOWN && m != WM_KEYUP && m != WM_SYSKEYDOWN && m != WM_SYSKEYUP) return FALSE;
    if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) {
        const auto vk = static_cast<int>(lpMsg->wParam);
        int ch = 0;
        if (vk >= 'A' && vk <= 'Z')
            ch = isKeyDown(VK_SHIFT) ? vk : vk - 'A' + 'a';
        else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK ||
                 vk == VK_TAB)
            ch = vk;
        if (ch) {
            // The character comes next, before anything posted later.
            MSG c = *lpMsg;
            c.message = m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
            c.wParam = static_cast<WPARAM>(ch);
            if (!failOnNoMemory(false, [&c] {
                    queue().posted.push_front(c);
                    return true;
                }))
                return FALSE;
        }
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg || !lpMsg->hwnd) return 0;
    Window* w = findWindow(lpMsg->hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return callWindowProc(*w, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

}  // extern "C"
