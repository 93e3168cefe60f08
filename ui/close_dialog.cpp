#include "ui/close_dialog.h"

#include "common/text.h"
#include "ui/dialog_placement.h"
#include "skin/font_choice.h"
#include "skin/rounded_panel.h"

namespace tovarin::ui {
namespace {

constexpr char kLayout[] = "CLOSEDIALOGLAYOUT";

}  // namespace

std::string DefaultDialogMessage() {
    const std::optional<skin::Layout> layout = skin::LoadLayout(kLayout);
    const skin::LayoutControl* message = layout ? layout->Find("Message") : nullptr;
    return message ? message->Text("text") : std::string();
}

std::unique_ptr<TCloseDialogForm> TCloseDialogForm::Create(HWND reference) {
    std::unique_ptr<TCloseDialogForm> dialog(new TCloseDialogForm(reference));
    if (!dialog->Build(reference)) return nullptr;
    return dialog;
}

TCloseDialogForm::~TCloseDialogForm() = default;

std::function<void()> TCloseDialogForm::Handler(const std::string& name) {
    if (name == "ContinueButtonImageClick") return [this] { ContinueButtonImageClick(); };
    if (name == "ExitButtonImageClick") return [this] { ExitButtonImageClick(); };
    return skin::SkinForm::Handler(name);
}

bool TCloseDialogForm::Build(HWND owner) {
    if (!CreateFromLayout(kLayout, owner)) return false;
    const skin::Layout& layout = FormLayout();
    icon_ = FindImage("IconImage");
    continue_ = FindImage("ContinueButtonImage");
    exit_ = FindImage("ExitButtonImage");
    const skin::LayoutControl* panel = layout.Find("BackgroundPanel");
    const skin::LayoutControl* message = layout.Find("Message");
    if (!icon_ || !continue_ || !exit_ || !panel || !message) return false;
    windowCorner_ = layout.Window().Number("corner", 0);
    panelCorner_ = panel->Number("corner", 0);
    panelColour_ = panel->Colour("colour", panelColour_);
    bevelColour_ = panel->Colour("bevel", bevelColour_);
    messageColours_ = skin::ChildColours(message->Colour("colour", 0), panelColour_);
    messageLabel_.reset(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0,
                                        0, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr));
    Keyboard().AttachChild(message->name, messageLabel_.get());
    message_ = message->Text("text");
    LayOutMessage();
    return true;
}

void TCloseDialogForm::LayOutMessage() {
    const skin::Layout& layout = FormLayout();
    const skin::LayoutControl& message = *layout.Find("Message");
    messageCell_ = layout.FontCell(message);
    // "黑体" is SimHei; systems without it get the nearest sans-serif CJK face.
    UniqueFont font = LayoutFont(message);
    const RECT r = layout.Bounds(message);
    if (messageLabel_) {
        SetWindowPos(messageLabel_.get(), nullptr, r.left, r.top, skin::Width(r), skin::Height(r),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // The label keeps the old font until it has the new one.
        if (font) SendMessageW(messageLabel_.get(), WM_SETFONT, WPARAM(font.get()), FALSE);
    }
    messageFont_ = std::move(font);
    SetMessageText(message_);
}

void TCloseDialogForm::DpiChanged() {
    LayOutMessage();
    SetClientSize(LaidOutWidth(), LaidOutHeight());
    Shape();
}

void TCloseDialogForm::SetMessageText(const std::string& text) {
    message_ = text;
    if (!messageLabel_) return;
    const std::wstring wide = Widen(text);
    // The label keeps its left edge and grows to the right with its text.
    const SIZE extent = skin::TextExtent(messageLabel_.get(), messageFont_.get(), wide, {0, messageCell_});
    SetWindowTextW(messageLabel_.get(), wide.c_str());
    SetWindowPos(messageLabel_.get(), nullptr, 0, 0, extent.cx, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TCloseDialogForm::Configure(state::DialogKind kind, const std::string& message) {
    if (kind == state::DialogKind::Exit) {
        state::SetCurrentDialogKind(state::DialogKind::Exit);
        icon_->ShowBitmap("exclamatory");
        continue_->ShowBitmap("continue");
        continueCaption_.clear();  // the layout's own
    } else {
        state::SetCurrentDialogKind(state::DialogKind::Error);
        icon_->ShowBitmap("error");
        continue_->ShowBitmap("retry");
        continueCaption_ = "重试";
        // Escape never retries by accident; the dialog waits for an answer.
        Keyboard().SetCancel(nullptr);
    }
    if (!message.empty()) SetMessageText(message);
}

DialogAnswer TCloseDialogForm::ShowModal(const std::function<bool()>& ended) {
    answer_ = DialogAnswer::Continue;
    skin::SkinForm::ShowModal(ended);
    return answer_;
}

void TCloseDialogForm::ContinueButtonImageClick() {
    answer_ = DialogAnswer::Continue;
    CloseModal();
    state::SetInstalling(false);
}

void TCloseDialogForm::ExitButtonImageClick() {
    answer_ = DialogAnswer::Exit;
    CloseModal();
}

void TCloseDialogForm::BeforeShow() {
    state::SetInstalling(false);
    PlaceAndShape();
}

// Alt+F4 answers like the left button: it never ends the installer by
// accident, and after a failed install it still leads back to the main window.
void TCloseDialogForm::CloseRequested() { ContinueButtonImageClick(); }

void TCloseDialogForm::PlaceAndShape() {
    RECT own{};
    GetWindowRect(Handle(), &own);
    const SIZE size{own.right - own.left, own.bottom - own.top};
    const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (reference_ && IsWindow(reference_)) {
        RECT r{};
        GetWindowRect(reference_, &r);
        const POINT at = PlaceDialog(r, size, screen, Dpi());
        MoveTo(at.x, at.y);
    } else {
        CenterOnScreen();
    }
    Shape();
}

void TCloseDialogForm::Shape() { skin::RoundWindow(Handle(), FormLayout().Scale(windowCorner_)); }

void TCloseDialogForm::PaintBackground(HDC dc, const RECT& client) {
    skin::SkinForm::PaintBackground(dc, client);
    // The white panel with rounded corners and a raised one-pixel bevel.
    skin::PaintPanel(dc, client,
                     {panelColour_, bevelColour_, FormLayout().Scale(panelCorner_), FormLayout().Scale(1)});
}

bool TCloseDialogForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    return msg == WM_CTLCOLORSTATIC && messageColours_.Paint(messageLabel_.get(), wp, lp, result);
}

skin::ControlFacts TCloseDialogForm::FactsOf(const std::string& control) const {
    skin::ControlFacts facts;
    if (control == "Message") facts.name = message_;
    if (control == "ContinueButtonImage") facts.name = continueCaption_;
    return facts;
}

}  // namespace tovarin::ui
