// The saver on real Wayland compositors, natively (no XWayland): sway with
// two headless outputs of different sizes, one at scale 2, and weston, whose
// shell has no layer-shell. What each output shows is read back (grim,
// weston-screenshooter) and compared with the saver's own frames, captured
// on the headless backend and scaled as the layer scales them.
#include "run.h"
#include "support/compositor.h"
#include "support/png.h"

#include "backend/scaler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using test_support::Image;
using test_support::Sway;

// HEADLESS-1: 1280x1024, the picture doubled with bars above and below.
// HEADLESS-2: 3840x2160 at scale 2 (1920x1080 logical), drawn at its real
// pixels, sharp-bilinear.
const std::vector<std::string> kTwoOutputs = {"resolution 1280x1024 position 0,0",
                                              "resolution 3840x2160 position 1280,0 scale 2"};

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

// A frame scaled onto an output of w x h as the layer does.
Image scaled(const Image& frame, int w, int h) {
    Image out;
    out.width = w;
    out.height = h;
    out.pixels.assign(static_cast<std::size_t>(w) * h, 0);
    platform::backend::Scaler scaler;
    scaler.scaleLetterboxed(
        platform::backend::Picture{frame.pixels.data(), frame.width, frame.height, std::size_t(frame.width) * 4},
        platform::backend::Canvas{out.pixels.data(), w, h, std::size_t(w) * 4});
    return out;
}

std::size_t differences(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return std::max(a.pixels.size(), b.pixels.size()) + 1;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

// How many frames the saver has drawn at least, by its caption's counts.
int framesCounted(const std::string& trace) {
    int total = 0;
    for (const std::string& line : e2e::traceLines(trace, "caption \"Frames Per Second: "))
        total += std::atoi(line.c_str() + std::string("caption \"Frames Per Second: ").size());
    return total;
}

// The saver's frames from `first` on, `count` of them, from the capture
// tool (its picture n + 1 is frame n).
std::vector<Image> framesFrom(int first, int count) {
    const std::string dir = e2e::freshDir("frames-" + std::to_string(first));
    const e2e::Result r = e2e::run(POMRIVEL_CAPTURE,
                                   {"--first", std::to_string(first), "--frames", std::to_string(count), "--out", dir},
                                   {}, 300000);
    std::vector<Image> frames;
    if (!r.finished || r.status != 0) return frames;
    for (const std::string& file : e2e::pngFiles(dir)) frames.push_back(test_support::readPng(file));
    return frames;
}

// The frame among `frames` an output shows (the index of the closest one,
// tried from `near` outwards) and how many pixels of it differ.
std::pair<std::size_t, std::size_t> closest(const std::vector<Image>& frames, const Image& shot,
                                            std::size_t near = 0) {
    std::pair<std::size_t, std::size_t> best{0, SIZE_MAX};
    for (std::size_t step = 0; step < 2 * frames.size() && best.second != 0; ++step) {
        // near, near + 1, near - 1, near + 2, ...
        const std::size_t i = step % 2 ? near + (step + 1) / 2 : near - step / 2;
        if (i >= frames.size()) continue;
        const std::size_t d = differences(scaled(frames[i], shot.width, shot.height), shot);
        if (d < best.second) best = {i, d};
    }
    return best;
}

// Keeps a screenshot to look at, in the folder POMRIVEL_TEST_SHOTS names.
void save(const Image& image, const std::string& name) {
    if (const char* dir = std::getenv("POMRIVEL_TEST_SHOTS"); dir && *dir && !image.empty())
        test_support::writePng(std::string(dir) + "/" + name + ".png", image);
}

// The saver's picture has reached the output: its centre is not black.
bool pictureAt(const Sway& sway, const std::string& region) {
    std::string ignored;
    const std::string file = e2e::freshDir("probe") + "/p.ppm";
    if (sway.client("grim -t ppm -g '" + region + "' " + file, &ignored) != 0) return false;
    const Image probe = test_support::readPpm(file);
    return !probe.empty() && probe.pixels[0] != 0;
}

TEST(OnSway, EveryOutputShowsTheSceneAtItsOwnScaleWithoutXWayland) {
    Sway sway(kTwoOutputs);
    if (!sway.whyNot().empty()) GTEST_SKIP() << sway.whyNot();
    const auto start = std::chrono::steady_clock::now();
    e2e::Process saver(POMRIVEL, {"/s"}, sway.environment());
    // The first picture on the first output, as soon as grim can see it.
    bool shown = false;
    for (int i = 0; i < 500 && !shown && running(saver.pid()); ++i) shown = pictureAt(sway, "640,512 1x1");
    const auto firstMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(shown) << saver.errors() << sway.log();
    std::cout << "first picture seen on HEADLESS-1 " << firstMs << " ms after the start\n";
    RecordProperty("first_picture_ms", static_cast<int>(firstMs));
    ASSERT_TRUE(saver.waitForFrames()) << saver.trace();

    // An output plugged in while it runs is covered too.
    ASSERT_EQ(sway.swaymsg("create_output"), 0);
    bool third = false;
    for (int i = 0; i < 250 && !third; ++i) {
        const Image shot = sway.grab("HEADLESS-3");
        third = !shot.empty() && shot.at(shot.width / 2, shot.height / 2) != 0;
        if (!third) sleepMs(20);
    }
    EXPECT_TRUE(third) << "HEADLESS-3 shows no picture";

    // Held still, every output shows one frame of the saver's.
    kill(saver.pid(), SIGSTOP);
    sleepMs(300);
    const Image first = sway.grab("HEADLESS-1"), second = sway.grab("HEADLESS-2"), added = sway.grab("HEADLESS-3");
    const int drawn = framesCounted(saver.trace());
    kill(saver.pid(), SIGCONT);
    EXPECT_FALSE(sway.hasChild("Xwayland"));
    ASSERT_EQ(first.width, 1280);
    ASSERT_EQ(second.width, 3840);
    ASSERT_EQ(second.height, 2160);
    save(first, "sway-HEADLESS-1");
    save(second, "sway-HEADLESS-2");
    save(added, "sway-HEADLESS-3");
    // An output taken away takes its surface along; the saver runs on.
    ASSERT_EQ(sway.swaymsg("output HEADLESS-3 disable"), 0);
    sleepMs(500);
    EXPECT_TRUE(running(saver.pid())) << saver.errors();
    const e2e::Result r = saver.stop(SIGTERM);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << r.errors;

    // Frames from the count the captions saw, with a second's margin.
    const std::vector<Image> frames = framesFrom(drawn, 80);
    ASSERT_EQ(frames.size(), 80u);
    // Each output shows one of them exactly (the last frame may not have
    // reached every output yet when the saver was held).
    const auto [one, offOne] = closest(frames, first);
    EXPECT_EQ(offOne, 0u) << "HEADLESS-1 differs from frame " << drawn + int(one) << " in " << offOne << " pixels";
    const auto [two, offTwo] = closest(frames, second, one);
    EXPECT_EQ(offTwo, 0u) << "HEADLESS-2 (scale 2) differs from frame " << drawn + int(two) << " in " << offTwo
                          << " pixels";
    EXPECT_LE(std::max(one, two) - std::min(one, two), 2u);
    if (!added.empty()) {
        EXPECT_EQ(closest(frames, added, one).second, 0u) << "HEADLESS-3";
    }
}

// The saver ends with status 0 on `stop`, not before it: after a first
// pointer entry (which tells where the pointer is, not that it moved).
void endsOn(const Sway& sway, const std::string& stop, bool pointerFirst) {
    e2e::Process saver(POMRIVEL, {"/s"}, sway.environment());
    ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors();
    if (pointerFirst) {
        ASSERT_EQ(sway.client(std::string(VIRTUAL_POINTER) + " move 1 0"), 0);
        sleepMs(400);
        ASSERT_TRUE(running(saver.pid())) << "the pointer's first entry ended the saver";
    }
    ASSERT_EQ(sway.client(stop), 0) << stop;
    const e2e::Result r = saver.wait(5000);
    EXPECT_TRUE(r.finished) << stop << " did not end the saver";
    EXPECT_EQ(r.status, 0) << r.errors;
}

TEST(OnSway, AKeyReleaseAClickAndAHorizontalMoveEachEndTheSaver) {
    Sway sway(kTwoOutputs);
    if (!sway.whyNot().empty()) GTEST_SKIP() << sway.whyNot();
    {
        SCOPED_TRACE("key");
        // A new keyboard reaches the clients a moment after it appears.
        endsOn(sway, "wtype -s 500 -k space", false);
    }
    {
        SCOPED_TRACE("click");
        endsOn(sway, std::string(VIRTUAL_POINTER) + " click", true);
    }
    {
        SCOPED_TRACE("move");
        endsOn(sway, std::string(VIRTUAL_POINTER) + " move 60 0", true);
    }
}

TEST(OnSway, TheSettingsBoxIsAWindowOfItsOwnThatEnterAnswers) {
    Sway sway({"resolution 1280x1024"});
    if (!sway.whyNot().empty()) GTEST_SKIP() << sway.whyNot();
    e2e::Process box(POMRIVEL, {"/c"}, sway.environment());
    ASSERT_TRUE(box.waitForTrace("window shown \"Settings...\"")) << box.trace() << box.errors();
    // sway floats a window of a fixed size, in the middle of the output.
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        const Image shot = sway.grab("HEADLESS-1");
        shown = !shot.empty() && shot.at(640, 512) != shot.at(10, 10);
        if (!shown) sleepMs(20);
    }
    EXPECT_TRUE(shown) << "no box in the middle of the output";
    ASSERT_EQ(sway.client("wtype -s 500 -k Return"), 0);
    const e2e::Result r = box.wait(5000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_NE(r.trace.find("messagebox closed 1"), std::string::npos) << r.trace;
}

TEST(OnWeston, TheSaverIsAFullScreenToplevelAboveThePanel) {
    test_support::Weston weston(1024, 768);
    if (!weston.whyNot().empty()) GTEST_SKIP() << weston.whyNot();
    e2e::Process saver(POMRIVEL, {"/s"}, weston.environment());
    ASSERT_TRUE(saver.waitForFrames()) << saver.trace() << saver.errors() << weston.log();
    // Layers are listed top first; a view's lines follow its title line.
    const std::string graph = weston.sceneGraph();
    const auto title = graph.find("of pomrivel");
    ASSERT_NE(title, std::string::npos) << graph;
    const auto start = graph.rfind("View", title);
    const std::string view = graph.substr(start, graph.find("View", title) - start);
    EXPECT_NE(view.find("role xdg_toplevel"), std::string::npos) << view;
    EXPECT_NE(view.find("position: (0, 0) -> (1024, 768)"), std::string::npos) << view;
    EXPECT_LT(title, graph.find("panel for output")) << graph;
    const e2e::Result r = saver.stop(SIGTERM);
    EXPECT_EQ(r.status, 0) << r.errors;
}

// A saver whose frames reach no screen says why and ends, releasing its
// lock, instead of running unseen.
TEST(OnWayland, ASaverNobodyCanSeeSaysWhyAndEnds) {
    {
        SCOPED_TRACE("no output at all");
        Sway sway({});
        if (!sway.whyNot().empty()) GTEST_SKIP() << sway.whyNot();
        const auto start = std::chrono::steady_clock::now();
        const e2e::Result r = e2e::run(POMRIVEL, {"/s"}, sway.environment(), 15000);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.errors.find("no frame reached the screen"), std::string::npos) << r.errors;
        EXPECT_NE(r.errors.find("no output"), std::string::npos) << r.errors;
        std::cout << "ended " << ms << " ms after the start\n";
    }
    {
        SCOPED_TRACE("no buffer can be made");
        Sway sway({"resolution 1280x1024"});
        // Files (shared-memory ones too) may not grow past 1 MB: no buffer
        // for a 1280x1024 screen, while the trace still fits.
        const e2e::Result r =
            e2e::run("/bin/sh", {"-c", std::string("ulimit -f 1024; trap '' XFSZ; exec ") + POMRIVEL + " /s"},
                     sway.environment(), 15000);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.errors.find("no 1280x1024 buffer for output HEADLESS-1"), std::string::npos) << r.errors;
    }
}

}  // namespace
