#include "ui/app_windows.h"

#include <memory>

#include "ui/main_form.h"

namespace tovarin::ui {
namespace {

std::unique_ptr<TMainForm>& MainFormSlot() {
    static std::unique_ptr<TMainForm> form;
    return form;
}

}  // namespace

TMainForm* MainForm() { return MainFormSlot().get(); }

TMainForm* RecreateMainForm() {
    MainFormSlot().reset();
    MainFormSlot() = TMainForm::Create();
    if (MainFormSlot()) MainFormSlot()->Show();
    return MainFormSlot().get();
}

}  // namespace tovarin::ui
