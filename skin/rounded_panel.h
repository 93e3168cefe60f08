#pragma once
// The dialogs' look: a window cut to a rounded rectangle, filled with a
// panel of one colour and a raised one-pixel bevel on its right and bottom.
#include <windows.h>

namespace tovarin::skin {

struct PanelLook {
    COLORREF colour = RGB(0xFF, 0xFF, 0xFF);
    COLORREF bevel = RGB(0, 0, 0);
    int corner = 0;  // the corner ellipse, in device pixels
    int bevelWidth = 1;
};

// Paints the panel over the whole client area; the dc may be a buffer whose
// origin has been moved.
void PaintPanel(HDC dc, const RECT& client, const PanelLook& look);

// Cuts the window to a rounded rectangle of its current size.
void RoundWindow(HWND window, int corner);

}  // namespace tovarin::skin
