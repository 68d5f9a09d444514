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
#include <exception>
#include <filesystem>
#include <string>

namespace {

bool writeResources(const std::string& dir) {
    using namespace assets;
    std::vector<bool> iconMask;
    Image icon = makeIcon(iconMask);
    struct Output {
        const char* name;
        Bytes bytes;
    } outputs[] = {
        // The two bands RLE8, the rest uncompressed; tests/tools checks the
        // sizes, palettes and formats the saver's resources fix.
        {"walker.bmp", bitmapFile(makeWalker(), false)},
        {"landscape.bmp", bitmapFile(makeUpperBand(), true)},
        {"meadow.bmp", bitmapFile(makeLowerBand(), true)},
        {"trees.bmp", bitmapFile(makeTrees(), false)},
        {"sand.bmp", bitmapFile(makeSand(), false)},
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
