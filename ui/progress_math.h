#pragma once
// The progress bar's arithmetic: what one progress report changes on screen.
// Pure, so that every threshold can be checked without a window.
#include <windows.h>

#include <optional>
#include <string>

namespace tovarin::ui {

// The bar's width in the arithmetic (the track picture's, ProgressBarImage).
inline constexpr int kTrackWidth = 544;
// The fill starts right of the head picture and stops where the tail begins.
inline constexpr int kFillOffset = 3;
inline constexpr int kFillCap = 541;
inline constexpr char kCompleteText[] = "Complete...";

// Nearest integer, halves to the even neighbour (independent of the FPU mode).
long long RoundHalfEven(double value);

struct ProgressStep {
    bool draw = false;     // false: the report changes nothing at all
    int percent = 0;       // becomes LastPercent
    int width = 0;         // the fill's right edge is the track's left + width (exclusive)
    bool showTail = false;
    std::optional<std::string> caption;  // the new text; none leaves it alone
};

// One report of `fraction` (0..1 of the extraction done), given the percentage
// of the last drawn report. A fraction above 1 counts as 1.
ProgressStep ComputeProgressStep(double fraction, int lastPercent);

// The two rectangles of a fill of `width` on `track` (right and bottom edges
// exclusive): the top row and the body.
struct FillRects {
    RECT top;
    RECT body;
};
FillRects FillRectsFor(const RECT& track, int width);

}  // namespace tovarin::ui
