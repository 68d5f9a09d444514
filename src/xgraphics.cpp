#include <windows.h>

#include <string.h>

#include "xgraphics.h"

// ---- Bitmaps: loading, mirrored copies, transparency masks, text --------

// The font of drawString, made on its first call and kept for the run.
static HFONT hFont;

// A bitmap file by its path, at its own size, converted to the display's
// format. NULL when the file is missing or is not a bitmap.
HBITMAP LoadABitmap(LPCSTR szFileName) {
    return (HBITMAP)LoadImageA(NULL, szFileName, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
}

// A new bitmap of the same size and format as myImage holding its mirror
// image, left to right. myImage is left as it was. The window's context is
// only the reference for the two memory contexts the copy runs through.
// Returns NULL when myImage is no bitmap (a sprite whose image failed to
// load), since there is no size to make a copy of.
HBITMAP LoadAndFlipBitmap(HBITMAP myImage, HWND myHwnd) {
    BITMAP bm;
    HBITMAP myBitmap;
    HDC hdc = GetDC(myHwnd);
    HDC myHDC = CreateCompatibleDC(hdc);
    HDC myHDC2 = CreateCompatibleDC(hdc);
    ReleaseDC(myHwnd, hdc);

    memset(&bm, 0, sizeof bm);
    if (!GetObjectA(myImage, sizeof bm, &bm)) {
        DeleteDC(myHDC2);
        DeleteDC(myHDC);
        return NULL;
    }
    myBitmap = CreateBitmap(bm.bmWidth, bm.bmHeight, bm.bmPlanes, bm.bmBitsPixel, NULL);

    SelectObject(myHDC2, myImage);
    SelectObject(myHDC, myBitmap);
    // A source that starts at the last column and runs leftwards with the
    // same width is a mirror without scaling.
    StretchBlt(myHDC, 0, 0, bm.bmWidth, bm.bmHeight, myHDC2, bm.bmWidth - 1, 0, -bm.bmWidth, bm.bmHeight, SRCCOPY);

    // Deleting the contexts lets both bitmaps be selected elsewhere again.
    DeleteDC(myHDC2);
    DeleteDC(myHDC);
    return myBitmap;
}

// The monochrome mask of hbmColour for the key colour crTransparent: 1 where
// a pixel is the key (transparent), 0 elsewhere. The key pixels of
// hbmColour are turned black at the same time, so that the painter can AND
// the mask into the target and then OR the image over it. Returns NULL when
// hbmColour is no bitmap.
HBITMAP CreateBitmapMask(HBITMAP hbmColour, COLORREF crTransparent) {
    BITMAP bm;
    HBITMAP hbmMask;
    HDC hdcMem, hdcMem2;

    memset(&bm, 0, sizeof bm);
    if (!GetObjectA(hbmColour, sizeof bm, &bm)) return NULL;
    hbmMask = CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, NULL);

    hdcMem = CreateCompatibleDC(NULL);
    hdcMem2 = CreateCompatibleDC(NULL);
    SelectObject(hdcMem, hbmColour);
    SelectObject(hdcMem2, hbmMask);

    // Colour to monochrome: 1 where the source equals the source context's
    // background colour, the key.
    SetBkColor(hdcMem, crTransparent);
    BitBlt(hdcMem2, 0, 0, bm.bmWidth, bm.bmHeight, hdcMem, 0, 0, SRCCOPY);
    // Monochrome to colour: 1 becomes the background colour (the key) and 0
    // the text colour (black). XORed into the image, key pixels become black
    // and every other pixel stays as it was.
    BitBlt(hdcMem, 0, 0, bm.bmWidth, bm.bmHeight, hdcMem2, 0, 0, SRCINVERT);

    DeleteDC(hdcMem);
    DeleteDC(hdcMem2);
    return hbmMask;
}

// Draws s with its upper-left corner at (x, y) of myHDC in the toolkit's
// font, glyphs only, in myHDC's text colour. The font is made on the first
// call; if that fails the next call tries again and the text is drawn in
// whatever font myHDC holds.
void drawString(const char* s, int x, int y, HDC myHDC) {
    if (hFont == NULL) {
        hFont = CreateFontA(46, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, FIXED_PITCH | FF_SWISS, "ARIAL");
    }
    if (hFont != NULL) SelectObject(myHDC, hFont);
    SetBkMode(myHDC, TRANSPARENT);
    TextOutA(myHDC, x, y, s, (int)strlen(s));
}

// ---- Frame pacing and the frame-rate caption ---------------------------

// The pacer's clock: milliseconds since clockStart, in unsigned 32-bit
// arithmetic, set at its first reading. Seconds since the system started
// lose resolution as the uptime grows (a float steps by 2 ms from 16,384 s
// on, by half a second near 49 days) and the frame interval grows with
// them, so a run that starts after 16,384 s of uptime counts from its own
// start instead, and the tick count's wrap passes it unseen. That clock
// starts at one minute, so the run paces exactly as one started a minute
// after start-up: its first frame is due and its first caption shown at
// once, and its first seconds are no slower than the rest (from 0, the
// float rounds an exact 20 ms gap short of the interval more often for a
// few seconds). A run that starts sooner counts from the system's start, as
// it always has: there every millisecond is a distinct time already, and
// since the float's rounding depends on the time itself, counting from
// anywhere else would move some of its frames by a millisecond.
static const DWORD fineUptime = 16384000;
static const DWORD lateStartTime = 60000;
static DWORD clockStart;
static int clockStarted;

// Time of the last frame that was due, and of the last caption update, in
// seconds on the pacer's clock; frames counted since that update.
static float lastTime;
static float fLastTime;
static DWORD dwFrames;

// Seconds on the pacer's clock: its milliseconds as a 32-bit float times the
// float nearest 0.001, in float arithmetic.
static float timeNow(void) {
    const DWORD now = GetTickCount();
    if (!clockStarted) {
        clockStarted = 1;
        clockStart = now < fineUptime ? 0 : now - lateStartTime;
    }
    const float ticks = (float)(DWORD)(now - clockStart);
    const float millisecond = 0.001f;
    return ticks * millisecond;
}

// 1 when more than one frame interval has passed since the last due frame;
// that call then starts the next interval. The clock wraps to near zero
// after 49.7 days of counting; a frame is due at once then, so frames keep
// coming instead of stopping until the new time catches up.
int RenderNextFrame(int desiredFrameRate) {
    float currentTime = timeNow();
    float elapsedTime = currentTime - lastTime;
    double interval = 1.0 / desiredFrameRate;
    if (elapsedTime > interval || elapsedTime < 0.0f) {
        lastTime = currentTime;
        return 1;
    }
    return 0;
}

// Counts a drawn frame; when more than a second has passed since the last
// update, shows the count in the window's caption and starts counting again.
// A time that fell back at the clock's wrap starts a new second too.
void CalculateFrameRate(HWND hWnd) {
    char strFrameRate[55];
    memset(strFrameRate, 0, sizeof strFrameRate);
    float fTime = timeNow();
    ++dwFrames;
    float sinceUpdate = fTime - fLastTime;
    if (sinceUpdate > 1.0f || sinceUpdate < 0.0f) {
        fLastTime = fTime;
        wsprintfA(strFrameRate, "Frames Per Second: %d", (int)dwFrames);
        SetWindowTextA(hWnd, strFrameRate);
        dwFrames = 0;
    }
}
