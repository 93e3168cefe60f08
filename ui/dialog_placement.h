#pragma once
// Where the exit confirmation dialog goes: over its reference window, kept on
// the screen.
#include <windows.h>

#include "skin/layout.h"

namespace tovarin::ui {

// The dialog's top-left corner for a reference window rectangle (outer edges,
// screen coordinates), the dialog's outer size and the screen's size, in
// device pixels; the offsets and margins scale with the dialog's DPI.
POINT PlaceDialog(const RECT& reference, SIZE dialog, SIZE screen, int dpi = skin::kLayoutDpi);

}  // namespace tovarin::ui
