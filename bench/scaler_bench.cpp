// What showing the saver's 640x480 frame on a real screen costs: the layer's
// scaler, letterboxed into the screen sizes it meets, beside a memcpy of the
// output frame measured in the same run (bench/compare.sh turns the medians
// into ratios).
//
// A frame must not allocate: every operator new made while the frames run is
// counted and reported as allocs_per_frame.
#include "backend/scaler.h"

#include <benchmark/benchmark.h>

#include "memcpy_baseline.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<long> gAllocations{0};

}  // namespace

// Out of line, so that the compiler never pairs an inlined malloc with a
// free it thinks belongs to another allocator.
[[gnu::noinline]] void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using platform::backend::Canvas;
using platform::backend::Picture;
using platform::backend::Scaler;

constexpr int kFrameW = 640, kFrameH = 480;

// A busy, non-repeating frame: every pixel differs from its neighbours, so
// nothing in the scaler can take a shortcut a real frame would not allow.
std::vector<std::uint32_t> framePixels() {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(kFrameW) * kFrameH);
    for (int y = 0; y < kFrameH; ++y)
        for (int x = 0; x < kFrameW; ++x) {
            std::uint32_t v = static_cast<std::uint32_t>(x) * 2654435761u ^ static_cast<std::uint32_t>(y) * 40503u;
            px[static_cast<std::size_t>(y) * kFrameW + x] = (v ^ (v >> 13)) & 0x00FFFFFFu;
        }
    return px;
}

void BM_ScaleLetterboxed(benchmark::State& state, int outW, int outH) {
    const std::vector<std::uint32_t> frame = framePixels();
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(outW) * outH);
    const Picture from{frame.data(), kFrameW, kFrameH, kFrameW * sizeof(std::uint32_t)};
    const Canvas to{screen.data(), outW, outH, outW * sizeof(std::uint32_t)};
    Scaler scaler;
    scaler.scaleLetterboxed(from, to);  // builds the tables, as the first frame does
    const long before = gAllocations.load();
    for (auto _ : state) {
        scaler.scaleLetterboxed(from, to);
        benchmark::DoNotOptimize(screen.data());
        benchmark::ClobberMemory();
    }
    const double allocs = double(gAllocations.load() - before) / double(state.iterations());
    state.counters["allocs_per_frame"] = allocs;
    if (allocs > 0) state.SetLabel("ALLOCATES");
    state.SetBytesProcessed(state.iterations() * std::int64_t{outW} * outH * 4);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Memcpy, 1920x1080, 1920, 1080);
BENCHMARK_CAPTURE(BM_Memcpy, 1024x768, 1024, 768);
BENCHMARK_CAPTURE(BM_Memcpy, 1280x960, 1280, 960);
BENCHMARK_CAPTURE(BM_Memcpy, 200x150, 200, 150);

// Sharp-bilinear 2.25x with bars at the sides; 1.6x filling the screen;
// exact 2x filling the screen; a preview window, averaged down.
BENCHMARK_CAPTURE(BM_ScaleLetterboxed, 640x480_into_1920x1080, 1920, 1080);
BENCHMARK_CAPTURE(BM_ScaleLetterboxed, 640x480_into_1024x768, 1024, 768);
BENCHMARK_CAPTURE(BM_ScaleLetterboxed, 640x480_into_1280x960, 1280, 960);
BENCHMARK_CAPTURE(BM_ScaleLetterboxed, 640x480_into_200x150, 200, 150);
