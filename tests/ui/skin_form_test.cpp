#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/close_dialog.h"
#include "skin/skin_form.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

// A form with two overlapping controls and a hidden one on top of both.
class TestForm : public SkinForm {
public:
    TestForm() {
        FormStyle style;
        style.className = "TovarinTestForm";
        style.title = "test";
        style.clientWidth = 200;
        style.clientHeight = 100;
        created = CreateWindowOf(style, nullptr);
        lower = &AddImage("lower", 0, 0, 100, 100);
        upper = &AddImage("upper", 50, 0, 100, 100);
        hidden = &AddImage("hidden", 0, 0, 200, 100);
        hidden->SetVisible(false);
        for (THighlightImage* c : {lower, upper, hidden}) {
            c->OnMouseEnter = [this](THighlightImage& s) { log.push_back("enter " + s.Name()); };
            c->OnMouseLeave = [this](THighlightImage& s) { log.push_back("leave " + s.Name()); };
            c->OnClick = [this](THighlightImage& s) { log.push_back("click " + s.Name()); };
            c->OnMouseDown = [this](THighlightImage& s, MouseButton b) {
                log.push_back("down " + s.Name() + " " + std::to_string(static_cast<int>(b)));
            };
        }
    }

    void Send(UINT msg, int x, int y) { SendMessageW(Handle(), msg, 0, MAKELPARAM(x, y)); }
    void Press(UINT down, UINT up, int x, int y, int upX, int upY) {
        Send(down, x, y);
        Send(up, upX, upY);
    }

    bool created = false;
    THighlightImage* lower = nullptr;
    THighlightImage* upper = nullptr;
    THighlightImage* hidden = nullptr;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST(SkinForm, ClientAreaHasTheLaidOutSizeInsideAOnePixelFrame) {
    TestForm form;
    ASSERT_TRUE(form.created);
    EXPECT_EQ(form.ClientSize().cx, 200);
    EXPECT_EQ(form.ClientSize().cy, 100);
    RECT r{};
    GetWindowRect(form.Handle(), &r);
    EXPECT_EQ(r.right - r.left, 202);
    form.MoveTo(30, 40);
    form.SetClientSize(200, 140);
    GetWindowRect(form.Handle(), &r);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(form.ClientSize().cy, 140);
}

TEST(SkinForm, PointerMovesRaiseLeaveThenEnterOnTheTopmostVisibleControl) {
    TestForm form;
    form.Send(WM_MOUSEMOVE, 10, 10);
    form.Send(WM_MOUSEMOVE, 20, 10);  // same control: nothing
    form.Send(WM_MOUSEMOVE, 60, 10);  // both: the upper one
    form.Send(WM_MOUSEMOVE, 180, 10);
    form.Send(WM_MOUSEMOVE, 199, 10);
    EXPECT_EQ(form.log, (Log{"enter lower", "leave lower", "enter upper", "leave upper"}));
    form.log.clear();
    form.Send(WM_MOUSEMOVE, 10, 10);
    form.Send(WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(form.log, (Log{"enter lower", "leave lower"}));
}

TEST(SkinForm, AControlWithoutEnterHandlerIgnoresThePointer) {
    TestForm form;
    form.lower->OnMouseEnter = nullptr;
    form.Send(WM_MOUSEMOVE, 10, 10);
    form.Send(WM_MOUSEMOVE, 60, 10);
    EXPECT_EQ(form.log, (Log{"leave lower", "enter upper"}));
}

TEST(SkinForm, AnyButtonPressesButOnlyALeftReleaseInsideClicks) {
    TestForm form;
    form.Press(WM_LBUTTONDOWN, WM_LBUTTONUP, 10, 10, 12, 12);
    form.Press(WM_RBUTTONDOWN, WM_RBUTTONUP, 10, 10, 10, 10);
    form.Press(WM_MBUTTONDOWN, WM_MBUTTONUP, 10, 10, 10, 10);
    form.Press(WM_LBUTTONDOWN, WM_LBUTTONUP, 10, 10, 190, 10);  // released elsewhere
    EXPECT_EQ(form.log, (Log{"down lower 0", "click lower", "down lower 1", "down lower 2", "down lower 0"}));
}

TEST(SkinForm, HiddenControlsTakeNoInput) {
    TestForm form;
    form.upper->SetVisible(false);
    form.Press(WM_LBUTTONDOWN, WM_LBUTTONUP, 120, 10, 120, 10);
    form.Press(WM_LBUTTONDOWN, WM_LBUTTONUP, 60, 10, 60, 10);
    EXPECT_EQ(form.log, (Log{"down lower 0", "click lower"}));
}

TEST(SkinForm, AClickThatDestroysItsFormReturnsSafely) {
    auto form = std::make_unique<TestForm>();
    HWND hwnd = form->Handle();
    form->lower->OnClick = [&form](THighlightImage&) { form.reset(); };
    SendMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 10));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(form);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(SkinForm, PaintsWithoutPicturesAndWithMissingOnes) {
    TestForm form;
    form.lower->ShowBitmap("nosuchpicture");
    EXPECT_EQ(form.lower->PictureName(), "nosuchpicture");
    EXPECT_FALSE(form.lower->CurrentPicture());
    form.upper->SetFill(RGB(1, 2, 3));
    form.Show();
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(form.Handle());
    EXPECT_EQ(GetPixel(dc, 120, 50), RGB(1, 2, 3));
    ReleaseDC(form.Handle(), dc);
}

// Samples of area on screen, every third pixel.
std::vector<COLORREF> Pixels(HWND window, const RECT& area) {
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window);
    for (int y = area.top; y < area.bottom; y += 3) {
        for (int x = area.left; x < area.right; x += 3) pixels.push_back(GetPixel(dc, x, y));
    }
    ReleaseDC(window, dc);
    return pixels;
}

// Only the invalid area is composed: it must come out as in a full repaint,
// for a plain form and for the dialog that clips its panel to a region.
TEST(SkinForm, ARepaintOfPartOfTheWindowDrawsWhatAFullOneDoes) {
    TestForm form;
    form.upper->SetFill(RGB(1, 2, 3));
    std::unique_ptr<TCloseDialogForm> dialog = TCloseDialogForm::Create(nullptr);
    ASSERT_TRUE(dialog);
    RECT dialogClient{};
    GetClientRect(dialog->Handle(), &dialogClient);
    const struct {
        SkinForm* form;
        RECT area;
    } rows[] = {{&form, {130, 40, 170, 70}},
                {dialog.get(), {dialogClient.right - 40, dialogClient.bottom - 30, dialogClient.right, dialogClient.bottom}}};
    for (const auto& row : rows) {
        row.form->Show();
        RedrawWindow(row.form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const std::vector<COLORREF> full = Pixels(row.form->Handle(), row.area);
        HDC dc = GetDC(row.form->Handle());
        SetDCBrushColor(dc, RGB(250, 0, 250));
        FillRect(dc, &row.area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        ReleaseDC(row.form->Handle(), dc);
        RedrawWindow(row.form->Handle(), &row.area, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(Pixels(row.form->Handle(), row.area), full) << row.area.left;
        row.form->Hide();
    }
}

}  // namespace
}  // namespace tovarin::ui
