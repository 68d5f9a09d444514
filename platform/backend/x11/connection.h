// The process's one connection to the X server, and what every X11 part of
// the backend needs from it: X errors recorded instead of ending the
// process, a lost connection ending it at once, and how a visual's pixels
// are laid out.
#pragma once

#include "backend/x11/pixels.h"

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace platform::backend::x11 {

// Opens $DISPLAY. X errors from then on are recorded (see ErrorCheck), not
// passed to Xlib's default handler, which would end the process and skip
// the orderly stop; losing the connection ends the process at once with a
// line on stderr and status 1 (nothing after it could reach the screen,
// and the kernel releases the locks). Null, with the reason in `error`,
// when there is no display to open.
Display* openDisplay(std::string& error);

// Counts the X errors made from its construction on. `failed` sends what
// is buffered and waits for the server's answer to all of it first.
class ErrorCheck {
public:
    explicit ErrorCheck(Display* display);
    bool failed();
    // The resource (a window id, say) the last error named.
    unsigned long resource() const;

private:
    Display* display_;
    unsigned long before_;
};

// How many X errors the process has had so far (recorded as their
// replies arrive: an error of a request is known once a later round trip
// has come back).
unsigned long errorCount();

// The layout of a visual's pixels, or nothing, with what it is in `why`,
// when the layer cannot write them (an 8-bit colour-mapped visual, say).
std::optional<PixelLayout> layoutOf(Display* display, const Visual* visual, int depth, std::string& why);

// An atom by name.
Atom atom(Display* display, const char* name);

}  // namespace platform::backend::x11
