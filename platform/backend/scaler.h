// Scaling whole frames onto the real screen in software, for pixel art.
//
// Integer factors are exact nearest-neighbour. Other enlargements are
// sharp-bilinear: nearest to the largest integer multiple that fits, then
// linear to the final size, so each source pixel stays a solid block and
// only one output pixel about each block edge is a blend. Reductions (a
// preview window) average the source pixels each output pixel covers. The
// two axes are filtered separately and may differ in kind.
//
// A Scaler keeps its filter tables and row buffers from frame to frame and
// rebuilds them only when a size changes, so scaling a frame allocates
// nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace platform::backend {

// 32-bit pixels, 0x00RRGGBB words (the layer's colour bitmaps); stride in
// bytes, a multiple of 4 and at least width * 4.
struct Picture {
    const std::uint32_t* pixels;
    int width, height;
    std::size_t stride;
};
struct Canvas {
    std::uint32_t* pixels;
    int width, height;
    std::size_t stride;
};
struct Rect {
    int x, y, w, h;
};

// Where a picture of w x h goes inside an output of outW x outH: as large as
// fits with its aspect kept, centred. With any size not positive, the whole
// output.
Rect letterbox(int w, int h, int outW, int outH);

// The largest integer factor n >= 1 with n * from <= to (1 when to < from).
int integerFactor(int from, int to);

class Scaler {
public:
    // Scales `from` onto the whole of `to` (both axes independently). The
    // two must not overlap. Does nothing when either is empty or malformed
    // (null pixels, a stride too short or not a whole number of pixels).
    void scale(const Picture& from, const Canvas& to);
    // Scales `from` into letterbox(from, to) and makes the rest of `to`
    // black; all of `to` black when `from` is empty or malformed.
    void scaleLetterboxed(const Picture& from, const Canvas& to);
    // Scales only the part of `to` that the source pixels in `changed` reach
    // (widened by the filters' reach: a blended or averaged output pixel
    // reads its neighbours too) and returns that part, in `to`'s
    // coordinates; every pixel written is the one scale() would write, so a
    // picture kept up to date this way equals a whole scale. Empty when
    // nothing is reached or either picture is unusable.
    Rect scaleRegion(const Picture& from, const Canvas& to, const Rect& changed);

private:
    // The kinds of filter one axis can need.
    enum class Filter {
        Copy,     // same length: output x is source x
        Nearest,  // an integer factor: every output pixel is one source pixel
        Linear,   // sharp-bilinear: two taps, the second weighted 0..255/256
        Average,  // a reduction: each output pixel a box over the source
    };

    // One axis's filter for one pair of lengths: output coordinate x reads
    // source coordinates source[i] with weights weight[i] for i in
    // [start[x], start[x + 1]); the weights of each output sum to kOne.
    // Copy, Nearest and Linear axes have exactly two taps per output, the
    // second one's weight a multiple of 16 (an 8-bit blend factor).
    struct Axis {
        static constexpr int kOneBits = 12;
        static constexpr int kOne = 1 << kOneBits;

        int from = -1, to = -1;
        Filter filter = Filter::Copy;
        std::vector<int> start, source;
        std::vector<std::uint16_t> weight;
        // Copy, Nearest and Linear: the second tap's 8-bit weight, once for
        // each byte of the output pixel, for blending whole rows.
        std::vector<std::uint8_t> share;
        // Copy, Nearest and Linear: how many outputs, from the first, read a
        // source pixel that has a right-hand neighbour.
        int paired = 0;

        // Rebuilds the tables unless they are already for these lengths.
        void build(int from, int to);
        // The outputs [first, second) that read any source pixel in
        // [lo, hi).
        std::pair<int, int> reach(int lo, int hi) const;
    };

    // Output columns [x0, x1) of source row y filtered across, for
    // scaleSharp (element 0 is column x0): computed on first use in a pass
    // and kept in the row cache (the source row itself when the widths are
    // equal).
    const std::uint32_t* packedRow(const Picture& from, int y, int x0, int x1);
    // The cache slot for source row y; `fresh` when it must be computed.
    std::uint32_t* cacheSlot(int y, bool& fresh);

    // Builds the tables and buffers for these sizes; false when either
    // picture is unusable.
    bool prepare(const Picture& from, const Canvas& to);
    // Output pixels [x0, x1) x [y0, y1) of `to`.
    void scaleSharp(const Picture& from, const Canvas& to, const Rect& out);
    void scaleAveraging(const Picture& from, const Canvas& to, const Rect& out);
    void scaleArea(const Picture& from, const Canvas& to, const Rect& out);

    Axis across_, down_;
    // The horizontal results of two source rows, row y in slot y % 2.
    // Output rows read source rows in increasing order, at most two at a
    // time and those adjacent, so two slots compute every row once a frame.
    std::vector<std::uint32_t> rows_;
    std::array<int, 2> rowInSlot_{};
    // The two source pixels of each output pixel of a row being blended.
    std::vector<std::uint32_t> first_, second_;
    // scaleAveraging's vertical sums for one output row, across the source
    // width: all red, then green, then blue.
    std::vector<std::uint32_t> sums_;
};

}  // namespace platform::backend
