// One whole frame of the saver, as its frame loop draws it: the back buffer
// cleared to black, the scene's paint (motion, the six sprites, the
// countdown text) and the copy to the window, presented on the headless
// backend at 640 x 480. Beside it, a memcpy of one 640 x 480 frame in the
// same run, the yardstick its time is read against.
//
// The frame must not allocate: every allocation made while the frames run is
// counted (malloc and its kin, or operator new in a sanitizer build, whose
// runtime owns malloc) and reported as allocs_per_frame; a frame that
// allocates is labelled ALLOCATES.
#include <windows.h>

#include "screen.h"
#include "xsavermain.h"
#include "xsprite.h"

#include <benchmark/benchmark.h>

#include "memcpy_baseline.h"
#include "saver_window.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// ---- Counting allocations ------------------------------------------------------

namespace {
std::atomic<long> gAllocations{0};
}

#if defined(__SANITIZE_ADDRESS__)
#define FRAME_BENCH_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FRAME_BENCH_SANITIZED 1
#endif
#endif

#ifndef FRAME_BENCH_SANITIZED
// glibc's own entry points; the definitions below take the place of the
// public names for the whole process and count each call.
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* __libc_realloc(void* p, std::size_t size);
extern "C" void* __libc_memalign(std::size_t alignment, std::size_t size);

extern "C" void* malloc(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
extern "C" void* aligned_alloc(std::size_t alignment, std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(alignment, size);
}
extern "C" int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    void* p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
#else
void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

namespace {

// ---- The saver's surfaces and scene ------------------------------------------

// The run sequence's set-up: the saver's window and surfaces, the black
// brush and the scene.
void startSaver() {
    static bool started = false;
    if (started) return;
    started = true;
    openSaverWindow();
    hb = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    init();
}

// One frame as the frame loop draws it, without the pacer and the caption.
void drawFrame() {
    SelectObject(h, hb);
    Rectangle(h, 0, 0, screenSize.right, screenSize.bottom);
    paint();
    BitBlt(g, 0, 0, screenSize.right, screenSize.bottom, h, 0, 0, SRCCOPY);
}

constexpr std::int64_t kFrameBytes = 640 * 480 * 4;

void BM_Frame(benchmark::State& state) {
    startSaver();
    // The first frames may make what later frames reuse.
    for (int i = 0; i < 3; ++i) drawFrame();
    const long before = gAllocations.load();
    for (auto _ : state) drawFrame();
    const long allocations = gAllocations.load() - before;
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
    state.counters["allocs_per_frame"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    // The time still counts; the label makes an allocating frame stand out.
    if (allocations != 0) state.SetLabel("ALLOCATES");
}
BENCHMARK(BM_Frame)->Name("BM_Frame/640x480");

BENCHMARK_CAPTURE(BM_Memcpy, 640x480, 640, 480);

}  // namespace
