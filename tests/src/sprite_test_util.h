// Helpers for the bitmap and sprite tests, on the drawing-layer tests'
// pictures (gdi_test::Pixels) and bitmap file writer: pictures made and
// compared, bitmaps and bitmap files made from them, a drawing target, and a
// fixture that gives the saver what its sprite code needs (a module instance,
// a main window, an empty paint list) and runs each test in an empty working
// directory of its own.
#ifndef POMRIVEL_TESTS_SRC_SPRITE_TEST_UTIL_H
#define POMRIVEL_TESTS_SRC_SPRITE_TEST_UTIL_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/test_images.h"
#include "gdi_test_util.h"
#include "xgraphics.h"
#include "xsavermain.h"
#include "xsprite.h"

#ifndef _WIN32
#include "support/headless.h"
#endif

namespace sprite_test {

using gdi_test::kBlack;
using gdi_test::kWhite;
using gdi_test::mirrored;
using gdi_test::Pixels;
using gdi_test::readBits;

// The saver's default transparency key, which these tests leave in place.
constexpr COLORREF kKey = RGB(255, 0, 255);

template <class F>
Pixels picture(int w, int h, F colourAt) {
    Pixels p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.at(x, y) = colourAt(x, y);
    return p;
}

// A busy picture that never holds the key or black, with key pixels where
// keyed(x, y) says.
template <class F>
Pixels keyedPicture(int w, int h, F keyed) {
    return picture(w, h, [&](int x, int y) { return keyed(x, y) ? kKey : RGB(10 + 7 * x, 20 + 5 * y, 30 + x * y % 200); });
}

// Where p has colour c: kWhite, elsewhere kBlack (a mask as it reads back).
inline Pixels where(const Pixels& p, COLORREF c) {
    return picture(p.w, p.h, [&](int x, int y) { return p.at(x, y) == c ? kWhite : kBlack; });
}

inline Pixels replaced(const Pixels& p, COLORREF from, COLORREF to) {
    return picture(p.w, p.h, [&](int x, int y) { return p.at(x, y) == from ? to : p.at(x, y); });
}

// p's colours as the bitmap file writer takes them.
inline test_images::Picture rgb(const Pixels& p) {
    test_images::Picture out{p.w, p.h, {}};
    for (COLORREF c : p.px) out.px.push_back({GetRValue(c), GetGValue(c), GetBValue(c)});
    return out;
}

// A 32-bit bitmap holding p.
inline HBITMAP makeBitmap(const Pixels& p) {
    return CreateBitmap(p.w, p.h, 1, 32, test_images::packRgb(rgb(p), 32, true).data());
}

inline int bitsPerPixel(HBITMAP bitmap) {
    BITMAP bm{};
    return GetObjectA(bitmap, sizeof bm, &bm) ? bm.bmBitsPixel : 0;
}

inline bool exists(HBITMAP bitmap) {
    BITMAP bm{};
    return bitmap && GetObjectA(bitmap, sizeof bm, &bm) != 0;
}

// p as a 24-bit bottom-up bitmap file.
inline void writeBmp(const std::string& path, const Pixels& p) {
    const test_images::Bytes b =
        test_images::makeBmp({p.w, p.h, 24, test_images::kBiRgb, 40, {}, {}, test_images::packRgb(rgb(p), 24)});
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

inline void destroySprite(SPRITE& sp) {
    DeleteObject(sp.image);
    DeleteObject(sp.imageMask);
    DeleteObject(sp.imageFlip);
    DeleteObject(sp.imageFlipMask);
}

// A back buffer as the saver keeps one: a memory context holding a 32-bit
// bitmap, here filled with a picture, and a scratch context to paint through.
class Canvas : public gdi_test::Surface {
public:
    explicit Canvas(const Pixels& background)
        : Surface(background.w, background.h, gdi_test::Format::Colour), scratch_(CreateCompatibleDC(dc())) {
        gdi_test::put(*this, background);
    }
    ~Canvas() { DeleteDC(scratch_); }

    void paint() const { paintSprite(dc(), scratch_); }
    Pixels read() const { return readBits(bitmap()); }

private:
    HDC scratch_;
};

// Each test gets a main window for mirrored copies, the test program as the
// module whose resources sprites load from, the default key, an empty paint
// list and an empty working directory, so bitmap files the test writes
// there are the only ones a sprite name can find.
class SpriteTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        test_support::installHeadless();
#endif
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "SpriteTestClass";
        RegisterClassA(&wc);  // once per process; later tests reuse the class
        hwndMain = CreateWindowExA(0, "SpriteTestClass", "sprites", WS_POPUP, 0, 0, 640, 480, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(hwndMain);
        hInst = GetModuleHandleA(NULL);
        transparentColor = kKey;
        maxSpriteStack = 0;

        previousDir_ = std::filesystem::current_path();
        const std::string name = std::string("pomrivel-sprites-") +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                                 std::to_string(std::random_device{}());
        dir_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        maxSpriteStack = 0;
        if (!previousDir_.empty()) std::filesystem::current_path(previousDir_);
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
        DestroyWindow(hwndMain);
        hwndMain = NULL;
    }

private:
    std::filesystem::path previousDir_, dir_;
};

}  // namespace sprite_test

#endif
