#include "archive/item_path.h"

#include <gtest/gtest.h>

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
