#pragma once
// The application's window references: one main window and at most one
// progress window at a time, owned by the application object.
#include <windows.h>

#include <functional>

namespace tovarin::core {
class InstallHost;
}

namespace tovarin::ui {

class TMainForm;
class TDownloadForm;

// The current main window; null when there is none.
TMainForm* MainForm();

// Destroys the current main window, if any, and creates and shows a fresh one
// with all its initial values. Null when the system refuses the window.
TMainForm* RecreateMainForm();

// The progress window; null before the first Install.
TDownloadForm* ProgressForm();
HWND ProgressWindowHandle();

// Destroys the progress window of an earlier attempt, if any, then creates a
// new one whose creation starts the worker through startWorker (the real
// worker when empty), and shows it, which hides the main window. Null when
// the system refuses the window; the main window then stays.
TDownloadForm* ReplaceProgressForm(const std::function<void(core::InstallHost&)>& startWorker = {});

// Hides the progress window (the dialog's retry path); it stays in existence
// until the next Install replaces it.
void CloseProgressWindow();

}  // namespace tovarin::ui
