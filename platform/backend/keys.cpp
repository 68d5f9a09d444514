#include "backend/keys.h"

#include <windows.h>

#include <xkbcommon/xkbcommon-keysyms.h>

namespace platform::backend {

namespace {

// Win32 names several keys only by number.
constexpr int kSnapshot = 0x2C, kLeftWin = 0x5B, kRightWin = 0x5C, kApps = 0x5D, kNumpad0 = 0x60,
              kMultiply = 0x6A, kAdd = 0x6B, kSubtract = 0x6D, kDecimal = 0x6E, kDivide = 0x6F, kNumLock = 0x90,
              kScroll = 0x91;

int fromKeysym(std::uint32_t k) {
    if (k >= XKB_KEY_a && k <= XKB_KEY_z) return 'A' + static_cast<int>(k - XKB_KEY_a);
    if (k >= XKB_KEY_A && k <= XKB_KEY_Z) return 'A' + static_cast<int>(k - XKB_KEY_A);
    if (k >= XKB_KEY_0 && k <= XKB_KEY_9) return '0' + static_cast<int>(k - XKB_KEY_0);
    if (k >= XKB_KEY_F1 && k <= XKB_KEY_F24) return VK_F1 + static_cast<int>(k - XKB_KEY_F1);
    if (k >= XKB_KEY_KP_0 && k <= XKB_KEY_KP_9) return kNumpad0 + static_cast<int>(k - XKB_KEY_KP_0);
    switch (k) {
        case XKB_KEY_Escape: return VK_ESCAPE;
        case XKB_KEY_Return:
        case XKB_KEY_KP_Enter: return VK_RETURN;
        case XKB_KEY_space:
        case XKB_KEY_KP_Space: return VK_SPACE;
        case XKB_KEY_Tab:
        case XKB_KEY_ISO_Left_Tab:
        case XKB_KEY_KP_Tab: return VK_TAB;
        case XKB_KEY_BackSpace: return VK_BACK;
        case XKB_KEY_Left:
        case XKB_KEY_KP_Left: return VK_LEFT;
        case XKB_KEY_Right:
        case XKB_KEY_KP_Right: return VK_RIGHT;
        case XKB_KEY_Up:
        case XKB_KEY_KP_Up: return VK_UP;
        case XKB_KEY_Down:
        case XKB_KEY_KP_Down: return VK_DOWN;
        case XKB_KEY_Shift_L:
        case XKB_KEY_Shift_R: return VK_SHIFT;
        case XKB_KEY_Control_L:
        case XKB_KEY_Control_R: return VK_CONTROL;
        case XKB_KEY_Alt_L:
        case XKB_KEY_Alt_R:
        case XKB_KEY_Meta_L:
        case XKB_KEY_Meta_R:
        case XKB_KEY_ISO_Level3_Shift: return VK_MENU;
        case XKB_KEY_Pause: return VK_PAUSE;
        case XKB_KEY_Caps_Lock: return VK_CAPITAL;
        case XKB_KEY_Prior:
        case XKB_KEY_KP_Prior: return VK_PRIOR;
        case XKB_KEY_Next:
        case XKB_KEY_KP_Next: return VK_NEXT;
        case XKB_KEY_End:
        case XKB_KEY_KP_End: return VK_END;
        case XKB_KEY_Home:
        case XKB_KEY_KP_Home: return VK_HOME;
        case XKB_KEY_Insert:
        case XKB_KEY_KP_Insert: return VK_INSERT;
        case XKB_KEY_Delete:
        case XKB_KEY_KP_Delete: return VK_DELETE;
        case XKB_KEY_Print: return kSnapshot;
        case XKB_KEY_Super_L: return kLeftWin;
        case XKB_KEY_Super_R: return kRightWin;
        case XKB_KEY_Menu: return kApps;
        case XKB_KEY_KP_Multiply: return kMultiply;
        case XKB_KEY_KP_Add: return kAdd;
        case XKB_KEY_KP_Subtract: return kSubtract;
        case XKB_KEY_KP_Decimal:
        case XKB_KEY_KP_Separator: return kDecimal;
        case XKB_KEY_KP_Divide: return kDivide;
        case XKB_KEY_Num_Lock: return kNumLock;
        case XKB_KEY_Scroll_Lock: return kScroll;
        case XKB_KEY_semicolon: return 0xBA;     // VK_OEM_1
        case XKB_KEY_equal: return 0xBB;         // VK_OEM_PLUS
        case XKB_KEY_comma: return 0xBC;         // VK_OEM_COMMA
        case XKB_KEY_minus: return 0xBD;         // VK_OEM_MINUS
        case XKB_KEY_period: return 0xBE;        // VK_OEM_PERIOD
        case XKB_KEY_slash: return 0xBF;         // VK_OEM_2
        case XKB_KEY_grave: return 0xC0;         // VK_OEM_3
        case XKB_KEY_bracketleft: return 0xDB;   // VK_OEM_4
        case XKB_KEY_backslash: return 0xDC;     // VK_OEM_5
        case XKB_KEY_bracketright: return 0xDD;  // VK_OEM_6
        case XKB_KEY_apostrophe: return 0xDE;    // VK_OEM_7
        default: return 0;
    }
}

// Letters and digits by where they sit on a US keyboard (Linux input codes).
int fromPosition(std::uint32_t evdev) {
    static constexpr char kRows[][11] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    struct Row {
        std::uint32_t first;
        const char* keys;
    };
    static constexpr Row kFirst[] = {{2, kRows[0]}, {16, kRows[1]}, {30, kRows[2]}, {44, kRows[3]}};
    for (const Row& r : kFirst) {
        const std::uint32_t i = evdev - r.first;
        if (evdev >= r.first && i < 10 && r.keys[i] != '\0') return r.keys[i];
    }
    return 0;
}

}  // namespace

int virtualKeyOf(std::uint32_t keysym, std::uint32_t evdev) {
    if (const int vk = fromKeysym(keysym)) return vk;
    // Layouts whose keys make other symbols still have letters and digits
    // where Windows gives them letter and digit codes.
    if (const int vk = fromPosition(evdev)) return vk;
    return 0xFF;
}

}  // namespace platform::backend
