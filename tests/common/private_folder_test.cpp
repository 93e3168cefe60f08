// The private folder the archive library is loaded from. Wine keeps no
// access lists or owners and lets a folder that is held open be renamed, so
// what it can show is where the folder goes and that it goes again.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/private_folder.h"

namespace tovarin {
namespace {

TEST(PrivateFolder, FreshUnderTheSystemsTempRemovedWithItsFiles) {
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring base = std::wstring(windows, length) + L"\\Temp\\";
    std::string failure;
    std::optional<PrivateFolder> first = PrivateFolder::Create(failure);
    ASSERT_TRUE(first) << failure;
    const std::optional<PrivateFolder> second = PrivateFolder::Create(failure);
    ASSERT_TRUE(second) << failure;
    EXPECT_NE(first->Path(), second->Path());
    EXPECT_EQ(first->Path().compare(0, base.size(), base), 0) << first->Path().c_str();

    const std::wstring path = first->Path();
    const std::wstring file = path + L"\\7z.dll";
    UniqueFile written(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(written);
    written.reset();
    first.reset();
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "removed with its file";
}

}  // namespace
}  // namespace tovarin
