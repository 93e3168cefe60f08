// Stand-in until the progress window exists: the hand-over hides the main
// window and ends the installer. Replaced by the progress window's own file.
#include "app/application.h"
#include "ui/app_windows.h"
#include "ui/main_form.h"
#include "ui/progress_window.h"

namespace tovarin::ui {

void ShowProgressWindow() {
    if (TMainForm* main = MainForm()) main->Hide();
    app::Terminate();
}

HWND ProgressWindowHandle() { return nullptr; }

void CloseProgressWindow() {}

}  // namespace tovarin::ui
