// The window, message and system services on the headless backend: message
// order, the quit message, input turned into messages, boxes, placement,
// presentation and display modes.
#include <windows.h>

#include "support/headless.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::backend::HeadlessBackend;
using platform::backend::HeadlessConfig;

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> gSeen;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    gSeen.push_back({hwnd, msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::vector<UINT> seenMessages(std::initializer_list<UINT> interesting) {
    std::vector<UINT> out;
    for (const Seen& s : gSeen)
        for (UINT m : interesting)
            if (s.msg == m) out.push_back(m);
    return out;
}

class User : public ::testing::Test {
protected:
    HeadlessBackend* start(const HeadlessConfig& config = {}) { return test_support::installHeadless(config); }

    HWND makeWindow(DWORD style = WS_POPUP, UINT classStyle = CS_DBLCLKS) {
        // Registered once per process; later tests reuse the class.
        WNDCLASSA wc{};
        wc.style = classStyle;
        wc.lpfnWndProc = recordingProc;
        wc.lpszClassName = "UserTestClass";
        RegisterClassA(&wc);
        HWND hwnd = CreateWindowExA(0, "UserTestClass", "user test", style, 100, 100, 640, 480, nullptr, nullptr,
                                    nullptr, nullptr);
        windows_.push_back(hwnd);
        return hwnd;
    }

    // Takes and dispatches messages until none is left; returns what was taken.
    std::vector<MSG> drain() {
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return taken;
    }

    // Pumps until the virtual clock has moved `ms` on.
    std::vector<MSG> runFor(HeadlessBackend* b, std::uint64_t ms) {
        std::vector<MSG> taken;
        const std::uint64_t until = b->elapsed() + ms;
        while (b->elapsed() < until) {
            std::vector<MSG> more = drain();
            taken.insert(taken.end(), more.begin(), more.end());
        }
        return taken;
    }

    void TearDown() override {
        for (HWND h : windows_)
            if (IsWindow(h)) DestroyWindow(h);
        drain();
        gSeen.clear();
    }

    std::vector<HWND> windows_;
};

TEST_F(User, PostedMessagesComeInOrderAndQuitOnlyOnceTheQueueIsEmpty) {
    start();
    HWND w = makeWindow();
    PostMessageA(w, WM_USER + 1, 0, 0);
    PostQuitMessage(7);
    PostMessageA(w, WM_USER + 2, 0, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT{WM_USER + 1});
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT{WM_USER + 1});
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT{WM_USER + 2});
    // The quit message shows without being taken, then is taken once.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT{WM_QUIT});
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT{WM_QUIT});
    EXPECT_EQ(msg.wParam, WPARAM{7});
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(User, PeekNeverWaitsAndTheClockMovesOnlyOnIdlePolls) {
    HeadlessConfig config;
    config.step = 3;
    HeadlessBackend* b = start(config);
    const DWORD before = GetTickCount();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(GetTickCount() - before, 6u);
    EXPECT_EQ(b->elapsed(), 6u);
}

TEST_F(User, ClosingDestroysTheWindowWhichThenGetsDestroyMessages) {
    start();
    HWND w = makeWindow();
    gSeen.clear();
    PostMessageA(w, WM_CLOSE, 0, 0);
    PostMessageA(w, WM_USER, 0, 0);  // addressed to a window about to go
    drain();
    EXPECT_EQ(seenMessages({WM_CLOSE, WM_DESTROY, WM_NCDESTROY, WM_USER}),
              (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
}

TEST_F(User, APopupStaysHiddenUntilShownAndPlacedTopmost) {
    HeadlessBackend* b = start();
    HWND w = makeWindow();
    EXPECT_FALSE(IsWindowVisible(w));
    RECT client{};
    ASSERT_TRUE(GetClientRect(w, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);

    ASSERT_TRUE(SetWindowPos(w, HWND_TOPMOST, 0, 0, 320, 200, SWP_SHOWWINDOW));
    EXPECT_TRUE(IsWindowVisible(w));
    ASSERT_TRUE(GetClientRect(w, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    const HeadlessBackend::WindowState* state = b->window(1);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->visible);
    EXPECT_TRUE(state->topmost);
    EXPECT_EQ(state->x, 0);
    EXPECT_EQ(state->width, 320);

    ASSERT_TRUE(SetWindowTextA(w, "Frames Per Second: 50"));
    EXPECT_EQ(b->window(1)->title, "Frames Per Second: 50");
    char title[64];
    EXPECT_EQ(GetWindowTextA(w, title, sizeof title), 21);
    EXPECT_STREQ(title, "Frames Per Second: 50");
}

TEST_F(User, ABlitIntoTheWindowContextIsPresented) {
    HeadlessBackend* b = start();
    HWND w = makeWindow();
    SetWindowPos(w, HWND_TOPMOST, 0, 0, 64, 32, SWP_SHOWWINDOW);
    HDC g = GetDC(w);
    ASSERT_NE(g, nullptr);
    HDC mem = CreateCompatibleDC(g);
    HBITMAP bmp = CreateCompatibleBitmap(g, 64, 32);
    SelectObject(mem, bmp);
    SelectObject(mem, GetStockObject(WHITE_BRUSH));
    Rectangle(mem, -1, -1, 65, 33);
    SetPixel(mem, 5, 6, RGB(200, 10, 20));
    const int before = b->window(1)->presents;
    ASSERT_TRUE(BitBlt(g, 0, 0, 64, 32, mem, 0, 0, SRCCOPY));
    const HeadlessBackend::WindowState* state = b->window(1);
    EXPECT_EQ(state->presents, before + 1);
    ASSERT_TRUE(state->lastFrame() != nullptr);
    EXPECT_EQ(state->lastFrame()->rgbRow(6)[5], 0x00C80A14u);  // 0x00RRGGBB
    EXPECT_EQ(state->lastFrame()->rgbRow(0)[0], 0x00FFFFFFu);
    EXPECT_EQ(ReleaseDC(w, g), 1);
    EXPECT_EQ(ReleaseDC(w, g), 0);  // once only
    DeleteDC(mem);
    DeleteObject(bmp);
}

TEST_F(User, KeysBecomeKeyMessagesOrSystemKeyMessagesWithAlt) {
    HeadlessConfig config;
    std::string error;
    ASSERT_TRUE(platform::backend::parseScript(
        "0 keydown A|1 keyup A|2 keydown MENU|3 keydown B|4 keyup B|5 keyup MENU|6 keydown F10|7 keyup F10", '|',
        config.script, error))
        << error;
    HeadlessBackend* b = start(config);
    HWND w = makeWindow();
    SetWindowPos(w, HWND_TOPMOST, 0, 0, 640, 480, SWP_SHOWWINDOW);
    gSeen.clear();
    runFor(b, 20);
    std::vector<std::pair<UINT, WPARAM>> keys;
    for (const Seen& s : gSeen)
        if (s.msg >= WM_KEYDOWN && s.msg <= WM_SYSKEYUP && s.msg != WM_CHAR && s.msg != WM_SYSCHAR)
            keys.emplace_back(s.msg, s.wParam);
    const std::vector<std::pair<UINT, WPARAM>> expected{
        {WM_KEYDOWN, 'A'},          {WM_KEYUP, 'A'},           {WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, 'B'},
        {WM_SYSKEYUP, 'B'},         {WM_SYSKEYUP, VK_MENU},    {WM_SYSKEYDOWN, VK_F10},  {WM_SYSKEYUP, VK_F10}};
    EXPECT_EQ(keys, expected);
    // A key release says so in its transition and previous-state bits.
    for (const Seen& s : gSeen) {
        if (s.msg == WM_KEYUP) {
            EXPECT_EQ(static_cast<DWORD>(s.lParam) & 0xC0000000u, 0xC0000000u);
        }
    }
    // TranslateMessage added the character of the plain key press.
    EXPECT_EQ(seenMessages({WM_CHAR}).size(), 1u);
}

TEST_F(User, AltF4ClosesTheWindow) {
    HeadlessConfig config;
    std::string error;
    ASSERT_TRUE(platform::backend::parseScript("0 keydown MENU|1 keydown F4", '|', config.script, error)) << error;
    HeadlessBackend* b = start(config);
    HWND w = makeWindow();
    SetWindowPos(w, HWND_TOPMOST, 0, 0, 640, 480, SWP_SHOWWINDOW);
    runFor(b, 10);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(User, MouseButtonsAndDoubleClicksReachTheWindowUnderTheCursor) {
    HeadlessConfig config;
    std::string error;
    ASSERT_TRUE(platform::backend::parseScript(
        "0 buttondown left 30 40|1 buttonup left|2 buttondown left|3 buttonup left|4 buttondown right|"
        "5 buttondown middle|6 move 31 40|900 buttondown left",
        '|', config.script, error))
        << error;
    HeadlessBackend* b = start(config);
    HWND w = makeWindow();
    SetWindowPos(w, HWND_TOPMOST, 10, 20, 200, 100, SWP_SHOWWINDOW);
    gSeen.clear();
    runFor(b, 1000);
    EXPECT_EQ(seenMessages({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MBUTTONDOWN,
                            WM_MOUSEMOVE}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN,
                                 WM_MBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN}));
    // Positions are in the window's client coordinates: the first press
    // at (30, 40), the last after the move to (31, 40).
    std::vector<std::pair<int, int>> presses;
    for (const Seen& s : gSeen)
        if (s.msg == WM_LBUTTONDOWN) presses.emplace_back(LOWORD(s.lParam), HIWORD(s.lParam));
    EXPECT_EQ(presses, (std::vector<std::pair<int, int>>{{20, 20}, {21, 20}}));
}

TEST_F(User, AMessageBoxIsModalRecordedAndAnswered) {
    HeadlessConfig config;
    config.boxDelay = 100;
    std::string error;
    // A key released while the box is open belongs to the box.
    ASSERT_TRUE(platform::backend::parseScript("50 keyup SPACE", '|', config.script, error)) << error;
    HeadlessBackend* b = start(config);
    HWND w = makeWindow();
    SetWindowPos(w, HWND_TOPMOST, 0, 0, 640, 480, SWP_SHOWWINDOW);
    gSeen.clear();
    EXPECT_EQ(MessageBoxA(w, "No settings to configure.", "Settings...", MB_OK), IDOK);
    ASSERT_EQ(b->boxes().size(), 1u);
    EXPECT_EQ(b->boxes()[0].text, "No settings to configure.");
    EXPECT_EQ(b->boxes()[0].caption, "Settings...");
    EXPECT_EQ(b->boxes()[0].style, 0u);
    EXPECT_EQ(MessageBoxA(nullptr, "This screensaver doesn't support passwords", "Error", MB_ICONHAND), IDOK);
    EXPECT_EQ(b->boxes()[1].style, UINT{MB_ICONHAND});
    runFor(b, 200);
    EXPECT_TRUE(seenMessages({WM_KEYUP}).empty());
}

TEST_F(User, DisplayModesChangeForTheRunAndRestore) {
    HeadlessConfig config;
    config.screenWidth = 1024;
    config.screenHeight = 768;
    start(config);
    DEVMODEA dm{};
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm));
    EXPECT_EQ(dm.dmPelsWidth, 1024u);
    EXPECT_EQ(dm.dmPelsHeight, 768u);
    EXPECT_EQ(dm.dmBitsPerPel, 32u);
    dm.dmPelsWidth = 640;
    dm.dmPelsHeight = 480;
    EXPECT_EQ(ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, 640);
    EXPECT_EQ(work.bottom, 480);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, 1024);
    // Another colour depth is not on offer.
    dm.dmBitsPerPel = 8;
    EXPECT_EQ(ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
}

TEST_F(User, DisplayModeFailuresAreReported) {
    HeadlessConfig config;
    config.modeChangeResult = DISP_CHANGE_FAILED;
    start(config);
    DEVMODEA dm{};
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm));
    dm.dmPelsWidth = 640;
    EXPECT_EQ(ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN), DISP_CHANGE_FAILED);

    config.modeQueryFails = true;
    start(config);
    DEVMODEA none{};
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &none));
}

TEST_F(User, TheCursorHidesWhileItsCountIsNegative) {
    HeadlessBackend* b = start();
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(b->cursorVisible());
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_FALSE(b->cursorVisible());
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(b->cursorVisible());
}

TEST_F(User, ASignalClosesTheTopLevelWindows) {
    start();
    HWND w = makeWindow();
    platform::backend::requestCloseFromSignal();
    drain();
    EXPECT_FALSE(IsWindow(w));
    // With no window left, the next signal ends the message loop.
    platform::backend::requestCloseFromSignal();
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT{WM_QUIT});
}

TEST(Wsprintf, FormatsAsWindowsDoes) {
    char buffer[1100];
    EXPECT_EQ(wsprintfA(buffer, "Frames Per Second: %d", 50), 21);
    EXPECT_STREQ(buffer, "Frames Per Second: 50");
    wsprintfA(buffer, "%d days, %d hours, %d minutes", -3, 0, 59);
    EXPECT_STREQ(buffer, "-3 days, 0 hours, 59 minutes");
    wsprintfA(buffer, "%5d|%-5d|%05d|%x|%X|%#x|%u|%c|%s|%.2s|%%", 42, 42, 42, 255, 255, 255, 4000000000u, 'z', "str",
              "abc");
    EXPECT_STREQ(buffer, "   42|42   |00042|ff|FF|0xff|4000000000|z|str|ab|%");
    wsprintfA(buffer, "%d", -2147483647 - 1);
    EXPECT_STREQ(buffer, "-2147483648");
    // Output stops at 1023 characters and a terminator.
    const std::string longText(2000, 'x');
    EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1023);
    EXPECT_EQ(std::string(buffer).size(), 1023u);
}

}  // namespace
