// The uninstaller and the record as the completion step leaves them on disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "archive/test_files.h"
#include "common/install_record.h"
#include "common/text.h"
#include "core/uninstall_files.h"

namespace tovarin::core {
namespace {

using tovarin::testing::MakeScratchDir;
using tovarin::testing::ReadAll;
using tovarin::testing::WriteAll;

std::pair<std::uint64_t, std::uint64_t> SizeAndTime(const std::string& path) {
    HANDLE file = ::CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    if (!read) return {~0ull, ~0ull};
    return {(std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
            (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime};
}

// The uninstaller compares each listed file's size and time with the disk.
TEST(UninstallFiles, TheRecordListsBothFilesAsTheyAreOnDisk) {
    const std::string dir = MakeScratchDir("uninstall-files");
    // What an earlier install (or a user, before the folder was protected) left under both names.
    ASSERT_TRUE(WriteAll(dir + "\\Uninstall.exe", "an earlier uninstaller"));
    ASSERT_TRUE(WriteAll(dir + "\\Uninstall.dat", "an earlier record"));
    InstallRecord mine;
    mine.folders = {L"data"};
    mine.files = {{L"Tovarin.exe", 3, 4}};
    mine.shortcuts = {L"C:\\Users\\u\\Desktop\\Tovarin.lnk"};
    std::string failure;
    const std::optional<std::string> hash = WriteUninstallFiles(Widen(dir), mine, failure);
    ASSERT_TRUE(hash) << failure;

    EXPECT_EQ(ReadAll(dir + "\\Uninstall.exe"), ReadAll(TOVARIN_TEST_UNINSTALLER));
    EXPECT_FALSE(tovarin::testing::Exists(dir + "\\Uninstall.dat.new"));
    const std::string text = ReadAll(dir + "\\Uninstall.dat");
    EXPECT_EQ(RecordHash(text), *hash);
    std::string why;
    const std::optional<InstallRecord> record = ParseRecord(text, why);
    ASSERT_TRUE(record) << why;
    EXPECT_EQ(record->installDir, Widen(dir));
    EXPECT_EQ(record->folders, mine.folders);
    EXPECT_EQ(record->shortcuts, mine.shortcuts);
    std::map<std::wstring, RecordedFile> files;
    for (const RecordedFile& file : record->files) files[file.path] = file;
    EXPECT_EQ(files.size(), 3u);
    EXPECT_EQ(files[L"Tovarin.exe"], mine.files[0]);
    for (const wchar_t* name : {L"Uninstall.exe", L"Uninstall.dat"}) {
        SCOPED_TRACE(Narrow(name));
        const auto [size, time] = SizeAndTime(dir + "\\" + Narrow(name));
        EXPECT_EQ(files[name].size, size);
        EXPECT_EQ(files[name].lastWrite, time);
    }
}

}  // namespace
}  // namespace tovarin::core
