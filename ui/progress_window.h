#pragma once
// What the other windows need of the progress window.
#include <windows.h>

namespace tovarin::ui {

// Install passed its checks: replace an earlier progress window, create a new
// one (which starts the extraction) and show it, which hides the main window.
void ShowProgressWindow();

// The progress window; null when there is none.
HWND ProgressWindowHandle();

// Hides the progress window (the dialog's retry path); it stays in existence
// until the next Install replaces it.
void CloseProgressWindow();

}  // namespace tovarin::ui
