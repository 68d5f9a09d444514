// make_assets: writes every picture and sound the saver carries.
//
//   make_assets <folder>             the resource files, into <folder>
//   make_assets --preview <folder>   scene-landscape.png and scene-sand.png
//
// The output is the same, byte for byte, on every run and every host; the
// files in res/ are committed, and a test regenerates them to prove it.
#include "assets/art.h"
#include "assets/formats.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

// A bitmap with the size and palette the saver's resources fix; a picture
// that has drifted from them is a fault in the generator.
assets::Bytes bitmap(const assets::Image& img, int width, int height, std::size_t colours, bool rle8) {
    if (img.width != width || img.height != height || img.palette.size() != colours) {
        throw std::logic_error("a picture does not have its fixed size and palette");
    }
    return assets::bitmapFile(img, rle8);
}

bool writeResources(const std::string& dir) {
    using namespace assets;
    std::vector<bool> iconMask;
    Image icon = makeIcon(iconMask);
    struct Output {
        const char* name;
        Bytes bytes;
    } outputs[] = {
        {"walker.bmp", bitmap(makeWalker(), kWalkerWidth, kWalkerHeight, 256, false)},
        {"landscape.bmp", bitmap(makeUpperBand(), kBandWidth, kBandHeight, 64, true)},
        {"meadow.bmp", bitmap(makeLowerBand(), kBandWidth, kBandHeight, 64, true)},
        {"trees.bmp", bitmap(makeTrees(), kTreesWidth, kTreesHeight, 50, false)},
        {"sand.bmp", bitmap(makeSand(), kScreenWidth, kScreenHeight, 256, false)},
        {"chime.wav", waveFile(makeChime())},
        {"pomrivel.ico", iconFile(icon, iconMask)},
    };
    for (const Output& o : outputs) {
        std::string path = dir + "/" + o.name;
        if (!writeFile(path, o.bytes)) {
            std::fprintf(stderr, "make_assets: cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

bool writePreviews(const std::string& dir) {
    using namespace assets;
    // The upper band scrolled so its seam falls mid-screen, and the walker
    // on the path, part way across.
    std::string landscape = dir + "/scene-landscape.png";
    std::string sand = dir + "/scene-sand.png";
    if (!writePng(landscape, kScreenWidth, kScreenHeight, composeLandscape(200, 250, 124)) ||
        !writePng(sand, kScreenWidth, kScreenHeight, composeSand(300, 124))) {
        std::fprintf(stderr, "make_assets: cannot write the previews into %s\n", dir.c_str());
        return false;
    }
    return true;
}

// The output folder, made if it is missing.
bool prepare(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) std::fprintf(stderr, "make_assets: cannot make %s: %s\n", dir.c_str(), error.message().c_str());
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && argv[1][0] != '-') return prepare(argv[1]) && writeResources(argv[1]) ? 0 : 1;
        if (argc == 3 && std::string(argv[1]) == "--preview") {
            return prepare(argv[2]) && writePreviews(argv[2]) ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_assets: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: make_assets <folder>            write the resource files\n"
                 "       make_assets --preview <folder>  write the scene previews\n");
    return 2;
}
