#include "backend/backend.h"

#include "backend/factories.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::backend {

namespace {

std::unique_ptr<Backend>& slot() {
    static std::unique_ptr<Backend> backend;
    return backend;
}

std::unique_ptr<Backend> choose() {
    const char* forced = std::getenv("POMRIVEL_BACKEND");
    if (forced && std::strcmp(forced, "headless") == 0) return makeHeadlessBackend();
    if (forced && std::strcmp(forced, "sdl") == 0) {
        if (auto sdl = makeSdlBackend()) return sdl;
        std::fprintf(stderr, "pomrivel: POMRIVEL_BACKEND=sdl, but no display could be opened; using headless\n");
        return makeHeadlessBackend();
    }
    if (auto sdl = makeSdlBackend()) return sdl;
    return makeHeadlessBackend();
}

std::atomic<bool> gCloseRequested{false};

}  // namespace

Backend& current() {
    std::unique_ptr<Backend>& b = slot();
    if (!b) b = choose();
    return *b;
}

void install(std::unique_ptr<Backend> backend) { slot() = std::move(backend); }

void requestCloseFromSignal() { gCloseRequested.store(true, std::memory_order_relaxed); }

bool takeCloseRequest() { return gCloseRequested.exchange(false, std::memory_order_relaxed); }

}  // namespace platform::backend
