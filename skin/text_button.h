#pragma once
// TextButton: a button drawn from colours and one of the toolkit's fonts
// instead of pictures, so its caption is sharp at every display scale and
// needs no artwork. It rides on a transparent THighlightImage, which gives it
// the mouse, the keyboard focus and the screen reader like any picture button.
// Layout kind "button": fill=, outline=, textcolour= (hover and press darken
// them), corner= (96 DPI; the height makes a pill), font= and size=.
#include <windows.h>

#include <string>

#include "common/handles.h"
#include "skin/highlight_image.h"
#include "skin/layout.h"

namespace tovarin::skin {

struct ButtonColours {
    COLORREF fill = RGB(0xFF, 0xFF, 0xFF);
    COLORREF outline = RGB(0xFF, 0xFF, 0xFF);
    COLORREF text = RGB(0, 0, 0);
};

// The colours of a state: the normal ones, hover one step darker, pressed two.
enum class ButtonState { Normal, Hover, Pressed };
ButtonColours ColoursFor(const ButtonColours& normal, ButtonState state);

class TextButton {
public:
    // Takes over the image's enter, leave and mouse-down events (the ones
    // bound before are still called) and draws through it.
    TextButton(THighlightImage& image, const LayoutControl& control);
    TextButton(const TextButton&) = delete;
    TextButton& operator=(const TextButton&) = delete;

    const std::string& Name() const { return image_.Name(); }
    THighlightImage& Image() { return image_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    ButtonState State() const { return state_; }
    // The font at the form's DPI, the corner and the outline's width in
    // device pixels.
    void SetScale(UniqueFont font, int corner, int outlineWidth);

private:
    void SetState(ButtonState state);
    void Paint(HDC dc, const RECT& bounds) const;

    THighlightImage& image_;
    ButtonColours colours_;
    int corner_ = 0;
    int outlineWidth_ = 1;
    UniqueFont font_;
    std::string caption_;
    ButtonState state_ = ButtonState::Normal;
};

}  // namespace tovarin::skin
