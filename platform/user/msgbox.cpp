// MessageBoxA: a modal box through the backend.
#include "backend/trace.h"
#include "user/queue.h"
#include "user/window.h"

#include <cstdio>

using namespace platform;
using namespace platform::user;

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    Window* owner = findWindow(hWnd);
    if (hWnd && !owner) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const std::string text = lpText ? lpText : "";
    // Windows captions a box without a caption "Error".
    const std::string caption = lpCaption ? lpCaption : "Error";
    char style[16];
    std::snprintf(style, sizeof style, "0x%X", uType);
    backend::trace("messagebox caption=\"" + caption + "\" text=\"" + text + "\" style=" + style);

    // The owner takes no input while its box is open.
    const bool wasEnabled = owner && owner->enabled;
    if (owner) owner->enabled = false;
    const int answer = backend::current().messageBox(owner ? owner->backendId : 0, text, caption, uType);
    discardInput();
    if ((owner = findWindow(hWnd))) owner->enabled = wasEnabled;
    backend::trace("messagebox closed " + std::to_string(answer));
    return answer;
}

}  // extern "C"
