#include "ui/main_form.h"

#include <shellapi.h>

#include "app/application.h"
#include "build_config.h"
#include "common/text.h"
#include "core/install_dir.h"
#include "telemetry/installer_events.h"
#include "ui/close_dialog.h"
#include "ui/folder_browser.h"
#include "ui/font_choice.h"
#include "ui/progress_window.h"

namespace tovarin::ui {
namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 540;      // as laid out, with the options panel
constexpr int kPanelHeight = 40;  // the options panel, docked to the bottom
constexpr int kPanelTop = kHeight - kPanelHeight;
constexpr int kPathEditId = 100;
constexpr COLORREF kPathColour = RGB(0x73, 0x73, 0x73);
constexpr COLORREF kLineColour = RGB(0xE8, 0xE8, 0xE8);

// Pictures stored with the layout (backgrounds and pictures of text).
constexpr char kBackgroundPicture[] = "MAINBACKGROUND";
constexpr char kPanelBackgroundPicture[] = "OPTIONPANELBACKGROUND";
constexpr char kAgreeTextPicture[] = "AGREELABEL";
constexpr char kCustomPathTextPicture[] = "CUSTOMPATHLABEL";
constexpr char kShortcutTextPicture[] = "SHORTCUTLABEL";
constexpr char kOpenAppTextPicture[] = "OPENAPPLABEL";

// "check" + ticked digit + hover digit.
std::string CheckPicture(bool ticked, bool hover) {
    return std::string("check") + (ticked ? '1' : '0') + (hover ? '1' : '0');
}

void ShowLayoutPicture(THighlightImage& image, const char* name) { image.SetPicture(LoadLayoutPicture(name), name); }

}  // namespace

std::unique_ptr<TMainForm> TMainForm::Create() {
    std::unique_ptr<TMainForm> form(new TMainForm());
    if (!form->Build()) return nullptr;
    form->FormCreate();
    form->CenterOnScreen();
    return form;
}

TMainForm::~TMainForm() {
    if (pathEdit_) DestroyWindow(pathEdit_);
}

bool TMainForm::Build() {
    if (!CreateWindowOf(ApplicationWindowStyle("TMainForm", kWidth, kHeight), nullptr)) return false;

    // Stacking order, bottom first.
    ShowLayoutPicture(AddImage("BackgroundImage", 0, 0, 750, 500), kBackgroundPicture);

    closeImage_ = &AddImage("CloseImage", 694, 26, 30, 30);
    closeImage_->OnClick = [this](THighlightImage&) { CloseImageClick(); };
    closeImage_->OnMouseDown = [this](THighlightImage&, MouseButton) { CloseImageMouseDown(); };
    closeImage_->OnMouseEnter = [this](THighlightImage&) { CloseImageMouseEnter(); };
    closeImage_->OnMouseLeave = [this](THighlightImage&) { CloseImageMouseLeave(); };

    installImage_ = &AddImage("InstallImage", 245, 230, 260, 71);
    installImage_->OnClick = [this](THighlightImage&) { InstallImageClick(); };
    installImage_->OnMouseDown = [this](THighlightImage&, MouseButton) { InstallImageMouseDown(); };
    installImage_->OnMouseEnter = [this](THighlightImage&) { InstallImageMouseEnter(); };
    installImage_->OnMouseLeave = [this](THighlightImage&) { InstallImageMouseLeave(); };

    customPathImage_ = &AddImage("CustomPathImage", 716, 466, 14, 14);
    customPathImage_->OnClick = [this](THighlightImage&) { CustomPathImageClick(); };

    optionAgreeImage_ = &AddImage("OptionAgreeImage", 20, 466, 14, 14);
    optionAgreeImage_->OnClick = [this](THighlightImage&) { OptionAgreeImageClick(); };
    optionAgreeImage_->OnMouseEnter = [this](THighlightImage&) { OptionAgreeImageMouseEnter(); };
    optionAgreeImage_->OnMouseLeave = [this](THighlightImage&) { OptionAgreeImageMouseLeave(); };

    THighlightImage& agreeLabel = AddImage("OptionAgreeLabel", 44, 466, 160, 14);
    ShowLayoutPicture(agreeLabel, kAgreeTextPicture);
    agreeLabel.SetCursor(IDC_HAND);
    agreeLabel.OnClick = [this](THighlightImage&) { OptionAgreeLabelClick(); };

    THighlightImage& pathLabel = AddImage("CustomPathLabel", 610, 466, 97, 14);
    ShowLayoutPicture(pathLabel, kCustomPathTextPicture);
    pathLabel.OnClick = [this](THighlightImage&) { CustomPathLabelClick(); };

    onePixLine_ = &AddImage("OnePixLine", 20, 494, 710, 1);
    onePixLine_->SetFill(kLineColour);
    onePixLine_->SetVisible(false);

    // The drag areas leave out every control: a press on a control never moves the window.
    struct Area {
        int left, top, width, height;
    };
    const Area dragAreas[] = {{0, 0, 689, 225}, {0, 224, 240, 232}, {510, 64, 240, 392}, {216, 304, 393, 192}};
    for (int i = 0; i < 4; ++i) {
        const Area& a = dragAreas[i];
        THighlightImage& area = AddImage("DragArea" + std::to_string(i), a.left, a.top, a.width, a.height);
        area.OnMouseDown = [this](THighlightImage&, MouseButton) { StartWindowMove(Handle()); };
    }

    // The options panel, docked to the bottom.
    THighlightImage& panelBackground = AddImage("OptionPanelBackground", 0, kPanelTop, 750, 40);
    ShowLayoutPicture(panelBackground, kPanelBackgroundPicture);

    optionShortcutImage_ = &AddImage("OptionShortcutImage", 20, kPanelTop + 10, 14, 14);
    optionShortcutImage_->OnClick = [this](THighlightImage&) { OptionShortcutImageClick(); };
    optionShortcutImage_->OnMouseEnter = [this](THighlightImage&) { OptionShortcutImageMouseEnter(); };
    optionShortcutImage_->OnMouseLeave = [this](THighlightImage&) { OptionShortcutImageMouseLeave(); };

    THighlightImage& shortcutLabel = AddImage("OptionShortcutLabel", 44, kPanelTop + 10, 112, 14);
    ShowLayoutPicture(shortcutLabel, kShortcutTextPicture);

    optionOpenAppImage_ = &AddImage("OptionOpenAppImage", 184, kPanelTop + 10, 14, 14);
    optionOpenAppImage_->OnClick = [this](THighlightImage&) { OptionOpenAppImageClick(); };
    optionOpenAppImage_->OnMouseEnter = [this](THighlightImage&) { OptionOpenAppImageMouseEnter(); };
    optionOpenAppImage_->OnMouseLeave = [this](THighlightImage&) { OptionOpenAppImageMouseLeave(); };

    THighlightImage& openAppLabel = AddImage("OptionOpenAppLabel", 208, kPanelTop + 10, 126, 14);
    ShowLayoutPicture(openAppLabel, kOpenAppTextPicture);

    installPathOpenImage_ = &AddImage("InstallPathOpenImage", 690, kPanelTop + 5, 40, 25);
    installPathOpenImage_->OnClick = [this](THighlightImage&) { InstallPathOpenImageClick(); };
    installPathOpenImage_->OnMouseEnter = [this](THighlightImage&) { InstallPathOpenImageMouseEnter(); };
    installPathOpenImage_->OnMouseLeave = [this](THighlightImage&) { InstallPathOpenImageMouseLeave(); };

    optionPanel_ = {&panelBackground, optionShortcutImage_, &shortcutLabel, optionOpenAppImage_, &openAppLabel,
                    installPathOpenImage_};

    pathEdit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_LEFT | ES_AUTOHSCROLL, 445, kPanelTop + 11, 240, 14,
                                Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPathEditId)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!pathEdit_) return false;
    pathFont_ = CreateCellFont({L"Arial"}, 14);
    if (pathFont_) SendMessageW(pathEdit_, WM_SETFONT, reinterpret_cast<WPARAM>(pathFont_.get()), FALSE);
    SendMessageW(pathEdit_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    SetOptionPanelVisible(false);
    return true;
}

void TMainForm::FormCreate() {
    state::SetInstallDir(core::DefaultInstallDir());
    optionPanelShown_ = false;
    agreementAccepted_ = true;
    state::SetCreateDesktopShortcut(true);
    state::SetOpenAfterInstall(true);
    SetClientSize(kWidth, kHeight - kPanelHeight);
    closeImage_->ShowBitmap("close0");
    ChangeInstallImage("INSTALL0");
    ChangeOptionButtonImage("OptionButton0");
    optionAgreeImage_->ShowBitmap("check10");
    optionOpenAppImage_->ShowBitmap("check10");
    optionShortcutImage_->ShowBitmap("check10");
    installPathOpenImage_->ShowBitmap("InstallPathOpen0");
    SetPathEditText(state::InstallDir());
}

void TMainForm::ChangeInstallImage(const std::string& name) { installImage_->SetPicture(LoadJpegPicture(name), name); }

void TMainForm::ChangeOptionButtonImage(const std::string& name) { customPathImage_->ShowBitmap(name); }

void TMainForm::popDialog(state::DialogKind kind, const std::string& message) {
    ShowCloseDialog(kind, message, [&] {
        if (kind == state::DialogKind::Exit) {
            telemetry::SendExitClicked();
        } else {
            telemetry::SendErrorShown(message);
        }
    });
}

// Close control: frozen while an extraction runs.
void TMainForm::CloseImageMouseEnter() {
    if (!state::Installing()) closeImage_->ShowBitmap("close1");
}

void TMainForm::CloseImageMouseLeave() {
    if (!state::Installing()) closeImage_->ShowBitmap("close0");
}

void TMainForm::CloseImageMouseDown() {
    if (!state::Installing()) closeImage_->ShowBitmap("close2");
}

void TMainForm::CloseImageClick() {
    closeImage_->ShowBitmap("close0");
    popDialog(state::DialogKind::Exit, {});
}

// Install button: disabled while the agreement is not accepted.
void TMainForm::InstallImageMouseEnter() {
    if (agreementAccepted_) ChangeInstallImage("INSTALL1");
}

void TMainForm::InstallImageMouseLeave() {
    if (agreementAccepted_) ChangeInstallImage("INSTALL0");
}

void TMainForm::InstallImageMouseDown() {
    if (agreementAccepted_) ChangeInstallImage("INSTALL2");
}

void TMainForm::InstallImageClick() {
    if (!agreementAccepted_) return;
    const core::DirCheck check = core::CheckInstallDir(state::InstallDir());
    if (!check.ok) {
        popDialog(state::DialogKind::Error, check.message);
        return;
    }
    telemetry::SendInstallStarted();
    ChangeInstallImage("INSTALL3");
    ShowProgressWindow();
}

void TMainForm::OptionAgreeImageClick() {
    agreementAccepted_ = !agreementAccepted_;
    optionAgreeImage_->ShowBitmap(CheckPicture(agreementAccepted_, false));
    ChangeInstallImage(agreementAccepted_ ? "INSTALL0" : "INSTALL3");
}

void TMainForm::OptionAgreeImageMouseEnter() { optionAgreeImage_->ShowBitmap(CheckPicture(agreementAccepted_, true)); }

void TMainForm::OptionAgreeImageMouseLeave() { optionAgreeImage_->ShowBitmap(CheckPicture(agreementAccepted_, false)); }

void TMainForm::OptionAgreeLabelClick() {
    const std::wstring url = Widen(std::string("http://") + TOVARIN_WEBSITE_HOST + "/agreement");
    ShellExecuteW(Handle(), L"Open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TMainForm::CustomPathImageClick() { ToggleOptionPanel(); }

void TMainForm::CustomPathLabelClick() { ToggleOptionPanel(); }

void TMainForm::ToggleOptionPanel() {
    if (optionPanelShown_) {
        optionPanelShown_ = false;
        ChangeOptionButtonImage("OptionButton0");
        onePixLine_->SetVisible(false);
        SetOptionPanelVisible(false);
        SetClientSize(kWidth, kHeight - kPanelHeight);
    } else {
        optionPanelShown_ = true;
        ChangeOptionButtonImage("OptionButton1");
        SetClientSize(kWidth, kHeight);
        SetOptionPanelVisible(true);
        onePixLine_->SetVisible(true);
    }
}

void TMainForm::SetOptionPanelVisible(bool visible) {
    for (THighlightImage* c : optionPanel_) c->SetVisible(visible);
    if (pathEdit_) ShowWindow(pathEdit_, visible ? SW_SHOWNA : SW_HIDE);
}

void TMainForm::OptionShortcutImageClick() {
    const bool ticked = !state::CreateDesktopShortcut();
    state::SetCreateDesktopShortcut(ticked);
    optionShortcutImage_->ShowBitmap(CheckPicture(ticked, false));
}

void TMainForm::OptionShortcutImageMouseEnter() {
    optionShortcutImage_->ShowBitmap(CheckPicture(state::CreateDesktopShortcut(), true));
}

void TMainForm::OptionShortcutImageMouseLeave() {
    optionShortcutImage_->ShowBitmap(CheckPicture(state::CreateDesktopShortcut(), false));
}

void TMainForm::OptionOpenAppImageClick() {
    const bool ticked = !state::OpenAfterInstall();
    state::SetOpenAfterInstall(ticked);
    optionOpenAppImage_->ShowBitmap(CheckPicture(ticked, false));
}

void TMainForm::OptionOpenAppImageMouseEnter() {
    optionOpenAppImage_->ShowBitmap(CheckPicture(state::OpenAfterInstall(), true));
}

void TMainForm::OptionOpenAppImageMouseLeave() {
    optionOpenAppImage_->ShowBitmap(CheckPicture(state::OpenAfterInstall(), false));
}

void TMainForm::InstallPathOpenImageClick() {
    const std::optional<std::string> folder =
        BrowseForFolder(Handle(), kBrowseTitle, ParentFolderOf(state::InstallDir()));
    if (!folder) return;
    if (std::optional<std::string> dir = core::InstallDirFromFolder(*folder)) {
        state::SetInstallDir(*dir);
        SetPathEditText(*dir);
    }
}

void TMainForm::InstallPathOpenImageMouseEnter() { installPathOpenImage_->ShowBitmap("InstallPathOpen1"); }

void TMainForm::InstallPathOpenImageMouseLeave() { installPathOpenImage_->ShowBitmap("InstallPathOpen0"); }

void TMainForm::CustomPathEditChange() {
    const int length = GetWindowTextLengthW(pathEdit_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(pathEdit_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    state::SetInstallDir(Narrow(text));
}

void TMainForm::SetPathEditText(const std::string& text) {
    // The edit's change notification copies the text back into InstallDir.
    SetWindowTextW(pathEdit_, Widen(text).c_str());
}

// The system's close command ends the installer, as closing the main window does.
void TMainForm::CloseRequested() { app::Terminate(); }

bool TMainForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_COMMAND && LOWORD(wp) == kPathEditId && HIWORD(wp) == EN_CHANGE) {
        CustomPathEditChange();
        result = 0;
        return true;
    }
    if (msg == WM_CTLCOLOREDIT && reinterpret_cast<HWND>(lp) == pathEdit_) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, kPathColour);
        SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
        result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return true;
    }
    return false;
}

}  // namespace tovarin::ui
