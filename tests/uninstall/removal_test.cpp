#include "uninstall/removal.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/text.h"
#include "uninstall/fake_removal_disk.h"
#include "uninstall/uninstall_texts.h"

namespace tovarin::uninstall {
namespace {

using testing::FakeFile;
using testing::FakeRemovalDisk;

const std::wstring kDir = L"C:\\Program Files\\Tovarin";
const std::wstring kOtherLink = L"C:\\Users\\u\\Desktop\\Other.lnk";

InstallRecord Record() {
    InstallRecord record;
    record.installDir = kDir;
    record.folders = {L"bin", L"bin\\plugins", L"logs"};
    record.files = {{L"Tovarin.exe", 10, 100},
                    {L"bin\\core.dll", 20, 200},
                    {L"bin\\plugins\\p.bin", 30, 300},
                    {L"Uninstall.exe", 40, 400},
                    {L"Uninstall.dat", 0, 0}};
    record.shortcuts = {L"C:\\Users\\u\\Start Menu\\Programs\\Tovarin\\Tovarin.lnk", L"C:\\Users\\u\\Desktop\\Tovarin.lnk"};
    return record;
}

void Register(FakeRemovalDisk& disk, const std::string& recordBytes) {
    Registration registration;
    registration.installLocation = kDir + L"\\";
    registration.recordHash = Widen(RecordHash(recordBytes));
    disk.registration = registration;
    disk.record = {RecordState::Read, recordBytes, {}};
}

// The disk as the install left it.
FakeRemovalDisk Installed(const InstallRecord& record = Record()) {
    FakeRemovalDisk disk;
    Register(disk, SerializeRecord(record));
    for (const RecordedFile& file : record.files) disk.files[file.path] = FakeFile{file.size, file.lastWrite};
    disk.folders.insert(record.folders.begin(), record.folders.end());
    for (const std::wstring& shortcut : record.shortcuts) disk.shortcuts[shortcut] = kDir + L"\\Tovarin.exe";
    return disk;
}

TEST(Removal, RemovesWhatTheRecordListsInItsOrder) {
    FakeRemovalDisk disk = Installed();
    // The registration's location as Windows may hand it back: other case, trailing separator.
    disk.registration->installLocation = L"c:\\program files\\TOVARIN\\";
    const RemovalReport report = RunQuietRemoval(disk, kDir);
    EXPECT_EQ(report.outcome, RemovalOutcome::Removed) << report.failure;
    EXPECT_FALSE(report.installDirKept);
    EXPECT_EQ(report.userText, kRemovedText);
    const std::vector<std::wstring> expected = {
        L"Tovarin.exe", L"bin\\core.dll", L"bin\\plugins\\p.bin",
        L"C:\\Users\\u\\Start Menu\\Programs\\Tovarin\\Tovarin.lnk", L"C:\\Users\\u\\Desktop\\Tovarin.lnk",
        L"<programs folder>",
        L"bin\\plugins\\", L"bin\\", L"logs\\",  // deepest first
        L"<record>", L"<registration>"};
    EXPECT_EQ(disk.removed, expected);
    // Left for the copy once the original has exited.
    EXPECT_TRUE(disk.files.count(L"Uninstall.exe"));
}

struct Refusal {
    const char* name;
    std::function<void(FakeRemovalDisk&)> change;
    RemovalOutcome outcome;
    const char* text;
};

TEST(Removal, RefusesWithoutTouchingAnything) {
    const Refusal rows[] = {
        {"no registration", [](FakeRemovalDisk& d) { d.registration.reset(); }, RemovalOutcome::Failed,
         kNotInstalledText},
        {"registered elsewhere", [](FakeRemovalDisk& d) { d.registration->installLocation = L"D:\\Tovarin\\"; },
         RemovalOutcome::Failed, kNotInstalledText},
        {"record not a plain file", [](FakeRemovalDisk& d) { d.record = {RecordState::Invalid, {}, "a link"}; },
         RemovalOutcome::Failed, kRecordInvalidText},
        {"record changed", [](FakeRemovalDisk& d) { d.record.bytes += "file\tx\t1\t1\n"; }, RemovalOutcome::Failed,
         kRecordInvalidText},
        {"record unreadable, hash matching", [](FakeRemovalDisk& d) { Register(d, "not a record\n"); },
         RemovalOutcome::Failed, kRecordInvalidText},
        {"record of another directory",
         [](FakeRemovalDisk& d) {
             InstallRecord other = Record();
             other.installDir = L"D:\\Tovarin";
             Register(d, SerializeRecord(other));
         },
         RemovalOutcome::Failed, kRecordInvalidText},
        {"product running", [](FakeRemovalDisk& d) { d.running = true; }, RemovalOutcome::Refused,
         kProductRunningText},
    };
    for (const Refusal& row : rows) {
        FakeRemovalDisk disk = Installed();
        row.change(disk);
        const bool registered = disk.registration.has_value();
        const RemovalReport report = RunQuietRemoval(disk, kDir);
        EXPECT_EQ(report.outcome, row.outcome) << row.name;
        EXPECT_EQ(report.userText, row.text) << row.name;
        EXPECT_FALSE(report.failure.empty()) << row.name;
        EXPECT_TRUE(disk.removed.empty()) << row.name;
        EXPECT_EQ(disk.registration.has_value(), registered) << row.name;
    }
}

TEST(Removal, KeepsWhatChangedAndWhatIsNotOurs) {
    InstallRecord record = Record();
    record.shortcuts.push_back(kOtherLink);  // not one of the two places
    FakeRemovalDisk disk = Installed(record);
    disk.files[L"bin\\core.dll"].lastWrite = 201;           // changed since
    disk.files[L"notes.txt"] = FakeFile{};                   // the user's
    disk.shortcuts[L"C:\\Users\\u\\Desktop\\Tovarin.lnk"] = L"C:\\Other\\Tovarin.exe";  // re-pointed
    const RemovalReport report = RunQuietRemoval(disk, kDir);
    EXPECT_EQ(report.outcome, RemovalOutcome::Removed) << report.failure;
    EXPECT_TRUE(report.installDirKept);
    EXPECT_EQ(report.userText, kRemovedDirKeptText);
    EXPECT_TRUE(disk.files.count(L"bin\\core.dll"));
    EXPECT_TRUE(disk.folders.count(L"bin"));
    EXPECT_FALSE(disk.folders.count(L"bin\\plugins"));
    EXPECT_TRUE(disk.shortcuts.count(L"C:\\Users\\u\\Desktop\\Tovarin.lnk"));
    EXPECT_TRUE(disk.shortcuts.count(kOtherLink));
    EXPECT_FALSE(disk.registration);
}

TEST(Removal, AfterAFailureASecondRunFinishes) {
    FakeRemovalDisk disk = Installed();
    disk.files[L"bin\\core.dll"].inUse = true;
    RemovalReport report = RunQuietRemoval(disk, kDir);
    EXPECT_EQ(report.outcome, RemovalOutcome::Failed);
    EXPECT_EQ(report.userText, kFailedText);
    // The record and the registration stay, for the second run.
    EXPECT_EQ(disk.record.state, RecordState::Read);
    EXPECT_TRUE(disk.registration);
    EXPECT_TRUE(disk.folders.count(L"bin"));

    disk.files[L"bin\\core.dll"].inUse = false;
    report = RunQuietRemoval(disk, kDir);
    EXPECT_EQ(report.outcome, RemovalOutcome::Removed) << report.failure;
    EXPECT_FALSE(report.installDirKept);
    EXPECT_TRUE(disk.folders.empty());
    EXPECT_FALSE(disk.registration);

    // Cut short between the record and the registration: the registration goes.
    FakeRemovalDisk cut = Installed();
    cut.record = {};
    cut.files = {{L"Uninstall.exe", FakeFile{}}};
    cut.folders.clear();
    report = RunQuietRemoval(cut, kDir);
    EXPECT_EQ(report.outcome, RemovalOutcome::Removed) << report.failure;
    EXPECT_FALSE(cut.registration);
}

}  // namespace
}  // namespace tovarin::uninstall
