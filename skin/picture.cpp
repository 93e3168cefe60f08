#include "skin/picture.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "common/resource_data.h"
#include "common/text.h"
#include "skin/layout.h"

extern "C" {
#include <jpeglib.h>
}

namespace tovarin::skin {
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

// A 24-bit top-down DIB of the size.
BITMAPINFO DibInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Such a DIB section, with its pixels.
HBITMAP NewDib(int width, int height, void** bits) {
    const BITMAPINFO info = DibInfo(width, height);
    *bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

std::size_t Stride(int width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3); }

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
    void* bits = nullptr;
    // Top-down, like the decoder's rows.
    bitmap = NewDib(static_cast<int>(width), static_cast<int>(height), &bits);
    if (!bitmap || !bits) {
        jpeg_destroy_decompress(&cinfo);
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    const std::size_t stride = Stride(static_cast<int>(width));
    while (cinfo.output_scanline < height) {
        JSAMPROW row = static_cast<JSAMPROW>(bits) + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    GdiFlush();
    return bitmap;
}


// The weights of source pixels 0..from-1 in each of `to` output pixels: the
// length of the overlap of the output pixel, mapped back, with each source
// pixel (in units of 1/to of a source pixel, so they sum to `from`).
struct Span {
    int first;
    std::vector<int> weights;
};
std::vector<Span> Spans(int from, int to) {
    std::vector<Span> spans(static_cast<std::size_t>(to));
    for (int o = 0; o < to; ++o) {
        // Output pixel o covers source [o*from/to, (o+1)*from/to): in units of 1/to.
        const long long begin = static_cast<long long>(o) * from, end = begin + from;
        Span& span = spans[static_cast<std::size_t>(o)];
        span.first = static_cast<int>(begin / to);
        for (long long s = span.first; s * to < end && s < from; ++s) {
            const long long lo = std::max(begin, s * to), hi = std::min(end, (s + 1) * to);
            span.weights.push_back(static_cast<int>(hi - lo));
        }
    }
    return spans;
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

PictureSet PictureSetFor(const std::string& name, int dpi) {
    static const std::pair<int, const char*> kSets[] = {{120, "_125"}, {144, "_150"}, {192, "_200"}};
    if (dpi <= kLayoutDpi) return {name, kLayoutDpi};
    for (const auto& [setDpi, suffix] : kSets) {
        if (dpi <= setDpi) return {name + suffix, setDpi};
    }
    return {name + kSets[2].second, kSets[2].first};
}

Picture LoadPictureFor(const std::string& name, int dpi, PictureLoader load) {
    if (name.empty()) return {};
    const PictureSet set = PictureSetFor(name, dpi);
    if (set.dpi == kLayoutDpi) return load(name, PictureModule());
    Picture picture = LoadJpegPicture(set.name);
    if (!picture || set.dpi == dpi) return picture;
    return ResizePicture(picture, {MulDiv(picture.Width(), dpi, set.dpi), MulDiv(picture.Height(), dpi, set.dpi)});
}

Picture ResizePicture(const Picture& picture, SIZE size) {
    const int fromW = picture.Width(), fromH = picture.Height();
    if (!picture || size.cx <= 0 || size.cy <= 0 || size.cx > static_cast<LONG>(kMaxSide) ||
        size.cy > static_cast<LONG>(kMaxSide)) {
        return {};
    }
    std::vector<unsigned char> source(Stride(fromW) * static_cast<std::size_t>(fromH));
    BITMAPINFO info = DibInfo(fromW, fromH);
    {
        const WindowDC screen = WindowDC::Client(nullptr);
        if (!screen || GetDIBits(screen.get(), picture.Bitmap(), 0, static_cast<UINT>(fromH), source.data(), &info,
                                 DIB_RGB_COLORS) != fromH) {
            return {};
        }
    }
    void* bits = nullptr;
    UniqueBitmap bitmap(NewDib(size.cx, size.cy, &bits));
    if (!bitmap || !bits) return {};
    const std::vector<Span> columns = Spans(fromW, size.cx), rows = Spans(fromH, size.cy);
    // Weights sum to fromW per column and fromH per row.
    const long long total = static_cast<long long>(fromW) * fromH;
    auto* out = static_cast<unsigned char*>(bits);
    for (int y = 0; y < size.cy; ++y) {
        const Span& row = rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < size.cx; ++x) {
            const Span& column = columns[static_cast<std::size_t>(x)];
            long long sum[3] = {0, 0, 0};
            for (std::size_t j = 0; j < row.weights.size(); ++j) {
                const unsigned char* line = source.data() + Stride(fromW) * (row.first + j);
                for (std::size_t i = 0; i < column.weights.size(); ++i) {
                    const unsigned char* px = line + 3 * (column.first + i);
                    const long long w = static_cast<long long>(row.weights[j]) * column.weights[i];
                    for (int c = 0; c < 3; ++c) sum[c] += w * px[c];
                }
            }
            unsigned char* px = out + Stride(size.cx) * y + 3 * x;
            for (int c = 0; c < 3; ++c) px[c] = static_cast<unsigned char>((sum[c] + total / 2) / total);
        }
    }
    GdiFlush();
    return Picture(std::move(bitmap));
}

Picture DecodeJpeg(const unsigned char* data, std::size_t size) {
    if (!data || size == 0 || size > ULONG_MAX) return {};
    return Picture(UniqueBitmap(DecodeJpegToDib(data, static_cast<unsigned long>(size))));
}

}  // namespace tovarin::skin
