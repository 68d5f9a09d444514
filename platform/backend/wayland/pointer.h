// Where the program sees the pointer on Wayland.
//
// A Wayland client learns the pointer's position only while the pointer is
// over one of its surfaces, and only from the first time it enters one.
// Until then the program reads one unchanging position (the centre of the
// logical screen); when the pointer first enters, the position the program
// reads goes on from the one it read last, so the entry is not taken for a
// movement (a screensaver ends on one). From there every change of the
// pointer's mapped position is a movement of the same size.
#pragma once

#include <windows.h>

namespace platform::backend::wayland {

class PointerTrack {
public:
    // The position the program reads now, on a logical screen of `logical`.
    POINT read(SIZE logical);
    // The pointer is at `mapped` (its place mapped into the logical
    // screen of `logical`); returns the position the program sees for it.
    POINT at(POINT mapped, SIZE logical);
    bool known() const { return known_; }

private:
    bool known_ = false;
    bool read_ = false;  // the program has read a position
    POINT current_{};    // the position the program sees
    // Added to every mapped position once the pointer is known.
    LONG dx_ = 0, dy_ = 0;
};

}  // namespace platform::backend::wayland
