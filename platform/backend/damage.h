// What changed in a window's frame since it was last shown.
//
// The saver redraws its whole frame every time, but from one frame to the
// next most of it stays the same (the sand scene changes in about 2 % of
// its pixels, the landscape in about 12 %). A frame is compared with a copy
// of the last one shown, in tiles of 16 x 16 pixels: finer tiles cover the
// changed pixels more tightly but make many more rectangles to scale and
// send, coarser ones send much more than changed.
#pragma once

#include "backend/scaler.h"

#include <cstdint>
#include <vector>

namespace platform::backend {

// A set of changed tiles over a frame of a given size.
class Damage {
public:
    static constexpr int kTile = 16;

    Damage() = default;
    // Nothing changed yet, over a frame of width x height.
    Damage(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const;

    // Every tile.
    void addAll();
    // The tiles of `other` too; all of them when `other` is of another size
    // (a frame of a new size changed everywhere).
    void add(const Damage& other);
    void addTile(int column, int row) { tiles_[static_cast<std::size_t>(row) * columns_ + column] = 1; }
    void clear();

    // The changed tiles as few rectangles, in frame pixels, clipped to the
    // frame: runs of tiles along each row of tiles, and a run grows
    // downwards while the row below has the same run.
    std::vector<Rect> rects() const;

private:
    int width_ = 0, height_ = 0;
    int columns_ = 0, rows_ = 0;
    std::vector<std::uint8_t> tiles_;
};

// The frame a window last showed, to tell what the next one changes.
class FrameHistory {
public:
    // The tiles in which `frame` differs from the frame of the last call
    // (all of them on the first call and when the size changed); `frame`
    // is then remembered as the last one.
    Damage update(const Picture& frame);
    // Forgets the last frame: the next update is whole.
    void forget() { width_ = height_ = 0; }

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> last_;
};

}  // namespace platform::backend
