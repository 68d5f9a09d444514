// What the sprite painter costs for the saver's scene: paintSprite drawing
// six sprites of the scene's sizes into a 640 x 480 back buffer, beside a
// memcpy of one 640 x 480 frame in the same run. The program ends by
// printing the ratio of the two medians (or single times) against its
// target of 4.5.
//
// The sprites are built by the sprite engine's own constructors from the
// saver's bitmaps, and sit as in the landscape scene: the upper band twice
// side by side (640 x 240 each, scrolling), the lower band (640 x 240), the
// tree layer (640 x 405, transparent), the walker (107 x 181, transparent,
// a one-frame animation) and the inactive sand backdrop (640 x 480). Each
// paint moves the bands one pixel left and the walker one pixel right, as
// the scene does, so the masks are read at every bit offset in turn.
#include <windows.h>

#include "backend/headless/headless.h"
#include "xsavermain.h"
#include "xsprite.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr std::int64_t kFrameBytes = std::int64_t{kWidth} * kHeight * 4;
constexpr double kTarget = 4.5;

SPRITE walker, trees, band, band2, lowerBand, sand;

// The back buffer and the scratch context, made as the saver makes them.
HDC backBuffer, scratch;

bool setUpScene() {
    static bool done = false, ok = false;
    if (done) return ok;
    done = true;
    platform::backend::install(platform::backend::makeHeadlessBackend(platform::backend::HeadlessConfig{}));
    hInst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = hInst;
    wc.lpszClassName = "SceneBench";
    RegisterClassA(&wc);
    hwndMain = CreateWindowExA(0, "SceneBench", "scene", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr, hInst,
                               nullptr);
    HDC window = GetDC(hwndMain);
    backBuffer = CreateCompatibleDC(window);
    SelectObject(backBuffer, CreateCompatibleBitmap(window, kWidth, kHeight));
    scratch = CreateCompatibleDC(window);
    ReleaseDC(hwndMain, window);

    transparentColor = RGB(254, 2, 254);  // the key the saver's bitmaps are drawn with
    walker = createAnimatedSprite("666", 1, 0, 1);
    trees = createSprite("670", 1, 0);
    band = createSprite("668", 0, 0);
    band2 = createSprite("668", 0, 0);
    lowerBand = createSprite("669", 0, 0);
    sand = createSprite("671", 0, 0);
    setPosition(&walker, 0, 150);
    setPosition(&band2, kWidth, 0);
    setPosition(&lowerBand, 0, 240);
    sand.isActive = 0;
    maxSpriteStack = 0;
    for (SPRITE* s : {&walker, &trees, &band, &band2, &lowerBand, &sand}) addSprite(s);

    ok = backBuffer && scratch && walker.width == 107 && walker.height == 181 && trees.width == 640 &&
         trees.height == 405 && band.height == 240 && band2.height == 240 && lowerBand.height == 240 &&
         sand.height == 480 && walker.imageMask && trees.imageMask;
    return ok;
}

// The scene's motion between paints, without the course arithmetic.
void step() {
    for (SPRITE* s : {&band, &band2}) {
        moveSprite(s, -1, 0);
        if (s->pos.x == -kWidth) setPosition(s, kWidth, 0);
    }
    moveSprite(&walker, 1, 0);
    if (walker.pos.x > kWidth) setPosition(&walker, -walker.width, 150);
}

void BM_Scene(benchmark::State& state) {
    if (!setUpScene()) return state.SkipWithError("could not build the scene from the saver's bitmaps");
    for (int i = 0; i < 3; ++i) paintSprite(backBuffer, scratch);
    for (auto _ : state) {
        step();
        paintSprite(backBuffer, scratch);
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_Scene)->Name("BM_Scene/640x480");

void BM_Memcpy(benchmark::State& state) {
    std::vector<std::uint8_t> from(kFrameBytes), to(kFrameBytes);
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<std::uint8_t>(i * 131 + 7);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_Memcpy)->Name("BM_Memcpy/640x480");

// The console report, and besides it the CPU time per iteration of each
// figure: the median when repetitions were asked for, else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const std::string name = r.run_name.function_name;
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "median") median_[name] = r.GetAdjustedCPUTime();
            } else {
                single_[name].push_back(r.GetAdjustedCPUTime());
            }
        }
    }

    // CPU time of a figure in the reporter's time unit, or 0 if it did not run.
    double time(const std::string& name) {
        if (median_.count(name)) return median_[name];
        std::vector<double>& v = single_[name];
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }

private:
    std::map<std::string, double> median_;
    std::map<std::string, std::vector<double>> single_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double scene = reporter.time("BM_Scene/640x480"), copy = reporter.time("BM_Memcpy/640x480");
    if (scene > 0 && copy > 0) {
        const double ratio = scene / copy;
        std::printf("\nBM_Scene/640x480 / BM_Memcpy/640x480: %.2fx (target under %.1fx): %s\n", ratio, kTarget,
                    ratio < kTarget ? "PASS" : "MISS");
    }
    return 0;
}
