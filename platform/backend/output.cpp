#include "backend/output.h"

#include "backend/overlay.h"

#include <algorithm>
#include <utility>

namespace platform::backend {

Output::Output(int canvases) : slots_(static_cast<std::size_t>(std::max(canvases, 1))) {}

void Output::frameChanged(const Damage& changed) {
    for (Slot& s : slots_) s.missing.add(changed);
}

void Output::redrawAll() {
    for (Slot& s : slots_) s.whole = true;
}

void Output::setOverlay(const std::string& text) {
    if (text == overlay_) return;
    // A shorter text (or none) leaves part of the old one to be painted
    // over with the picture: once a second at most, so simply all of it.
    const bool shrinks = overlayRect(text, Rect{0, 0, 1 << 16, 1 << 16}).w <
                         overlayRect(overlay_, Rect{0, 0, 1 << 16, 1 << 16}).w;
    overlay_ = text;
    if (shrinks) redrawAll();
}

bool Output::fail(std::string why) {
    failure_ = std::move(why);
    ++failures_;
    return false;
}

void Output::copied(int to, int from) {
    slots_[static_cast<std::size_t>(to)] = slots_[static_cast<std::size_t>(from)];
}

const std::vector<Rect>& Output::paint(int index, const Canvas& canvas, const Picture& frame, bool fresh) {
    Slot& s = slots_[static_cast<std::size_t>(index)];
    painted_.clear();
    const Rect inner = letterbox(frame.width, frame.height, canvas.width, canvas.height);
    const bool whole = fresh || s.whole || s.missing.width() != frame.width || s.missing.height() != frame.height;
    if (whole) {
        scaler_.scaleLetterboxed(frame, canvas);
        painted_.push_back(Rect{0, 0, canvas.width, canvas.height});
    } else {
        auto* corner = reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(canvas.pixels) +
                                                        static_cast<std::size_t>(inner.y) * canvas.stride) +
                       inner.x;
        const Canvas picture{corner, inner.w, inner.h, canvas.stride};
        for (const Rect& changed : s.missing.rects()) {
            const Rect r = scaler_.scaleRegion(frame, picture, changed);
            if (r.w > 0 && r.h > 0) painted_.push_back(Rect{r.x + inner.x, r.y + inner.y, r.w, r.h});
        }
    }
    if (!overlay_.empty()) {
        drawOverlay(overlay_, canvas, inner);
        const Rect box = overlayRect(overlay_, inner);
        if (box.w > 0 && box.h > 0 && !whole) painted_.push_back(box);
    }
    s.whole = false;
    s.missing = Damage(frame.width, frame.height);
    return painted_;
}

}  // namespace platform::backend
