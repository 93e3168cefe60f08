#pragma once
// Where the exit confirmation dialog goes: over its reference window, kept on
// the screen.
#include <windows.h>

namespace tovarin::ui {

// The dialog's top-left corner for a reference window rectangle (outer edges,
// screen coordinates), the dialog's outer size and the screen's size.
POINT PlaceDialog(const RECT& reference, SIZE dialog, SIZE screen);

}  // namespace tovarin::ui
