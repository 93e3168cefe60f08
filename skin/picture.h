#pragma once
// Pictures of the skinned windows: 24-bit bitmaps from the executable's
// resources, loaded by name at every state change (nothing is cached).
#include <windows.h>

#include <cstddef>
#include <string>

#include "common/handles.h"

namespace tovarin::skin {

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

// The pictures drawn for larger display scales: JPEG raw-data resources named
// after the 100 % picture with the scale appended ("CLOSE0_150").
struct PictureSet {
    std::string name;  // the resource; the 100 % name at 96 DPI and below
    int dpi;           // the DPI it was drawn for
};
// The set a window at `dpi` takes: its own scale's, or the nearest larger one
// (the largest above 200 %).
PictureSet PictureSetFor(const std::string& name, int dpi);

// The picture `name` for a window at `dpi`. At 96 DPI and below: `load` (one
// of the loaders above) exactly as at 100 %; above, the picture of the set
// PictureSetFor names, resized to the scale when the set is not its own.
using PictureLoader = Picture (*)(const std::string& name, HINSTANCE module);
Picture LoadPictureFor(const std::string& name, int dpi, PictureLoader load);

// The picture resized to `size`, each pixel the area-weighted mean of what it
// covers (a smooth downscale). Empty when either is empty.
Picture ResizePicture(const Picture& picture, SIZE size);

// Decodes JPEG bytes into a top-down 24-bit bitmap. Empty on any decoding
// error; never exits or throws.
Picture DecodeJpeg(const unsigned char* data, std::size_t size);

}  // namespace tovarin::skin
