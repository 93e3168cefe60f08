#include "skin/text_button.h"

#include <algorithm>

#include "common/text.h"

namespace tovarin::skin {
namespace {

// `share` (of 100) of the way from one colour to another.
COLORREF Mix(COLORREF from, COLORREF to, int share) {
    const auto channel = [share](int a, int b) { return a + (b - a) * share / 100; };
    return RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
               channel(GetBValue(from), GetBValue(to)));
}

}  // namespace

ButtonColours ColoursFor(const ButtonColours& normal, ButtonState state) {
    if (state == ButtonState::Normal) return normal;
    const int share = state == ButtonState::Hover ? 12 : 24;
    // An outlined button takes on its outline's tint; a filled one darkens.
    const COLORREF toward = normal.outline != normal.fill ? normal.outline : RGB(0, 0, 0);
    ButtonColours c = normal;
    c.fill = Mix(normal.fill, toward, share);
    if (normal.outline == normal.fill) c.outline = c.fill;
    return c;
}

TextButton::TextButton(THighlightImage& image, const LayoutControl& control) : image_(image) {
    colours_.fill = control.Colour("fill", colours_.fill);
    colours_.outline = control.Colour("outline", colours_.fill);
    colours_.text = control.Colour("textcolour", colours_.text);
    corner_ = control.Number("corner", 0);
    const auto enter = image.OnMouseEnter, leave = image.OnMouseLeave;
    const auto down = image.OnMouseDown;
    const auto click = image.OnClick;
    image.OnMouseEnter = [this, enter](THighlightImage& s) {
        SetState(ButtonState::Hover);
        if (enter) enter(s);
    };
    image.OnMouseLeave = [this, leave](THighlightImage& s) {
        SetState(ButtonState::Normal);
        if (leave) leave(s);
    };
    image.OnMouseDown = [this, down](THighlightImage& s, MouseButton b) {
        SetState(ButtonState::Pressed);
        if (down) down(s, b);
    };
    // As the picture buttons: the normal look first, then the action.
    if (click) {
        image.OnClick = [this, click](THighlightImage& s) {
            SetState(ButtonState::Normal);
            click(s);
        };
    }
    image.SetDrawing([this](HDC dc, const RECT& bounds) { Paint(dc, bounds); });
}

void TextButton::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    image_.Redraw();
}

void TextButton::SetScale(UniqueFont font, int corner, int outlineWidth) {
    font_ = std::move(font);
    corner_ = corner;
    outlineWidth_ = outlineWidth > 0 ? outlineWidth : 1;
    image_.Redraw();
}

void TextButton::SetState(ButtonState state) {
    if (state_ == state) return;
    state_ = state;
    image_.Redraw();
}

void TextButton::Paint(HDC dc, const RECT& bounds) const {
    const ButtonColours c = ColoursFor(colours_, state_);
    const int corner = std::min<int>(corner_, Height(bounds));
    // Inside the frame: a wider outline at a larger scale grows inwards.
    const UniqueGdi<HPEN> outline(CreatePen(PS_INSIDEFRAME, outlineWidth_, c.outline));
    const Selection pen(dc, outline ? HGDIOBJ(outline.get()) : GetStockObject(BLACK_PEN));
    const Selection brush(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, c.fill);
    RoundRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom, corner, corner);
    const Selection font(dc, font_ ? HGDIOBJ(font_.get()) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c.text);
    std::wstring text = Widen(caption_);
    RECT r = bounds;
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace tovarin::skin
