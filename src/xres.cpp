#include <windows.h>

#include <string.h>

#include "xres.h"

// Switches the display to width x height, keeping the colour depth, the
// refresh rate and every other setting of the mode in force. A mode that
// cannot be read leaves the display alone; a refused change also ends the
// run before its first frame.
void setResolutionSize(int width, int height) {
    DEVMODEA dmSettings;
    memset(&dmSettings, 0, sizeof dmSettings);
    if (!EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &dmSettings)) {
        MessageBoxA(NULL, "Could Not Enum Display Settings", "Error", MB_OK);
        return;
    }
    dmSettings.dmPelsWidth = width;
    dmSettings.dmPelsHeight = height;
    LONG result = ChangeDisplaySettingsA(&dmSettings, CDS_FULLSCREEN);
    if (result != DISP_CHANGE_SUCCESSFUL) {
        MessageBoxA(NULL, "Display Mode Not Compatible", "Error", MB_OK);
        PostQuitMessage(0);
    }
}

// Back to the mode stored in the system's settings.
void resetResolution(void) { ChangeDisplaySettingsA(NULL, 0); }
