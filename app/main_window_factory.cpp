#include "app/main_window_factory.h"

#include "app/placeholder_window.h"

namespace tovarin::app {

HWND CreateInstallerMainWindow(HINSTANCE instance) { return CreatePlaceholderMainWindow(instance); }

}  // namespace tovarin::app
