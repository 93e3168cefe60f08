#include "ui/picture.h"

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "common/resource_data.h"
#include "common/text.h"

extern "C" {
#include <jpeglib.h>
}

namespace tovarin::ui {
namespace {

// libjpeg reports fatal errors through a callback that must not return; jump
// back to the decoder (the library is C: no exception may pass through it).
struct JpegErrorManager {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (a truncated file, say) are not worth a word on stderr.
void JpegOutputMessage(j_common_ptr) {}

// Larger than any picture of the installer by far; guards the allocation
// against a damaged header.
constexpr JDIMENSION kMaxSide = 8192;

// Only trivially destructible locals live here: longjmp skips destructors.
HBITMAP DecodeJpegToDib(const unsigned char* data, unsigned long size) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    HBITMAP volatile bitmap = nullptr;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.output_message = JpegOutputMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    // Windows keeps pixels as blue, green, red.
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const JDIMENSION width = cinfo.output_width;
    const JDIMENSION height = cinfo.output_height;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, like the decoder's rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        jpeg_destroy_decompress(&cinfo);
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    while (cinfo.output_scanline < height) {
        JSAMPROW row = static_cast<JSAMPROW>(bits) + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    GdiFlush();
    return bitmap;
}

}  // namespace

Picture::Picture(UniqueBitmap bitmap) : bitmap_(std::move(bitmap)) {
    BITMAP info{};
    if (bitmap_ && GetObjectW(bitmap_.get(), sizeof info, &info) == sizeof info) {
        size_ = {info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
    } else {
        bitmap_.reset();
    }
}

HINSTANCE PictureModule() { return GetModuleHandleW(nullptr); }

Picture LoadBitmapPicture(const std::string& name, HINSTANCE module) {
    if (name.empty()) return {};
    const std::wstring wide = Widen(name);
    return Picture(UniqueBitmap(LoadBitmapW(module, wide.c_str())));
}

Picture LoadJpegPicture(const std::string& name, HINSTANCE module) {
    if (name.empty()) return {};
    const std::string_view data = RawResource(module, Widen(name).c_str());
    return DecodeJpeg(reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

Picture LoadLayoutPicture(const std::string& name, HINSTANCE module) {
    if (Picture jpeg = LoadJpegPicture(name, module)) return jpeg;
    return LoadBitmapPicture(name, module);
}

Picture DecodeJpeg(const unsigned char* data, std::size_t size) {
    if (!data || size == 0 || size > ULONG_MAX) return {};
    return Picture(UniqueBitmap(DecodeJpegToDib(data, static_cast<unsigned long>(size))));
}

}  // namespace tovarin::ui
