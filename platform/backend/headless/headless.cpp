#include "backend/headless/headless.h"

#include "backend/factories.h"
#include "backend/png.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

namespace platform::backend {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the
// era-based conversions, exact over the whole SYSTEMTIME range).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t msFromSystemTime(const SYSTEMTIME& t) {
    return daysFromCivil(t.wYear, t.wMonth, t.wDay) * kMsPerDay +
           ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * std::int64_t{1000} + t.wMilliseconds;
}

SYSTEMTIME systemTimeFromMs(std::int64_t ms) {
    std::int64_t days = ms / kMsPerDay;
    std::int64_t rest = ms % kMsPerDay;
    if (rest < 0) rest += kMsPerDay, --days;
    int y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(m);
    t.wDay = static_cast<WORD>(d);
    // 1970-01-01 was a Thursday; Sunday is 0.
    t.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7);
    t.wHour = static_cast<WORD>(rest / 3'600'000);
    t.wMinute = static_cast<WORD>(rest / 60'000 % 60);
    t.wSecond = static_cast<WORD>(rest / 1000 % 60);
    t.wMilliseconds = static_cast<WORD>(rest % 1000);
    return t;
}

// The cursor stays on the screen, as Windows keeps it.
POINT onScreen(POINT p, int width, int height) {
    return POINT{std::clamp<LONG>(p.x, 0, width - 1), std::clamp<LONG>(p.y, 0, height - 1)};
}

bool isAltKey(int vk) {
    return vk == VK_MENU || vk == 0xA4 || vk == 0xA5;
}

}  // namespace

HeadlessBackend::HeadlessBackend(HeadlessConfig config)
    : config_(std::move(config)),
      now_(config_.uptime),
      screenWidth_(std::max(1, config_.screenWidth)),
      screenHeight_(std::max(1, config_.screenHeight)),
      cursor_(config_.cursor.value_or(POINT{screenWidth_ / 2, screenHeight_ / 2})) {
    config_.screenWidth = screenWidth_;
    config_.screenHeight = screenHeight_;
    config_.captureEvery = std::max(1, config_.captureEvery);
    config_.captureFirst = std::max(0, config_.captureFirst);
    std::stable_sort(config_.script.begin(), config_.script.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.time < b.time; });
}

// ---- Screen and display modes ----

bool HeadlessBackend::currentMode(DisplayMode& mode) {
    if (config_.modeQueryFails) return false;
    mode = DisplayMode{screenWidth_, screenHeight_, 32, 60};
    return true;
}

LONG HeadlessBackend::changeMode(const DisplayMode& mode) {
    LONG result = config_.modeChangeResult;
    if (mode.width <= 0 || mode.height <= 0) result = DISP_CHANGE_BADMODE;
    modeLog_.push_back(ModeRecord{false, mode, result});
    if (result == DISP_CHANGE_SUCCESSFUL) {
        screenWidth_ = mode.width;
        screenHeight_ = mode.height;
        cursor_ = onScreen(cursor_, screenWidth_, screenHeight_);
    }
    return result;
}

void HeadlessBackend::restoreMode() {
    modeLog_.push_back(ModeRecord{true, DisplayMode{config_.screenWidth, config_.screenHeight, 32, 60}, 0});
    screenWidth_ = config_.screenWidth;
    screenHeight_ = config_.screenHeight;
}

RECT HeadlessBackend::workArea() {
    if (!config_.workArea) return RECT{0, 0, screenWidth_, screenHeight_};
    // Panels keep their place at the screen edges whatever the mode.
    const RECT& wa = *config_.workArea;
    return RECT{wa.left, wa.top, screenWidth_ - (config_.screenWidth - wa.right),
                screenHeight_ - (config_.screenHeight - wa.bottom)};
}

// ---- Windows ----

WindowId HeadlessBackend::createWindow(const std::string& title, int x, int y, int width, int height) {
    const WindowId id = nextWindow_++;
    WindowState& w = windows_[id];
    w.title = title;
    w.x = x, w.y = y, w.width = width, w.height = height;
    return id;
}

void HeadlessBackend::destroyWindow(WindowId window) {
    if (auto it = windows_.find(window); it != windows_.end()) {
        it->second.keepFrame();
        it->second.destroyed = true;
        it->second.visible = false;
    }
}

void HeadlessBackend::setTitle(WindowId window, const std::string& title) {
    if (auto it = windows_.find(window); it != windows_.end() && !it->second.destroyed) it->second.title = title;
}

void HeadlessBackend::place(WindowId window, int x, int y, int width, int height, bool topmost) {
    auto it = windows_.find(window);
    if (it == windows_.end() || it->second.destroyed) return;
    WindowState& w = it->second;
    w.x = x, w.y = y, w.width = width, w.height = height;
    w.topmost = topmost;
}

void HeadlessBackend::show(WindowId window, bool visible) {
    auto it = windows_.find(window);
    if (it == windows_.end() || it->second.destroyed) return;
    if (!visible) it->second.keepFrame();
    it->second.visible = visible;
}

void HeadlessBackend::recordFrame(WindowId window, const gdi::Surface& frame) {
    auto it = windows_.find(window);
    if (it == windows_.end() || it->second.destroyed) return;
    WindowState& w = it->second;
    ++w.presents;
    // The layer presents only shown windows; a present to a hidden one is
    // counted and shows nothing.
    if (!w.visible) return;
    w.liveFrame = &frame;
    ++presentCount_;
    capture(frame);
}

void HeadlessBackend::capture(const gdi::Surface& frame) {
    if (config_.captureDir.empty() || captureFailed_) return;
    const int n = presentCount_;
    if (n <= config_.captureFirst || (n - config_.captureFirst - 1) % config_.captureEvery != 0) return;
    if (config_.captureCount >= 0 && captured_ >= config_.captureCount) return;
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", n);
    std::string path;
    bool written = false;
    try {
        if (captured_ == 0) {
            std::error_code ec;
            std::filesystem::create_directories(config_.captureDir, ec);
        }
        path = (std::filesystem::path(config_.captureDir) / name).string();
        written = writePng(path, frame);
    } catch (const std::bad_alloc&) {
        // No memory for the picture's rows: as good as a full disk.
    }
    if (!written) {
        // Reported once: a full disk or a bad directory would otherwise print
        // a line per frame.
        std::fprintf(stderr, "pomrivel: cannot write %s; frame capture stopped\n", path.empty() ? name : path.c_str());
        captureFailed_ = true;
        // The pictures asked for can no longer all be written: end the run.
        captureDone_ = config_.captureCount >= 0;
        return;
    }
    ++captured_;
    captureDone_ = captured_ == config_.captureCount;
}

const HeadlessBackend::WindowState* HeadlessBackend::window(WindowId id) const {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : &it->second;
}

// ---- Input ----

bool HeadlessBackend::pollEvent(Event& event) {
    const std::uint64_t elapsedMs = elapsed();
    if (nextScript_ < config_.script.size() && config_.script[nextScript_].time <= elapsedMs) {
        const ScriptEvent& s = config_.script[nextScript_++];
        event = s.event;
        event.window = 0;
        switch (event.type) {
            case EventType::KeyDown:
            case EventType::KeyUp:
                if (isAltKey(event.virtualKey)) altDown_ = event.type == EventType::KeyDown;
                event.altDown = altDown_ || s.altFlag;
                break;
            case EventType::MouseMove:
            case EventType::ButtonDown:
            case EventType::ButtonUp:
                if (s.hasPosition) cursor_ = onScreen(s.event.position, screenWidth_, screenHeight_);
                event.position = cursor_;
                break;
            case EventType::CloseRequest: break;
        }
        return true;
    }
    const bool timeUp = config_.exitAfter && elapsedMs >= *config_.exitAfter;
    if (!exitSent_ && (timeUp || captureDone_)) {
        exitSent_ = true;
        event = Event{};
        event.type = EventType::CloseRequest;
        event.window = 0;
        return true;
    }
    now_ += config_.step;
    return false;
}

// ---- Message boxes ----

std::optional<int> HeadlessBackend::messageBox(WindowId owner, const std::string& text, const std::string& caption,
                                               UINT style) {
    const std::vector<BoxButton> buttons = boxButtons(style);
    int answer = buttons.front().id;
    for (const BoxButton& b : buttons)
        if (config_.boxAnswer == b.id) answer = b.id;
    boxes_.push_back(BoxRecord{owner, text, caption, style, answer, elapsed()});
    now_ += config_.boxDelay;
    return answer;
}

// ---- Time ----

SYSTEMTIME HeadlessBackend::localTime() {
    return systemTimeFromMs(msFromSystemTime(config_.localTime) + static_cast<std::int64_t>(elapsed()));
}

// ---- Construction ----

std::unique_ptr<HeadlessBackend> makeHeadlessBackend(const HeadlessConfig& config) {
    return std::make_unique<HeadlessBackend>(config);
}

std::unique_ptr<Backend> makeHeadlessBackend() {
    HeadlessConfig config;
    if (const char* text = std::getenv("POMRIVEL_HEADLESS")) {
        std::string error;
        if (!parseHeadlessConfig(text, config, error)) {
            std::fprintf(stderr, "pomrivel: POMRIVEL_HEADLESS: %s\n", error.c_str());
            std::exit(2);
        }
    }
    return makeHeadlessBackend(config);
}

}  // namespace platform::backend
