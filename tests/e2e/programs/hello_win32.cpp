// A small Win32 program that the layer must run unchanged on every backend:
// a topmost window over the work area, a message loop that draws a moving
// bar into a back buffer and copies it to the window, and a key release
// that shows a box and ends the program.
#include <windows.h>

namespace {

HWND gWindow;
HDC gWindowDC, gBuffer;
RECT gArea;
int gFrame;

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYUP:
        MessageBoxA(hwnd, "Goodbye from a Win32 program.", "Hello", MB_OK);
        PostQuitMessage(3);
        return 0;
    case WM_DESTROY: PostQuitMessage(4); return 0;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

void drawFrame() {
    SelectObject(gBuffer, GetStockObject(BLACK_BRUSH));
    Rectangle(gBuffer, 0, 0, gArea.right, gArea.bottom);
    HBRUSH bar = CreateSolidBrush(RGB(40, 160, 250));
    SelectObject(gBuffer, bar);
    const int x = (gFrame * 4) % (gArea.right > 40 ? gArea.right - 40 : 1);
    Rectangle(gBuffer, x, gArea.bottom / 4, x + 40, gArea.bottom * 3 / 4);
    SelectObject(gBuffer, GetStockObject(BLACK_BRUSH));
    DeleteObject(bar);
    BitBlt(gWindowDC, 0, 0, gArea.right, gArea.bottom, gBuffer, 0, 0, SRCCOPY);
    ++gFrame;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "HelloWin32";
    if (!RegisterClassA(&wc)) return 1;
    gWindow = CreateWindowExA(0, "HelloWin32", "Hello", WS_POPUP, 0, 0, 320, 200, nullptr, nullptr, instance, nullptr);
    if (!gWindow) return 1;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &gArea, 0);
    SetWindowPos(gWindow, HWND_TOPMOST, 0, 0, gArea.right, gArea.bottom, SWP_SHOWWINDOW);
    GetClientRect(gWindow, &gArea);
    gWindowDC = GetDC(gWindow);
    gBuffer = CreateCompatibleDC(gWindowDC);
    SelectObject(gBuffer, CreateCompatibleBitmap(gWindowDC, gArea.right, gArea.bottom));

    MSG msg{};
    DWORD last = GetTickCount();
    while (msg.message != WM_QUIT) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (GetTickCount() - last >= 20) {
            last = GetTickCount();
            drawFrame();
        }
    }
    ReleaseDC(gWindow, gWindowDC);
    DeleteDC(gBuffer);
    return static_cast<int>(msg.wParam);
}
