#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ui/folder_browser.h"
#include "ui/font_choice.h"
#include "ui/picture.h"

namespace tovarin::ui {
namespace {

COLORREF PixelOf(const Picture& picture, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture.Bitmap());
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

void ExpectNear(COLORREF actual, int r, int g, int b) {
    EXPECT_LE(std::abs(GetRValue(actual) - r), 3) << std::hex << actual;
    EXPECT_LE(std::abs(GetGValue(actual) - g), 3) << std::hex << actual;
    EXPECT_LE(std::abs(GetBValue(actual) - b), 3) << std::hex << actual;
}

std::vector<unsigned char> RawResource(const wchar_t* name) {
    HRSRC info = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));
    if (!info) return {};
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, info)));
    return {data, data + SizeofResource(nullptr, info)};
}

TEST(JpegPicture, DecodesColourAndGreyPicturesInTheirColours) {
    const Picture colour = LoadJpegPicture("SampleJpeg");  // names match without regard to case
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour.Width(), 260);
    EXPECT_EQ(colour.Height(), 71);
    ExpectNear(PixelOf(colour, 130, 35), 31, 151, 227);  // blue, not red: the channel order holds

    const Picture grey = LoadJpegPicture("GRAYJPEG");
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey.Width(), 352);
    ExpectNear(PixelOf(grey, 100, 100), 255, 255, 255);
    ExpectNear(PixelOf(grey, 351, 166), 204, 204, 204);
}

TEST(JpegPicture, BadDataGivesAnEmptyPictureWithoutEndingTheProcess) {
    EXPECT_FALSE(LoadJpegPicture("NOTAJPEG"));
    EXPECT_FALSE(LoadJpegPicture("NOSUCHPICTURE"));
    EXPECT_FALSE(LoadJpegPicture(""));
    EXPECT_FALSE(DecodeJpeg(nullptr, 10));

    std::vector<unsigned char> jpeg = RawResource(L"SAMPLEJPEG");
    ASSERT_GT(jpeg.size(), 100u);
    const std::vector<unsigned char> headerOnly(jpeg.begin(), jpeg.begin() + 20);
    EXPECT_FALSE(DecodeJpeg(headerOnly.data(), headerOnly.size()));
    // A file cut short still gives its picture: the missing rows are filled in.
    const Picture cut = DecodeJpeg(jpeg.data(), jpeg.size() / 2);
    EXPECT_TRUE(cut);
    // Damage after the start marker: whatever the decoder makes of it, it returns.
    for (std::size_t i = 2; i < jpeg.size(); i += 7) jpeg[i] ^= 0x5A;
    DecodeJpeg(jpeg.data(), jpeg.size());
}

TEST(BitmapPicture, LoadsByNameWithoutRegardToCase) {
    const Picture close = LoadBitmapPicture("close0");
    ASSERT_TRUE(close);
    EXPECT_EQ(close.Width(), 30);
    EXPECT_EQ(close.Height(), 30);
    ExpectNear(PixelOf(close, 15, 15), 255, 255, 255);
    EXPECT_FALSE(LoadBitmapPicture("close9"));
}

TEST(LayoutPicture, TakesTheJpegWhenThereIsOneAndTheBitmapOtherwise) {
    EXPECT_EQ(LoadLayoutPicture("SAMPLEJPEG").Width(), 260);
    EXPECT_EQ(LoadLayoutPicture("CLOSE0").Width(), 30);
    EXPECT_FALSE(LoadLayoutPicture("MISSING"));
}

TEST(ParentFolderOf, KeepsTheTextUpToTheLastBackslashOrColon) {
    EXPECT_EQ(ParentFolderOf("D:\\Program Files\\Tovarin"), "D:\\Program Files\\");
    EXPECT_EQ(ParentFolderOf("D:\\Tovarin"), "D:\\");
    EXPECT_EQ(ParentFolderOf("D:Tovarin"), "D:");
    EXPECT_EQ(ParentFolderOf("\\\\server\\share\\Tovarin"), "\\\\server\\share\\");
    EXPECT_EQ(ParentFolderOf("C:\\安装\\Tovarin"), "C:\\安装\\");
    EXPECT_EQ(ParentFolderOf("Tovarin"), "");
    EXPECT_EQ(ParentFolderOf(""), "");
}

int CellHeight(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return tm.tmHeight;
}

TEST(CellFont, FallsBackToAnInstalledFaceWithTheSameCellHeight) {
    EXPECT_EQ(FirstInstalledFace({L"No Such Face Anywhere"}), L"");
    const UniqueFont fallback = CreateCellFont({L"No Such Face Anywhere"}, 14);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(CellHeight(fallback.get()), 14);
    // The dialog's list finds some face on any system that renders Chinese.
    const UniqueFont message = CreateCellFont({L"黑体", L"SimHei", L"Microsoft YaHei", L"WenQuanYi Micro Hei"}, 14);
    ASSERT_TRUE(message);
    EXPECT_EQ(CellHeight(message.get()), 14);
}

}  // namespace
}  // namespace tovarin::ui
