#include "common/install_record.h"

#include <gtest/gtest.h>

namespace tovarin {
namespace {

constexpr char kRecord[] =
    "TovarinInstallRecord 1\n"
    "dir\tD:\\Program Files\\Tovarin\n"
    "folder\tbin\n"
    "file\tbin\\核心.dll\t12\t133456789012345678\n"
    "file\tTovarin.exe\t0\t1\n"
    "shortcut\tC:\\Users\\u\\Desktop\\Tovarin.lnk\n";

TEST(InstallRecord, ReadsBackWhatItWrites) {
    std::string failure;
    const std::optional<InstallRecord> record = ParseRecord(kRecord, failure);
    ASSERT_TRUE(record) << failure;
    EXPECT_EQ(record->installDir, L"D:\\Program Files\\Tovarin");
    ASSERT_EQ(record->files.size(), 2u);
    EXPECT_EQ(record->files[0], (RecordedFile{L"bin\\核心.dll", 12, 133456789012345678ull}));
    EXPECT_EQ(SerializeRecord(*record), kRecord);
}

// The elevated uninstaller deletes what a record names: nothing may lead
// outside the install directory or be read loosely.
TEST(InstallRecord, RefusesEntriesThatCouldLeaveTheDirectory) {
    const char* const lines[] = {
        "file\t..\\victim.txt\t1\t1\n",
        "file\tbin\\..\\..\\victim.txt\t1\t1\n",
        "file\tC:\\Windows\\win.ini\t1\t1\n",
        "file\t\\Windows\\win.ini\t1\t1\n",
        "file\tbin\\\\x\t1\t1\n",
        "file\tdata.txt:stream\t1\t1\n",
        "file\tdata.txt.\t1\t1\n",
        "file\ta/../../b\t1\t1\n",
        "file\tx\t1\n",
        "file\tx\t-1\t1\n",
        "file\tx\t1\t1x\n",
        "folder\t.\n",
        "folder\t\n",
        "shortcut\tTovarin.lnk\n",
        "shortcut\tC:\\Users\\..\\Windows\\x.lnk\n",
        "shortcut\t\\\\?\\C:\\x.lnk\n",
        "dir\tC:\\Other\n",
        "remove\tC:\\x\n",
    };
    for (const char* line : lines) {
        std::string failure;
        EXPECT_FALSE(ParseRecord(std::string(kRecord) + line, failure)) << line;
        EXPECT_FALSE(failure.empty()) << line;
    }
    std::string failure;
    EXPECT_FALSE(ParseRecord("TovarinInstallRecord 1\nfolder\tbin\n", failure));  // no dir
    EXPECT_FALSE(ParseRecord(std::string(kRecord, sizeof kRecord - 2), failure));  // cut short
}

TEST(InstallRecord, MergeKeepsTheEarlierInstallsOwnFilesAndTheLaterVersions) {
    const InstallRecord earlier{L"C:\\T",
                                {L"old", L"bin"},
                                {{L"old\\a", 1, 1}, {L"bin\\b", 2, 2}},
                                {L"C:\\d\\Tovarin.lnk"}};
    const InstallRecord later{L"C:\\T", {L"bin", L"bin\\new"}, {{L"bin\\b", 3, 3}}, {L"C:\\p\\Tovarin.lnk"}};
    const InstallRecord merged = MergeRecords(earlier, later);
    EXPECT_EQ(merged.folders, (std::vector<std::wstring>{L"bin", L"old", L"bin\\new"}));
    EXPECT_EQ(merged.files, (std::vector<RecordedFile>{{L"bin\\b", 3, 3}, {L"old\\a", 1, 1}}));
    EXPECT_EQ(merged.shortcuts, (std::vector<std::wstring>{L"C:\\p\\Tovarin.lnk", L"C:\\d\\Tovarin.lnk"}));
}

TEST(InstallRecord, HashIsSha256) {
    EXPECT_EQ(RecordHash("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace tovarin
