#include "app/main_window_factory.h"

#include "ui/app_windows.h"
#include "ui/main_form.h"

namespace tovarin::app {

HWND CreateInstallerMainWindow(HINSTANCE) {
    ui::TMainForm* form = ui::RecreateMainForm();
    return form ? form->Handle() : nullptr;
}

}  // namespace tovarin::app
