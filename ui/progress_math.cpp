#include "ui/progress_math.h"

#include <cmath>

namespace tovarin::ui {

long long RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double rest = value - floor;
    auto result = static_cast<long long>(floor);
    if (rest > 0.5 || (rest == 0.5 && (result % 2 != 0))) ++result;
    return result;
}

ProgressStep ComputeProgressStep(double fraction, int lastPercent) {
    ProgressStep step;
    // Not greater than 0 also catches NaN.
    if (!(fraction > 0)) return step;
    // The extraction can report more bytes than its total; the bar is full then.
    if (fraction > 1) fraction = 1;
    int percent = static_cast<int>(RoundHalfEven(100 * fraction));
    int width = static_cast<int>(RoundHalfEven(kTrackWidth * fraction));
    if (width <= 3 || percent <= 1) return step;
    // "100%" only with a full bar.
    if (percent == 100 && width < kTrackWidth) percent = 99;

    step.draw = true;
    if (percent == 100) {
        step.caption = kCompleteText;
    } else if (percent != lastPercent) {
        step.caption = std::to_string(percent) + "%";
    }
    step.percent = percent;
    if (width > kFillCap) {
        step.showTail = true;
        width = kFillCap;
    }
    step.width = width;
    return step;
}

FillRects FillRectsFor(const RECT& track, int width) {
    const int left = track.left + kFillOffset;
    const int right = track.left + width;
    return {{left, track.top, right, track.top + 1}, {left, track.top + 1, right, track.bottom}};
}

}  // namespace tovarin::ui
