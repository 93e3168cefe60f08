// Stand-in until the progress window exists: the hand-over hides the main
// window and ends the installer a moment later, so that the start event's
// sender thread has time to deliver it. Replaced by the progress window's own
// file.
#include "app/application.h"
#include "ui/app_windows.h"
#include "ui/main_form.h"
#include "ui/progress_window.h"

namespace tovarin::ui {
namespace {

constexpr UINT kEndDelayMs = 3000;

void CALLBACK EndInstaller(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    app::Terminate();
}

}  // namespace

void ShowProgressWindow() {
    if (TMainForm* main = MainForm()) main->Hide();
    SetTimer(nullptr, 0, kEndDelayMs, EndInstaller);
}

HWND ProgressWindowHandle() { return nullptr; }

void CloseProgressWindow() {}

}  // namespace tovarin::ui
