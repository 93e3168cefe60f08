// The layout reader: what a table gives the forms, and the tables it refuses.
#include <gtest/gtest.h>

#include "skin/layout.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

TEST(Layout, ReadsColumnsAttributesAndParentOffsets) {
    const std::optional<Layout> layout = Layout::Parse(
        "# comment\n"
        "Form window 0 0 300 200 title=\"Two words\" frame=#0A0B0C application\r\n"
        "\n"
        "Panel panel 0 150 300 50 hidden  # trailing comment\n"
        "Box image 20 10 14 14 parent=Panel on=BoxClick,BoxMouseEnter font=\"A b,C\" size=16px corner=9\n");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->Window().Text("title"), "Two words");
    EXPECT_EQ(layout->Window().Colour("frame", 0), RGB(0x0A, 0x0B, 0x0C));
    EXPECT_TRUE(layout->Window().Has("application"));
    ASSERT_EQ(layout->Controls().size(), 2u);
    const LayoutControl& box = *layout->Find("Box");
    EXPECT_EQ(box.z, 2);
    const RECT r = layout->Bounds(box);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{20, 160, 34, 174}));
    EXPECT_EQ(box.List("on"), (std::vector<std::string>{"BoxClick", "BoxMouseEnter"}));
    EXPECT_EQ(box.List("font"), (std::vector<std::string>{"A b", "C"}));
    EXPECT_EQ(layout->FontCell(box), 16);
    EXPECT_EQ(box.Number("corner", 0), 9);
    EXPECT_EQ(box.Colour("missing", RGB(1, 2, 3)), RGB(1, 2, 3));
}

// At another display scale edges are scaled, not sizes, halves away from zero.
TEST(Layout, ScalesEdgesAndFontCellsToTheDpi) {
    std::optional<Layout> layout = Layout::Parse(
        "Form window 0 0 300 200\n"
        "Panel panel 0 150 300 50\n"
        "Box image 20 10 14 14 parent=Panel size=16px\n");
    ASSERT_TRUE(layout);
    layout->SetDpi(120);
    const RECT r = layout->Bounds("Box");
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{25, 200, 43, 218}));
    const RECT laidOut = layout->LaidOut(*layout->Find("Box"));
    EXPECT_EQ(laidOut.left, 20);
    EXPECT_EQ(layout->FontCell(*layout->Find("Box")), 20);
    layout->SetDpi(144);
    EXPECT_EQ(layout->Bounds("Box").right, 51);
    EXPECT_EQ(layout->Scale(-3), -5);
}

TEST(Layout, RefusesWhatIsNotATable) {
    const struct {
        const char* text;
        const char* error;
    } rows[] = {
        {"", "line 0: no window line"},
        {"Form window 0 0 300\n", "line 1: fewer than six columns"},
        {"Form window 0 0 3x0 200\n", "line 1: not a rectangle: 3x0"},
        {"Form window 0 0 -1 200\n", "line 1: not a rectangle: -1"},
        {"Box image 0 0 1 1\nForm window 0 0 1 1\n", "line 1: the window line must come first"},
        {"Form window 0 0 1 1\nForm window 0 0 1 1\n", "line 2: the window line must come first"},
        {"Form window 0 0 1 1\nBox image 0 0 1 1\nBox image 0 0 1 1\n", "line 3: a second Box"},
        {"Form window 0 0 1 1\nBox image 0 0 1 1 parent=Panel\n", "line 2: unknown parent Panel"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(Layout::Parse(row.text, &error)) << row.text;
        EXPECT_EQ(error, row.error) << row.text;
    }
}

}  // namespace
}  // namespace tovarin::ui
