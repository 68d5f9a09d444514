// One real surface that shows a window's frame: a monitor's window, a
// screensaver host's window, a compositor's surface.
//
// Each frame it is told what changed (`Damage`), and it brings its own
// pixels (its canvases: one, or a compositor's two or three buffers) up to
// date by scaling only what each canvas has not had yet, widened by the
// scaler's reach so no seam shows. The window system's half says where the
// pixels are and sends the rectangles painted; everything about what to
// paint is here, once.
//
// The frame goes into the canvas with its aspect kept (letterbox), black
// bars around it; integer factors are exact, other enlargements
// sharp-bilinear, reductions averaged (`scaler.h`).
#pragma once

#include "backend/damage.h"
#include "backend/scaler.h"

#include <string>
#include <vector>

namespace platform::backend {

class Output {
public:
    explicit Output(int canvases = 1);
    virtual ~Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // What changed in the window's frame since it was last shown.
    void frameChanged(const Damage& changed);
    // Everything again at the next show: the window system lost the
    // picture (an expose), or the output is new.
    void redrawAll();
    // A line of text shown over the picture's top-left corner (the frame
    // rate, for -fps); empty for none.
    void setOverlay(const std::string& text);

    // Puts the frame on the screen as far as it changed. False when it
    // could not reach the screen; failure() then says why.
    virtual bool show(const Picture& frame) = 0;
    const std::string& failure() const { return failure_; }
    // How many shows have failed so far.
    unsigned failures() const { return failures_; }

protected:
    // Brings canvas `index` up to date with `frame`: scales the parts it
    // has not had yet (everything, bars included, when `fresh`: pixels new
    // or of a new size) and draws the overlay. Returns the rectangles of
    // the canvas that changed, to send.
    const std::vector<Rect>& paint(int index, const Canvas& canvas, const Picture& frame, bool fresh);
    // Canvas `to` was made a copy of canvas `from` (a new buffer filled
    // from the last one shown): it has what that one has, and misses what
    // that one misses, which is cheaper to catch up on than all of it.
    void copied(int to, int from);
    // A show failed, for this reason; returns false for the show to return.
    bool fail(std::string why);

private:
    std::string failure_;
    unsigned failures_ = 0;
    struct Slot {
        Damage missing;  // frame changes this canvas has not had yet
        bool whole = true;
    };
    std::vector<Slot> slots_;
    Scaler scaler_;
    std::string overlay_;
    std::vector<Rect> painted_;
};

}  // namespace platform::backend
