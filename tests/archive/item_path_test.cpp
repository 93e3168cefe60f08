#include "archive/item_path.h"

#include <gtest/gtest.h>

using tovarin::archive::ExtendedLengthPath;
using tovarin::archive::IsSafeItemPath;

TEST(ItemPath, RelativePathsInsideTheTargetAreSafe) {
    for (const wchar_t* path : {L"a.txt", L"dir\\sub\\file.bin", L"dir/sub/file.bin", L"..name", L"name..",
                                L"a.b\\.hidden", L"x\\\\y"}) {
        EXPECT_TRUE(IsSafeItemPath(path)) << std::string(path, path + wcslen(path));
    }
}

TEST(ItemPath, PathsThatLeaveTheTargetAreRefused) {
    for (const wchar_t* path :
         {L"", L"..", L"..\\x", L"../x", L"a\\..\\..\\x", L"a/../x", L"a\\..", L"\\x", L"/x", L"\\\\server\\share\\x",
          L"C:\\x", L"C:x", L"x:stream", L"a\\...\\x", L"a\\.. \\x", L". .\\x", L".\\x"}) {
        EXPECT_FALSE(IsSafeItemPath(path)) << std::string(path, path + wcslen(path));
    }
}

TEST(ExtendedLengthPath, LongPathsGetTheirPrefixShortOnesStayAsTheyAre) {
    const std::wstring deep = L"\\" + std::wstring(60, L'd') + L"\\" + std::wstring(60, L'e') + L"\\" +
                              std::wstring(60, L'f') + L"\\" + std::wstring(60, L'g') + L"\\x.txt";
    const struct {
        std::wstring in, out;
    } rows[] = {
        {L"C:\\Program Files\\Tovarin\\readme.txt", L"C:\\Program Files\\Tovarin\\readme.txt"},
        {L"C:\\Tovarin" + deep, L"\\\\?\\C:\\Tovarin" + deep},
        {L"C:\\Tovarin\\.\\skip\\..\\" + deep.substr(1), L"\\\\?\\C:\\Tovarin" + deep},  // as the plain calls read it
        {L"\\\\server\\share" + deep, L"\\\\?\\UNC\\server\\share" + deep},
        {L"\\\\?\\C:\\Tovarin" + deep, L"\\\\?\\C:\\Tovarin" + deep},
    };
    for (const auto& row : rows) EXPECT_EQ(ExtendedLengthPath(row.in), row.out);
}
