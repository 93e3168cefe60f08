#include "ui/main_form.h"

#include "build_config.h"
#include "common/text.h"
#include "core/desktop_open.h"
#include "core/install_dir.h"
#include "telemetry/installer_events.h"
#include "ui/folder_browser.h"
#include "ui/install_flow.h"

namespace tovarin::ui {
namespace {

constexpr char kLayout[] = "MAINWINDOWLAYOUT";
constexpr int kPathEditId = 100;

// Check box state digits: ticked digit + hover digit.
std::string CheckDigits(bool ticked, bool hover) { return {ticked ? '1' : '0', hover ? '1' : '0'}; }

// An option box: a click flips its install state flag and shows the new
// state with the hover digit 0.
void FlipOption(skin::THighlightImage& box, bool (*flag)(), void (*setFlag)(bool)) {
    setFlag(!flag());
    box.ShowState(CheckDigits(flag(), false));
}

}  // namespace

std::unique_ptr<TMainForm> TMainForm::Create(InstallFlow& flow) {
    std::unique_ptr<TMainForm> form(new TMainForm(flow));
    if (!form->Build()) return nullptr;
    form->FormCreate();
    form->CenterOnScreen();
    return form;
}

TMainForm::~TMainForm() = default;

std::function<void()> TMainForm::Handler(const std::string& name) {
    using Method = void (TMainForm::*)();
    static const std::pair<const char*, Method> kHandlers[] = {
        {"CloseImageClick", &TMainForm::CloseImageClick},
        {"CloseImageMouseDown", &TMainForm::CloseImageMouseDown},
        {"CloseImageMouseEnter", &TMainForm::CloseImageMouseEnter},
        {"CloseImageMouseLeave", &TMainForm::CloseImageMouseLeave},
        {"InstallImageClick", &TMainForm::InstallImageClick},
        {"InstallImageMouseDown", &TMainForm::InstallImageMouseDown},
        {"InstallImageMouseEnter", &TMainForm::InstallImageMouseEnter},
        {"InstallImageMouseLeave", &TMainForm::InstallImageMouseLeave},
        {"CustomPathImageClick", &TMainForm::CustomPathImageClick},
        {"OptionAgreeImageClick", &TMainForm::OptionAgreeImageClick},
        {"OptionAgreeImageMouseEnter", &TMainForm::OptionAgreeImageMouseEnter},
        {"OptionAgreeImageMouseLeave", &TMainForm::OptionAgreeImageMouseLeave},
        {"OptionAgreeLabelClick", &TMainForm::OptionAgreeLabelClick},
        {"CustomPathLabelClick", &TMainForm::CustomPathLabelClick},
        {"OptionShortcutImageClick", &TMainForm::OptionShortcutImageClick},
        {"OptionShortcutImageMouseEnter", &TMainForm::OptionShortcutImageMouseEnter},
        {"OptionShortcutImageMouseLeave", &TMainForm::OptionShortcutImageMouseLeave},
        {"OptionOpenAppImageClick", &TMainForm::OptionOpenAppImageClick},
        {"OptionOpenAppImageMouseEnter", &TMainForm::OptionOpenAppImageMouseEnter},
        {"OptionOpenAppImageMouseLeave", &TMainForm::OptionOpenAppImageMouseLeave},
        {"InstallPathOpenImageClick", &TMainForm::InstallPathOpenImageClick},
        {"InstallPathOpenImageMouseEnter", &TMainForm::InstallPathOpenImageMouseEnter},
        {"InstallPathOpenImageMouseLeave", &TMainForm::InstallPathOpenImageMouseLeave},
        {"CustomPathEditChange", &TMainForm::CustomPathEditChange},
    };
    for (const auto& [handler, method] : kHandlers) {
        if (name == handler) return [this, method = method] { (this->*method)(); };
    }
    return skin::SkinForm::Handler(name);
}

bool TMainForm::Build() {
    if (!CreateFromLayout(kLayout, nullptr)) return false;
    const skin::Layout& layout = FormLayout();
    closeImage_ = FindImage("CloseImage");
    installImage_ = FindImage("InstallImage");
    customPathImage_ = FindImage("CustomPathImage");
    optionAgreeImage_ = FindImage("OptionAgreeImage");
    onePixLine_ = FindImage("OnePixLine");
    optionShortcutImage_ = FindImage("OptionShortcutImage");
    optionOpenAppImage_ = FindImage("OptionOpenAppImage");
    installPathOpenImage_ = FindImage("InstallPathOpenImage");
    const skin::LayoutControl* edit = layout.Find("CustomPathEdit");
    const skin::LayoutControl* panel = layout.Find("OptionPanel");
    if (!closeImage_ || !installImage_ || !customPathImage_ || !optionAgreeImage_ || !onePixLine_ ||
        !optionShortcutImage_ || !optionOpenAppImage_ || !installPathOpenImage_ || !edit || !panel) {
        return false;
    }
    for (const skin::LayoutControl* c : layout.Controls()) {
        if (c->Text("parent") != panel->name) continue;
        if (skin::THighlightImage* image = FindImage(c->name)) optionPanel_.push_back(image);
    }
    pathEdit_.reset(CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_LEFT | ES_AUTOHSCROLL, 0, 0, 0, 0, Handle(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPathEditId)), GetModuleHandleW(nullptr),
                                nullptr));
    if (!pathEdit_) return false;
    Keyboard().AttachChild(edit->name, pathEdit_.get());
    // The edit's one event: every change of its text.
    for (const std::string& handler : edit->List("on")) {
        if (handler != edit->name + "Change" || !(pathEditChange_ = Handler(handler))) return false;
    }
    pathColours_ = skin::ChildColours(edit->Colour("colour", 0), edit->Colour("background", RGB(0xFF, 0xFF, 0xFF)));
    LayOutPathEdit();
    SetOptionPanelVisible(false);
    return true;
}

void TMainForm::LayOutPathEdit() {
    const skin::Layout& layout = FormLayout();
    collapsedHeight_ = layout.Bounds("OptionPanel").top;
    const skin::LayoutControl& edit = *layout.Find("CustomPathEdit");
    const RECT r = layout.Bounds(edit);
    SetWindowPos(pathEdit_.get(), nullptr, r.left, r.top, skin::Width(r), skin::Height(r),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // The edit keeps the old font until it has the new one.
    UniqueFont font = LayoutFont(edit);
    if (font) SendMessageW(pathEdit_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    pathFont_ = std::move(font);
    SendMessageW(pathEdit_.get(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
}

void TMainForm::DpiChanged() {
    LayOutPathEdit();
    SetClientSize(LaidOutWidth(), optionPanelShown_ ? LaidOutHeight() : collapsedHeight_);
}

void TMainForm::FormCreate() {
    state::SetInstallDir(core::DefaultInstallDir());
    optionPanelShown_ = false;
    agreementAccepted_ = true;
    state::SetCreateDesktopShortcut(true);
    state::SetOpenAfterInstall(true);
    SetClientSize(LaidOutWidth(), collapsedHeight_);
    closeImage_->ShowState("0");
    ChangeInstallImage(installImage_->StatePicture("0"));
    ChangeOptionButtonImage(customPathImage_->StatePicture("0"));
    optionAgreeImage_->ShowState("10");
    optionOpenAppImage_->ShowState("10");
    optionShortcutImage_->ShowState("10");
    installPathOpenImage_->ShowState("0");
    SetPathEditText(state::InstallDir());
}

void TMainForm::ChangeInstallImage(const std::string& name) {
    installImage_->SetPicture(skin::LoadPictureFor(name, Dpi(), skin::LoadJpegPicture), name);
}

void TMainForm::ChangeOptionButtonImage(const std::string& name) { customPathImage_->ShowBitmap(name); }

void TMainForm::popDialog(state::DialogKind kind, const std::string& message) {
    const DialogAnswer answer = flow_.Ask(Handle(), kind, message, [&] {
        if (kind == state::DialogKind::Exit) {
            telemetry::SendExitClicked();
        } else {
            telemetry::SendErrorShown(message);
        }
    });
    if (answer == DialogAnswer::Exit) flow_.Exit();
}

// Close control: frozen while an extraction runs.
void TMainForm::CloseImageMouseEnter() {
    if (!state::Installing()) closeImage_->ShowState("1");
}

void TMainForm::CloseImageMouseLeave() {
    if (!state::Installing()) closeImage_->ShowState("0");
}

void TMainForm::CloseImageMouseDown() {
    if (!state::Installing()) closeImage_->ShowState("2");
}

void TMainForm::CloseImageClick() {
    closeImage_->ShowState("0");
    popDialog(state::DialogKind::Exit, {});
}

// Install button: disabled while the agreement is not accepted.
void TMainForm::InstallImageMouseEnter() {
    if (agreementAccepted_) ChangeInstallImage(installImage_->StatePicture("1"));
}

void TMainForm::InstallImageMouseLeave() {
    if (agreementAccepted_) ChangeInstallImage(installImage_->StatePicture("0"));
}

void TMainForm::InstallImageMouseDown() {
    if (agreementAccepted_) ChangeInstallImage(installImage_->StatePicture("2"));
}

void TMainForm::InstallImageClick() {
    // Every road to Install (mouse, keys, a screen reader, a message from
    // outside) comes here: one install at a time.
    if (!agreementAccepted_ || flow_.InstallBlocked()) return;
    const core::DirCheck check = core::CheckInstallDir(state::InstallDir());
    if (!check.ok) {
        popDialog(state::DialogKind::Error, check.message);
        return;
    }
    telemetry::SendInstallStarted();
    ChangeInstallImage(installImage_->StatePicture("3"));
    // Refused by the system: the window stays, ready for another try.
    if (!flow_.StartInstall()) ChangeInstallImage(installImage_->StatePicture("0"));
}

void TMainForm::OptionAgreeImageClick() {
    agreementAccepted_ = !agreementAccepted_;
    optionAgreeImage_->ShowState(CheckDigits(agreementAccepted_, false));
    ChangeInstallImage(installImage_->StatePicture(agreementAccepted_ ? "0" : "3"));
}

void TMainForm::OptionAgreeImageMouseEnter() { optionAgreeImage_->ShowState(CheckDigits(agreementAccepted_, true)); }

void TMainForm::OptionAgreeImageMouseLeave() { optionAgreeImage_->ShowState(CheckDigits(agreementAccepted_, false)); }

void TMainForm::OptionAgreeLabelClick() {
    // The browser is the desktop user's, not one with this process's rights.
    core::OpenAsDesktopUser({Handle(), std::string("http://") + TOVARIN_WEBSITE_HOST + "/agreement", {}});
}

void TMainForm::CustomPathImageClick() { ToggleOptionPanel(); }

void TMainForm::CustomPathLabelClick() { ToggleOptionPanel(); }

void TMainForm::ToggleOptionPanel() {
    if (optionPanelShown_) {
        optionPanelShown_ = false;
        ChangeOptionButtonImage(customPathImage_->StatePicture("0"));
        onePixLine_->SetVisible(false);
        SetOptionPanelVisible(false);
        SetClientSize(LaidOutWidth(), collapsedHeight_);
    } else {
        optionPanelShown_ = true;
        ChangeOptionButtonImage(customPathImage_->StatePicture("1"));
        SetClientSize(LaidOutWidth(), LaidOutHeight());
        SetOptionPanelVisible(true);
        onePixLine_->SetVisible(true);
    }
}

void TMainForm::SetOptionPanelVisible(bool visible) {
    for (skin::THighlightImage* c : optionPanel_) c->SetVisible(visible);
    if (!pathEdit_) return;
    // A hidden edit must not keep the keys.
    if (!visible && GetFocus() == pathEdit_.get()) SetFocus(Handle());
    ShowWindow(pathEdit_.get(), visible ? SW_SHOWNA : SW_HIDE);
}

void TMainForm::OptionShortcutImageClick() {
    FlipOption(*optionShortcutImage_, state::CreateDesktopShortcut, state::SetCreateDesktopShortcut);
}

void TMainForm::OptionShortcutImageMouseEnter() {
    optionShortcutImage_->ShowState(CheckDigits(state::CreateDesktopShortcut(), true));
}

void TMainForm::OptionShortcutImageMouseLeave() {
    optionShortcutImage_->ShowState(CheckDigits(state::CreateDesktopShortcut(), false));
}

void TMainForm::OptionOpenAppImageClick() {
    FlipOption(*optionOpenAppImage_, state::OpenAfterInstall, state::SetOpenAfterInstall);
}

void TMainForm::OptionOpenAppImageMouseEnter() {
    optionOpenAppImage_->ShowState(CheckDigits(state::OpenAfterInstall(), true));
}

void TMainForm::OptionOpenAppImageMouseLeave() {
    optionOpenAppImage_->ShowState(CheckDigits(state::OpenAfterInstall(), false));
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

void TMainForm::InstallPathOpenImageMouseEnter() { installPathOpenImage_->ShowState("1"); }

void TMainForm::InstallPathOpenImageMouseLeave() { installPathOpenImage_->ShowState("0"); }

void TMainForm::CustomPathEditChange() {
    const int length = GetWindowTextLengthW(pathEdit_.get());
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(pathEdit_.get(), text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    state::SetInstallDir(Narrow(text));
}

void TMainForm::SetPathEditText(const std::string& text) {
    // The edit's change notification copies the text back into InstallDir.
    SetWindowTextW(pathEdit_.get(), Widen(text).c_str());
}

skin::ControlFacts TMainForm::FactsOf(const std::string& control) const {
    skin::ControlFacts facts;
    if (control == "OptionAgreeImage") facts.checked = agreementAccepted_;
    if (control == "OptionShortcutImage") facts.checked = state::CreateDesktopShortcut();
    if (control == "OptionOpenAppImage") facts.checked = state::OpenAfterInstall();
    if (control == "CustomPathImage") facts.expanded = optionPanelShown_;
    if (control == "InstallImage") facts.unavailable = !agreementAccepted_;
    if (control == "CustomPathEdit") facts.value = state::InstallDir();
    return facts;
}

// The system's close command (Alt+F4) takes the close control's road: its
// event and its confirmation.
void TMainForm::CloseRequested() { CloseImageClick(); }

bool TMainForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_COMMAND && LOWORD(wp) == kPathEditId && HIWORD(wp) == EN_CHANGE) {
        if (pathEditChange_) pathEditChange_();
        result = 0;
        return true;
    }
    return msg == WM_CTLCOLOREDIT && pathColours_.Paint(pathEdit_.get(), wp, lp, result);
}

}  // namespace tovarin::ui
