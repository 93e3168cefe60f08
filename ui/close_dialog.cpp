#include "ui/close_dialog.h"

#include "app/application.h"
#include "common/text.h"
#include "ui/app_windows.h"
#include "ui/dialog_placement.h"
#include "ui/font_choice.h"
#include "ui/main_form.h"
#include "ui/progress_window.h"

namespace tovarin::ui {
namespace {

constexpr int kClientWidth = 352;
constexpr int kClientHeight = 167;
constexpr COLORREF kBorderColour = RGB(0xCC, 0xCC, 0xCC);
constexpr COLORREF kMessageColour = RGB(0x73, 0x73, 0x73);
constexpr COLORREF kPanelColour = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kBevelShadow = RGB(0xA0, 0xA0, 0xA0);
constexpr int kCorner = 9;
constexpr int kMessageLeft = 100;
constexpr int kMessageTop = 45;

}  // namespace

HWND DialogReferenceWindow() {
    if (TMainForm* main = MainForm(); main && main->IsShown()) return main->Handle();
    return ProgressWindowHandle();
}

std::unique_ptr<TCloseDialogForm> TCloseDialogForm::Create() {
    std::unique_ptr<TCloseDialogForm> dialog(new TCloseDialogForm());
    if (!dialog->Build(DialogReferenceWindow())) return nullptr;
    return dialog;
}

// The label goes before its font does.
TCloseDialogForm::~TCloseDialogForm() {
    if (messageLabel_) DestroyWindow(messageLabel_);
}

bool TCloseDialogForm::Build(HWND owner) {
    FormStyle style;
    style.className = "TCloseDialogForm";
    style.title = "CloseDialogForm";
    style.clientWidth = kClientWidth;
    style.clientHeight = kClientHeight;
    style.frameColour = kBorderColour;
    style.backgroundColour = kBorderColour;
    if (!CreateWindowOf(style, owner)) return false;

    icon_ = &AddImage("IconImage", 39, 32, 40, 40);
    continue_ = &AddImage("ContinueButtonImage", 41, 106, 145, 35);
    exit_ = &AddImage("ExitButtonImage", 202, 106, 108, 35);
    continue_->SetCursor(IDC_HAND);
    exit_->SetCursor(IDC_HAND);
    continue_->OnClick = [this](THighlightImage&) { ContinueButtonImageClick(); };
    exit_->OnClick = [this](THighlightImage&) { ExitButtonImageClick(); };

    // "黑体" is SimHei; systems without it get the nearest sans-serif CJK face.
    messageFont_ = CreateCellFont({L"黑体", L"SimHei", L"Microsoft YaHei", L"WenQuanYi Micro Hei"}, 14);
    messageLabel_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kMessageLeft,
                                    kMessageTop, 1, 14, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (messageLabel_ && messageFont_) SendMessageW(messageLabel_, WM_SETFONT, WPARAM(messageFont_.get()), FALSE);
    SetMessageText(message_);
    return true;
}

void TCloseDialogForm::SetMessageText(const std::string& text) {
    message_ = text;
    if (!messageLabel_) return;
    const std::wstring wide = Widen(text);
    // The label keeps its left edge and grows to the right with its text.
    SIZE extent{0, 14};
    if (HDC dc = GetDC(messageLabel_)) {
        HGDIOBJ old = SelectObject(dc, messageFont_ ? HGDIOBJ(messageFont_.get()) : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(messageLabel_, dc);
    }
    SetWindowTextW(messageLabel_, wide.c_str());
    SetWindowPos(messageLabel_, nullptr, 0, 0, extent.cx, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TCloseDialogForm::Configure(state::DialogKind kind, const std::string& message) {
    if (kind == state::DialogKind::Exit) {
        state::SetCurrentDialogKind(state::DialogKind::Exit);
        icon_->ShowBitmap("exclamatory");
        continue_->ShowBitmap("continue");
    } else {
        state::SetCurrentDialogKind(state::DialogKind::Error);
        icon_->ShowBitmap("error");
        continue_->ShowBitmap("retry");
    }
    if (!message.empty()) SetMessageText(message);
}

void TCloseDialogForm::ContinueButtonImageClick() {
    if (state::CurrentDialogKind() == state::DialogKind::Error) {
        TMainForm* main = MainForm();
        if (!main || !main->IsShown()) {
            // A failed extraction: back to a fresh main window.
            CloseProgressWindow();
            RecreateMainForm();
        }
    }
    CloseModal();
    state::SetInstalling(false);
}

void TCloseDialogForm::ExitButtonImageClick() {
    CloseModal();
    app::Terminate();
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
    if (HWND reference = DialogReferenceWindow()) {
        RECT r{};
        GetWindowRect(reference, &r);
        const POINT at = PlaceDialog(r, size, screen);
        MoveTo(at.x, at.y);
    } else {
        CenterOnScreen();
    }
    // The system owns the region once it is set.
    if (HRGN region = CreateRoundRectRgn(0, 0, size.cx, size.cy, kCorner, kCorner)) {
        if (!SetWindowRgn(Handle(), region, TRUE)) DeleteObject(region);
    }
}

void TCloseDialogForm::PaintBackground(HDC dc, const RECT& client) {
    SkinForm::PaintBackground(dc, client);
    // The white panel with rounded corners and a raised one-pixel bevel.
    UniqueRegion panel(CreateRoundRectRgn(0, 0, client.right, client.bottom, kCorner, kCorner));
    // A clip region is in device units: follow the buffer's moved origin.
    POINT origin{};
    if (panel && GetViewportOrgEx(dc, &origin)) OffsetRgn(panel.get(), origin.x, origin.y);
    if (panel) SelectClipRgn(dc, panel.get());
    SetDCBrushColor(dc, kPanelColour);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, kBevelShadow);
    const RECT right{client.right - 1, 0, client.right, client.bottom};
    const RECT bottom{0, client.bottom - 1, client.right, client.bottom};
    FillRect(dc, &right, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    FillRect(dc, &bottom, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SelectClipRgn(dc, nullptr);
}

bool TCloseDialogForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == messageLabel_) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, kMessageColour);
        SetBkColor(dc, kPanelColour);
        result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return true;
    }
    return false;
}

void ShowCloseDialog(state::DialogKind kind, const std::string& message, const std::function<void()>& sendEvent) {
    std::unique_ptr<TCloseDialogForm> dialog = TCloseDialogForm::Create();
    if (dialog) dialog->ExitButtonImage().ShowBitmap("exit");
    // The event goes out before the dialog shows, whatever the user then does.
    if (sendEvent) sendEvent();
    if (!dialog) {
        state::SetCurrentDialogKind(kind == state::DialogKind::Exit ? kind : state::DialogKind::Error);
        return;
    }
    dialog->Configure(kind, message);
    dialog->ShowModal();
}

}  // namespace tovarin::ui
