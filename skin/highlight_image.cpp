#include "skin/highlight_image.h"

#include <algorithm>

#include "skin/skin_form.h"

namespace tovarin::skin {

THighlightImage::THighlightImage(SkinForm& owner, std::string name, RECT bounds)
    : owner_(owner), name_(std::move(name)), bounds_(bounds) {}

void THighlightImage::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    Invalidate();
}

void THighlightImage::SetPicture(Picture picture, std::string pictureName) {
    picture_ = std::move(picture);  // the old bitmap goes here
    pictureName_ = std::move(pictureName);
    Invalidate();
}

void THighlightImage::SetFill(COLORREF colour) {
    filled_ = true;
    fill_ = colour;
    Invalidate();
}

void THighlightImage::SetDrawing(Drawing drawing) {
    drawing_ = std::move(drawing);
    Invalidate();
}

void THighlightImage::ShowBitmap(const std::string& name) {
    SetPicture(LoadPictureFor(name, owner_.Dpi(), LoadBitmapPicture), name);
}

void THighlightImage::Rescale(const RECT& bounds) {
    bounds_ = bounds;
    // Whichever kind the picture was: the layout loader finds both.
    if (!pictureName_.empty()) picture_ = LoadPictureFor(pictureName_, owner_.Dpi(), LoadLayoutPicture);
}

void THighlightImage::MouseEnter() {
    if (OnMouseEnter) OnMouseEnter(*this);
}

void THighlightImage::MouseLeave() {
    if (OnMouseLeave) OnMouseLeave(*this);
}

bool THighlightImage::HitTest(POINT client) const { return visible_ && PtInRect(&bounds_, client); }

void THighlightImage::Paint(HDC dc) const {
    if (!visible_) return;
    if (filled_) {
        SetDCBrushColor(dc, fill_);
        FillRect(dc, &bounds_, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    if (picture_) PaintPicture(dc);
    if (drawing_) drawing_(dc, bounds_);
}

void THighlightImage::PaintPicture(HDC dc) const {
    // Drawn at the control's top-left corner and cut to its bounds, never stretched.
    const UniqueMemoryDC source(CreateCompatibleDC(dc));
    if (!source) return;
    const Selection selected(source.get(), picture_.Bitmap());
    const int width = std::min<int>(picture_.Width(), bounds_.right - bounds_.left);
    const int height = std::min<int>(picture_.Height(), bounds_.bottom - bounds_.top);
    BitBlt(dc, bounds_.left, bounds_.top, width, height, source.get(), 0, 0, SRCCOPY);
}

void THighlightImage::Invalidate() const { owner_.InvalidateArea(bounds_); }

}  // namespace tovarin::skin
