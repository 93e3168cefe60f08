// When a later install takes over the earlier record of its directory, and
// the record that lists itself.
#include <gtest/gtest.h>

#include <string>

#include "common/install_record.h"
#include "core/uninstall_entry.h"

namespace tovarin::core {
namespace {

InstallRecord Earlier(const std::wstring& dir) {
    InstallRecord record;
    record.installDir = dir;
    record.folders = {L"data"};
    record.files = {{L"Tovarin.exe", 10, 1}, {L"Uninstall.exe", 5, 2}};
    record.shortcuts = {L"C:\\Users\\u\\Desktop\\Tovarin.lnk"};
    return record;
}

TEST(TrustedEarlierRecord, OnlyARecordTheRegistrationVouchesForIsTakenOver) {
    const std::wstring dir = L"D:\\Program Files\\Tovarin";
    const std::string bytes = SerializeRecord(Earlier(dir));
    const std::string hash = RecordHash(bytes);
    ASSERT_FALSE(hash.empty());
    std::string changed = bytes;
    changed[changed.size() - 2] ^= 1;
    const std::string otherDir = SerializeRecord(Earlier(L"E:\\Tovarin"));
    const std::string garbage = "TovarinInstallRecord 1\nnonsense\n";

    struct Row {
        const char* what;
        std::optional<std::wstring> location;  // none: no registration
        std::string registeredHash;
        std::optional<std::string> bytes;
        bool taken;
    };
    const Row rows[] = {
        {"same place", dir + L"\\", hash, bytes, true},
        {"same place, other case", L"d:\\PROGRAM FILES\\tovarin\\", hash, bytes, true},
        {"no registration", std::nullopt, hash, bytes, false},
        {"registered elsewhere", L"E:\\Tovarin\\", hash, bytes, false},
        {"a longer name", dir + L"2\\", hash, bytes, false},
        {"no record file", dir + L"\\", hash, std::nullopt, false},
        {"record changed", dir + L"\\", hash, changed, false},
        {"record of another directory", dir + L"\\", RecordHash(otherDir), otherDir, false},
        {"not a record", dir + L"\\", RecordHash(garbage), garbage, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::optional<Registration> registration;
        if (row.location) {
            registration.emplace();
            registration->installLocation = *row.location;
            registration->recordHash = std::wstring(row.registeredHash.begin(), row.registeredHash.end());
        }
        const std::optional<InstallRecord> taken = TrustedEarlierRecord(registration, dir, row.bytes);
        EXPECT_EQ(taken.has_value(), row.taken);
        if (taken) EXPECT_EQ(taken->files, Earlier(dir).files);
    }
}

// The uninstaller keeps a listed file whose size is not the listed one.
TEST(SerializeWithOwnEntry, TheRecordListsItselfWithItsOwnSize) {
    for (std::size_t padding : {0u, 40u, 900u, 9000u}) {
        InstallRecord record = Earlier(L"D:\\Tovarin" + std::wstring(padding, L'x'));
        const std::string text = SerializeWithOwnEntry(record, 123456);
        std::string why;
        const std::optional<InstallRecord> parsed = ParseRecord(text, why);
        ASSERT_TRUE(parsed) << why;
        const RecordedFile* own = nullptr;
        for (const RecordedFile& file : parsed->files)
            if (file.path == L"Uninstall.dat") own = &file;
        ASSERT_NE(own, nullptr);
        EXPECT_EQ(own->size, text.size()) << padding;
        EXPECT_EQ(own->lastWrite, 123456u);
    }
}

TEST(RegistrationFor, SizeIsTheUnpackedTotalRoundedUpToKiB) {
    const std::pair<std::uint64_t, DWORD> rows[] = {{0, 0}, {1, 1}, {1024, 1}, {1025, 2}, {174830465, 170733}};
    for (const auto& [bytes, kib] : rows)
        EXPECT_EQ(RegistrationFor(L"D:\\Tovarin", "ab", bytes, L"20261209").estimatedSizeKiB, kib) << bytes;
    const Registration r = RegistrationFor(L"D:\\Tovarin", "ab", 0, L"20261209");
    EXPECT_EQ(r.installLocation, L"D:\\Tovarin\\");
    EXPECT_EQ(r.quietUninstallString, L"\"D:\\Tovarin\\Uninstall.exe\" /S");
    EXPECT_EQ(RecordDir("D:/Tovarin\\\\"), L"D:\\Tovarin");
}

}  // namespace
}  // namespace tovarin::core
