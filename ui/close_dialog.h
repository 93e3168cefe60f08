#pragma once
// TCloseDialogForm: the installer's one modal dialog, an exit confirmation or
// an error with the offer to try again. It places itself over the window it
// is shown for and returns the user's answer; the install flow carries it out.
#include <functional>
#include <memory>
#include <string>

#include "app/install_state.h"
#include "skin/skin_form.h"

namespace tovarin::ui {

// The left button (continue, or retry after an error) or the right one (exit).
enum class DialogAnswer { Continue, Exit };

// The text the dialog shows when given no message.
std::string DefaultDialogMessage();

class TCloseDialogForm : public skin::SkinForm {
public:
    // A fresh, hidden dialog placed over `reference` when shown (centred
    // without one); null when the system refuses the window.
    static std::unique_ptr<TCloseDialogForm> Create(HWND reference);
    ~TCloseDialogForm() override;

    skin::THighlightImage& IconImage() { return *icon_; }
    skin::THighlightImage& ContinueButtonImage() { return *continue_; }
    skin::THighlightImage& ExitButtonImage() { return *exit_; }

    const std::string& MessageText() const { return message_; }
    void SetMessageText(const std::string& text);

    // The kind's install state, icon and left button, and the message (an
    // empty one keeps the layout's own text).
    void Configure(state::DialogKind kind, const std::string& message);

    // Shows the dialog and returns the user's answer once it has closed;
    // Continue when `ended` says the run is ending first.
    DialogAnswer ShowModal(const std::function<bool()>& ended);

    // Left button: closes the dialog with Continue.
    void ContinueButtonImageClick();
    // Right button: closes the dialog with Exit.
    void ExitButtonImageClick();

protected:
    std::function<void()> Handler(const std::string& name) override;
    void BeforeShow() override;
    void CloseRequested() override;
    void PaintBackground(HDC dc, const RECT& client) override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    skin::ControlFacts FactsOf(const std::string& control) const override;
    LONG ClientRole() const override { return ROLE_SYSTEM_DIALOG; }
    void DpiChanged() override;

private:
    explicit TCloseDialogForm(HWND reference) : reference_(reference) {}
    bool Build(HWND owner);
    // The message label's place and font at the dialog's DPI.
    void LayOutMessage();
    void PlaceAndShape();
    void Shape();

    HWND reference_ = nullptr;
    DialogAnswer answer_ = DialogAnswer::Continue;
    skin::THighlightImage* icon_ = nullptr;
    skin::THighlightImage* continue_ = nullptr;
    skin::THighlightImage* exit_ = nullptr;
    UniqueFont messageFont_;
    std::string message_;
    std::string continueCaption_;  // the text the left button's picture shows
    int messageCell_ = 0;
    int windowCorner_ = 0;  // corner ellipses as laid out (96 DPI)
    int panelCorner_ = 0;
    COLORREF panelColour_ = RGB(0xFF, 0xFF, 0xFF);
    COLORREF bevelColour_ = RGB(0, 0, 0);
    skin::ChildColours messageColours_;
    UniqueWindow messageLabel_;  // goes before its font and brush
};

}  // namespace tovarin::ui
