#pragma once
// THighlightImage: the picture control every skinned window is built from. It
// is windowless: its form paints it and routes the mouse to it.
#include <windows.h>

#include <functional>
#include <string>

#include "skin/picture.h"

namespace tovarin::skin {

class SkinForm;
class THighlightImage;

enum class MouseButton { Left, Right, Middle };

// Events get the control that raised them; an unassigned event does nothing.
using NotifyEvent = std::function<void(THighlightImage& sender)>;
using MouseEvent = std::function<void(THighlightImage& sender, MouseButton button)>;

class THighlightImage {
public:
    THighlightImage(SkinForm& owner, std::string name, RECT bounds);
    THighlightImage(const THighlightImage&) = delete;
    THighlightImage& operator=(const THighlightImage&) = delete;

    const std::string& Name() const { return name_; }
    const RECT& Bounds() const { return bounds_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // A control without a picture or fill is transparent (drag areas).
    void SetPicture(Picture picture, std::string pictureName = {});
    // The resource name of the picture last set, also when it failed to load.
    const std::string& PictureName() const { return pictureName_; }
    const Picture& CurrentPicture() const { return picture_; }
    // A solid colour instead of a picture (a label used as a line).
    void SetFill(COLORREF colour);
    // Drawn over the fill and the picture, inside the bounds (the drawn
    // controls: TextButton, FillBar).
    using Drawing = std::function<void(HDC dc, const RECT& bounds)>;
    void SetDrawing(Drawing drawing);
    // Paints the control again at the next redraw.
    void Redraw() const { Invalidate(); }
    void SetCursor(LPCWSTR systemCursor) { cursor_ = systemCursor; }
    LPCWSTR Cursor() const { return cursor_; }

    // The window moved to another display scale: new bounds, and the picture
    // last set loaded again for the form's DPI.
    void Rescale(const RECT& bounds);

    // Bitmap state by resource name (the form's DPI's set), loaded anew each time.
    void ShowBitmap(const std::string& name);
    // The control's picture set: a base name that state digits follow.
    void SetStateBase(std::string base) { stateBase_ = std::move(base); }
    std::string StatePicture(const std::string& digits) const { return stateBase_ + digits; }
    void ShowState(const std::string& digits) { ShowBitmap(StatePicture(digits)); }

    NotifyEvent OnClick;
    MouseEvent OnMouseDown;
    NotifyEvent OnMouseEnter;
    NotifyEvent OnMouseLeave;

    // Called by the form.
    void MouseEnter();
    void MouseLeave();
    void Paint(HDC dc) const;
    bool HitTest(POINT client) const;

private:
    void Invalidate() const;
    void PaintPicture(HDC dc) const;

    SkinForm& owner_;
    std::string name_;
    RECT bounds_;
    bool visible_ = true;
    Picture picture_;
    std::string pictureName_;
    std::string stateBase_;
    bool filled_ = false;
    COLORREF fill_ = 0;
    Drawing drawing_;
    LPCWSTR cursor_ = IDC_ARROW;
};

}  // namespace tovarin::skin
