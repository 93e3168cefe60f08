#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ui/folder_browser.h"
#include "skin/font_choice.h"
#include "skin/picture.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

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

// The set a display scale takes: its own, else the nearest larger one.
TEST(ScaledPicture, TakesItsOwnSetOrTheNearestLargerOne) {
    const struct {
        int dpi;
        const char* name;
        int setDpi;
    } rows[] = {{72, "CLOSE0", 96},       {96, "CLOSE0", 96},       {97, "CLOSE0_125", 120},
                {120, "CLOSE0_125", 120}, {144, "CLOSE0_150", 144}, {168, "CLOSE0_200", 192},
                {192, "CLOSE0_200", 192}, {288, "CLOSE0_200", 192}};
    for (const auto& row : rows) {
        const PictureSet set = PictureSetFor("CLOSE0", row.dpi);
        EXPECT_EQ(set.name, row.name) << row.dpi;
        EXPECT_EQ(set.dpi, row.setDpi) << row.dpi;
    }
    // 175 %: the 200 % picture (60 x 60) averaged down to 52.5, rounded to 53.
    const Picture between = LoadPictureFor("CLOSE0", 168, LoadBitmapPicture);
    EXPECT_EQ(between.Width(), 53);
    EXPECT_EQ(between.Height(), 53);
    EXPECT_EQ(LoadPictureFor("CLOSE0", 96, LoadBitmapPicture).Width(), 30);
}

// Each output pixel is the mean of the source area it covers, by area.
TEST(ScaledPicture, ResizeWeighsEachSourcePixelByTheAreaCovered) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 1);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetPixel(dc, 0, 0, RGB(0, 0, 0));
    SetPixel(dc, 1, 0, RGB(90, 90, 90));
    SetPixel(dc, 2, 0, RGB(180, 180, 180));
    SelectObject(dc, old);
    DeleteDC(dc);
    const Picture source{UniqueBitmap(bitmap)};
    const Picture resized = ResizePicture(source, {2, 1});
    ASSERT_TRUE(resized);
    ExpectNear(PixelOf(resized, 0, 0), 30, 30, 30);     // 2/3 of black, 1/3 of 90
    ExpectNear(PixelOf(resized, 1, 0), 150, 150, 150);  // 1/3 of 90, 2/3 of 180
    EXPECT_FALSE(ResizePicture(source, {0, 1}));
}

}  // namespace
}  // namespace tovarin::ui
