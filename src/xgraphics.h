// The graphics toolkit: bitmap loading, mirrored copies and transparency
// masks, text, and the frame pacer with its frame-rate caption.
#ifndef POMRIVEL_XGRAPHICS_H
#define POMRIVEL_XGRAPHICS_H

#include <windows.h>

HBITMAP LoadABitmap(LPCSTR szFileName);
HBITMAP LoadAndFlipBitmap(HBITMAP myImage, HWND myHwnd);
HBITMAP CreateBitmapMask(HBITMAP hbmColour, COLORREF crTransparent);
void drawString(const char* s, int x, int y, HDC myHDC);

int RenderNextFrame(int desiredFrameRate);
void CalculateFrameRate(HWND hWnd);

#endif
