#include <windows.h>

#include <string.h>

#include "xsavermain.h"
#include "screen.h"
#include "xgraphics.h"
#include "xres.h"

// ---- Tunables ------------------------------------------------------------

int noStretch = 1;
int BLANKBACKGROUND = 1;
int GAMESPEED = 100;
int DEFAULTRESWIDTH = 640;
int DEFAULTRESHEIGHT = 480;

// ---- Shared drawing state -------------------------------------------------

HINSTANCE hInst;
HWND hwndMain;
HDC g;
HDC h;
HDC h2;
HDC temp;
HBRUSH hb;
RECT screenSize;

// ---- Module state ------------------------------------------------------------

static HANDLE myMutex;  // held for the life of the process: the single-instance guard
static POINT p;         // the cursor where the run started
static POINT pt;        // the cursor in the current frame
static MSG msg;         // the frame loop's message
static int stopped;     // shutdown has run: the contexts are gone

static const char kClassName[] = "pomrivel1WndClass";
static const char kTitle[] = "Pomrivel 1.0 by the Pomrivel authors";
static const char kAbout[] = "Pomrivel by the Pomrivel authors, 2003-2026";

// Movement of the cursor, in pixels left or right of where the run started,
// that the saver tolerates.
static const int kMovementThreshold = 5;

enum {
    kAcceleratorTable = 100,
    kDialogConfigure = 400,
    kIconMain = 710,
    kCommandNew = 200,
    kCommandOpen = 210,
    kCommandExit = 300,
    kCommandAbout = 500,
};

// ---- The window ----------------------------------------------------------

static int InitApplication(void) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = hInst;
    wc.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hIcon = LoadIconA(hInst, MAKEINTRESOURCEA(kIconMain));
    return RegisterClassA(&wc) != 0;
}

// The main window: a borderless popup, hidden until the run places it.
static HWND Createpomrivel1WndClassWnd(void) {
    return CreateWindowExA(0, kClassName, kTitle, WS_POPUP, 100, 100, DEFAULTRESWIDTH, DEFAULTRESHEIGHT, NULL, NULL,
                           hInst, NULL);
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
    case WM_KEYUP:
    case WM_LBUTTONDOWN: shutdown(); return 0;
    case WM_COMMAND:
        MainWndProc_OnCommand(hwnd, (int)LOWORD(wParam), (HWND)lParam, (UINT)HIWORD(wParam));
        return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void MainWndProc_OnCommand(HWND hwnd, int id, HWND hwndCtl, UINT codeNotify) {
    (void)hwndCtl;
    (void)codeNotify;
    switch (id) {
    case kCommandNew: break;
    case kCommandOpen:
        // The window procedure serves as the dialog's procedure too. The
        // cast goes through a generic function pointer: a window procedure
        // returns LRESULT and a dialog procedure INT_PTR, the same size but
        // not always the same type.
        CreateDialogParamA(hInst, MAKEINTRESOURCEA(kDialogConfigure), hwnd,
                           (DLGPROC)(void (*)(void))MainWndProc, 0);
        break;
    case kCommandExit: PostMessageA(hwnd, WM_CLOSE, 0, 0); break;
    case kCommandAbout: MessageBoxA(hwnd, kAbout, "About Pomrivel", MB_OK); break;
    default: break;
    }
}

// ---- Surfaces, frames and the stop -----------------------------------

HDC getGraphics(HWND myHwnd) {
    GetClientRect(myHwnd, &screenSize);
    g = GetDC(myHwnd);
    h = CreateCompatibleDC(g);
    h2 = CreateCompatibleDC(g);
    temp = CreateCompatibleDC(g);
    SetMapMode(h, GetMapMode(g));
    SetMapMode(h2, GetMapMode(g));
    SetMapMode(temp, GetMapMode(g));
    HBITMAP hBitmap = CreateCompatibleBitmap(g, screenSize.right, screenSize.bottom);
    HBITMAP hBitmap2 = CreateCompatibleBitmap(g, screenSize.right, screenSize.bottom);
    SelectObject(h, hBitmap);
    SelectObject(h2, hBitmap2);
    return h;
}

int setScreenSize(int width, int height) {
    screenSize.left = 0;
    screenSize.top = 0;
    screenSize.right = width;
    screenSize.bottom = height;
    SetWindowPos(hwndMain, HWND_TOPMOST, 0, 0, width, height, SWP_SHOWWINDOW);
    return 1;
}

// The orderly stop. Only the first call acts: later stop requests (a key
// release still queued, the window's destruction) find the contexts gone and
// must neither use nor release them again.
void shutdown(void) {
    if (stopped) return;
    stopped = 1;
    if (noStretch) resetResolution();
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, 0);
    deinit();
    ReleaseDC(hwndMain, g);
    DeleteDC(h);
    DeleteDC(temp);
    PostQuitMessage(0);
}

static void RunFrame(void) {
    CalculateFrameRate(hwndMain);
    if (BLANKBACKGROUND) {
        SelectObject(h, hb);
        Rectangle(h, 0, 0, screenSize.right, screenSize.bottom);
    }
    paint();
    GetCursorPos(&pt);
    int d = pt.x - p.x;
    if (d > kMovementThreshold || d < -kMovementThreshold) shutdown();
    // A frame that stopped the saver ends here: its contexts are released.
    if (stopped) return;
    if (noStretch) {
        BitBlt(g, 0, 0, screenSize.right, screenSize.bottom, h, 0, 0, SRCCOPY);
    } else {
        StretchBlt(h2, 0, 0, screenSize.right, screenSize.bottom, h, 0, 0, 640, 480, SRCCOPY);
        BitBlt(g, 0, 0, screenSize.right, screenSize.bottom, h2, 0, 0, SRCCOPY);
    }
}

// Messages first; a frame only when none is waiting and the pacer says one
// is due. Never waits. Ends once the quit message has been taken.
void GameLoop(void) {
    msg.message = 0;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
    while (msg.message != WM_QUIT) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (RenderNextFrame(GAMESPEED)) {
            RunFrame();
        }
    }
}

// ---- Entry ---------------------------------------------------------------

static void RunSaver(void) {
    if (noStretch) setResolutionSize(DEFAULTRESWIDTH, DEFAULTRESHEIGHT);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &screenSize, 0);
    SetWindowPos(hwndMain, HWND_TOPMOST, 0, 0, screenSize.right, screenSize.bottom, SWP_SHOWWINDOW);
    getGraphics(hwndMain);
    hb = (HBRUSH)GetStockObject(BLACK_BRUSH);
    init();
    ShowWindow(hwndMain, SW_SHOW);
    GetCursorPos(&p);
    ShowCursor(FALSE);
    GameLoop();
}

// Answers the screensaver command line: /s runs the saver, /c and /a are
// answered with a box, anything else ends quietly. The switch is the one
// character after the first '-' or '/' of the tail.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    (void)hPrevInstance;
    (void)nCmdShow;
    myMutex = CreateMutexA(NULL, FALSE, "SCREENSAVER");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        PostQuitMessage(0);
        return 0;
    }
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, 0);
    hInst = hInstance;
    if (!InitApplication()) return 0;
    HACCEL hAccelTable = LoadAcceleratorsA(hInst, MAKEINTRESOURCEA(kAcceleratorTable));
    (void)hAccelTable;  // loaded for the window's interface; nothing translates accelerators
    hwndMain = Createpomrivel1WndClassWnd();
    if (!hwndMain) return 0;

    const char* c = lpCmdLine ? lpCmdLine : "";
    while (*c != '\0' && *c != '-' && *c != '/') ++c;
    if (*c == '\0') return 0;
    switch (c[1]) {
    case 'S':
    case 's': RunSaver(); break;
    case 'A':
    case 'a': MessageBoxA(hwndMain, "This screensaver doesn't support passwords", "Error", MB_ICONHAND); break;
    case 'C':
    case 'c': MessageBoxA(hwndMain, "No settings to configure.", "Settings...", MB_OK); break;
    default: break;
    }
    return 0;
}
