// The yardstick every figure is read against: a memcpy of w x h 32-bit
// pixels, registered as BM_Memcpy/WxH beside the figures in each program.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

inline void BM_Memcpy(benchmark::State& state, int w, int h) {
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::vector<std::uint32_t> src(n), dst(n);
    for (std::size_t i = 0; i < n; ++i) src[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), n * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(n * sizeof(std::uint32_t)));
}
