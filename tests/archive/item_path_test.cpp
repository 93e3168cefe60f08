#include "archive/item_path.h"

#include <gtest/gtest.h>

using tovarin::archive::ExtendedLengthPath;
using tovarin::archive::IsSafeItemPath;

TEST(ItemPath, RelativePathsInsideTheTargetAreSafe) {
    for (const wchar_t* path : {L"a.txt", L"dir\\sub\\file.bin", L"dir/sub/file.bin", L"..name", L"a.b\\.hidden",
                                L"null", L"console.txt", L"xnul.txt", L"COM10", L"COM", L"lpt0.log", L"nul_x\\aux-1"}) {
        EXPECT_TRUE(IsSafeItemPath(path)) << std::string(path, path + wcslen(path));
    }
}

TEST(ItemPath, PathsThatLeaveTheTargetOrNameSomethingElseAreRefused) {
    for (const wchar_t* path :
         {L"", L"..", L"..\\x", L"../x", L"a\\..\\..\\x", L"a/../x", L"a\\..", L"\\x", L"/x", L"\\\\server\\share\\x",
          L"C:\\x", L"C:x", L"x:stream", L"a\\...\\x", L"a\\.. \\x", L". .\\x", L".\\x",
          // Names Windows would change: empty parts, a trailing dot or blank, forbidden characters.
          L"x\\\\y", L"x/", L"name..", L"logs.\\a", L"a \\b", L"what?.txt", L"a<b", L"a|b", L"a\"b", L"a*", L"tab\tx",
          // Devices, in any part, any case, with any extension.
          L"nul.txt", L"docs\\NUL", L"Con", L"aux.tar.gz", L"prn\\x", L"com1", L"LPT9.log", L"nul .txt",
          L"COM\u00B9", L"lpt\u00B3.txt", L"data/Com\u00B2.bin"}) {
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
