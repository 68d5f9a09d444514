#include "backend/display.h"

#include "backend/clock.h"
#include "gdi/objects.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace platform::backend {

namespace {

// The largest logical screen an emulated mode may ask for.
constexpr int kLargestMode = 8192;

// Floor division, so points left of or above the origin (a letterbox's bars)
// round the same way as the points inside it.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

Picture pictureOf(const gdi::Surface& frame) {
    return Picture{frame.rgbRow(0), frame.width(), frame.height(), frame.stride()};
}

// How long frames may fail to reach any screen before the saver gives up.
constexpr std::uint64_t kUnseenLimitMs = 2000;

}  // namespace

POINT Mapping::toLogical(int rx, int ry) const {
    const std::int64_t x = floorDiv(std::int64_t{rx - real.x} * logicalW, std::max(real.w, 1));
    const std::int64_t y = floorDiv(std::int64_t{ry - real.y} * logicalH, std::max(real.h, 1));
    return POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
}

POINT Mapping::toReal(LONG lx, LONG ly) const {
    return POINT{real.x + static_cast<LONG>(floorDiv(std::int64_t{lx} * real.w, std::max(logicalW, 1))),
                 real.y + static_cast<LONG>(floorDiv(std::int64_t{ly} * real.h, std::max(logicalH, 1)))};
}

RealDisplay::RealDisplay() = default;

// ---- The desktop and the emulated mode ----

Monitor RealDisplay::primaryMonitor() {
    const std::vector<Monitor> all = monitors();
    if (all.empty()) return Monitor{0, 0, 640, 480, true, ""};
    const auto primary = std::find_if(all.begin(), all.end(), [](const Monitor& m) { return m.primary; });
    return primary != all.end() ? *primary : all.front();
}

SIZE RealDisplay::logicalSize() {
    if (emulated_) return SIZE{emulated_->width, emulated_->height};
    const Monitor m = primaryMonitor();
    return SIZE{m.width, m.height};
}

Mapping RealDisplay::primaryMapping() {
    const Monitor m = primaryMonitor();
    const SIZE logical = logicalSize();
    Rect real = letterbox(logical.cx, logical.cy, m.width, m.height);
    real.x += m.x;
    real.y += m.y;
    return Mapping{static_cast<int>(logical.cx), static_cast<int>(logical.cy), real};
}

bool RealDisplay::coversScreen(int x, int y, int width, int height) {
    const SIZE s = logicalSize();
    return x <= 0 && y <= 0 && std::int64_t{x} + width >= s.cx && std::int64_t{y} + height >= s.cy;
}

bool RealDisplay::currentMode(DisplayMode& mode) {
    const SIZE s = logicalSize();
    mode.width = s.cx;
    mode.height = s.cy;
    mode.bitsPerPixel = depth();
    // The refresh rate is not the saver's concern; Windows' usual.
    mode.frequency = 60;
    if (emulated_) {
        if (emulated_->bitsPerPixel > 0) mode.bitsPerPixel = emulated_->bitsPerPixel;
        if (emulated_->frequency > 0) mode.frequency = emulated_->frequency;
    }
    return true;
}

LONG RealDisplay::changeMode(const DisplayMode& mode) {
    if (mode.width <= 0 || mode.height <= 0 || mode.width > kLargestMode || mode.height > kLargestMode)
        return DISP_CHANGE_BADMODE;
    emulated_ = mode;
    return DISP_CHANGE_SUCCESSFUL;
}

void RealDisplay::restoreMode() { emulated_.reset(); }

RECT RealDisplay::workArea() {
    const SIZE s = logicalSize();
    // An emulated full-screen mode has no panels, as a real mode change
    // leaves none in the way on Windows.
    if (emulated_) return RECT{0, 0, s.cx, s.cy};
    const Monitor m = primaryMonitor();
    const Rect usable = usableArea(m);
    // Screen coordinates have the primary monitor's corner at 0,0.
    return RECT{usable.x - m.x, usable.y - m.y, usable.x - m.x + usable.w, usable.y - m.y + usable.h};
}

// ---- The frame path ----

void RealDisplay::recordFrame(WindowId window, const gdi::Surface& frame) {
    if (frame.format() != gdi::PixelFormat::Rgb32 || frame.width() <= 0 || frame.height() <= 0) return;
    Frames& f = frames_[window];
    f.frame = &frame;
    f.recorded = true;
    planner_.framePresented();
    if (!firstRecorded_ && isShown(window)) firstRecorded_ = systemUptimeMilliseconds();
}

void RealDisplay::showAgain(WindowId window) {
    if (auto it = frames_.find(window); it != frames_.end() && it->second.frame) it->second.recorded = true;
}

void RealDisplay::showFrames() {
    // Top to bottom, for each window with a new frame: what changed since
    // it was last shown, then each output scales and sends that much.
    for (auto& [id, f] : frames_) {
        if (!f.recorded || !f.frame) continue;
        f.recorded = false;
        try {
            const Picture frame = pictureOf(*f.frame);
            const std::vector<Output*> outputs = outputsOf(id);
            const Damage changed = f.history.update(frame);
            // An output that cannot take the frame now keeps what it
            // missed, and gets it with the next frame or when it asks
            // (showAgain).
            for (Output* o : outputs) {
                o->frameChanged(changed);
                if (o->show(frame)) {
                    anyShown_ = true;
                } else if (!o->failure().empty()) {
                    lastFailure_ = o->failure();
                }
            }
        } catch (const std::bad_alloc&) {
            // No memory to compare or scale the frame: it is not shown, and
            // the next one is compared with nothing, so it goes out whole.
            f.history.forget();
            lastFailure_ = "not enough memory to show a frame";
        }
    }
    checkSomethingShows();
}

void RealDisplay::checkSomethingShows() {
    if (anyShown_ || !firstRecorded_ || systemUptimeMilliseconds() - *firstRecorded_ < kUnseenLimitMs) return;
    // Running unseen, the saver would only cost, and hold the lock that
    // keeps the next launch out: say so and end.
    std::fprintf(stderr, "pomrivel: no frame reached the screen in %llu seconds (%s); stopping\n",
                 static_cast<unsigned long long>(kUnseenLimitMs / 1000),
                 lastFailure_.empty() ? "no window could show it" : lastFailure_.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

// ---- Between frames ----

void RealDisplay::idle() {
    if (!eventsWaiting()) waited(!waitUntil(planner_.nextWake(systemUptimeMilliseconds()), eventFd()));
    // The program's next look at the clock is a new poll.
    planner_.woke();
}

// The program's own reads of the clock (GetTickCount): what its frame
// decisions see.
std::uint64_t RealDisplay::uptimeMilliseconds() {
    const std::uint64_t now = systemUptimeMilliseconds();
    planner_.clockRead(now);
    return now;
}

SYSTEMTIME RealDisplay::localTime() { return systemLocalTime(); }

}  // namespace platform::backend
