// The main window's handlers and the dialog's answers, driven in-process. The
// test program carries no window pictures, so the pictures are checked by the
// resource name each control was last given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/application.h"
#include "app/install_state.h"
#include "common/text.h"
#include "core/install_dir.h"
#include "ui/close_dialog.h"
#include "ui/install_flow.h"
#include "ui/main_form.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

// Answers every dialog that shows, with the system close command (the left
// button's action) or a click on the right button, and notes what it showed.
struct SeenDialog {
    std::string message;
    state::DialogKind kind;
    bool installingCleared;
};
std::vector<SeenDialog> seenDialogs;
bool answerExit = false;

void CALLBACK AnswerDialogs(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(L"TCloseDialogForm", nullptr);
    if (!dialog || !IsWindowVisible(dialog) || !IsWindowEnabled(dialog)) return;
    wchar_t text[256] = {};
    if (HWND label = FindWindowExW(dialog, nullptr, L"STATIC", nullptr)) GetWindowTextW(label, text, 256);
    seenDialogs.push_back({Narrow(text), state::CurrentDialogKind(), !state::Installing()});
    if (answerExit) {
        const LPARAM exitButton = MAKELPARAM(250, 120);  // ExitButtonImage as laid out
        PostMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, exitButton);
        PostMessageW(dialog, WM_LBUTTONUP, 0, exitButton);
    } else {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
}

void DropQuit() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        state::ResetForTesting();
        app::Initialize("test");
        seenDialogs.clear();
        answerExit = false;
        timer_ = SetTimer(nullptr, 0, 30, AnswerDialogs);
        ASSERT_TRUE(flow.Begin());
        form = flow.MainForm();
    }
    void TearDown() override {
        KillTimer(nullptr, timer_);
        DropQuit();
    }

    THighlightImage& Image(const char* name) { return *form->FindImage(name); }
    std::string Picture(const char* name) { return Image(name).PictureName(); }
    std::string EditText() {
        wchar_t text[512] = {};
        GetWindowTextW(form->CustomPathEdit(), text, 512);
        return Narrow(text);
    }
    RECT WindowRect() {
        RECT r{};
        GetWindowRect(form->Handle(), &r);
        return r;
    }

    InstallFlow flow{[](core::InstallHost&) {}};
    TMainForm* form = nullptr;
    UINT_PTR timer_ = 0;
};

// The test prefix has no D: candidate, so the default comes from PROGRAMFILES.
constexpr char kDefaultDir[] = "C:\\TovarinTest\\Tovarin";

class DefaultDirTest : public MainFormTest {
protected:
    void SetUp() override {
        if (GetFileAttributesW(L"D:\\Program Files (x86)") != INVALID_FILE_ATTRIBUTES ||
            GetFileAttributesW(L"D:\\Program Files") != INVALID_FILE_ATTRIBUTES) {
            GTEST_SKIP() << "D: holds a program folder";
        }
        SetEnvironmentVariableW(L"PROGRAMFILES", L"C:\\TovarinTest");
        MainFormTest::SetUp();
    }
};

TEST_F(DefaultDirTest, StartsWithTheDefaultsCentredAndCollapsed) {
    EXPECT_EQ(form->ClientSize().cx, 750);
    EXPECT_EQ(form->ClientSize().cy, 500);
    const RECT r = WindowRect();
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 752) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 502) / 2);
    EXPECT_TRUE(form->AgreementAccepted());
    EXPECT_FALSE(form->OptionPanelShown());
    EXPECT_TRUE(state::CreateDesktopShortcut());
    EXPECT_TRUE(state::OpenAfterInstall());
    EXPECT_EQ(state::InstallDir(), kDefaultDir);
    EXPECT_EQ(EditText(), kDefaultDir);
    EXPECT_EQ(Picture("CloseImage"), "close0");
    EXPECT_EQ(Picture("InstallImage"), "INSTALL0");
    EXPECT_EQ(Picture("CustomPathImage"), "OptionButton0");
    EXPECT_EQ(Picture("OptionAgreeImage"), "check10");
    EXPECT_EQ(Picture("OptionShortcutImage"), "check10");
    EXPECT_EQ(Picture("OptionOpenAppImage"), "check10");
    EXPECT_EQ(Picture("InstallPathOpenImage"), "InstallPathOpen0");
    EXPECT_FALSE(Image("OptionPanelBackground").Visible());
    EXPECT_FALSE(IsWindowVisible(form->CustomPathEdit()));
}

TEST_F(MainFormTest, CloseControlFollowsThePointerUnlessInstalling) {
    form->CloseImageMouseEnter();
    EXPECT_EQ(Picture("CloseImage"), "close1");
    form->CloseImageMouseDown();
    EXPECT_EQ(Picture("CloseImage"), "close2");
    form->CloseImageMouseLeave();
    EXPECT_EQ(Picture("CloseImage"), "close0");
    state::SetInstalling(true);
    form->CloseImageMouseEnter();
    form->CloseImageMouseDown();
    EXPECT_EQ(Picture("CloseImage"), "close0");
}

TEST_F(MainFormTest, CloseClickShowsTheExitConfirmationAndContinueReturns) {
    form->CloseImageMouseDown();
    state::SetInstalling(true);
    form->CloseImageClick();
    ASSERT_EQ(seenDialogs.size(), 1u);
    EXPECT_EQ(seenDialogs[0].message, "退出Tovarin安装程序");
    EXPECT_EQ(seenDialogs[0].kind, state::DialogKind::Exit);
    EXPECT_TRUE(seenDialogs[0].installingCleared);
    EXPECT_EQ(Picture("CloseImage"), "close0");
    EXPECT_TRUE(form->IsShown());
    EXPECT_FALSE(app::Terminated());
    // Alt+F4 takes the same road: the confirmation, not the end.
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    ASSERT_EQ(seenDialogs.size(), 2u);
    EXPECT_EQ(seenDialogs[1].kind, state::DialogKind::Exit);
    EXPECT_FALSE(app::Terminated());
    answerExit = true;
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app::Terminated());
}

TEST_F(MainFormTest, ClearedAgreementDisablesTheInstallButton) {
    form->OptionAgreeImageMouseEnter();
    EXPECT_EQ(Picture("OptionAgreeImage"), "check11");
    form->OptionAgreeImageClick();
    EXPECT_FALSE(form->AgreementAccepted());
    EXPECT_EQ(Picture("OptionAgreeImage"), "check00");  // pointer still over it
    EXPECT_EQ(Picture("InstallImage"), "INSTALL3");
    form->InstallImageMouseEnter();
    form->InstallImageMouseDown();
    state::SetInstallDir("");  // would fail the checks, were they run
    form->InstallImageClick();
    form->InstallImageMouseLeave();
    EXPECT_EQ(Picture("InstallImage"), "INSTALL3");
    EXPECT_TRUE(seenDialogs.empty());
    form->OptionAgreeImageMouseLeave();
    form->OptionAgreeImageMouseEnter();
    EXPECT_EQ(Picture("OptionAgreeImage"), "check01");
    form->OptionAgreeImageClick();
    EXPECT_EQ(Picture("OptionAgreeImage"), "check10");
    EXPECT_EQ(Picture("InstallImage"), "INSTALL0");
    form->InstallImageMouseEnter();
    EXPECT_EQ(Picture("InstallImage"), "INSTALL1");
}

TEST_F(MainFormTest, OptionsPanelGrowsAndShrinksFromAFixedTopLeft) {
    const RECT before = WindowRect();
    form->CustomPathImageClick();
    EXPECT_EQ(form->ClientSize().cy, 540);
    EXPECT_EQ(Picture("CustomPathImage"), "OptionButton1");
    EXPECT_TRUE(Image("OnePixLine").Visible());
    EXPECT_TRUE(Image("OptionShortcutImage").Visible());
    EXPECT_TRUE(IsWindowVisible(form->CustomPathEdit()));
    EXPECT_EQ(WindowRect().left, before.left);
    EXPECT_EQ(WindowRect().top, before.top);
    form->CustomPathLabelClick();
    EXPECT_EQ(form->ClientSize().cy, 500);
    EXPECT_EQ(Picture("CustomPathImage"), "OptionButton0");
    EXPECT_FALSE(Image("OnePixLine").Visible());
    EXPECT_FALSE(IsWindowVisible(form->CustomPathEdit()));
    EXPECT_EQ(WindowRect().top, before.top);
}

// Moved to a 150 % display and back: everything laid out again at the
// system's suggested place, the open panel included.
TEST_F(MainFormTest, AnotherDisplayScaleLaysTheWindowOutAgainWhereTheSystemSays) {
    auto rescale = [&](int dpi, RECT suggested) {
        SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    auto edges = [](const RECT& r) { return std::vector<LONG>{r.left, r.top, r.right, r.bottom}; };
    form->CustomPathImageClick();
    rescale(144, {40, 30, 40 + 1129, 30 + 814});
    EXPECT_EQ(edges(WindowRect()), (std::vector<LONG>{40, 30, 40 + 1129, 30 + 814}));
    EXPECT_EQ(form->ClientSize().cy, 810);
    EXPECT_EQ(edges(Image("CloseImage").Bounds()), (std::vector<LONG>{1041, 39, 1086, 84}));
    EXPECT_EQ(Picture("CloseImage"), "close0");
    RECT edit{};
    GetWindowRect(form->CustomPathEdit(), &edit);
    MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&edit), 2);
    EXPECT_EQ(edges(edit), (std::vector<LONG>{668, 767, 1028, 788}));
    form->CustomPathLabelClick();
    EXPECT_EQ(form->ClientSize().cy, 750);
    rescale(96, {50, 60, 50 + 752, 60 + 502});
    EXPECT_EQ(edges(WindowRect()), (std::vector<LONG>{50, 60, 50 + 752, 60 + 502}));
    EXPECT_EQ(edges(Image("CloseImage").Bounds()), (std::vector<LONG>{694, 26, 724, 56}));
}

TEST_F(MainFormTest, OptionBoxesFlipTheirFlagsAndShowTheHoverDigitOnlyOnEnter) {
    form->OptionShortcutImageMouseEnter();
    EXPECT_EQ(Picture("OptionShortcutImage"), "check11");
    form->OptionShortcutImageClick();
    EXPECT_FALSE(state::CreateDesktopShortcut());
    EXPECT_EQ(Picture("OptionShortcutImage"), "check00");
    form->OptionShortcutImageMouseEnter();
    EXPECT_EQ(Picture("OptionShortcutImage"), "check01");
    form->OptionOpenAppImageClick();
    EXPECT_FALSE(state::OpenAfterInstall());
    form->OptionOpenAppImageClick();
    EXPECT_TRUE(state::OpenAfterInstall());
    EXPECT_EQ(Picture("OptionOpenAppImage"), "check10");
    EXPECT_TRUE(state::CreateDesktopShortcut() == false);
}

TEST_F(MainFormTest, PathEditIsCopiedIntoTheInstallDirAtEveryKeystroke) {
    form->CustomPathImageClick();
    HWND edit = form->CustomPathEdit();
    SetWindowTextW(edit, L"");
    EXPECT_EQ(state::InstallDir(), "");
    for (wchar_t c : std::wstring(L"E:\\安装")) SendMessageW(edit, WM_CHAR, c, 0);
    EXPECT_EQ(state::InstallDir(), "E:\\安装");
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(state::InstallDir(), "E:\\安");
}

// The path edit hands Tab to its form, so the focus moves on instead of
// staying in the edit.
TEST_F(MainFormTest, TabInThePathEditMovesTheFocusOn) {
    form->CustomPathImageClick();
    SetFocus(form->CustomPathEdit());
    ASSERT_EQ(GetFocus(), form->CustomPathEdit());
    SendMessageW(form->CustomPathEdit(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), form->Handle());
}

TEST_F(MainFormTest, FailedCheckShowsTheErrorAndRetryKeepsTheUsersChoices) {
    form->CustomPathImageClick();
    form->OptionShortcutImageClick();
    SetWindowTextW(form->CustomPathEdit(), L"");
    form->InstallImageClick();
    ASSERT_EQ(seenDialogs.size(), 1u);
    EXPECT_EQ(seenDialogs[0].message, core::kPathInvalidMessage);
    EXPECT_EQ(seenDialogs[0].kind, state::DialogKind::Error);
    EXPECT_EQ(flow.MainForm(), form);  // the same window, unchanged
    EXPECT_TRUE(form->IsShown());
    EXPECT_EQ(state::InstallDir(), "");
    EXPECT_FALSE(state::CreateDesktopShortcut());
    EXPECT_TRUE(form->OptionPanelShown());
}

TEST_F(DefaultDirTest, RetryAfterAFailedExtractionReturnsToAFreshMainWindow) {
    form->OptionShortcutImageClick();
    form->OptionAgreeImageClick();
    state::SetInstallDir("E:\\elsewhere");
    form->Hide();  // the progress window took over
    state::SetInstalling(true);
    flow.ShowFailure(core::kPathInvalidMessage);
    ASSERT_EQ(seenDialogs.size(), 1u);
    EXPECT_EQ(seenDialogs[0].message, core::kPathInvalidMessage);
    EXPECT_EQ(seenDialogs[0].kind, state::DialogKind::Error);
    TMainForm* fresh = flow.MainForm();
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->IsShown());
    EXPECT_TRUE(fresh->AgreementAccepted());
    EXPECT_TRUE(state::CreateDesktopShortcut());
    EXPECT_EQ(state::InstallDir(), kDefaultDir);
    EXPECT_FALSE(state::Installing());
    EXPECT_FALSE(app::Terminated());
}

TEST_F(MainFormTest, TheDialogShowsEachKindAndTheRightButtonEndsTheInstaller) {
    auto dialog = TCloseDialogForm::Create(form->Handle());
    ASSERT_TRUE(dialog);
    dialog->Configure(state::DialogKind::Error, "");
    EXPECT_EQ(dialog->MessageText(), "退出Tovarin安装程序");
    EXPECT_EQ(dialog->IconImage().PictureName(), "error");
    EXPECT_EQ(dialog->ContinueButtonImage().PictureName(), "retry");
    dialog->Configure(state::DialogKind::Exit, "");
    EXPECT_EQ(dialog->IconImage().PictureName(), "exclamatory");
    EXPECT_EQ(dialog->ContinueButtonImage().PictureName(), "continue");
    dialog.reset();
    answerExit = true;
    flow.ShowFailure(core::kPathInvalidMessage);
    EXPECT_EQ(seenDialogs.size(), 1u);
    EXPECT_TRUE(app::Terminated());
}

// Out of window handles or desktop heap: the system's message box says the
// same, and after a failed extraction the installer ends.
TEST_F(MainFormTest, WithoutADialogTheMessageBoxTellsTheUser) {
    struct Row {
        const char* road;
        int pressed;  // what the user presses in the message box
        std::string text;
        UINT icon;
        bool ends;
    };
    const Row rows[] = {
        {"failed extraction", IDOK, core::kPathInvalidMessage, MB_ICONERROR, true},
        {"failed check", IDOK, core::kNoSpaceMessage, MB_ICONERROR, false},
        {"exit, cancelled", IDCANCEL, "退出Tovarin安装程序", MB_ICONWARNING, false},
        {"exit, confirmed", IDOK, "退出Tovarin安装程序", MB_ICONWARNING, true},
    };
    flow.SetDialogMaker([](HWND) { return nullptr; });
    for (const Row& row : rows) {
        SCOPED_TRACE(row.road);
        app::Initialize("test");
        std::vector<std::pair<std::string, UINT>> shown;
        flow.SetMessageBox([&](HWND, const std::wstring& text, UINT flags) {
            shown.emplace_back(Narrow(text), flags & MB_ICONMASK);
            return row.pressed;
        });
        const std::string road = row.road;
        if (road == "failed extraction") {
            flow.ShowFailure(row.text);
        } else if (road == "failed check") {
            form->popDialog(state::DialogKind::Error, row.text);
        } else {
            form->CloseImageClick();
        }
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].first, row.text);
        EXPECT_EQ(shown[0].second, row.icon);
        EXPECT_EQ(app::Terminated(), row.ends);
        DropQuit();
    }
    EXPECT_TRUE(seenDialogs.empty());
}

}  // namespace
}  // namespace tovarin::ui
