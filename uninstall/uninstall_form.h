#pragma once
// TUninstallForm: the uninstaller's window. It asks, runs the removal on a
// worker thread behind a bar, then shows how it ended, all in one window in
// the exit confirmation's style. RunUninstallWindow drives it.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/handles.h"
#include "skin/hand_off.h"
#include "skin/skin_form.h"
#include "uninstall/removal_report.h"

namespace tovarin::uninstall {

class TUninstallForm final : public skin::SkinForm {
public:
    enum class Stage { Confirm, Working, Done };

    // A fresh, hidden window at the confirmation; null when the system
    // refuses the window, its layout or the hand-off.
    static std::unique_ptr<TUninstallForm> Create(std::function<bool()> productRunning, RemovalWork work);
    // The same window at its end, showing `text` with the close button only.
    static std::unique_ptr<TUninstallForm> CreateMessage(const std::string& text);
    // Waits for a work still running: nothing it does outlives the window.
    ~TUninstallForm() override;

    Stage CurrentStage() const { return stage_; }
    const std::string& MessageText() const { return message_; }
    // Centred on the primary screen; returns once the user has closed it.
    void RunModal();
    // Ends the hand-over and waits for the work, when it ran. The report: the
    // one shown, the work's own when the window went first, nothing when the
    // user declined.
    std::optional<RemovalReport> Finish();

    void UninstallButtonClick();
    void CancelButtonClick();
    void CloseButtonClick();

protected:
    std::function<void()> Handler(const std::string& name) override;
    void BeforeShow() override;
    void CloseRequested() override;
    void PaintBackground(HDC dc, const RECT& client) override;
    void PaintOverControls(HDC dc) override;
    void DpiChanged() override;
    skin::ControlFacts FactsOf(const std::string& control) const override;
    LONG ClientRole() const override { return ROLE_SYSTEM_DIALOG; }

private:
    TUninstallForm() = default;
    bool Build();
    void LayOutScaled();
    void StartWork();
    void ShowProgress(double fraction);
    void ShowEnd(RemovalReport report);
    void SetMessage(std::string text);
    RECT MessageArea() const;
    void NameChanged(const std::string& control);

    std::function<bool()> productRunning_;
    RemovalWork work_;
    std::shared_ptr<skin::HandOff> handOff_;
    std::thread worker_;
    // Written by the worker before it ends; read once it has been joined.
    std::optional<RemovalReport> workReport_;
    std::optional<RemovalReport> shown_;
    Stage stage_ = Stage::Confirm;
    bool succeeded_ = false;  // the end shows the product's own icon

    skin::THighlightImage* icon_ = nullptr;
    skin::FillBar* bar_ = nullptr;
    skin::TextButton* uninstall_ = nullptr;
    skin::TextButton* cancel_ = nullptr;
    skin::TextButton* close_ = nullptr;
    std::string message_;
    UniqueFont messageFont_;
    COLORREF messageColour_ = 0;
    UniqueIcon productIcon_;
    int windowCorner_ = 0;  // as laid out (96 DPI)
    int panelCorner_ = 0;
    COLORREF panelColour_ = RGB(0xFF, 0xFF, 0xFF);
    COLORREF bevelColour_ = RGB(0, 0, 0);
};

}  // namespace tovarin::uninstall
