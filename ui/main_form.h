#pragma once
// TMainForm: the installer's main window. The Install button, the close
// control, the agreement box with its link, and the options panel with the
// install directory and the two options. Owns the user's choices in the
// install state and hands over to the progress window.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/install_state.h"
#include "skin/skin_form.h"

namespace tovarin::ui {

inline constexpr char kBrowseTitle[] = "选择安装目录";

class InstallFlow;

class TMainForm : public skin::SkinForm {
public:
    // A fresh main window with every initial value, hidden and centred; it
    // reports Install, the dialog's answers and the close command to `flow`.
    static std::unique_ptr<TMainForm> Create(InstallFlow& flow);
    ~TMainForm() override;

    bool AgreementAccepted() const { return agreementAccepted_; }
    bool OptionPanelShown() const { return optionPanelShown_; }
    HWND CustomPathEdit() const { return pathEdit_.get(); }

    void ChangeInstallImage(const std::string& name);
    void ChangeOptionButtonImage(const std::string& name);
    void popDialog(state::DialogKind kind, const std::string& message);

    // Handlers, named after the control and the event.
    void CloseImageMouseEnter();
    void CloseImageMouseLeave();
    void CloseImageMouseDown();
    void CloseImageClick();
    void InstallImageMouseEnter();
    void InstallImageMouseLeave();
    void InstallImageMouseDown();
    void InstallImageClick();
    void OptionAgreeImageClick();
    void OptionAgreeImageMouseEnter();
    void OptionAgreeImageMouseLeave();
    void OptionAgreeLabelClick();
    void CustomPathImageClick();
    void CustomPathLabelClick();
    void OptionShortcutImageClick();
    void OptionShortcutImageMouseEnter();
    void OptionShortcutImageMouseLeave();
    void OptionOpenAppImageClick();
    void OptionOpenAppImageMouseEnter();
    void OptionOpenAppImageMouseLeave();
    void InstallPathOpenImageClick();
    void InstallPathOpenImageMouseEnter();
    void InstallPathOpenImageMouseLeave();
    void CustomPathEditChange();

protected:
    std::function<void()> Handler(const std::string& name) override;
    void CloseRequested() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    skin::ControlFacts FactsOf(const std::string& control) const override;
    void DpiChanged() override;

private:
    explicit TMainForm(InstallFlow& flow) : flow_(flow) {}
    bool Build();
    // The path edit's place and font, and the collapsed height, at the form's DPI.
    void LayOutPathEdit();
    void FormCreate();
    void ToggleOptionPanel();
    void SetOptionPanelVisible(bool visible);
    void SetPathEditText(const std::string& text);

    InstallFlow& flow_;
    skin::THighlightImage* closeImage_ = nullptr;
    skin::THighlightImage* installImage_ = nullptr;
    skin::THighlightImage* customPathImage_ = nullptr;
    skin::THighlightImage* optionAgreeImage_ = nullptr;
    skin::THighlightImage* onePixLine_ = nullptr;
    skin::THighlightImage* optionShortcutImage_ = nullptr;
    skin::THighlightImage* optionOpenAppImage_ = nullptr;
    skin::THighlightImage* installPathOpenImage_ = nullptr;
    std::vector<skin::THighlightImage*> optionPanel_;
    int collapsedHeight_ = 0;  // the client height without the options panel
    std::function<void()> pathEditChange_;
    UniqueFont pathFont_;
    skin::ChildColours pathColours_;
    UniqueWindow pathEdit_;  // goes before its font and brush

    bool agreementAccepted_ = true;
    bool optionPanelShown_ = false;
};

}  // namespace tovarin::ui
