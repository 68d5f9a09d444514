// Helpers for the bitmap and sprite tests: pictures as COLORREFs, bitmaps
// and bitmap files made from them and read back through Win32 calls, a
// drawing target, and a fixture that gives the saver what its sprite code
// needs (a module instance, a main window, an empty paint list) and runs each
// test in an empty working directory of its own.
#ifndef POMRIVEL_TESTS_SRC_SPRITE_TEST_UTIL_H
#define POMRIVEL_TESTS_SRC_SPRITE_TEST_UTIL_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "xgraphics.h"
#include "xsavermain.h"
#include "xsprite.h"

#ifndef _WIN32
#include "support/headless.h"
#endif

namespace sprite_test {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A picture row by row; masks read back as kBlack (0) and kWhite (1).
struct Picture {
    int w = 0, h = 0;
    std::vector<COLORREF> px;
    COLORREF at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
    COLORREF& at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
    bool operator==(const Picture&) const = default;
};

template <class F>
Picture picture(int w, int h, F colourAt) {
    Picture p{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.px.push_back(colourAt(x, y));
    return p;
}

// A busy picture that never holds the key or black, with key pixels where
// keyed(x, y) says.
template <class F>
Picture keyedPicture(int w, int h, F keyed) {
    return picture(w, h, [&](int x, int y) { return keyed(x, y) ? kKey : RGB(10 + 7 * x, 20 + 5 * y, 30 + x * y % 200); });
}

inline Picture filled(int w, int h, COLORREF c) {
    return picture(w, h, [&](int, int) { return c; });
}

inline Picture mirror(const Picture& p) {
    return picture(p.w, p.h, [&](int x, int y) { return p.at(p.w - 1 - x, y); });
}

// Where p has colour c: kWhite, elsewhere kBlack (a mask as it reads back).
inline Picture where(const Picture& p, COLORREF c) {
    return picture(p.w, p.h, [&](int x, int y) { return p.at(x, y) == c ? kWhite : kBlack; });
}

inline Picture replaced(const Picture& p, COLORREF from, COLORREF to) {
    return picture(p.w, p.h, [&](int x, int y) { return p.at(x, y) == from ? to : p.at(x, y); });
}

// A 32-bit bitmap holding p.
inline HBITMAP makeBitmap(const Picture& p) {
    std::vector<DWORD> bits;
    for (COLORREF c : p.px) bits.push_back((DWORD)GetRValue(c) << 16 | (DWORD)GetGValue(c) << 8 | GetBValue(c));
    return CreateBitmap(p.w, p.h, 1, 32, bits.data());
}

// What a bitmap holds, read through a memory context. Empty for no bitmap.
inline Picture readBitmap(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) return {};
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Picture p = picture(bm.bmWidth, bm.bmHeight, [&](int x, int y) { return GetPixel(dc, x, y); });
    SelectObject(dc, old);
    DeleteDC(dc);
    return p;
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
inline void writeBmp(const std::string& path, const Picture& p) {
    const int row = (p.w * 3 + 3) & ~3;
    std::vector<unsigned char> b(54 + static_cast<size_t>(row) * p.h);
    auto put = [&](int at, unsigned v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<unsigned>(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, p.w, 4);
    put(22, p.h, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            unsigned char* d = &b[54 + static_cast<size_t>(p.h - 1 - y) * row + 3 * x];
            d[0] = GetBValue(p.at(x, y));
            d[1] = GetGValue(p.at(x, y));
            d[2] = GetRValue(p.at(x, y));
        }
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
class Canvas {
public:
    explicit Canvas(const Picture& background)
        : dc_(CreateCompatibleDC(NULL)), bitmap_(makeBitmap(background)), old_(SelectObject(dc_, bitmap_)),
          temp_(CreateCompatibleDC(dc_)) {}
    ~Canvas() {
        DeleteDC(temp_);
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    void paint() const { paintSprite(dc_, temp_); }
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    Picture read() const {
        BITMAP bm{};
        GetObjectA(bitmap_, sizeof bm, &bm);
        return picture(bm.bmWidth, bm.bmHeight, [&](int x, int y) { return at(x, y); });
    }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    HDC temp_;
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
