// MessageBoxA: a modal box, either the backend's own or, where the backend
// has none, a window of the layer with a modal loop of its own.
#include "backend/trace.h"
#include "kernel/no_memory.h"
#include "user/box_window.h"
#include "user/queue.h"
#include "user/window.h"

#include <cstdio>

using namespace platform;
using namespace platform::user;
using platform::kernel::failOnNoMemory;

namespace {

// Puts the owner back as it was: enabled before the box goes, as Windows
// does, so that the keyboard returns to it.
void restoreOwner(HWND owner, bool wasEnabled) {
    if (Window* w = findWindow(owner)) w->enabled = wasEnabled;
}

// Runs the box's own window until it is answered. It ends without an answer
// (0, as a failed MessageBox returns: no button counts as chosen) when the
// box is destroyed, with its owner say, when the quit message arrives (which
// is posted again for the loop outside, as Windows' modal loops do), and,
// for a box with no owner, when the process is asked to close: no window's
// close would end that box, so the box ends and hands the request on to the
// other windows.
int runBoxWindow(HWND owner, bool ownerWasEnabled, const std::string& text, const std::string& caption, UINT style) {
    const HWND box = openBoxWindow(owner, text, caption, style);
    if (!box) {
        // Nobody can see it; keep the message on the terminal at least.
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return 0;
    }
    int answer = 0;
    while (IsWindow(box)) {
        if (const std::optional<int> choice = boxChoice(box)) {
            answer = *choice;
            break;
        }
        if (!owner && backend::takeCloseRequest()) {
            backend::requestCloseFromSignal();
            break;
        }
        // An empty peek waits for the next tick or input, so an open box
        // costs next to nothing.
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    restoreOwner(owner, ownerWasEnabled);
    if (IsWindow(box)) DestroyWindow(box);
    return answer;
}

}  // namespace

extern "C" {

// A box that finds no memory is not shown and answers 0, as Windows' does.
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    Window* owner = findWindow(hWnd);
    if (hWnd && !owner) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return failOnNoMemory(0, [&] {
        const std::string text = lpText ? lpText : "";
        // Windows captions a box without a caption "Error".
        const std::string caption = lpCaption ? lpCaption : "Error";
        char style[16];
        std::snprintf(style, sizeof style, "0x%X", uType);
        backend::trace("messagebox caption=\"" + caption + "\" text=\"" + text + "\" style=" + style);

        // The owner takes no input while its box is open, and gets it back
        // however the box ends.
        const bool wasEnabled = owner && owner->enabled;
        if (owner) owner->enabled = false;
        struct OwnerBack {
            HWND owner;
            bool enabled;
            ~OwnerBack() { restoreOwner(owner, enabled); }
        } ownerBack{hWnd, wasEnabled};
        int answer = 0;
        if (const std::optional<int> backendAnswer =
                backend::current().messageBox(owner ? owner->backendId : 0, text, caption, uType)) {
            answer = *backendAnswer;
            discardInput();
            restoreOwner(hWnd, wasEnabled);
        } else {
            answer = runBoxWindow(hWnd, wasEnabled, text, caption, uType);
        }
        backend::trace("messagebox closed " + std::to_string(answer));
        return answer;
    });
}

}  // extern "C"
