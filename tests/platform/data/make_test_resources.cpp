// Writes the files the test resource script names, and a few more bitmaps
// in other formats (used as the bitmap fuzzer's seeds, one of them a tiny
// file at the largest size a file may decode into), into a folder.
//
//   make_test_resources <folder>
#include "test_images.h"

#include <cstdio>
#include <string>

using namespace test_images;

namespace {

bool write(const std::string& dir, const char* name, const Bytes& bytes) {
    const std::string path = dir + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make_test_resources: cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_resources <folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const Indexed mono = monoPicture();
    const Indexed nibbles = nibblePicture();
    const Indexed pal = palettePicture();
    const Picture colour = colourPicture();
    ImageLayout rgb565{colour.w, colour.h, 16, kBiBitfields, 40, {}, {0xF800, 0x07E0, 0x001F}, packRgb(colour, 16)};
    ImageLayout v5{colour.w, colour.h, 32, kBiBitfields, 124, {}, {0xFF0000, 0xFF00, 0xFF}, packRgb(colour, 32)};
    bool ok =
        write(dir, "pal8.bmp", palette8File()) && write(dir, "rle8.bmp", rle8File()) &&
        write(dir, "rgb24.bmp", rgb24File()) && write(dir, "blob.bin", blob()) &&
        write(dir, "icon.ico", iconFile(false)) && write(dir, "cursor.cur", iconFile(true)) &&
        write(dir, "mono1.bmp", makeBmp({mono.w, mono.h, 1, kBiRgb, 40, mono.palette, {}, packIndices(mono, 1)})) &&
        write(dir, "pal4.bmp",
              makeBmp({nibbles.w, nibbles.h, 4, kBiRgb, 40, nibbles.palette, {}, packIndices(nibbles, 4)})) &&
        write(dir, "rle4.bmp",
              makeBmp({nibbles.w, nibbles.h, 4, kBiRle4, 40, nibbles.palette, {}, encodeRle(nibbles, true)})) &&
        write(dir, "core8.bmp", makeBmp({pal.w, pal.h, 8, kBiRgb, 12, pal.palette, {}, packIndices(pal, 8)})) &&
        write(dir, "topdown8.bmp",
              makeBmp({pal.w, -pal.h, 8, kBiRgb, 40, pal.palette, {}, packIndices(pal, 8, true)})) &&
        write(dir, "rgb565.bmp", makeBmp(rgb565)) && write(dir, "v5_32.bmp", makeBmp(v5)) &&
        write(dir, "limit_rle8.bmp", blankRle8File(2048, 2048));
    return ok ? 0 : 1;
}
