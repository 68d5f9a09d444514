// The saver shell in-process: its window's commands, the orderly stop that
// acts once, and the stretched presentation, each in a fresh child process
// on the headless backend.
#include <windows.h>

#include "support/headless.h"
#include "child.h"
#include "xsavermain.h"
#include "xsprite.h"

#include <gtest/gtest.h>

#include <string>

using platform::backend::HeadlessBackend;
using platform::backend::HeadlessConfig;

namespace {

HeadlessBackend* gBackend;

// The run sequence's set-up, with the saver's own window procedure: a
// topmost window over the screen, its surfaces and the black brush.
void openSaverWindow(HeadlessConfig config = {}) {
    // The cursor rests where the frame loop's movement test expects it: the
    // start position is only taken by the full run sequence, so it is (0, 0).
    config.cursor = POINT{0, 0};
    // Tests before this one in the same process may have left sprites to paint.
    maxSpriteStack = 0;
    gBackend = test_support::installHeadless(config);
    hInst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = hInst;
    wc.lpszClassName = "ShellTest";
    RegisterClassA(&wc);
    hwndMain = CreateWindowExA(0, "ShellTest", "shell", WS_POPUP, 100, 100, 640, 480, nullptr, nullptr, hInst, nullptr);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &screenSize, 0);
    SetWindowPos(hwndMain, HWND_TOPMOST, 0, 0, screenSize.right, screenSize.bottom, SWP_SHOWWINDOW);
    getGraphics(hwndMain);
    hb = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}

// Pixels of a presented frame.
struct Frame {
    const platform::gdi::Surface& surface;
    std::uint32_t at(int x, int y) const { return surface.rgbRow(y)[x]; }
    int count(std::uint32_t pixel) const {
        int n = 0;
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x) n += at(x, y) == pixel;
        return n;
    }
};

int restores() {
    int n = 0;
    for (const auto& m : gBackend->modeLog()) n += m.restore ? 1 : 0;
    return n;
}

void command(int id) { SendMessageA(hwndMain, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// The window's surfaces after a stop: the window context, the back buffer
// and the scratch context released; the stretch target kept.
bool surfacesReleasedOnce() {
    return GetObjectType(g) == 0 && GetObjectType(h) == 0 && GetObjectType(temp) == 0 &&
           GetObjectType(h2) == OBJ_MEMDC && restores() == 1;
}

TEST(SaverShell, ExitCommandStopsThroughCloseAndDestroy) {
    EXPECT_EQ(saver_test::inChild([] {
                  openSaverWindow();
                  command(300);
                  if (!IsWindow(hwndMain)) return 1;  // posted, not yet handled
                  GameLoop();
                  if (IsWindow(hwndMain)) return 2;
                  return surfacesReleasedOnce() ? 0 : 3;
              }),
              0);
}

TEST(SaverShell, NewAndUnknownCommandsDoNothing) {
    EXPECT_EQ(saver_test::inChild([] {
                  openSaverWindow();
                  command(200);
                  command(404);
                  command(12345);
                  MSG msg;
                  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return 1;
                  if (!gBackend->boxes().empty()) return 2;
                  return GetObjectType(h) == OBJ_MEMDC ? 0 : 3;
              }),
              0);
}

TEST(SaverShell, AboutShowsItsBoxWhileTheLoopWaits) {
    EXPECT_EQ(saver_test::inChild([] {
                  HeadlessConfig config;
                  config.boxDelay = 3000;
                  openSaverWindow(config);
                  command(500);
                  const auto& boxes = gBackend->boxes();
                  if (boxes.size() != 1) return 1;
                  if (boxes[0].caption != "About Pomrivel" || boxes[0].style != MB_OK) return 2;
                  if (boxes[0].text.find("the Pomrivel authors") == std::string::npos) return 3;
                  // The box held the saver for its three seconds: it returned
                  // only once closed.
                  return gBackend->elapsed() >= 3000 ? 0 : 4;
              }),
              0);
}

TEST(SaverShell, OpenShowsTheDialogAndClosingItStopsTheSaver) {
    EXPECT_EQ(saver_test::inChild([] {
                  openSaverWindow();
                  command(210);
                  // The dialog is the newest window; it is visible at once.
                  const auto* dialog = gBackend->window(2);
                  if (!dialog || !dialog->visible || dialog->title != "Configure Screensaver") return 1;
                  // Its OK button does not close it; its caption's close does,
                  // and that stops the saver.
                  PostMessageA(GetActiveWindow(), WM_CLOSE, 0, 0);
                  GameLoop();
                  return surfacesReleasedOnce() ? 0 : 2;
              }),
              0);
}

TEST(SaverShell, AStopRequestAfterTheStopReleasesNothingTwice) {
    EXPECT_EQ(saver_test::inChild([] {
                  openSaverWindow();
                  // The movement test stops the saver, and a key release is
                  // still queued behind it.
                  PostMessageA(hwndMain, WM_KEYUP, 'A', 0xC0000001);
                  shutdown();
                  GameLoop();
                  if (!surfacesReleasedOnce()) return 1;
                  // And the window's later destruction stops nothing again.
                  DestroyWindow(hwndMain);
                  return restores() == 1 ? 0 : 2;
              }),
              0);
}

TEST(SaverShell, WithoutTheModeSwitchTheTopLeft640x480IsStretchedOverTheSurface) {
    EXPECT_EQ(saver_test::inChild([] {
                  HeadlessConfig config;
                  config.screenWidth = 1920;
                  config.screenHeight = 1080;
                  config.exitAfter = 100;
                  noStretch = 0;
                  openSaverWindow(config);
                  // A back buffer with a white mark at (639, 479), the last
                  // pixel of the stretched region, and one just outside it.
                  BLANKBACKGROUND = 0;
                  SelectObject(h, GetStockObject(BLACK_BRUSH));
                  Rectangle(h, 0, 0, 1920, 1080);
                  SetPixel(h, 639, 479, RGB(255, 255, 255));
                  SetPixel(h, 640, 479, RGB(255, 0, 0));
                  GameLoop();
                  const auto* w = gBackend->window(1);
                  if (!w || !w->lastFrame() || w->lastFrame()->width() != 1920) return 1;
                  const Frame frame{*w->lastFrame()};
                  // Scaled 3 across and 2.25 down, the mark covers the three
                  // last columns of the two last rows.
                  if (frame.at(1919, 1079) != 0xFFFFFFu || frame.at(1917, 1078) != 0xFFFFFFu) return 2;
                  if (frame.at(1916, 1079) != 0 || frame.at(1919, 1077) != 0) return 3;
                  return frame.count(0xFF0000u) == 0 ? 0 : 4;
              }),
              0);
}

}  // namespace
