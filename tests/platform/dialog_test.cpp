// Dialogs built from the test resources' templates on the headless backend:
// painting, presentation and the controls taking their clicks. Template 200
// holds an OK button and a "Speed" label, 201 a check box in a group box.
#include <windows.h>

#include "support/headless.h"
#include "user/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::backend::HeadlessBackend;
using platform::backend::HeadlessConfig;

namespace {

constexpr WORD kOkId = 1, kSoundId = 103;
constexpr std::uint32_t kFace = 0xD4D0C8;  // the dialog's face colour, 0x00RRGGBB

struct Command {
    HWND dialog;
    WORD id;
    WORD code;
};
std::vector<Command> gCommands;
std::vector<POINT> gPresses;  // left presses the dialog itself got
HWND gFirstControl;

INT_PTR CALLBACK recordingDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) gFirstControl = reinterpret_cast<HWND>(wParam);
    if (msg == WM_COMMAND) gCommands.push_back({hwnd, LOWORD(wParam), HIWORD(wParam)});
    if (msg == WM_LBUTTONDOWN) gPresses.push_back({LOWORD(lParam), HIWORD(lParam)});
    return msg == WM_INITDIALOG;
}

class Dialog : public ::testing::Test {
protected:
    // Opens the dialog on a fresh backend and shows it; it is the backend's
    // window 1.
    HWND open(WORD id = 200, const HeadlessConfig& config = {}) {
        if (IsWindow(dialog_)) DestroyWindow(dialog_);
        backend_ = test_support::installHeadless(config);
        gCommands.clear();
        gPresses.clear();
        gFirstControl = nullptr;
        dialog_ = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(id), nullptr, recordingDialogProc, 0);
        if (dialog_) ShowWindow(dialog_, SW_SHOW);
        return dialog_;
    }

    // A control's rectangle in the dialog's client area.
    static RECT rectOf(HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        return r;
    }

    const platform::gdi::Surface& shown() const { return *backend_->window(1)->lastFrame(); }

    // Pixels inside `r` of the shown frame that are not the face colour.
    int inkIn(RECT r) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += shown().rgbRow(y)[x] != kFace;
        return n;
    }

    // Dispatches messages until the virtual clock has moved `ms` on.
    void runFor(std::uint64_t ms) {
        const std::uint64_t until = backend_->elapsed() + ms;
        MSG msg;
        while (backend_->elapsed() < until)
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    void TearDown() override {
        if (IsWindow(dialog_)) DestroyWindow(dialog_);
        runFor(1);
    }

    HeadlessBackend* backend_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(Dialog, AClickRepaintsAndPresentsTheDialogOnceThenReportsTheCommand) {
    ASSERT_NE(open(), nullptr);
    const HWND ok = gFirstControl;
    ASSERT_NE(ok, nullptr);
    const int before = backend_->window(1)->presents;
    SendMessageA(ok, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(backend_->window(1)->presents, before + 1);
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(gCommands[0].dialog, dialog_);
    EXPECT_EQ(gCommands[0].id, kOkId);
    EXPECT_EQ(gCommands[0].code, WORD{BN_CLICKED});
}

TEST_F(Dialog, AControlsNewTextIsWhatTheNextRepaintShows) {
    ASSERT_NE(open(), nullptr);
    const HWND ok = gFirstControl;
    const auto controls = platform::user::childrenOf(dialog_);
    ASSERT_EQ(controls.size(), 2u);
    const HWND label = controls[1]->handle;
    const RECT area = rectOf(label);
    EXPECT_GT(inkIn(area), 0);
    ASSERT_TRUE(SetWindowTextA(label, ""));
    SendMessageA(ok, WM_LBUTTONUP, 0, 0);  // the click repaints the dialog
    EXPECT_EQ(inkIn(area), 0);
}

TEST_F(Dialog, TheMouseGoesToTheControlUnderItThroughAGroupBox) {
    // The dialog sits at the screen's origin, so its client coordinates are
    // screen coordinates. A first opening finds where the controls are.
    ASSERT_NE(open(201), nullptr);
    const RECT group = rectOf(gFirstControl);
    const RECT box = rectOf(platform::user::childrenOf(dialog_)[1]->handle);
    const POINT onBox{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    const POINT inGroup{group.left + 8, group.bottom - 8};
    ASSERT_GT(inGroup.y, box.bottom);

    auto at = [](POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); };
    HeadlessConfig config;
    std::string error;
    ASSERT_TRUE(platform::backend::parseScript(
        "0 buttondown left " + at(onBox) + "|1 buttonup left|2 buttondown left " + at(inGroup) + "|3 buttonup left",
        '|', config.script, error))
        << error;
    ASSERT_NE(open(201, config), nullptr);
    runFor(10);
    // The check box took its click through the group box around it; the
    // press beside it reached the dialog, in the dialog's coordinates.
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(gCommands[0].id, kSoundId);
    EXPECT_TRUE(platform::user::childrenOf(dialog_)[1]->control->checked);
    ASSERT_EQ(gPresses.size(), 1u);
    EXPECT_EQ(gPresses[0].x, inGroup.x);
    EXPECT_EQ(gPresses[0].y, inGroup.y);
}

}  // namespace
