// The saver shell: program entry, the main window, the frame loop and the
// drawing surfaces every other module draws with.
#ifndef POMRIVEL_XSAVERMAIN_H
#define POMRIVEL_XSAVERMAIN_H

#include <windows.h>

// Tunables.
extern int noStretch;        // 1: switch the display to the default size; 0: stretch 640x480 to the surface
extern int BLANKBACKGROUND;  // clear the back buffer before each frame
extern int GAMESPEED;        // frames per second
extern int DEFAULTRESWIDTH;
extern int DEFAULTRESHEIGHT;

// The shared drawing state.
extern HINSTANCE hInst;
extern HWND hwndMain;
extern HDC g;     // the window's device context
extern HDC h;     // the back buffer every frame is drawn into
extern HDC h2;    // the stretch target
extern HDC temp;  // scratch context sprite bitmaps are selected into
extern HBRUSH hb;
extern RECT screenSize;

HDC getGraphics(HWND myHwnd);
void GameLoop(void);
void shutdown(void);
int setScreenSize(int width, int height);

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void MainWndProc_OnCommand(HWND hwnd, int id, HWND hwndCtl, UINT codeNotify);

#endif
