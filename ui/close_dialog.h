#pragma once
// TCloseDialogForm: the installer's one modal dialog, an exit confirmation or
// an error with the offer to try again. It places itself over the visible
// installer window and carries out the user's answer itself.
#include <functional>
#include <memory>
#include <string>

#include "app/install_state.h"
#include "ui/skin_form.h"

namespace tovarin::ui {

class TCloseDialogForm : public SkinForm {
public:
    // A fresh, hidden dialog; null when the system refuses the window.
    static std::unique_ptr<TCloseDialogForm> Create();
    ~TCloseDialogForm() override;

    THighlightImage& IconImage() { return *icon_; }
    THighlightImage& ContinueButtonImage() { return *continue_; }
    THighlightImage& ExitButtonImage() { return *exit_; }

    const std::string& MessageText() const { return message_; }
    void SetMessageText(const std::string& text);

    // The kind's install state, icon and left button, and the message (an
    // empty one keeps the layout's own text).
    void Configure(state::DialogKind kind, const std::string& message);

    // Left button: closes the dialog; after a failed extraction (error kind,
    // main window hidden) it first returns to a fresh main window.
    void ContinueButtonImageClick();
    // Right button: ends the installer.
    void ExitButtonImageClick();

protected:
    std::function<void()> Handler(const std::string& name) override;
    void BeforeShow() override;
    void CloseRequested() override;
    void PaintBackground(HDC dc, const RECT& client) override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    ControlFacts FactsOf(const std::string& control) const override;
    LONG ClientRole() const override { return ROLE_SYSTEM_DIALOG; }
    void DpiChanged() override;

private:
    TCloseDialogForm() = default;
    bool Build(HWND owner);
    // The message label's place and font at the dialog's DPI.
    void LayOutMessage();
    void PlaceAndShape();
    void Shape();

    THighlightImage* icon_ = nullptr;
    THighlightImage* continue_ = nullptr;
    THighlightImage* exit_ = nullptr;
    HWND messageLabel_ = nullptr;
    UniqueFont messageFont_;
    std::string message_;
    std::string continueCaption_;  // the text the left button's picture shows
    int messageCell_ = 0;
    int windowCorner_ = 0;  // corner ellipses as laid out (96 DPI)
    int panelCorner_ = 0;
    COLORREF panelColour_ = RGB(0xFF, 0xFF, 0xFF);
    COLORREF bevelColour_ = RGB(0, 0, 0);
    ChildColours messageColours_;
};

// The window that a dialog shown now sits over: the main window when it is
// visible, otherwise the progress window (null when neither exists).
HWND DialogReferenceWindow();

// Shows a fresh dialog modally: the "exit" picture, then `sendEvent` (the
// calling window's telemetry, if any), then the kind and the message. Returns
// when the dialog has closed; its answer is carried out by the dialog.
void ShowCloseDialog(state::DialogKind kind, const std::string& message,
                     const std::function<void()>& sendEvent = {});

}  // namespace tovarin::ui
