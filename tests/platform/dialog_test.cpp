// Dialogs built from the test resources' template 200 (an OK button and a
// "Speed" label) on the headless backend: painting, presentation and the
// controls taking their clicks.
#include <windows.h>

#include "support/headless.h"
#include "user/window.h"

#include <gtest/gtest.h>

#include <vector>

using platform::backend::HeadlessBackend;
using platform::backend::HeadlessConfig;

namespace {

constexpr WORD kOkId = 1;
constexpr std::uint32_t kFace = 0xD4D0C8;  // the dialog's face colour, 0x00RRGGBB

struct Command {
    HWND dialog;
    WORD id;
    WORD code;
};
std::vector<Command> gCommands;
HWND gFirstControl;

INT_PTR CALLBACK recordingDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) gFirstControl = reinterpret_cast<HWND>(wParam);
    if (msg == WM_COMMAND) gCommands.push_back({hwnd, LOWORD(wParam), HIWORD(wParam)});
    return msg == WM_INITDIALOG;
}

class Dialog : public ::testing::Test {
protected:
    // Opens the dialog on a fresh backend and shows it; it is the backend's
    // window 1.
    HWND open(const HeadlessConfig& config = {}) {
        backend_ = test_support::installHeadless(config);
        gCommands.clear();
        gFirstControl = nullptr;
        dialog_ = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(200), nullptr, recordingDialogProc, 0);
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

    void TearDown() override {
        if (IsWindow(dialog_)) DestroyWindow(dialog_);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
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

}  // namespace
