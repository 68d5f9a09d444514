// Message boxes the layer draws itself, on the X11 backend and a private X
// server: the buttons of each style answered by key and mouse events,
// the Return, Escape and close rules, the owner kept out meanwhile, and the
// ways a box ends unanswered (its owner closed, the quit message, a signal).
//
// MessageBoxA does not return until the box ends, so a test acts from inside
// its modal loop: a hidden driver window gets a message the loop dispatches,
// and each step it runs sends X events to the box's window through the X
// server. A close request for the driver, sent behind a step's events,
// brings the next step once those events have been handled.
#include <windows.h>

#include "support/xshot.h"
#include "support/xvfb.h"
#include "user/box_window.h"
#include "user/window.h"

#include <gtest/gtest.h>

// Xlib after GoogleTest: Xlib's macros (None, Bool) clash with its names.
#include "backend/x11/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Step = std::function<void(HWND box)>;
std::deque<Step> gSteps;
std::vector<UINT> gOwnerMessages;

LRESULT CALLBACK driverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER || msg == WM_CLOSE) {
        if (!gSteps.empty()) {
            const Step step = std::move(gSteps.front());
            gSteps.pop_front();
            step(GetActiveWindow());
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    gOwnerMessages.push_back(msg);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Ends a box that a broken test would leave open, as a signal would, and
// stops the program if even that leaves it open.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              std::unique_lock lock(mutex_);
              if (done_.wait_for(lock, std::chrono::seconds(10), [this] { return finished_; })) return;
              platform::backend::requestCloseFromSignal();
              if (done_.wait_for(lock, std::chrono::seconds(10), [this] { return finished_; })) return;
              std::fprintf(stderr, "a message box stayed open through a close request\n");
              std::abort();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

class Box : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* name : {"DISPLAY"}) {
            const char* value = std::getenv(name);
            savedEnv_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        server_ = std::make_unique<test_support::Xvfb>("1024x768x24");
        if (!server_->display().empty()) setenv("DISPLAY", server_->display().c_str(), 1);
        WNDCLASSA wc{};
        wc.lpfnWndProc = driverProc;
        wc.lpszClassName = "BoxTestDriver";
        RegisterClassA(&wc);
        wc.lpfnWndProc = ownerProc;
        wc.lpszClassName = "BoxTestOwner";
        RegisterClassA(&wc);
    }

    static void TearDownTestSuite() {
        server_.reset();
        for (const auto& [name, value] : savedEnv_)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        savedEnv_.clear();
    }

    void SetUp() override {
        if (server_->display().empty()) GTEST_SKIP() << "no X server could be started (is Xvfb installed?)";
        std::string why;
        auto x11 = platform::backend::x11::Desktop::open(why);
        ASSERT_TRUE(x11) << why;
        x11_ = x11.get();
        platform::backend::install(std::move(x11));
        driver_ = CreateWindowExA(0, "BoxTestDriver", "driver", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
        gSteps.clear();
        gOwnerMessages.clear();
    }

    void TearDown() override {
        for (platform::user::Window* w : platform::user::topLevelWindows()) DestroyWindow(w->handle);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        platform::backend::install(nullptr);
    }

    // A visible owner in the top left corner, clear of the centred boxes.
    HWND makeOwner(DWORD exStyle = 0) {
        HWND owner = CreateWindowExA(exStyle, "BoxTestOwner", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                     nullptr, nullptr, nullptr, nullptr);
        gOwnerMessages.clear();
        return owner;
    }

    // Opens a box and runs `steps` from inside its loop, one after another.
    int show(HWND owner, UINT style, std::vector<Step> steps, const char* text = "Text", const char* caption = "Box") {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            gSteps.push_back([this, step = steps[i], last = i + 1 == steps.size()](HWND box) {
                step(box);
                if (!last) pushClose(driver_);
            });
        }
        PostMessageA(driver_, WM_USER, 0, 0);
        Watchdog watchdog;
        return MessageBoxA(owner, text, caption, style);
    }

    Window xWindowOf(HWND hwnd) const {
        const platform::user::Window* w = platform::user::findWindow(hwnd);
        const std::vector<Window> xs = w ? x11_->xWindows(w->backendId) : std::vector<Window>{};
        return xs.empty() ? 0 : xs.front();
    }

    // Events go to the window of the box in front; the X server hands them
    // back in the order they were sent, and they are in the backend's queue
    // once the round trip is back.
    void send(Window to, XEvent& e, long mask) const {
        Display* d = x11_->display();
        XSendEvent(d, to, False, mask, &e);
        XSync(d, False);
    }

    void pushKey(KeySym key, bool down) const {
        Display* d = x11_->display();
        XEvent e{};
        e.xkey.type = down ? KeyPress : KeyRelease;
        e.xkey.display = d;
        e.xkey.window = xWindowOf(GetActiveWindow());
        e.xkey.root = DefaultRootWindow(d);
        e.xkey.keycode = XKeysymToKeycode(d, key);
        e.xkey.same_screen = True;
        send(e.xkey.window, e, down ? KeyPressMask : KeyReleaseMask);
    }
    void press(KeySym key) const {
        pushKey(key, true);
        pushKey(key, false);
    }

    // A left button event at a point of the window's client area.
    void pushButton(HWND hwnd, POINT at, bool down) const {
        Display* d = x11_->display();
        RECT r{};
        GetWindowRect(hwnd, &r);
        XEvent e{};
        e.xbutton.type = down ? ButtonPress : ButtonRelease;
        e.xbutton.display = d;
        e.xbutton.window = xWindowOf(hwnd);
        e.xbutton.root = DefaultRootWindow(d);
        e.xbutton.button = Button1;
        e.xbutton.x = at.x;
        e.xbutton.y = at.y;
        // No emulated mode: the screen's coordinates are the real ones.
        e.xbutton.x_root = r.left + at.x;
        e.xbutton.y_root = r.top + at.y;
        e.xbutton.same_screen = True;
        send(e.xbutton.window, e, down ? ButtonPressMask : ButtonReleaseMask);
    }
    void click(HWND hwnd, POINT at) const {
        pushButton(hwnd, at, true);
        pushButton(hwnd, at, false);
    }
    static POINT centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    // The window manager's close of a window.
    void pushClose(HWND hwnd) const {
        Display* d = x11_->display();
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = xWindowOf(hwnd);
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        send(e.xclient.window, e, NoEventMask);
    }

    std::string title(HWND hwnd) const {
        char* name = nullptr;
        std::string text;
        if (XFetchName(x11_->display(), xWindowOf(hwnd), &name) && name) text = name;
        if (name) XFree(name);
        return text;
    }

    bool hasState(HWND hwnd, const char* state) const {
        Display* d = x11_->display();
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool found = false;
        if (XGetWindowProperty(d, xWindowOf(hwnd), XInternAtom(d, "_NET_WM_STATE", False), 0, 16, False, XA_ATOM,
                               &type, &format, &count, &after, &data) == Success && data) {
            const Atom wanted = XInternAtom(d, state, False);
            for (unsigned long i = 0; i < count; ++i) found = found || reinterpret_cast<Atom*>(data)[i] == wanted;
        }
        if (data) XFree(data);
        return found;
    }

    // What the display shows of a window, 0x00RRGGBB.
    std::vector<std::uint32_t> picture(HWND hwnd, int& width, int& height) const {
        platform::backend::current().showFrames();
        XSync(x11_->display(), False);
        const test_support::Image shot = test_support::grabWindow(server_->display(), xWindowOf(hwnd));
        width = shot.width;
        height = shot.height;
        return shot.pixels;
    }

    platform::backend::x11::Desktop* x11_ = nullptr;
    HWND driver_ = nullptr;
    static inline std::unique_ptr<test_support::Xvfb> server_;
    static inline std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};

TEST_F(Box, EachStylesButtonsAnswerToClicksAndReturnPressesTheDefault) {
    const HWND owner = makeOwner();
    for (UINT buttons : {MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_YESNO, MB_RETRYCANCEL}) {
        const std::vector<platform::backend::BoxButton> expected = platform::backend::boxButtons(buttons);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("style " + std::to_string(buttons) + ", button " + std::to_string(i));
            const int clicked = show(owner, buttons, {[&](HWND box) {
                                         EXPECT_EQ(title(box), "Box");
                                         const std::vector<RECT> rects = platform::user::boxButtonRects(box);
                                         ASSERT_EQ(rects.size(), expected.size());
                                         click(box, centre(rects[i]));
                                     }});
            EXPECT_EQ(clicked, expected[i].id);
            // MB_DEFBUTTON1..3 make it the one Return presses.
            const UINT defButton = static_cast<UINT>(i) << 8;
            EXPECT_EQ(show(owner, buttons | defButton, {[&](HWND) { press(XK_Return); }}), expected[i].id);
        }
    }
    // A default past the last button is the last.
    EXPECT_EQ(show(owner, MB_YESNO | 0x300, {[&](HWND) { press(XK_Return); }}), IDNO);
}

TEST_F(Box, AClickCountsOnlyWhenPressedAndReleasedOnTheSameButton) {
    const int answer = show(nullptr, MB_YESNOCANCEL, {[&](HWND box) {
                                const std::vector<RECT> rects = platform::user::boxButtonRects(box);
                                pushButton(box, centre(rects[0]), true);
                                pushButton(box, centre(rects[1]), false);
                                click(box, {5, 5});  // the caption bar is no button
                            },
                            [&](HWND box) {
                                ASSERT_EQ(GetActiveWindow(), box) << "still open";
                                click(box, centre(platform::user::boxButtonRects(box)[2]));
                            }});
    EXPECT_EQ(answer, IDCANCEL);
}

TEST_F(Box, EscapeAndTheWindowManagersCloseAnswerCancelOrTheOneButtonButNotYesOrNo) {
    EXPECT_EQ(show(nullptr, MB_OK, {[&](HWND) { press(XK_Escape); }}), IDOK);
    EXPECT_EQ(show(nullptr, MB_OKCANCEL, {[&](HWND) { press(XK_Escape); }}), IDCANCEL);
    EXPECT_EQ(show(nullptr, MB_RETRYCANCEL, {[&](HWND box) { pushClose(box); }}), IDCANCEL);
    for (UINT style : {MB_YESNO, MB_ABORTRETRYIGNORE}) {
        const int answer = show(nullptr, style,
                                {[&](HWND box) {
                                     press(XK_Escape);
                                     pushClose(box);
                                 },
                                 [&](HWND box) {
                                     EXPECT_EQ(GetActiveWindow(), box) << "Escape and close leave it open";
                                     press(XK_Return);
                                 }});
        EXPECT_EQ(answer, platform::backend::boxButtons(style).front().id);
    }
}

TEST_F(Box, TabAndArrowsMoveTheFocusThatSpaceAndReturnPress) {
    EXPECT_EQ(show(nullptr, MB_YESNOCANCEL, {[&](HWND) {
                       press(XK_Tab);
                       press(XK_space);
                   }}),
              IDNO);
    EXPECT_EQ(show(nullptr, MB_YESNOCANCEL, {[&](HWND) {
                       press(XK_Left);  // round from the first to the last
                       press(XK_Return);
                   }}),
              IDCANCEL);
    // The release of a key pressed before the box opened is not the box's.
    const int answer = show(nullptr, MB_OKCANCEL, {[&](HWND box) {
                                pushKey(XK_Return, false);
                                pushClose(box);
                            }});
    EXPECT_EQ(answer, IDCANCEL);
}

TEST_F(Box, TheOwnerTakesNoInputUntilTheBoxIsAnsweredThenHasTheKeyboardAgain) {
    const HWND owner = makeOwner();
    ASSERT_EQ(GetActiveWindow(), owner);
    const int answer = show(owner, MB_OK, {[&](HWND box) {
                                EXPECT_NE(box, owner);
                                click(owner, {50, 50});
                                press(XK_a);  // the box has the keyboard
                            },
                            [&](HWND) { press(XK_Return); }});
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(gOwnerMessages, std::vector<UINT>{}) << "nothing reached the owner";
    EXPECT_EQ(GetActiveWindow(), owner);
    click(owner, {50, 50});
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(gOwnerMessages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(Box, IsTopmostOverATopmostOwnerOrWhenItsStyleSaysSo) {
    auto topmost = [&](HWND owner, UINT style) {
        bool onTop = false;
        show(owner, style, {[&](HWND box) {
                 onTop = hasState(box, "_NET_WM_STATE_ABOVE");
                 press(XK_Return);
             }});
        return onTop;
    };
    EXPECT_FALSE(topmost(nullptr, MB_OK));
    EXPECT_TRUE(topmost(nullptr, MB_OK | 0x40000 /* MB_TOPMOST */));
    EXPECT_TRUE(topmost(nullptr, MB_OK | 0x1000 /* MB_SYSTEMMODAL */));
    EXPECT_TRUE(topmost(makeOwner(WS_EX_TOPMOST), MB_OK));
}

TEST_F(Box, EndsUnansweredWhenItsOwnerClosesOrTheQuitMessageComes) {
    HWND owner = makeOwner();
    HWND seen = nullptr;
    EXPECT_EQ(show(owner, MB_YESNO, {[&](HWND box) {
                       seen = box;
                       PostMessageA(owner, WM_CLOSE, 0, 0);
                   }}),
              0);
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_FALSE(IsWindow(seen)) << "destroyed with its owner";

    // A signal closes the windows without an owner: the box's owner too.
    owner = makeOwner();
    EXPECT_EQ(show(owner, MB_YESNO, {[&](HWND) { platform::backend::requestCloseFromSignal(); }}), 0);
    EXPECT_FALSE(IsWindow(owner));

    // The quit message ends the box and is there again for the loop outside.
    EXPECT_EQ(show(nullptr, MB_YESNO, {[&](HWND) { PostQuitMessage(5); }}), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT{WM_QUIT});
    EXPECT_EQ(msg.wParam, WPARAM{5});
}

TEST_F(Box, ASignalEndsABoxWithoutOwnerAndThenClosesTheOtherWindows) {
    const HWND other = makeOwner();  // owns nothing here
    EXPECT_EQ(show(nullptr, MB_YESNO, {[&](HWND) { platform::backend::requestCloseFromSignal(); }}), 0);
    EXPECT_TRUE(platform::user::topLevelWindows().size() == 2) << "the box is gone, the rest not yet";
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(other));
}

TEST_F(Box, IsCentredAndShowsCaptionTextIconAndButtons) {
    struct Case {
        UINT icon;
        POINT at;  // from the icon's top left corner
        std::uint32_t colour;
    };
    // A red disc for an error, a yellow triangle for a warning, blue discs
    // for information and a question.
    for (const Case& c : {Case{MB_ICONHAND, {26, 16}, 0xE02020}, Case{MB_ICONEXCLAMATION, {22, 26}, 0xFFD800},
                          Case{MB_ICONASTERISK, {26, 16}, 0x2060D8}, Case{MB_ICONQUESTION, {6, 16}, 0x2060D8}}) {
        SCOPED_TRACE("icon " + std::to_string(c.icon));
        show(nullptr, MB_OK | c.icon, {[&](HWND box) {
                 RECT r{};
                 GetWindowRect(box, &r);
                 EXPECT_NEAR((r.left + r.right) / 2, 512, 1);
                 EXPECT_NEAR((r.top + r.bottom) / 2, 384, 1);
                 int width = 0, height = 0;
                 const std::vector<std::uint32_t> pixels = picture(box, width, height);
                 ASSERT_EQ(width, r.right - r.left);
                 auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; };
                 EXPECT_EQ(at(3, 10), 0x0A246Au) << "the caption bar starts dark blue";
                 EXPECT_EQ(at(width / 2, height - 4), 0xD4D0C8u) << "on the face colour";
                 EXPECT_EQ(at(3 + 12 + c.at.x, 21 + 12 + c.at.y), c.colour);
                 press(XK_Return);
             }});
    }
}

TEST_F(Box, TextWrapsAndBreaksIntoLinesWithinTheScreen) {
    auto size = [&](const std::string& text) {
        RECT r{};
        show(nullptr, MB_OK, {[&](HWND box) {
                 GetWindowRect(box, &r);
                 press(XK_Return);
             }},
             text.c_str());
        return SIZE{r.right - r.left, r.bottom - r.top};
    };
    const SIZE one = size("one line");
    const SIZE three = size("one line\nand two\r\nand three");
    EXPECT_GT(three.cy - one.cy, 0);
    const int lineHeight = (three.cy - one.cy) / 2;
    EXPECT_EQ(size("x\n\nx").cy - one.cy, 2 * lineHeight) << "an empty line counts";
    std::string words;
    for (int i = 0; i < 60; ++i) words += "wrap ";
    const SIZE wrapped = size(words);
    EXPECT_LT(wrapped.cx, 500) << "a long line wraps";
    EXPECT_GE(wrapped.cy - one.cy, 2 * lineHeight);
    // Far more text than the screen holds: the box still fits on it.
    const SIZE huge = size(std::string(1 << 20, 'x') + std::string(5000, '\n'));
    EXPECT_LE(huge.cx, 1024);
    EXPECT_LE(huge.cy, 768);
}

}  // namespace
