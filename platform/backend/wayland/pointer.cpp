#include "backend/wayland/pointer.h"

namespace platform::backend::wayland {

POINT PointerTrack::read(SIZE logical) {
    if (!known_) current_ = POINT{logical.cx / 2, logical.cy / 2};
    read_ = true;
    return current_;
}

POINT PointerTrack::at(POINT mapped, SIZE logical) {
    if (!known_) {
        // Go on from what the program last read, or would have.
        const POINT from = read_ ? current_ : POINT{logical.cx / 2, logical.cy / 2};
        dx_ = from.x - mapped.x;
        dy_ = from.y - mapped.y;
        known_ = true;
    }
    current_ = POINT{mapped.x + dx_, mapped.y + dy_};
    return current_;
}

}  // namespace platform::backend::wayland
