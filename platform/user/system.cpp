// Cursor, system parameters and display settings.
#include "backend/backend.h"
#include "backend/trace.h"
#include "kernel/no_memory.h"

#include <cstring>
#include <optional>

using namespace platform;
using platform::kernel::failOnNoMemory;

namespace {

// ShowCursor's display counter: the cursor shows while it is 0 or more.
int gCursorCount = 0;
// The screen-saving setting; only this process sees it.
BOOL gScreenSaveActive = TRUE;
// The mode the desktop had before any change, for ENUM_REGISTRY_SETTINGS.
std::optional<backend::DisplayMode> gStoredMode;

void rememberStoredMode() {
    if (gStoredMode) return;
    backend::DisplayMode mode;
    if (backend::current().currentMode(mode)) gStoredMode = mode;
}

std::string sizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace

extern "C" {

// The backend is made on first use, which may find no memory; so may a line
// of the trace.
BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
    if (!lpPoint) return FALSE;
    return failOnNoMemory(FALSE, [lpPoint] {
        *lpPoint = backend::current().cursorPosition();
        return TRUE;
    });
}

// The count changes whatever the display makes of it.
int WINAPI ShowCursor(BOOL bShow) {
    const bool wasVisible = gCursorCount >= 0;
    gCursorCount += bShow ? 1 : -1;
    const bool visible = gCursorCount >= 0;
    if (visible != wasVisible) {
        failOnNoMemory(0, [visible] {
            backend::current().setCursorVisible(visible);
            backend::trace(visible ? "cursor shown" : "cursor hidden");
            return 0;
        });
    }
    return gCursorCount;
}

BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni) {
    return failOnNoMemory(FALSE, [&]() -> BOOL {
        switch (uiAction) {
        case SPI_GETSCREENSAVEACTIVE:
            if (!pvParam) return FALSE;
            *static_cast<BOOL*>(pvParam) = gScreenSaveActive;
            return TRUE;
        case SPI_SETSCREENSAVEACTIVE:
            gScreenSaveActive = uiParam ? TRUE : FALSE;
            backend::trace("screensaver active " + std::to_string(gScreenSaveActive) +
                           ((fWinIni & SPIF_UPDATEINIFILE) ? " saved" : "") +
                           ((fWinIni & SPIF_SENDCHANGE) ? " broadcast" : ""));
            return TRUE;
        case SPI_GETWORKAREA:
            if (!pvParam) return FALSE;
            *static_cast<RECT*>(pvParam) = backend::current().workArea();
            return TRUE;
        default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
        }
    });
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR lpszDeviceName, DWORD iModeNum, DEVMODEA* lpDevMode) {
    // Only the primary display exists, under its default name or none.
    if (!lpDevMode || (lpszDeviceName && std::strcmp(lpszDeviceName, "\\\\.\\DISPLAY1") != 0)) return FALSE;
    return failOnNoMemory(FALSE, [&]() -> BOOL {
        rememberStoredMode();
        backend::DisplayMode mode;
        if (iModeNum == ENUM_CURRENT_SETTINGS || iModeNum == 0) {
            if (!backend::current().currentMode(mode)) return FALSE;
        } else if (iModeNum == ENUM_REGISTRY_SETTINGS) {
            if (!gStoredMode) return FALSE;
            mode = *gStoredMode;
        } else {
            return FALSE;  // one mode is listed: the one in force
        }
        std::memcpy(lpDevMode->dmDeviceName, "DISPLAY", 8);
        lpDevMode->dmSize = sizeof(DEVMODEA);
        lpDevMode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
        lpDevMode->dmBitsPerPel = static_cast<DWORD>(mode.bitsPerPixel);
        lpDevMode->dmPelsWidth = static_cast<DWORD>(mode.width);
        lpDevMode->dmPelsHeight = static_cast<DWORD>(mode.height);
        lpDevMode->dmDisplayFlags = 0;
        lpDevMode->dmDisplayFrequency = static_cast<DWORD>(mode.frequency);
        return TRUE;
    });
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* lpDevMode, DWORD dwFlags) {
    return failOnNoMemory(LONG{DISP_CHANGE_FAILED}, [&]() -> LONG {
        rememberStoredMode();
        if (!lpDevMode) {
            backend::current().restoreMode();
            backend::trace("display mode restored");
            return DISP_CHANGE_SUCCESSFUL;
        }
        backend::DisplayMode mode;
        if (!backend::current().currentMode(mode)) return DISP_CHANGE_FAILED;
        // Fields the record does not mark keep the values of the mode in force.
        const DWORD fields = lpDevMode->dmFields;
        if (fields & DM_PELSWIDTH) mode.width = static_cast<int>(lpDevMode->dmPelsWidth);
        if (fields & DM_PELSHEIGHT) mode.height = static_cast<int>(lpDevMode->dmPelsHeight);
        if ((fields & DM_BITSPERPEL) && static_cast<int>(lpDevMode->dmBitsPerPel) != mode.bitsPerPixel)
            return DISP_CHANGE_BADMODE;  // the display has one pixel format
        if (mode.width < 1 || mode.height < 1 || mode.width > 16384 || mode.height > 16384) return DISP_CHANGE_BADMODE;
        if (dwFlags & CDS_TEST) return DISP_CHANGE_SUCCESSFUL;
        const LONG result = backend::current().changeMode(mode);
        backend::trace("display mode " + sizeText(mode.width, mode.height) + " result " + std::to_string(result));
        return result;
    });
}

}  // extern "C"
