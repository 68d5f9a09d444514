// Module resources and bitmap loading: the test program carries the resources
// of data/test.rc (compiled by llvm-rc), and the files that script names are
// written at build time by data/make_test_resources.
#include "user/resources.h"
#include "data/test_images.h"
#include "gdi_test_util.h"
#include "user/resfile.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <chrono>
#include <functional>
#include <thread>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" const unsigned char pomrivel_module_res[];
extern "C" const std::size_t pomrivel_module_res_size;

using namespace test_images;
namespace fs = std::filesystem;

namespace {

constexpr DWORD kErrorInvalidData = 13;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes sourceFile(const char* name) {
    return readFile(fs::path(POMRIVEL_TEST_RESOURCE_DIR) / name);
}

Bytes resourceBytes(HRSRC res) {
    HGLOBAL global = LoadResource(NULL, res);
    const auto* p = static_cast<const std::uint8_t*>(LockResource(global));
    return p ? Bytes(p, p + SizeofResource(NULL, res)) : Bytes();
}

// What a bitmap shows, read back through a memory DC and GetPixel.
::testing::AssertionResult shows(HBITMAP bmp, const Picture& expected) {
    if (!bmp) return ::testing::AssertionFailure() << "no bitmap";
    BITMAP bm{};
    GetObjectA(bmp, sizeof bm, &bm);
    if (bm.bmBitsPixel != 32) return ::testing::AssertionFailure() << bm.bmBitsPixel << " bits per pixel";
    gdi_test::Pixels want(expected.w, expected.h), got(bm.bmWidth, bm.bmHeight);
    for (int y = 0; y < expected.h; ++y)
        for (int x = 0; x < expected.w; ++x) {
            const Rgb c = expected.at(x, y);
            want.at(x, y) = RGB(c.r, c.g, c.b);
        }
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, bmp);
    for (int y = 0; y < got.h; ++y)
        for (int x = 0; x < got.w; ++x) got.at(x, y) = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return gdi_test::samePixels(want, got);
}

// Loads bitmap bytes through a real file and LoadImageA.
class BitmapFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("pomrivel-resources-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    HBITMAP load(const Bytes& bytes) {
        const fs::path path = dir_ / "image.bmp";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return static_cast<HBITMAP>(LoadImageA(NULL, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    }

    fs::path dir_;
};

// Loads bytes that must be refused, without touching the disk.
::testing::AssertionResult refused(const Bytes& file) {
    SetLastError(0);
    HBITMAP bmp = platform::user::loadBitmapFromBytes(file);
    if (bmp) {
        DeleteObject(bmp);
        return ::testing::AssertionFailure() << "loaded";
    }
    if (GetLastError() != kErrorInvalidData) return ::testing::AssertionFailure() << "error " << GetLastError();
    return ::testing::AssertionSuccess();
}

// Runs `body` in a forked child and gives what it returned (0 to 255), or -1
// when it crashed or had not finished by the deadline. A child still running
// then is killed, so a load that hangs fails the test instead of hanging it.
int inChildWithin(std::chrono::seconds deadline, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int code = body();
        std::fflush(nullptr);
        _exit(code);
    }
    if (pid < 0) return -1;
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// ---- Finding resources ---------------------------------------------------

TEST(FindResource, FindsByIdStringAndHashNumber) {
    HMODULE self = GetModuleHandleA(NULL);
    HRSRC data = FindResourceA(self, MAKEINTRESOURCEA(400), RT_RCDATA);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(FindResourceA(NULL, MAKEINTRESOURCEA(400), RT_RCDATA), data);
    EXPECT_EQ(FindResourceA(self, "#400", "#10"), data);
    EXPECT_NE(FindResourceA(self, "SAMPLE", RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(self, "sample", RT_BITMAP), FindResourceA(self, "SAMPLE", RT_BITMAP));
    EXPECT_NE(FindResourceA(self, "blob", "Payload"), nullptr);
}

TEST(FindResource, ReportsWhetherTheTypeOrTheNameIsMissing) {
    HMODULE self = GetModuleHandleA(NULL);
    SetLastError(0);
    EXPECT_EQ(FindResourceA(self, MAKEINTRESOURCEA(400), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(self, MAKEINTRESOURCEA(999), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(self, "#40", RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(self, MAKEINTRESOURCEA(400), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceA(self, "blob", "NOSUCHTYPE"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    // Only the program's own module has resources.
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(reinterpret_cast<std::uintptr_t>(self) + 16),
                            MAKEINTRESOURCEA(400), RT_RCDATA),
              nullptr);
}

TEST(FindResource, PrefersUsEnglishThenTakesAnyLanguage) {
    EXPECT_EQ(resourceBytes(FindResourceA(NULL, MAKEINTRESOURCEA(401), RT_RCDATA)), (Bytes{'e', 'n'}));
    EXPECT_EQ(resourceBytes(FindResourceA(NULL, MAKEINTRESOURCEA(402), RT_RCDATA)), (Bytes{'o', 'n', 'l', 'y'}));
}

TEST(LoadResource, GivesTheBytesOfTheSourceFile) {
    const Bytes blob = sourceFile("blob.bin");
    ASSERT_EQ(blob, test_images::blob());
    HRSRC data = FindResourceA(NULL, MAKEINTRESOURCEA(400), RT_RCDATA);
    EXPECT_EQ(SizeofResource(NULL, data), blob.size());
    EXPECT_EQ(resourceBytes(data), blob);
    EXPECT_EQ(resourceBytes(FindResourceA(NULL, "BLOB", "PAYLOAD")), blob);
    // A bitmap resource is the file without its 14-byte file header.
    const Bytes pal8 = sourceFile("pal8.bmp");
    EXPECT_EQ(resourceBytes(FindResourceA(NULL, MAKEINTRESOURCEA(1), RT_BITMAP)), Bytes(pal8.begin() + 14, pal8.end()));
}

TEST(LoadResource, RejectsHandlesItDidNotMake) {
    HRSRC data = FindResourceA(NULL, MAKEINTRESOURCEA(400), RT_RCDATA);
    EXPECT_EQ(LoadResource(NULL, NULL), nullptr);
    EXPECT_EQ(LoadResource(NULL, reinterpret_cast<HRSRC>(reinterpret_cast<char*>(data) + 1)), nullptr);
    EXPECT_EQ(SizeofResource(NULL, reinterpret_cast<HRSRC>(&data)), 0u);
    EXPECT_EQ(LockResource(NULL), nullptr);
}

TEST(ResourceTemplates, DialogMenuAndAcceleratorsReadBackFromTheCompiler) {
    const Bytes dialog = resourceBytes(FindResourceA(NULL, MAKEINTRESOURCEA(200), RT_DIALOG));
    const auto d = platform::user::parseDialogTemplate(dialog);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->title, "Settings");
    EXPECT_EQ(d->font, "MS Sans Serif");
    ASSERT_EQ(d->items.size(), 2u);
    EXPECT_EQ(d->items[0].id, 1);
    // llvm-rc writes a CONTROL's class by name; other compilers use the atom.
    const auto& cls = d->items[0].windowClass;
    EXPECT_TRUE(cls == platform::user::ResourceId::fromText("Button") ||
                cls == platform::user::ResourceId::fromNumber(0x80));

    const auto menu =
        platform::user::parseMenuTemplate(resourceBytes(FindResourceA(NULL, MAKEINTRESOURCEA(300), RT_MENU)));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->size(), 1u);
    EXPECT_EQ((*menu)[0].text, "&File");
    ASSERT_EQ((*menu)[0].children.size(), 1u);
    EXPECT_EQ((*menu)[0].children[0].id, 1001);

    HACCEL accel = LoadAcceleratorsA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(100));
    ASSERT_NE(accel, nullptr);
    EXPECT_EQ(LoadAcceleratorsA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(100)), accel);
    const auto* table = platform::user::findAcceleratorTable(accel);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->size(), 3u);
    EXPECT_EQ((*table)[0].key, 'Q');
    EXPECT_EQ((*table)[0].flags & 0x09, 0x09);  // FVIRTKEY | FCONTROL
    EXPECT_EQ((*table)[1].key, VK_F1);
    EXPECT_EQ((*table)[2].command, 1003);
    EXPECT_EQ(LoadAcceleratorsA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(101)), nullptr);  // cut short
    EXPECT_EQ(LoadAcceleratorsA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(102)), nullptr);
}

TEST(LoadIcon, ModuleIconsAndStockIconsAndCursors) {
    HINSTANCE self = GetModuleHandleA(NULL);
    HICON icon = LoadIconA(self, MAKEINTRESOURCEA(710));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCEA(710)), icon);
    HICON stock = LoadIconA(NULL, IDI_APPLICATION);
    EXPECT_NE(stock, nullptr);
    EXPECT_NE(stock, icon);
    EXPECT_NE(LoadCursorA(NULL, IDC_ARROW), nullptr);
    EXPECT_NE(LoadCursorA(self, MAKEINTRESOURCEA(720)), nullptr);

    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCEA(711)), nullptr);  // a group naming no icon
    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCEA(720)), nullptr);  // a cursor, not an icon
    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(LoadIconA(NULL, MAKEINTRESOURCEA(5)), nullptr);
    EXPECT_EQ(LoadCursorA(NULL, "NOSUCHCURSOR"), nullptr);
}

// ---- Bitmaps from resources --------------------------------------------

TEST(LoadBitmap, DecodesPaletteAndRle8Resources) {
    HINSTANCE self = GetModuleHandleA(NULL);
    struct Case {
        LPCSTR name;
        Indexed picture;
    } cases[] = {
        {MAKEINTRESOURCEA(1), palettePicture()}, {MAKEINTRESOURCEA(2), runsPicture()}, {"SAMPLE", palettePicture()}};
    for (const Case& c : cases) {
        HBITMAP bmp = LoadBitmapA(self, c.name);
        EXPECT_TRUE(shows(bmp, toPicture(c.picture)));
        BITMAP bm{};
        EXPECT_EQ(GetObjectA(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmWidth, c.picture.w);
        EXPECT_EQ(bm.bmHeight, c.picture.h);
        DeleteObject(bmp);
    }
}

TEST(LoadBitmap, FailsForMissingOrDamagedResources) {
    HINSTANCE self = GetModuleHandleA(NULL);
    SetLastError(0);
    EXPECT_EQ(LoadBitmapA(self, MAKEINTRESOURCEA(3)), nullptr);  // header cut short
    EXPECT_EQ(GetLastError(), kErrorInvalidData);
    EXPECT_EQ(LoadBitmapA(self, MAKEINTRESOURCEA(400)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadBitmapA(NULL, MAKEINTRESOURCEA(1)), nullptr);  // no system bitmaps here
    HANDLE viaLoadImage = LoadImageA(self, MAKEINTRESOURCEA(2), IMAGE_BITMAP, 0, 0, 0);
    EXPECT_TRUE(shows(static_cast<HBITMAP>(viaLoadImage), toPicture(runsPicture())));
    DeleteObject(viaLoadImage);
}

// ---- Bitmaps from files ------------------------------------------------

TEST_F(BitmapFiles, LoadsEveryStoredFormat) {
    const Indexed pal = palettePicture(), runs = runsPicture(), mono = monoPicture(), nib = nibblePicture();
    const Picture colour = colourPicture();
    struct Case {
        const char* name;
        Bytes file;
        Picture expected;
    } cases[] = {
        {"8-bit", palette8File(), toPicture(pal)},
        {"RLE8", rle8File(), toPicture(runs)},
        {"24-bit", rgb24File(), colour},
        {"1-bit", makeBmp({mono.w, mono.h, 1, kBiRgb, 40, mono.palette, {}, packIndices(mono, 1)}), toPicture(mono)},
        {"4-bit", makeBmp({nib.w, nib.h, 4, kBiRgb, 40, nib.palette, {}, packIndices(nib, 4)}), toPicture(nib)},
        {"RLE4", makeBmp({nib.w, nib.h, 4, kBiRle4, 40, nib.palette, {}, encodeRle(nib, true)}), toPicture(nib)},
        {"core header", makeBmp({pal.w, pal.h, 8, kBiRgb, 12, pal.palette, {}, packIndices(pal, 8)}), toPicture(pal)},
        {"top-down", makeBmp({pal.w, -pal.h, 8, kBiRgb, 40, pal.palette, {}, packIndices(pal, 8, true)}),
         toPicture(pal)},
        {"5-6-5 bitfields",
         makeBmp(
             {colour.w, colour.h, 16, kBiBitfields, 40, {}, {0xF800, 0x07E0, 0x001F}, packRgb(colour565Picture(), 16)}),
         colour565Picture()},
        {"32-bit, v5 header",
         makeBmp({colour.w, colour.h, 32, kBiBitfields, 124, {}, {0xFF0000, 0xFF00, 0xFF}, packRgb(colour, 32)}),
         colour},
        {"32-bit", makeBmp({colour.w, colour.h, 32, kBiRgb, 40, {}, {}, packRgb(colour, 32)}), colour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bmp = load(c.file);
        EXPECT_TRUE(shows(bmp, c.expected));
        DeleteObject(bmp);
    }
    // The files the test resources were compiled from are the same ones.
    EXPECT_EQ(sourceFile("pal8.bmp"), palette8File());
    EXPECT_EQ(sourceFile("rle8.bmp"), rle8File());
    EXPECT_EQ(sourceFile("rgb24.bmp"), rgb24File());
}

// 16-bit pixels widen each channel by repeating its bits, as Win32 does, so
// full scale stays full scale and the smallest step is exact: 5-bit 1 is 8,
// 6-bit 1 is 4. BI_RGB at 16 bits is 5-5-5.
TEST_F(BitmapFiles, WidensFiveAndSixBitChannelsByRepeatingTheirBits) {
    auto row16 = [](std::uint32_t compression, std::vector<std::uint16_t> px, std::array<std::uint32_t, 3> masks) {
        Bytes pixels(rowBytes(static_cast<int>(px.size()), 16));
        for (std::size_t i = 0; i < px.size(); ++i) put16(pixels, 2 * i, px[i]);
        return makeBmp({static_cast<int>(px.size()), 1, 16, compression, 40, {}, {masks[0], masks[1], masks[2]}, pixels});
    };
    const struct {
        const char* name;
        Bytes file;
        std::vector<Rgb> expected;
    } cases[] = {
        {"5-6-5",
         row16(kBiBitfields, {0xFFFF, 0x07E0, 0xF800, 0x001F, 0x0821, 0x0020, 0x8410, 0x0000}, {0xF800, 0x07E0, 0x001F}),
         {{255, 255, 255}, {0, 255, 0}, {255, 0, 0}, {0, 0, 255}, {8, 4, 8}, {0, 4, 0}, {132, 130, 132}, {0, 0, 0}}},
        {"5-5-5 by default", row16(kBiRgb, {0x7FFF, 0x03E0, 0x0421, 0x4210}, {}),
         {{255, 255, 255}, {0, 255, 0}, {8, 8, 8}, {132, 132, 132}}},
        {"5-5-5 bitfields", row16(kBiBitfields, {0x7FFF, 0x001F}, {0x7C00, 0x03E0, 0x001F}),
         {{255, 255, 255}, {0, 0, 255}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bmp = load(c.file);
        EXPECT_TRUE(shows(bmp, Picture{static_cast<int>(c.expected.size()), 1, c.expected}));
        DeleteObject(bmp);
    }
}

// A file can declare a picture far larger than itself: an RLE8 stream of a
// single end-of-bitmap mark is four bytes for any size. What a file may
// decode into is kept to a budget fit for a screensaver, 2^22 pixels (16 MB
// as a display bitmap), and a file beyond it is refused before anything is
// allocated for its pixels.
TEST_F(BitmapFiles, KeepsWhatAFileDecodesIntoWithinTheBudget) {
    const Bytes tiny = blankRle8File(16384, 4096);
    EXPECT_EQ(tiny.size(), 1080u);
    EXPECT_TRUE(refused(tiny));
    EXPECT_TRUE(refused(blankRle8File(2049, 2048)));
    EXPECT_TRUE(refused(blankRle8File(16384, 257)));

    // At the limit the file loads, and no full-size copy is made on the way:
    // the peak is the final bitmap and SDL's one byte a pixel, 5 bytes a
    // pixel in all. Seven is generous (the sanitizers' shadow memory
    // included) and below the 9 of a 32-bit intermediate.
    constexpr int kSide = 2048;
    const Bytes atLimit = blankRle8File(kSide, kSide);
    const int result = inChildWithin(std::chrono::seconds(60), [&] {
        auto statusField = [](const char* key) -> long {
            std::ifstream status("/proc/self/status");
            for (std::string line; std::getline(status, line);)
                if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
            return -1;
        };
        // Writing 5 here starts the peak (VmHWM) afresh from the present size.
        if (!(std::ofstream("/proc/self/clear_refs") << "5") || statusField("VmHWM:") < 0) return 77;
        const long before = statusField("VmRSS:");
        HBITMAP bmp = platform::user::loadBitmapFromBytes(atLimit);
        const long grownKb = statusField("VmHWM:") - before;
        BITMAP bm{};
        if (!bmp || !GetObjectA(bmp, sizeof bm, &bm) || bm.bmWidth != kSide || bm.bmHeight != kSide) return 1;
        HDC dc = CreateCompatibleDC(NULL);
        SelectObject(dc, bmp);
        if (GetPixel(dc, 0, 0) != RGB(9, 8, 7) || GetPixel(dc, kSide - 1, kSide - 1) != RGB(9, 8, 7)) return 2;
        std::printf("peak grew by %ld KB for a %d KB bitmap\n", grownKb, kSide * kSide * 4 / 1024);
        return grownKb < 7L * kSide * kSide / 1024 ? 0 : 3;
    });
    if (result == 77) GTEST_SKIP() << "this kernel cannot reset the peak resident size";
    EXPECT_EQ(result, 0) << "1: not loaded; 2: wrong pixels; 3: the peak was too high";
}

TEST_F(BitmapFiles, RefusesBadCallsAndMissingFiles) {
    const fs::path path = dir_ / "image.bmp";
    EXPECT_EQ(load({}), nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadImageA(NULL, (dir_ / "missing.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(LoadImageA(NULL, dir_.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(NULL, MAKEINTRESOURCEA(1), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    HBITMAP good = load(palette8File());
    EXPECT_NE(good, nullptr);
    DeleteObject(good);
    EXPECT_EQ(LoadImageA(NULL, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(NULL, path.c_str(), IMAGE_BITMAP, 10, 10, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(NULL, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | 0x2000), nullptr);
}

// The saver tries a file of each scene image's number in the working
// directory before its resource. Whatever is there must fail at once, so the
// saver goes on to the resource: a FIFO no one writes to must not block the
// open, nor must a link to one.
TEST_F(BitmapFiles, RefusesFifosDevicesAndLinksToThemWithoutWaiting) {
    const fs::path fifo = dir_ / "666";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, dir_ / "668");
    fs::create_symlink("/dev/zero", dir_ / "669");
    const fs::path good = dir_ / "good.bmp";
    std::ofstream(good, std::ios::binary).write(reinterpret_cast<const char*>(palette8File().data()),
                                                 static_cast<std::streamsize>(palette8File().size()));
    fs::create_symlink(good, dir_ / "670");

    const int wrong = inChildWithin(std::chrono::seconds(20), [&] {
        int failures = 0;
        for (const char* name : {"666", "668", "669"}) {
            SetLastError(0);
            const HANDLE bmp = LoadImageA(NULL, (dir_ / name).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
            if (bmp || GetLastError() != static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) ++failures;
        }
        // A link to a regular file is read as the file.
        if (!shows(static_cast<HBITMAP>(LoadImageA(NULL, (dir_ / "670").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)),
                   toPicture(palettePicture())))
            ++failures;
        return failures;
    });
    EXPECT_EQ(wrong, 0) << "-1: the child hung or crashed; otherwise the number of wrong loads";
}

TEST_F(BitmapFiles, RefusesTruncatedFiles) {
    for (const Bytes& file : {palette8File(), rle8File(), rgb24File()}) {
        EXPECT_EQ(load(Bytes(file.begin(), file.begin() + 20)), nullptr);
        EXPECT_EQ(load(Bytes(file.begin(), file.end() - 1)), nullptr);
        for (std::size_t n = 0; n < file.size(); ++n)
            EXPECT_TRUE(refused(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)))) << "cut at " << n;
    }
}

TEST_F(BitmapFiles, RefusesLyingHeaders) {
    const Bytes pal8 = palette8File();
    auto with = [&](std::size_t at, std::uint32_t value, bool wide = true) {
        Bytes b = pal8;
        wide ? put32(b, at, value) : put16(b, at, value);
        return b;
    };
    EXPECT_EQ(load(with(kOffBitsAt, 5000)), nullptr);
    EXPECT_TRUE(refused(with(kOffBitsAt, static_cast<std::uint32_t>(pal8.size()) + 1)));
    EXPECT_TRUE(refused(with(kOffBitsAt, 20)));  // pixels inside the header
    EXPECT_EQ(load(with(kClrUsedAt, 0x40000000)), nullptr);
    EXPECT_TRUE(refused(with(kClrUsedAt, 257)));
    EXPECT_TRUE(refused(with(kClrUsedAt, 200)));  // the table runs into the pixels
    EXPECT_EQ(load(with(kWidthAt, 0)), nullptr);
    EXPECT_TRUE(refused(with(kHeightAt, 0)));
    Bytes huge = with(kWidthAt, 100000);
    put32(huge, kHeightAt, 100000);
    EXPECT_EQ(load(huge), nullptr);
    EXPECT_TRUE(refused(with(kWidthAt, static_cast<std::uint32_t>(-5))));
    EXPECT_TRUE(refused(with(kHeightAt, 0x80000000u)));
    Bytes tooMany = with(kWidthAt, 16384);
    put32(tooMany, kHeightAt, 8192);  // each side allowed, the area not
    EXPECT_TRUE(refused(tooMany));
    EXPECT_TRUE(refused(with(kWidthAt, 9)));  // rows wider than the pixels stored
    EXPECT_TRUE(refused(with(kHeightAt, 4)));
    EXPECT_EQ(load(with(kBitCountAt, 7, false)), nullptr);
    EXPECT_TRUE(refused(with(26, 2, false)));       // two planes
    EXPECT_TRUE(refused(with(14, 64)));             // an unknown header size
    EXPECT_TRUE(refused(with(kCompressionAt, 4)));  // JPEG
    EXPECT_TRUE(refused(with(kCompressionAt, kBiBitfields)));
    Bytes magic = pal8;
    magic[0] = 'M';
    EXPECT_TRUE(refused(magic));

    const Picture colour = colourPicture();
    for (auto masks : {std::array<std::uint32_t, 3>{0xF800, 0x0FE0, 0x001F},
                       {0xF800, 0x07E0, 0},
                       {0x7C00, 0x03E0, 0x001F} /* 5-5-5, valid */,
                       {0xF000F, 0x07E0, 0x001F},
                       {0xA800, 0x07E0, 0x001F}}) {
        const bool valid = masks[0] == 0x7C00;
        const Bytes b = makeBmp(
            {colour.w, colour.h, 16, kBiBitfields, 40, {}, {masks[0], masks[1], masks[2]}, packRgb(colour, 16)});
        HBITMAP bmp = platform::user::loadBitmapFromBytes(b);
        EXPECT_EQ(bmp != nullptr, valid) << std::hex << masks[0] << " " << masks[1] << " " << masks[2];
        DeleteObject(bmp);
    }
    // Compressed images are always stored bottom-up.
    Bytes topDownRle = rle8File();
    put32(topDownRle, kHeightAt, static_cast<std::uint32_t>(-runsPicture().h));
    EXPECT_TRUE(refused(topDownRle));
}

TEST_F(BitmapFiles, RefusesRleStreamsThatLeaveTheImage) {
    const Indexed p = runsPicture();  // 7 x 4
    auto rle = [&](Bytes stream) { return makeBmp({p.w, p.h, 8, kBiRle8, 40, p.palette, {}, std::move(stream)}); };
    HBITMAP ok = load(rle({7, 1, 0, 0, 0, 2, 2, 1, 3, 2, 0, 1}));  // a run, a line end, a jump, a run
    EXPECT_NE(ok, nullptr);
    DeleteObject(ok);
    EXPECT_EQ(load(rle({8, 1, 0, 1})), nullptr);                      // a run past the row's end
    EXPECT_TRUE(refused(rle({0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1})));  // a run above the top row
    EXPECT_TRUE(refused(rle({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})));  // a line end past it
    EXPECT_TRUE(refused(rle({0, 2, 8, 0, 0, 1})));                    // a jump out to the right
    EXPECT_TRUE(refused(rle({0, 2, 0, 5, 0, 1})));                    // a jump out of the top
    EXPECT_TRUE(refused(rle({5, 1, 0, 3, 1, 2, 3, 0, 0, 1})));        // literal pixels past the row's end
    EXPECT_TRUE(refused(rle({0, 5, 1, 2, 3})));                       // literal pixels past the stream's end
    EXPECT_TRUE(refused(rle({7, 1, 0, 0})));                          // no end of bitmap
    EXPECT_TRUE(refused(rle({})));
}

// ---- Damaged resource images ---------------------------------------------

TEST(ParseResFile, RefusesDamagedImagesAndNeverReadsPastTheEnd) {
    const Bytes image(pomrivel_module_res, pomrivel_module_res + pomrivel_module_res_size);
    const auto whole = platform::user::parseResFile(image);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), platform::user::moduleResources().size());
    // Every cut either fails or gives a prefix of the entries.
    for (std::size_t n = 0; n < image.size(); ++n) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n));
        const auto part = platform::user::parseResFile(cut);
        if (!part) continue;
        ASSERT_LE(part->size(), whole->size());
        for (std::size_t i = 0; i < part->size(); ++i) {
            EXPECT_EQ((*part)[i].name, (*whole)[i].name) << "cut at " << n;
            EXPECT_EQ((*part)[i].data.size(), (*whole)[i].data.size()) << "cut at " << n;
        }
    }
    // The first real entry starts at 32, after the empty marker entry.
    const std::size_t first = 32;
    EXPECT_FALSE(platform::user::parseResFile(Bytes(image.begin(), image.begin() + first + 40)));
    Bytes lie = image;
    put32(lie, first + 4, 0x7FFFFFF0);  // header size
    EXPECT_FALSE(platform::user::parseResFile(lie));
    put32(lie, first + 4, 8);
    EXPECT_FALSE(platform::user::parseResFile(lie));
    lie = image;
    put32(lie, first, 0x7FFFFFF0);  // data size
    EXPECT_FALSE(platform::user::parseResFile(lie));
}
