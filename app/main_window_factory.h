#pragma once
#include <windows.h>

namespace tovarin::app {

// Creates and shows the installer's main window; null when it cannot be made.
HWND CreateInstallerMainWindow(HINSTANCE instance);

}  // namespace tovarin::app
