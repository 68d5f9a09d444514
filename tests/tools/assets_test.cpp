// The committed files in res/: the headers the saver's resource tables fix,
// the pictures they hold, the transparency key, the seamless upper band,
// the sound and the icon; and that the generator writes them again byte for
// byte.
#include "asset_files.h"

#include "assets/art.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

using namespace asset_test;

namespace {

struct StoredBitmap {
    const char* file;
    int width, height;
    std::uint32_t compression;  // 0 uncompressed, 1 RLE8
    std::uint32_t colours;
    assets::Image (*make)();
};

const StoredBitmap kBitmaps[] = {
    {"walker.bmp", 107, 181, 0, 256, assets::makeWalker},   {"landscape.bmp", 640, 240, 1, 64, assets::makeUpperBand},
    {"meadow.bmp", 640, 240, 1, 64, assets::makeLowerBand}, {"trees.bmp", 640, 405, 0, 50, assets::makeTrees},
    {"sand.bmp", 640, 480, 0, 256, assets::makeSand},
};

Bitmap load(const char* file) {
    return readBitmap(readFile(sourcePath(std::string("res/") + file)));
}

}  // namespace

TEST(ResourceFiles, BitmapsHaveTheFixedSizesFormatsAndPalettes) {
    for (const StoredBitmap& stored : kBitmaps) {
        SCOPED_TRACE(stored.file);
        const Bytes file = readFile(sourcePath(std::string("res/") + stored.file));
        const Bitmap bm = readBitmap(file);
        ASSERT_EQ(bm.error, "");
        EXPECT_EQ(bm.fileSize, file.size());
        EXPECT_EQ(bm.offBits, 14 + 40 + 4 * stored.colours);
        EXPECT_EQ(bm.headerSize, 40u);
        EXPECT_EQ(bm.width, stored.width);
        EXPECT_EQ(bm.height, stored.height);  // positive: rows bottom-up
        EXPECT_EQ(bm.planes, 1u);
        EXPECT_EQ(bm.bitCount, 8u);
        EXPECT_EQ(bm.compression, stored.compression);
        EXPECT_EQ(bm.clrUsed, stored.colours);
        EXPECT_TRUE(bm.paletteReservedZero);
        EXPECT_EQ(bm.sizeImage, file.size() - bm.offBits);
        if (stored.compression == 0) {
            EXPECT_EQ(bm.sizeImage, static_cast<std::uint32_t>((stored.width + 3) / 4 * 4 * stored.height));
        }
    }
}

// Also proves the RLE8 encoder: the strict decoder must give back exactly
// the generator's picture, right way up.
TEST(ResourceFiles, EveryBitmapHoldsItsPictureRightWayUp) {
    for (const StoredBitmap& stored : kBitmaps) {
        SCOPED_TRACE(stored.file);
        const Bitmap bm = load(stored.file);
        ASSERT_EQ(bm.error, "");
        const assets::Image img = stored.make();
        ASSERT_EQ(bm.pixels.size(), img.pixels.size());
        EXPECT_TRUE(bm.pixels == img.pixels);
        ASSERT_EQ(bm.palette.size(), img.palette.size());
        for (std::size_t i = 0; i < img.palette.size(); ++i) {
            EXPECT_EQ(bm.palette[i], (Colour{img.palette[i].r, img.palette[i].g, img.palette[i].b}));
        }
    }
}

TEST(ResourceFiles, KeyColourIsOnePaletteEntryInTheKeyedLayersAndAbsentElsewhere) {
    for (const StoredBitmap& stored : kBitmaps) {
        SCOPED_TRACE(stored.file);
        const Bitmap bm = load(stored.file);
        ASSERT_EQ(bm.error, "");
        std::set<int> keyEntries;
        for (std::size_t i = 0; i < bm.palette.size(); ++i) {
            if (bm.palette[i] == kKey) keyEntries.insert(static_cast<int>(i));
        }
        std::size_t keyed = 0;
        for (std::uint8_t p : bm.pixels) keyed += keyEntries.count(p);
        const bool layered = std::string(stored.file) == "walker.bmp" || std::string(stored.file) == "trees.bmp";
        if (layered) {
            // One entry only, so no opaque pixel can be the key by accident;
            // and the layer really is partly transparent and partly not.
            EXPECT_EQ(keyEntries.size(), 1u);
            EXPECT_GT(keyed, bm.pixels.size() / 4);
            EXPECT_LT(keyed, bm.pixels.size());
        } else {
            EXPECT_TRUE(keyEntries.empty());
            EXPECT_EQ(keyed, 0u);
        }
    }
    // The walker stands clear of its frame: the key all round the border.
    const Bitmap walker = load("walker.bmp");
    ASSERT_EQ(walker.error, "");
    for (int x = 0; x < walker.width; ++x) {
        EXPECT_EQ(walker.at(x, 0), kKey);
        EXPECT_EQ(walker.at(x, walker.height - 1), kKey);
    }
    for (int y = 0; y < walker.height; ++y) {
        EXPECT_EQ(walker.at(0, y), kKey);
        EXPECT_EQ(walker.at(walker.width - 1, y), kKey);
    }
}

// Two copies are drawn side by side: the step from the last column to the
// first must look like any step between neighbouring columns.
TEST(ResourceFiles, UpperBandJoinsItselfWithoutASeam) {
    const Bitmap bm = load("landscape.bmp");
    ASSERT_EQ(bm.error, "");
    auto columnStep = [&](int a, int b) {
        double sum = 0;
        for (int y = 0; y < bm.height; ++y) {
            const Colour p = bm.at(a, y), q = bm.at(b, y);
            sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        }
        return sum / bm.height;
    };
    double total = 0, largest = 0;
    for (int x = 0; x + 1 < bm.width; ++x) {
        const double step = columnStep(x, x + 1);
        total += step;
        largest = std::max(largest, step);
    }
    const double mean = total / (bm.width - 1);
    const double seam = columnStep(bm.width - 1, 0);
    EXPECT_LE(seam, 1.5 * mean) << "mean step " << mean;
    EXPECT_LE(seam, largest);
}

TEST(ResourceFiles, SoundIsAnExactPcmWaveFile) {
    const Bytes w = readFile(sourcePath("res/chime.wav"));
    ASSERT_EQ(w.size(), 251476u);
    EXPECT_EQ(tag(w, 0), "RIFF");
    EXPECT_EQ(le32(w, 4), w.size() - 8);
    EXPECT_EQ(tag(w, 8), "WAVE");
    // Walk the chunks: a PCM format chunk, then samples in the data chunk.
    std::size_t at = 12, dataAt = 0, dataSize = 0;
    bool sawFormat = false;
    while (at + 8 <= w.size()) {
        const std::string id = tag(w, at);
        const std::uint32_t size = le32(w, at + 4);
        ASSERT_LE(at + 8 + size, w.size()) << id;
        if (id == "fmt ") {
            sawFormat = true;
            EXPECT_EQ(le16(w, at + 8), 1u);       // PCM
            EXPECT_EQ(le16(w, at + 10), 1u);      // mono
            EXPECT_EQ(le32(w, at + 12), 44100u);  // samples per second
            EXPECT_EQ(le32(w, at + 16), 88200u);  // bytes per second
            EXPECT_EQ(le16(w, at + 20), 2u);      // block align
            EXPECT_EQ(le16(w, at + 22), 16u);     // bits per sample
        } else if (id == "data") {
            EXPECT_TRUE(sawFormat) << "the format chunk comes first";
            dataAt = at + 8;
            dataSize = size;
        }
        at += 8 + size + (size & 1);
    }
    EXPECT_EQ(at, w.size());
    EXPECT_EQ(dataSize, 251358u);
    EXPECT_EQ(dataAt + dataSize, w.size());

    // It starts and ends in silence (no click) and never clips.
    ASSERT_GT(dataSize, 0u);
    auto sample = [&](std::size_t i) { return static_cast<std::int16_t>(le16(w, dataAt + 2 * i)); };
    const std::size_t count = dataSize / 2;
    int peak = 0;
    for (std::size_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(static_cast<int>(sample(i))));
    EXPECT_LT(std::abs(sample(0)), 64);
    EXPECT_LT(std::abs(sample(count - 1)), 64);
    EXPECT_GT(peak, 8000);
    EXPECT_LT(peak, 32000);
}

TEST(ResourceFiles, IconIsOne32By32ImageOf256Colours) {
    const Bytes ico = readFile(sourcePath("res/pomrivel.ico"));
    ASSERT_EQ(ico.size(), 6u + 16u + 2216u);
    EXPECT_EQ(le16(ico, 0), 0u);
    EXPECT_EQ(le16(ico, 2), 1u);  // an icon, not a cursor
    EXPECT_EQ(le16(ico, 4), 1u);  // one image
    EXPECT_EQ(ico[6], 32);        // width
    EXPECT_EQ(ico[7], 32);        // height
    EXPECT_EQ(ico[8], 0);         // colour count: 256
    EXPECT_EQ(le16(ico, 10), 1u);
    EXPECT_EQ(le16(ico, 12), 8u);
    EXPECT_EQ(le32(ico, 14), 2216u);
    EXPECT_EQ(le32(ico, 18), 22u);

    const std::size_t img = 22;
    EXPECT_EQ(le32(ico, img), 40u);
    EXPECT_EQ(le32(ico, img + 4), 32u);
    EXPECT_EQ(le32(ico, img + 8), 64u);  // colour rows and mask rows
    EXPECT_EQ(le16(ico, img + 12), 1u);
    EXPECT_EQ(le16(ico, img + 14), 8u);
    EXPECT_EQ(le32(ico, img + 16), 0u);  // uncompressed
    const std::uint32_t clrUsed = le32(ico, img + 32);
    EXPECT_TRUE(clrUsed == 0 || clrUsed == 256);

    // The mask: the corners transparent, the middle opaque; transparent
    // pixels are black in the colour image, so they draw as nothing.
    const std::size_t palette = img + 40, pixels = palette + 1024, mask = pixels + 1024;
    auto masked = [&](int x, int y) { return (ico[mask + (31 - y) * 4 + x / 8] >> (7 - x % 8)) & 1; };
    EXPECT_TRUE(masked(0, 0) && masked(31, 0) && masked(0, 31) && masked(31, 31));
    EXPECT_FALSE(masked(16, 16));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!masked(x, y)) continue;
            const std::size_t entry = palette + 4 * ico[pixels + (31 - y) * 32 + x];
            EXPECT_EQ(ico[entry] | ico[entry + 1] | ico[entry + 2], 0) << x << "," << y;
        }
    }
}

TEST(Generator, WritesTheCommittedFilesAgainByteForByte) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/pomrivel_assets_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const std::string command = std::string("\"") + MAKE_ASSETS + "\" \"" + dir.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(dir)) written.insert(entry.path().filename().string());
    const std::set<std::string> expected = {"walker.bmp", "landscape.bmp", "meadow.bmp",  "trees.bmp",
                                            "sand.bmp",   "chime.wav",     "pomrivel.ico"};
    EXPECT_EQ(written, expected);
    for (const std::string& name : written) {
        SCOPED_TRACE(name);
        const Bytes fresh = readFile((dir / name).string());
        const Bytes committed = readFile(sourcePath("res/" + name));
        EXPECT_FALSE(fresh.empty());
        EXPECT_TRUE(fresh == committed) << "regenerate res/ with make_assets and commit the result";
    }
    fs::remove_all(dir);
}
