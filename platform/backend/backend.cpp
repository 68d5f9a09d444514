#include "backend/backend.h"

#include "backend/factories.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace platform::backend {

namespace {

std::unique_ptr<Backend>& slot() {
    static std::unique_ptr<Backend> backend;
    return backend;
}

bool gDisplayMissing = false;
std::string gWhyMissing;

HostOptions& host() {
    static HostOptions options;
    return options;
}

std::unique_ptr<Backend> choose() {
    const char* value = std::getenv("POMRIVEL_BACKEND");
    const std::string_view forced = value ? value : "";
    if (forced == "headless") return makeHeadlessBackend();
    if (!forced.empty() && forced != "x11" && forced != "wayland") {
        // Stop rather than guess: a mistyped setting must not pass unnoticed.
        std::fprintf(stderr, "pomrivel: POMRIVEL_BACKEND=%s is not a backend; use wayland, x11 or headless\n", value);
        std::exit(2);
    }
    std::string why;
    std::unique_ptr<Backend> real;
    if (host().drawsIntoHostWindow()) {
        // A screensaver host's window is an X window (XWayland's too).
        real = makeX11Backend(why);
    } else {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if (forced == "wayland" || (forced.empty() && wayland && *wayland)) real = makeWaylandBackend(why);
        if (!real && forced != "wayland") real = makeX11Backend(why);
    }
    if (real) return real;
    // A virtual screen is what tests and captures ask for by name; without
    // a display nothing is shown at all.
    gDisplayMissing = true;
    gWhyMissing = why;
    return makeNoDisplayBackend();
}

std::atomic<bool> gCloseRequested{false};

// A pipe that holds a byte while a close request is pending, made before
// main so the signal handler never finds it half made.
const std::array<int, 2> gWakePipe = [] {
    std::array<int, 2> fds{-1, -1};
    if (pipe2(fds.data(), O_NONBLOCK | O_CLOEXEC) != 0) fds = {-1, -1};
    return fds;
}();

constexpr BoxButton kOk{IDOK, "OK"}, kCancel{IDCANCEL, "Cancel"}, kAbort{IDABORT, "Abort"},
    kRetry{IDRETRY, "Retry"}, kIgnore{IDIGNORE, "Ignore"}, kYes{IDYES, "Yes"}, kNo{IDNO, "No"};

}  // namespace

std::vector<BoxButton> boxButtons(UINT style) {
    switch (style & 0xF) {
        case MB_OKCANCEL: return {kOk, kCancel};
        case MB_ABORTRETRYIGNORE: return {kAbort, kRetry, kIgnore};
        case MB_YESNOCANCEL: return {kYes, kNo, kCancel};
        case MB_YESNO: return {kYes, kNo};
        case MB_RETRYCANCEL: return {kRetry, kCancel};
        default: return {kOk};
    }
}

int defaultBoxButton(UINT style) {
    const std::vector<BoxButton> buttons = boxButtons(style);
    // MB_DEFBUTTON1..4 in bits 8-11; one past the last means the last.
    return buttons[std::min<std::size_t>((style >> 8) & 0xF, buttons.size() - 1)].id;
}

int boxButtonId(std::string_view label) {
    for (const BoxButton& b : {kOk, kCancel, kAbort, kRetry, kIgnore, kYes, kNo}) {
        const std::string_view name = b.label;
        if (name.size() == label.size() &&
            std::equal(name.begin(), name.end(), label.begin(), [](char x, char y) {
                return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
            }))
            return b.id;
    }
    return 0;
}

Backend& current() {
    std::unique_ptr<Backend>& b = slot();
    if (!b) b = choose();
    return *b;
}

void install(std::unique_ptr<Backend> backend) {
    gDisplayMissing = false;
    slot() = std::move(backend);
}

void setHostOptions(const HostOptions& options) { host() = options; }

const HostOptions& hostOptions() { return host(); }

bool displayMissing() {
    current();
    return gDisplayMissing;
}

const std::string& whyDisplayMissing() {
    current();
    return gWhyMissing;
}

void requestCloseFromSignal() {
    gCloseRequested.store(true, std::memory_order_relaxed);
    if (gWakePipe[1] >= 0) {
        const char byte = 1;
        // A full pipe already wakes the waiter.
        [[maybe_unused]] const ssize_t written = write(gWakePipe[1], &byte, 1);
    }
}

bool takeCloseRequest() {
    if (!gCloseRequested.load(std::memory_order_relaxed)) return false;
    // Emptied before the flag is taken: a request that comes in between
    // leaves its byte and wakes the next wait, which then finds the flag.
    char bytes[64];
    while (gWakePipe[0] >= 0 && read(gWakePipe[0], bytes, sizeof bytes) > 0) {
    }
    return gCloseRequested.exchange(false, std::memory_order_relaxed);
}

int closeRequestFd() { return gWakePipe[0]; }

}  // namespace platform::backend
