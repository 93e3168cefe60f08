#pragma once
// The display resolution a window is shown at. The installer declares itself
// per-monitor DPI aware; the functions that tell a window's own DPI are newer
// than Windows 7, so they are looked up at run time.
#include <windows.h>

namespace tovarin::skin {

// The DPI of the window's monitor where the system can tell it (Windows 10
// 1607 on), otherwise the screen's (the system DPI). Null: the system DPI.
int WindowDpi(HWND window);

}  // namespace tovarin::skin
