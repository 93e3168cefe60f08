#include "ui/app_windows.h"

#include "app/application.h"
#include "ui/download_form.h"
#include "ui/main_form.h"

namespace tovarin::ui {

// Each role holds only windows of its own class.
TMainForm* MainForm() { return static_cast<TMainForm*>(app::WindowOf(app::WindowRole::Main)); }

TMainForm* RecreateMainForm() {
    app::ReplaceWindow(app::WindowRole::Main, [] { return TMainForm::Create(); });
    if (TMainForm* form = MainForm()) form->Show();
    return MainForm();
}

TDownloadForm* ProgressForm() { return static_cast<TDownloadForm*>(app::WindowOf(app::WindowRole::Progress)); }

HWND ProgressWindowHandle() { return ProgressForm() ? ProgressForm()->Handle() : nullptr; }

TDownloadForm* ReplaceProgressForm(const std::function<void(core::InstallHost&)>& startWorker) {
    // The hidden window of an earlier, failed attempt goes first.
    app::ReplaceWindow(app::WindowRole::Progress, [&] { return TDownloadForm::Create(startWorker); });
    if (TDownloadForm* form = ProgressForm()) form->Show();
    return ProgressForm();
}

void CloseProgressWindow() {
    if (TDownloadForm* form = ProgressForm()) form->Hide();
}

}  // namespace tovarin::ui
