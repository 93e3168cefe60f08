#include "ui/dialog_placement.h"

namespace tovarin::ui {

POINT PlaceDialog(const RECT& reference, SIZE dialog, SIZE screen) {
    LONG left = reference.left + 200;
    LONG top = reference.top + 154;
    if (left < 10) left = 10;
    if (top < 10) top = 10;
    // After the first clamp: on a screen too small for both, these win.
    if (left > screen.cx - dialog.cx - 10) left = screen.cx - dialog.cx - 10;
    if (top > screen.cy - dialog.cy - 40) top = screen.cy - dialog.cy - 40;
    return {left, top};
}

}  // namespace tovarin::ui
