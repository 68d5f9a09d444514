// The saver's window and surfaces on the headless screen, for benchmarks of
// the saver's own drawing: a topmost 640 x 480 window, shown, with the back
// buffer and scratch contexts the saver makes for it (getGraphics).
#pragma once

#include <windows.h>

#include "backend/headless/headless.h"
#include "xsavermain.h"

// Opens the window once per process; later calls do nothing.
inline void openSaverWindow() {
    static bool open = false;
    if (open) return;
    open = true;
    platform::backend::install(platform::backend::makeHeadlessBackend(platform::backend::HeadlessConfig{}));
    hInst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = hInst;
    wc.lpszClassName = "PomrivelBench";
    RegisterClassA(&wc);
    hwndMain = CreateWindowExA(0, "PomrivelBench", "bench", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, hInst, nullptr);
    SetWindowPos(hwndMain, HWND_TOPMOST, 0, 0, 640, 480, SWP_SHOWWINDOW);
    getGraphics(hwndMain);
}
