// Prints the extended window style of the top-level window of a class, as
// Win32 itself keeps it: the Windows end-to-end test reads WS_EX_TOPMOST
// from it, which an X window manager's view of the window need not show.
//
// usage: window_style CLASS     (status 1 when there is no such window)
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_style CLASS\n");
        return 2;
    }
    const HWND window = FindWindowA(argv[1], nullptr);
    if (!window) {
        std::fprintf(stderr, "no window of class %s\n", argv[1]);
        return 1;
    }
    std::printf("0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    return 0;
}
