#include <gtest/gtest.h>

#include "ui/dialog_placement.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

constexpr SIZE kDialog{354, 169};  // 352 x 167 and the 1-pixel frame
constexpr SIZE kScreen{1024, 768};

RECT WindowAt(LONG left, LONG top) { return {left, top, left + 752, top + 502}; }

void ExpectAt(POINT p, LONG x, LONG y) {
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
}

TEST(PlaceDialog, SitsOffsetFromTheReferenceWindow) {
    ExpectAt(PlaceDialog(WindowAt(136, 133), kDialog, kScreen), 336, 287);
}

// At 150 %: offsets 300, 231 and margins 15, 60.
TEST(PlaceDialog, ScalesOffsetsAndMarginsWithTheDpi) {
    const SIZE dialog{530, 252}, screen{1920, 1080};
    ExpectAt(PlaceDialog({100, 100, 1229, 854}, dialog, screen, 144), 400, 331);
    ExpectAt(PlaceDialog({-900, -900, 0, 0}, dialog, screen, 144), 15, 15);
    ExpectAt(PlaceDialog({1800, 1000, 2900, 1800}, dialog, screen, 144), 1920 - 530 - 15, 1080 - 252 - 60);
}

TEST(PlaceDialog, KeepsTenPixelsFromTheTopLeft) {
    ExpectAt(PlaceDialog(WindowAt(-500, 20), kDialog, kScreen), 10, 174);
    ExpectAt(PlaceDialog(WindowAt(-1000, -1000), kDialog, kScreen), 10, 10);
    // Exactly at the limit stays.
    ExpectAt(PlaceDialog(WindowAt(-190, -144), kDialog, kScreen), 10, 10);
}

TEST(PlaceDialog, KeepsTenPixelsRightAndFortyBottom) {
    const POINT p = PlaceDialog(WindowAt(1000, 740), kDialog, kScreen);
    ExpectAt(p, 660, 559);
    EXPECT_EQ(kScreen.cx - (p.x + kDialog.cx), 10);
    EXPECT_EQ(kScreen.cy - (p.y + kDialog.cy), 40);
    // The limits themselves are allowed.
    ExpectAt(PlaceDialog(WindowAt(460, 405), kDialog, kScreen), 660, 559);
}

TEST(PlaceDialog, OnAScreenTooSmallTheRightAndBottomLimitsWin) {
    ExpectAt(PlaceDialog(WindowAt(-500, -500), kDialog, {300, 150}), 300 - 354 - 10, 150 - 169 - 40);
}

}  // namespace
}  // namespace tovarin::ui
