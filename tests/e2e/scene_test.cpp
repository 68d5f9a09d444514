// The saver's scene as a person sees it, from the real program: the pictures
// its window shows, written by pomrivel-capture (which runs the saver on the
// headless backend) and read back. Picture 1 is the window as it appears,
// before the first frame; the saver's frame n is picture n + 1. Some are
// compared with reference pictures made by the same tool and checked by eye;
// to make those again after the art has changed:
//
//   build/pomrivel-capture --frames 3 --every 1500 --out tests/e2e/reference
#include "run.h"
#include "support/png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::uint32_t kKey = 0xFE02FE;

// Long runs render thousands of frames; under the sanitizers that takes a
// while.
const int kLongRun = 300000;

e2e::Result capture(const std::vector<std::string>& args, int timeoutMs = kLongRun) {
    return e2e::run(POMRIVEL_CAPTURE, args, {}, timeoutMs);
}

// The file of picture n.
std::string frameFile(const std::string& dir, int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", n);
    return dir + name;
}

std::vector<std::string> names(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const std::string& p : paths) out.push_back(std::filesystem::path(p).filename().string());
    return out;
}

// Runs a shell command line in the test's environment; returns what it
// wrote on its standard output.
std::string shellOutput(const std::string& command, int& status) {
    const std::string out = e2e::freshDir("shell") + "/out.txt";
    const e2e::Result r = e2e::run("/bin/sh", {"-c", command + " > " + out + " 2>&1"}, {});
    status = r.finished ? r.status : -1;
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int keyedPixels(const test_support::Image& image) {
    int n = 0;
    for (std::uint32_t p : image.pixels) n += p == kKey;
    return n;
}

// Rows 340 and below: the walker never comes down that far, so they show
// the scene's backdrop alone (the lower band and the tree's foot, or sand).
bool sameLowerRows(const test_support::Image& a, const test_support::Image& b) {
    if (a.width != b.width || a.height != b.height || a.height < 480) return false;
    for (int y = 340; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.at(x, y) != b.at(x, y)) return false;
    return true;
}

// ---- The tool ------------------------------------------------------------------

TEST(Capture, HelpListsEveryOption) {
    int status = -1;
    const std::string help = shellOutput(std::string("'") + POMRIVEL_CAPTURE + "' --help", status);
    EXPECT_EQ(status, 0);
    for (const char* option : {"--frames", "--every", "--first", "--size", "--uptime", "--out", "--help"})
        EXPECT_NE(help.find(option), std::string::npos) << option << "\n" << help;
}

TEST(Capture, RefusesABadCommandLineWithoutRunningTheSaver) {
    const std::string dir = e2e::freshDir("bad-options");
    const std::vector<std::vector<std::string>> cases = {
        {"--frames", "0"},  {"--every", "x"}, {"--size", "640"}, {"--size", "0x480"},
        {"--uptime", "-5"}, {"--bogus"},      {"--out"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> withOut = {"--out", dir};
        withOut.insert(withOut.end(), args.begin(), args.end());
        const e2e::Result r = capture(withOut, 20000);
        ASSERT_TRUE(r.finished) << args[0];
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_TRUE(e2e::traceLines(r.trace, "window").empty()) << args[0] << "\n" << r.trace;
    }
    EXPECT_TRUE(e2e::pngFiles(dir).empty());
}

TEST(Capture, WritesTheChosenFramesAndNoOthers) {
    const std::string dir = e2e::freshDir("chosen");
    const e2e::Result r = capture({"--frames", "3", "--every", "5", "--first", "10", "--out", dir});
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.status, 0) << r.trace;
    EXPECT_EQ(names(e2e::pngFiles(dir)),
              (std::vector<std::string>{"frame-000011.png", "frame-000016.png", "frame-000021.png"}));
    for (const std::string& f : e2e::pngFiles(dir)) {
        const test_support::Image image = test_support::readPng(f);
        EXPECT_EQ(image.width, 640) << f;
        EXPECT_EQ(image.height, 480) << f;
    }
    // The saver was stopped in its orderly way, by the close request that
    // follows the last picture.
    EXPECT_FALSE(e2e::traceLines(r.trace, "display mode restored").empty()) << r.trace;
    EXPECT_FALSE(e2e::traceLines(r.trace, "exit 0").empty()) << r.trace;
}

TEST(Capture, TheSaverSwitchesALargerScreenTo640x480UnlessItKeepsTheMode) {
    const std::string switched = e2e::freshDir("switched");
    ASSERT_EQ(capture({"--size", "800x600", "--out", switched}).status, 0);
    const test_support::Image a = test_support::readPng(frameFile(switched, 2));
    EXPECT_EQ(a.width, 640);
    EXPECT_EQ(a.height, 480);

    const std::string kept = e2e::freshDir("kept");
    const e2e::Result r = capture({"--size", "800x600", "--keep-mode", "--out", kept});
    ASSERT_EQ(r.status, 0) << r.trace;
    const test_support::Image b = test_support::readPng(frameFile(kept, 2));
    ASSERT_EQ(b.width, 800);
    ASSERT_EQ(b.height, 600);
    // The same scene, with nothing drawn beyond its 640 x 480 pictures but
    // the walker.
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) ASSERT_EQ(b.at(x, y), a.at(x, y)) << x << "," << y;
    EXPECT_EQ(b.at(799, 599), 0u);
}

TEST(Capture, ARunAcrossTheTickCountWrapShowsTheSameFrames) {
    // What each frame shows is the same whatever the uptime.
    const std::string wrap = e2e::freshDir("wrap");
    const std::string normal = e2e::freshDir("normal");
    const std::vector<std::string> frames = {"--frames", "4", "--every", "25"};
    std::vector<std::string> wrapArgs = frames, normalArgs = frames;
    wrapArgs.insert(wrapArgs.end(), {"--uptime", "4294965296", "--out", wrap});
    normalArgs.insert(normalArgs.end(), {"--out", normal});
    ASSERT_EQ(capture(wrapArgs).status, 0);
    ASSERT_EQ(capture(normalArgs).status, 0);
    const auto files = e2e::pngFiles(wrap);
    ASSERT_EQ(names(files), names(e2e::pngFiles(normal)));
    ASSERT_EQ(files.size(), 4u);
    for (const std::string& f : files) {
        const std::string name = std::filesystem::path(f).filename().string();
        EXPECT_EQ(test_support::readPng(f).pixels, test_support::readPng(normal + "/" + name).pixels) << name;
    }
}

TEST(Capture, StopsRightAfterTheLastPictureEvenWhenTheRunCrossesTheTickCountWrap) {
    // The run ends at the last picture, the tick count's wrap in the middle
    // of it or not: the frames the saver counts in its caption (each
    // caption shows the frames since the one before) are no more than the
    // pictures taken.
    for (const char* uptime : {"3600000", "4294965296"}) {
        const std::string dir = e2e::freshDir(std::string("stop-") + uptime);
        const e2e::Result r = capture({"--frames", "2", "--every", "100", "--uptime", uptime, "--out", dir});
        ASSERT_TRUE(r.finished) << uptime;
        ASSERT_EQ(r.status, 0) << uptime << "\n" << r.trace;
        const int lastSaverFrame = 101;  // picture 102
        int counted = 0;
        for (const std::string& line : e2e::traceLines(r.trace, "caption \"Frames Per Second: "))
            counted += std::atoi(line.c_str() + std::strlen("caption \"Frames Per Second: "));
        EXPECT_GT(counted, 0) << uptime << "\n" << r.trace;
        EXPECT_LE(counted, lastSaverFrame) << uptime << "\n" << r.trace;
        EXPECT_FALSE(e2e::traceLines(r.trace, "exit 0").empty()) << uptime << "\n" << r.trace;
    }
}

// ---- The scene -----------------------------------------------------------------

TEST(SceneFrames, MatchTheReferencePictures) {
    // The saver's frame 1: the start. Frame 1501: the second walk, the walker
    // come down to the path, the two landscape copies meeting at x = 419.
    // Frame 3001: the walker on the sand.
    const std::string dir = e2e::freshDir("reference-run");
    ASSERT_EQ(capture({"--frames", "3", "--every", "1500", "--out", dir}).status, 0);
    for (int n : {2, 1502, 3002}) {
        const test_support::Image got = test_support::readPng(frameFile(dir, n));
        const test_support::Image want = test_support::readPng(frameFile(POMRIVEL_REFERENCE_DIR, n));
        ASSERT_EQ(want.width, 640) << "no reference for picture " << n;
        ASSERT_EQ(got.width, want.width);
        ASSERT_EQ(got.height, want.height);
        int differ = 0;
        for (std::size_t i = 0; i < got.pixels.size(); ++i) differ += got.pixels[i] != want.pixels[i];
        EXPECT_EQ(differ, 0) << "picture " << n << " differs from its reference in " << differ << " pixels";
    }
}

TEST(SceneFrames, NeverShowTheKeyColourAndSwitchAtTheThirdAndSixthArrival) {
    const test_support::Image landscape = test_support::readPng(frameFile(POMRIVEL_REFERENCE_DIR, 2));
    const test_support::Image sand = test_support::readPng(frameFile(POMRIVEL_REFERENCE_DIR, 3002));
    ASSERT_EQ(landscape.height, 480);
    ASSERT_EQ(sand.height, 480);
    ASSERT_FALSE(sameLowerRows(landscape, sand));

    // Every 97th frame through six walks: the sand from the third arrival
    // (the saver's frame 2764) up to the sixth (frame 5728).
    const std::string sweep = e2e::freshDir("sweep");
    ASSERT_EQ(capture({"--frames", "62", "--every", "97", "--out", sweep}).status, 0);
    const auto files = e2e::pngFiles(sweep);
    ASSERT_EQ(files.size(), 62u);
    for (int i = 0; i < 62; ++i) {
        const int n = 1 + 97 * i;  // the saver's frame
        const test_support::Image image = test_support::readPng(frameFile(sweep, n + 1));
        ASSERT_EQ(image.width, 640) << n;
        EXPECT_EQ(keyedPixels(image), 0) << "frame " << n;
        const bool sandShown = n >= 2764 && n < 5728;
        EXPECT_TRUE(sameLowerRows(image, sandShown ? sand : landscape)) << "frame " << n;
    }

    // The frames either side of each switch: frames 2763 and 2764, then
    // 5727 and 5728.
    struct Edge {
        int first;  // pictures skipped
        bool sandBefore, sandAfter;
    };
    for (const Edge& e : {Edge{2763, false, true}, Edge{5727, true, false}}) {
        const std::string dir = e2e::freshDir("edge-" + std::to_string(e.first));
        ASSERT_EQ(capture({"--first", std::to_string(e.first), "--frames", "2", "--out", dir}).status, 0);
        const test_support::Image before = test_support::readPng(frameFile(dir, e.first + 1));
        const test_support::Image after = test_support::readPng(frameFile(dir, e.first + 2));
        EXPECT_TRUE(sameLowerRows(before, e.sandBefore ? sand : landscape)) << "picture " << e.first + 1;
        EXPECT_TRUE(sameLowerRows(after, e.sandAfter ? sand : landscape)) << "picture " << e.first + 2;
        EXPECT_EQ(keyedPixels(before) + keyedPixels(after), 0);
    }
}

}  // namespace
