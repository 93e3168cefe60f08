#pragma once
// The application's window references: the one main window at a time.
#include <windows.h>

namespace tovarin::ui {

class TMainForm;

// The current main window; null when there is none.
TMainForm* MainForm();

// Destroys the current main window, if any, and creates and shows a fresh one
// with all its initial values. Null when the system refuses the window.
TMainForm* RecreateMainForm();

}  // namespace tovarin::ui
