#include "backend/backend.h"

#include "backend/factories.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace platform::backend {

namespace {

std::unique_ptr<Backend>& slot() {
    static std::unique_ptr<Backend> backend;
    return backend;
}

std::unique_ptr<Backend> choose() {
    const char* value = std::getenv("POMRIVEL_BACKEND");
    const std::string_view forced = value ? value : "";
    if (forced == "headless") return makeHeadlessBackend();
    if (!forced.empty() && forced != "sdl") {
        // Stop rather than guess: a mistyped setting must not pass unnoticed.
        std::fprintf(stderr, "pomrivel: POMRIVEL_BACKEND=%s is not a backend; use sdl or headless\n", value);
        std::exit(2);
    }
    if (auto sdl = makeSdlBackend()) return sdl;
    if (forced == "sdl")
        std::fprintf(stderr, "pomrivel: POMRIVEL_BACKEND=sdl, but no display could be opened; using headless\n");
    return makeHeadlessBackend();
}

std::atomic<bool> gCloseRequested{false};

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

void install(std::unique_ptr<Backend> backend) { slot() = std::move(backend); }

void requestCloseFromSignal() { gCloseRequested.store(true, std::memory_order_relaxed); }

bool takeCloseRequest() { return gCloseRequested.exchange(false, std::memory_order_relaxed); }

}  // namespace platform::backend
