#include "skin/fill_bar.h"

#include <cmath>

namespace tovarin::skin {

int FillWidth(double fraction, int width) {
    if (!(fraction > 0) || width <= 0) return 0;  // NaN too
    if (fraction >= 1) return width;
    return static_cast<int>(std::floor(fraction * width));
}

FillBar::FillBar(THighlightImage& image, const LayoutControl& control) : image_(image) {
    track_ = control.Colour("track", track_);
    fill_ = control.Colour("fill", fill_);
    image.SetDrawing([this](HDC dc, const RECT& bounds) { Paint(dc, bounds); });
}

void FillBar::SetFraction(double fraction) {
    const int width = Width(image_.Bounds());
    const bool redraw = FillWidth(fraction, width) != FillWidth(fraction_, width);
    fraction_ = fraction;
    if (redraw) image_.Redraw();
}

std::string FillBar::PercentText() const {
    return std::to_string(FillWidth(fraction_, 100)) + "%";
}

void FillBar::Paint(HDC dc, const RECT& bounds) const {
    SetDCBrushColor(dc, track_);
    FillRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    const int width = FillWidth(fraction_, Width(bounds));
    if (width <= 0) return;
    const RECT done{bounds.left, bounds.top, bounds.left + width, bounds.bottom};
    SetDCBrushColor(dc, fill_);
    FillRect(dc, &done, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

}  // namespace tovarin::skin
