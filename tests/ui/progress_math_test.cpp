// The progress bar's arithmetic over the thresholds, the rounding, the 99% rule
// and the cap.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "skin/layout.h"
#include "ui/progress_math.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

// The track as the progress window lays it out.
const RECT kTrack = [] {
    const std::optional<Layout> layout = LoadLayout("PROGRESSWINDOWLAYOUT");
    return layout ? layout->Bounds("ProgressBarImage") : RECT{};
}();

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(543.5), 544);
    EXPECT_EQ(RoundHalfEven(542.5), 542);
    EXPECT_EQ(RoundHalfEven(2.4999999), 2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
}

TEST(ProgressStep, NothingBelowTheThresholds) {
    const double nothing[] = {0.0, -0.5, 0.01, 0.005, 0.0149,
                              std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()};
    for (double f : nothing) {
        const ProgressStep step = ComputeProgressStep(f, 0);
        EXPECT_FALSE(step.draw) << f;
        EXPECT_FALSE(step.caption) << f;
    }
    // Just above 0.015: percent rounds to 2, width 8: the first drawn report.
    EXPECT_TRUE(ComputeProgressStep(0.0151, 0).draw);
}

TEST(ProgressStep, TwoPercentDrawsElevenPixelsFromTheHead) {
    const ProgressStep step = ComputeProgressStep(0.02, 0);
    ASSERT_TRUE(step.draw);
    EXPECT_EQ(step.caption, "2%");
    EXPECT_EQ(step.percent, 2);
    EXPECT_EQ(step.width, 11);
    EXPECT_FALSE(step.showTail);
    const FillRects rects = FillRectsFor(kTrack, step.width);
    // x 107 to 114 inclusive; the top row at y 230, the body 231 to 239.
    EXPECT_EQ((std::vector<LONG>{rects.top.left, rects.top.top, rects.top.right, rects.top.bottom}),
              (std::vector<LONG>{107, 230, 115, 231}));
    EXPECT_EQ((std::vector<LONG>{rects.body.left, rects.body.top, rects.body.right, rects.body.bottom}),
              (std::vector<LONG>{107, 231, 115, 240}));
}

TEST(ProgressStep, ARepeatedPercentageKeepsTheCaptionButRedraws) {
    // 0.372 and 0.368 both round to 37; widths 202 and 200.
    const ProgressStep first = ComputeProgressStep(0.372, 2);
    EXPECT_EQ(first.caption, "37%");
    const ProgressStep again = ComputeProgressStep(0.368, first.percent);
    EXPECT_TRUE(again.draw);
    EXPECT_FALSE(again.caption);
    EXPECT_EQ(again.percent, 37);
    EXPECT_EQ(again.width, 200);
}

TEST(ProgressStep, NinetyNineUntilTheBarIsFull) {
    const ProgressStep almost = ComputeProgressStep(0.996, 98);
    EXPECT_EQ(almost.caption, "99%");
    EXPECT_EQ(almost.width, 541);  // 542 capped
    EXPECT_TRUE(almost.showTail);

    // Width 543: tail shown, fill stops at 644, still 99%.
    const ProgressStep tail = ComputeProgressStep(0.9985, 99);
    EXPECT_EQ(tail.percent, 99);
    EXPECT_FALSE(tail.caption);  // unchanged from the last report
    EXPECT_TRUE(tail.showTail);
    EXPECT_EQ(tail.width, 541);
    EXPECT_EQ(FillRectsFor(kTrack, tail.width).body.right, 645);

    // 543.5 / 544 rounds to 544 (even): complete.
    EXPECT_EQ(ComputeProgressStep(543.5 / 544, 99).caption, kCompleteText);
    // Just below it rounds to 543: 99%.
    EXPECT_EQ(ComputeProgressStep(std::nextafter(543.5 / 544, 0.0), 98).caption, "99%");
}

TEST(ProgressStep, OneIsCompleteWithTheWholeBar) {
    const ProgressStep step = ComputeProgressStep(1.0, 99);
    EXPECT_EQ(step.percent, 100);
    EXPECT_EQ(step.caption, kCompleteText);
    EXPECT_TRUE(step.showTail);
    const FillRects rects = FillRectsFor(kTrack, step.width);
    EXPECT_EQ(rects.body.left, 107);
    EXPECT_EQ(rects.body.right, 645);  // x 107 to 644, meeting the tail at 644
    // "Complete..." is set again on every full report.
    EXPECT_EQ(ComputeProgressStep(1.0, 100).caption, kCompleteText);
}

TEST(ProgressStep, AboveOneCountsAsOne) {
    for (double f : {1.0000001, 1.01, 1.5, 3.0, std::numeric_limits<double>::infinity()}) {
        const ProgressStep step = ComputeProgressStep(f, 99);
        EXPECT_EQ(step.percent, 100) << f;
        EXPECT_EQ(step.caption, kCompleteText) << f;
        EXPECT_EQ(step.width, 541) << f;
    }
}

TEST(ProgressStep, EveryPercentageAppearsOnTheWayUp) {
    // Reports of every byte of a 10,000-byte extraction: captions 2% .. 99%
    // each once, then "Complete..." (set again by each full report), and the
    // width never shrinks.
    int last = 0;
    int lastWidth = 0;
    std::vector<std::string> captions;
    for (int done = 1; done <= 10000; ++done) {
        const ProgressStep step = ComputeProgressStep(done / 10000.0, last);
        if (!step.draw) continue;
        if (step.caption && (captions.empty() || captions.back() != *step.caption)) captions.push_back(*step.caption);
        EXPECT_GE(step.width, lastWidth);
        last = step.percent;
        lastWidth = step.width;
    }
    ASSERT_EQ(captions.size(), 99u);
    EXPECT_EQ(captions.front(), "2%");
    EXPECT_EQ(captions[97], "99%");
    EXPECT_EQ(captions.back(), kCompleteText);
}

}  // namespace
}  // namespace tovarin::ui
