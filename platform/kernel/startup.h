// What the process start-up reads from the command line before the Win32
// program sees it: the conventions of the host that started it. A Linux
// screensaver host (XScreenSaver) starts a hack with options of its own and
// a window to draw into; `--help` and `--version` answer a person at a
// terminal. Everything else is the Win32 screensaver protocol, left to
// WinMain untouched.
#pragma once

#include "backend/backend.h"

#include <string>
#include <vector>

namespace platform::kernel {

struct StartUp {
    enum class Action {
        RunProgram,  // hand `arguments` to the Win32 program
        Help,        // print helpText() and end with status 0
        Version,     // print the version and end with status 0
        Refuse,      // print `error` and end with status 1
    };
    Action action = Action::RunProgram;
    // argv[1...] as the Win32 program gets them: the hack options taken
    // out; just "/s" when they chose a window to draw into.
    std::vector<std::string> arguments;
    backend::HostOptions host;
    std::string error;
};

// Reads argv[1...]. `screensaverWindow` is $XSCREENSAVER_WINDOW (null when
// unset): with --root, the window to draw into when --window-id gives none.
StartUp readStartUp(const std::vector<std::string>& args, const char* screensaverWindow);

// A window id as hosts write it: 0x-prefixed hex or decimal, non-zero, at
// most 32 bits (an X resource id); false for anything else.
bool parseWindowId(const std::string& text, unsigned long& id);

// What --help prints.
std::string helpText();

}  // namespace platform::kernel
