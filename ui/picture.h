#pragma once
// Pictures of the skinned windows: 24-bit bitmaps from the executable's
// resources, loaded by name at every state change (nothing is cached).
#include <windows.h>

#include <cstddef>
#include <string>

#include "common/handles.h"

namespace tovarin::ui {

// A bitmap with its size. Empty when a picture could not be loaded; an empty
// picture draws nothing.
class Picture {
public:
    Picture() = default;
    explicit Picture(UniqueBitmap bitmap);

    HBITMAP Bitmap() const { return bitmap_.get(); }
    int Width() const { return size_.cx; }
    int Height() const { return size_.cy; }
    explicit operator bool() const { return static_cast<bool>(bitmap_); }

private:
    UniqueBitmap bitmap_;
    SIZE size_{0, 0};
};

// The module whose resources hold the pictures: the running executable.
HINSTANCE PictureModule();

// A bitmap resource, through the system's bitmap loader (names match without
// regard to case).
Picture LoadBitmapPicture(const std::string& name, HINSTANCE module = PictureModule());

// A JPEG file stored as a raw-data resource.
Picture LoadJpegPicture(const std::string& name, HINSTANCE module = PictureModule());

// A picture stored with a window's layout: a JPEG raw-data resource when there
// is one of that name, otherwise a bitmap resource.
Picture LoadLayoutPicture(const std::string& name, HINSTANCE module = PictureModule());

// Decodes JPEG bytes into a top-down 24-bit bitmap. Empty on any decoding
// error; never exits or throws.
Picture DecodeJpeg(const unsigned char* data, std::size_t size);

}  // namespace tovarin::ui
