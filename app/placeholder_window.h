#pragma once
#include <windows.h>

namespace tovarin::app {

// A plain window with the application title, standing in for the main window
// until the skinned one is wired in. Closing it ends the application.
HWND CreatePlaceholderMainWindow(HINSTANCE instance);

}  // namespace tovarin::app
