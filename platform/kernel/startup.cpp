#include "kernel/startup.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace platform::kernel {

namespace {

// A host option in either spelling, XScreenSaver's one-dash form or the
// two-dash one.
bool isOption(const std::string& arg, const char* name) {
    const std::string single = std::string("-") + name;
    return arg == single || arg == "-" + single;
}

// "--window-id=ID" (or "-window-id=ID"): true with the value.
bool isOptionWithValue(const std::string& arg, const char* name, std::string& value) {
    for (const std::string& prefix : {std::string("-") + name + "=", std::string("--") + name + "="})
        if (arg.rfind(prefix, 0) == 0) {
            value = arg.substr(prefix.size());
            return true;
        }
    return false;
}

}  // namespace

bool parseWindowId(const std::string& text, unsigned long& id) {
    if (text.empty() || text.size() > 20) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    for (char c : digits)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > UINT32_MAX) return false;
    id = static_cast<unsigned long>(value);
    return true;
}

StartUp readStartUp(const std::vector<std::string>& args, const char* screensaverWindow) {
    StartUp s;
    if (args.size() == 1 && args[0] == "--help") {
        s.action = StartUp::Action::Help;
        return s;
    }
    if (args.size() == 1 && args[0] == "--version") {
        s.action = StartUp::Action::Version;
        return s;
    }
    std::optional<unsigned long> windowId;
    bool root = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (isOption(arg, "root")) {
            root = true;
        } else if (isOption(arg, "fps")) {
            s.host.showFrameRate = true;
        } else if (isOption(arg, "no-fps")) {
            s.host.showFrameRate = false;
        } else if (isOption(arg, "window-id") || isOptionWithValue(arg, "window-id", value)) {
            if (isOption(arg, "window-id")) {
                if (i + 1 == args.size()) {
                    s.action = StartUp::Action::Refuse;
                    s.error = arg + " needs a window id (0x-prefixed hex or decimal)";
                    return s;
                }
                value = args[++i];
            }
            unsigned long id = 0;
            if (!parseWindowId(value, id)) {
                s.action = StartUp::Action::Refuse;
                s.error = arg + ": \"" + value + "\" is not a window id (0x-prefixed hex or decimal)";
                return s;
            }
            windowId = id;
        } else {
            s.arguments.push_back(arg);
        }
    }
    // The target, as hacks choose it: the window given, else (for --root)
    // the host's window, else the root window itself.
    if (!windowId && root && screensaverWindow && *screensaverWindow) {
        unsigned long id = 0;
        if (!parseWindowId(screensaverWindow, id)) {
            s.action = StartUp::Action::Refuse;
            s.error = std::string("XSCREENSAVER_WINDOW=") + screensaverWindow +
                      " is not a window id (0x-prefixed hex or decimal)";
            return s;
        }
        windowId = id;
    }
    if (windowId || root) {
        s.host.window = windowId;
        s.host.root = !windowId;
        // The host's window is the saver's screen: run the saver.
        s.arguments = {"/s"};
    }
    return s;
}

std::string helpText() {
    return R"(Usage: pomrivel /s | /c | /a
       pomrivel --root | --window-id ID [--fps]
       pomrivel --help | --version

Pomrivel is an animated screensaver: a wanderer walks across a scrolling
summer landscape, and every third walk the scene turns to desert sand.

The Windows screensaver switches:
  /s            run the saver full screen until a key is released, the left
                button is pressed or the mouse moves
  /c            the settings answer (there are no settings)
  /a            the password answer (passwords are not supported)
  /p N          a preview request: ends at once, as does anything else

As an XScreenSaver hack (XScreenSaver gives the window and owns the input;
SIGTERM, or the window going away, ends the saver):
  -root, --root                  draw into $XSCREENSAVER_WINDOW, or else the
                                 root window
  -window-id ID, --window-id ID  draw into window ID (0x-prefixed hex or
                                 decimal), as the settings' preview asks
  -fps, --fps                    show the frame rate in a corner
  -no-fps, --no-fps              do not (the default)

Environment:
  DISPLAY, WAYLAND_DISPLAY  the display to show the saver on (hack mode
                            needs X11; XWayland will do)
  XSCREENSAVER_WINDOW       the window XScreenSaver gives its hacks
  POMRIVEL_BACKEND          wayland, x11 or headless (a virtual screen, for
                            tests); unset, Wayland when WAYLAND_DISPLAY
                            answers, else X11
  POMRIVEL_HEADLESS         the virtual screen's settings
  POMRIVEL_TRACE            a file that gets a line for each thing a person
                            would notice (window shown, caption, boxes, ...)

Bitmap files named 666, 668, 669, 670 or 671 in the working directory take
the place of the scene's pictures. Pomrivel never keeps the desktop from
blanking or locking. pomrivel-capture writes the saver's frames as PNG
files without a display.
)";
}

}  // namespace platform::kernel
