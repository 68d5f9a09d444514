#include "backend/damage.h"

#include <algorithm>
#include <cstring>

namespace platform::backend {

Damage::Damage(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      columns_((width_ + kTile - 1) / kTile),
      rows_((height_ + kTile - 1) / kTile),
      tiles_(static_cast<std::size_t>(columns_) * rows_, 0) {}

bool Damage::empty() const {
    return std::find(tiles_.begin(), tiles_.end(), 1) == tiles_.end();
}

void Damage::addAll() { std::fill(tiles_.begin(), tiles_.end(), 1); }

void Damage::add(const Damage& other) {
    if (other.width_ != width_ || other.height_ != height_) return addAll();
    for (std::size_t i = 0; i < tiles_.size(); ++i) tiles_[i] |= other.tiles_[i];
}

void Damage::clear() { std::fill(tiles_.begin(), tiles_.end(), 0); }

std::vector<Rect> Damage::rects() const {
    std::vector<Rect> out;
    // Rectangles still growing downwards, by the run of columns they span.
    struct Open {
        int first, last;
        std::size_t index;
    };
    std::vector<Open> open, next;
    for (int row = 0; row < rows_; ++row) {
        next.clear();
        const std::uint8_t* tiles = tiles_.data() + static_cast<std::size_t>(row) * columns_;
        for (int c = 0; c < columns_;) {
            if (!tiles[c]) {
                ++c;
                continue;
            }
            const int first = c;
            while (c < columns_ && tiles[c]) ++c;
            const int last = c;
            const auto above = std::find_if(open.begin(), open.end(),
                                            [&](const Open& o) { return o.first == first && o.last == last; });
            const int y = row * kTile, h = std::min(kTile, height_ - y);
            if (above != open.end()) {
                out[above->index].h += h;
                next.push_back(*above);
            } else {
                const int x = first * kTile;
                out.push_back(Rect{x, y, std::min(last * kTile, width_) - x, h});
                next.push_back(Open{first, last, out.size() - 1});
            }
        }
        open.swap(next);
    }
    return out;
}

Damage FrameHistory::update(const Picture& frame) {
    Damage changed(frame.width, frame.height);
    const bool usable = frame.pixels && frame.width > 0 && frame.height > 0 &&
                        frame.stride >= static_cast<std::size_t>(frame.width) * 4;
    if (!usable) {
        width_ = height_ = 0;
        return changed;
    }
    const std::size_t rowWords = static_cast<std::size_t>(frame.width);
    const auto row = [&](int y) {
        return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(frame.pixels) +
                                                      static_cast<std::size_t>(y) * frame.stride);
    };
    if (frame.width != width_ || frame.height != height_) {
        width_ = frame.width;
        height_ = frame.height;
        last_.resize(rowWords * static_cast<std::size_t>(height_));
        for (int y = 0; y < height_; ++y) std::memcpy(last_.data() + rowWords * y, row(y), rowWords * 4);
        changed.addAll();
        return changed;
    }
    constexpr int kTile = Damage::kTile;
    const int columns = (width_ + kTile - 1) / kTile;
    for (int y = 0; y < height_; ++y) {
        const std::uint32_t* now = row(y);
        std::uint32_t* before = last_.data() + rowWords * y;
        // Most rows are as they were: one comparison of the whole row.
        if (std::memcmp(now, before, rowWords * 4) == 0) continue;
        for (int c = 0; c < columns; ++c) {
            const int x = c * kTile, n = std::min(kTile, width_ - x);
            if (std::memcmp(now + x, before + x, static_cast<std::size_t>(n) * 4) != 0) changed.addTile(c, y / kTile);
        }
        std::memcpy(before, now, rowWords * 4);
    }
    return changed;
}

}  // namespace platform::backend
