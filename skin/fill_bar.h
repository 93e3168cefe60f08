#pragma once
// FillBar: a progress bar drawn from two colours (layout kind "bar": track=,
// fill=), for windows that have no bar pictures. It rides on a THighlightImage
// like TextButton; its value is the fraction done.
#include <windows.h>

#include <string>

#include "skin/highlight_image.h"
#include "skin/layout.h"

namespace tovarin::skin {

// The fill's width in pixels of a track `width` wide: the fraction, clamped
// to 0..1, rounded down, so a bar is full only when the work is.
int FillWidth(double fraction, int width);

class FillBar {
public:
    FillBar(THighlightImage& image, const LayoutControl& control);
    FillBar(const FillBar&) = delete;
    FillBar& operator=(const FillBar&) = delete;

    const std::string& Name() const { return image_.Name(); }
    THighlightImage& Image() { return image_; }
    double Fraction() const { return fraction_; }
    // Redraws only when the drawn width changes.
    void SetFraction(double fraction);
    // The whole percentage a screen reader is told ("42%").
    std::string PercentText() const;

private:
    void Paint(HDC dc, const RECT& bounds) const;

    THighlightImage& image_;
    COLORREF track_ = RGB(0xEE, 0xEE, 0xEE);
    COLORREF fill_ = RGB(0, 0, 0);
    double fraction_ = 0;
};

}  // namespace tovarin::skin
