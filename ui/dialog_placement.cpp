#include "ui/dialog_placement.h"

namespace tovarin::ui {

POINT PlaceDialog(const RECT& reference, SIZE dialog, SIZE screen, int dpi) {
    const LONG margin = skin::ScaleToDpi(10, dpi), bottomMargin = skin::ScaleToDpi(40, dpi);
    LONG left = reference.left + skin::ScaleToDpi(200, dpi);
    LONG top = reference.top + skin::ScaleToDpi(154, dpi);
    if (left < margin) left = margin;
    if (top < margin) top = margin;
    // After the first clamp: on a screen too small for both, these win.
    if (left > screen.cx - dialog.cx - margin) left = screen.cx - dialog.cx - margin;
    if (top > screen.cy - dialog.cy - bottomMargin) top = screen.cy - dialog.cy - bottomMargin;
    return {left, top};
}

}  // namespace tovarin::ui
