#include "skin/rounded_panel.h"

#include "common/handles.h"

namespace tovarin::skin {

void PaintPanel(HDC dc, const RECT& client, const PanelLook& look) {
    UniqueRegion panel(CreateRoundRectRgn(0, 0, client.right, client.bottom, look.corner, look.corner));
    // A clip region is in device units: follow the buffer's moved origin.
    POINT origin{};
    if (panel && GetViewportOrgEx(dc, &origin)) OffsetRgn(panel.get(), origin.x, origin.y);
    const ClipSelection clip(dc, panel.get());
    SetDCBrushColor(dc, look.colour);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, look.bevel);
    const RECT right{client.right - look.bevelWidth, 0, client.right, client.bottom};
    const RECT bottom{0, client.bottom - look.bevelWidth, client.right, client.bottom};
    FillRect(dc, &right, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    FillRect(dc, &bottom, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void RoundWindow(HWND window, int corner) {
    RECT own{};
    GetWindowRect(window, &own);
    // The system owns the region once it is set.
    if (HRGN region = CreateRoundRectRgn(0, 0, own.right - own.left, own.bottom - own.top, corner, corner)) {
        if (!SetWindowRgn(window, region, TRUE)) DeleteObject(region);
    }
}

}  // namespace tovarin::skin
