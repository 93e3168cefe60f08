#include "archive/archive_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "archive/test_files.h"

namespace {

using namespace tovarin;
using namespace tovarin::archive;
using tovarin::testing::Exists;
using tovarin::testing::MakeScratchDir;
using tovarin::testing::ReadAll;
using tovarin::testing::WriteAll;
using ::testing::HasSubstr;

const std::string kData = TOVARIN_TEST_DATA;
const std::string kLibrary = TOVARIN_TEST_LIBRARY;

ComPtr<I7zArchiveReader> Reader() { return CreateArchiveReader(kClassId7zFormat, kLibrary); }

std::string RaisedMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const ArchiveError& error) {
        return error.what();
    }
    return "<nothing raised>";
}

std::map<std::string, bool> Listing(I7zArchiveReader& reader) {
    std::map<std::string, bool> items;
    for (std::uint32_t i = 0; i < reader.ItemCount(); ++i) items[reader.ItemPath(i)] = reader.ItemIsFolder(i);
    return items;
}

TEST(ArchiveLoading, RefusesFilesThatAreNotTheLibraryWithTheirMessages) {
    const std::string text = kData + "/not-an-archive.7z";
    EXPECT_EQ(RaisedMessage([&] { Reader(); }), "<nothing raised>");
    EXPECT_EQ(RaisedMessage([&] { CreateArchiveReader(kClassId7zFormat, text); }), "Error loading library " + text);
    EXPECT_EQ(RaisedMessage([&] { CreateArchiveReader(kClassId7zFormat, kData + "/missing.dll"); }),
              "Error loading library " + kData + "/missing.dll");

    const std::string noCreate = TOVARIN_TEST_NO_CREATE_OBJECT;
    EXPECT_EQ(RaisedMessage([&] { CreateArchiveReader(kClassId7zFormat, noCreate); }), noCreate + " is not a 7z library");
    EXPECT_EQ(::GetModuleHandleW(L"no_create_object.dll"), nullptr) << "module left loaded";

    const std::string noHandler = TOVARIN_TEST_NO_HANDLER_PROPERTY;
    EXPECT_EQ(RaisedMessage([&] { CreateArchiveReader(kClassId7zFormat, noHandler); }),
              noHandler + " is not a Format library");
    EXPECT_EQ(::GetModuleHandleW(L"no_handler_property.dll"), nullptr) << "module left loaded";
}

TEST(ArchiveLoading, ReleasingTheReaderUnloadsTheLibraryAfterItsObjects) {
    ASSERT_EQ(::GetModuleHandleW(L"7z.dll"), nullptr);
    {
        ComPtr<I7zArchiveReader> reader = Reader();
        reader->OpenArchiveFile(kData + "/nested.7z");
        EXPECT_NE(::GetModuleHandleW(L"7z.dll"), nullptr);
        EXPECT_EQ(reader->ClassId(), kClassId7zFormat);
    }  // an archive object released after the module would crash here
    EXPECT_EQ(::GetModuleHandleW(L"7z.dll"), nullptr);
}

TEST(ArchiveReading, ListsAndExtractsTheDemoPackage) {
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(TOVARIN_TEST_DEMO_PACKAGE);
    const auto items = Listing(*reader.get());
    ASSERT_TRUE(items.count("Tovarin.exe"));
    EXPECT_FALSE(items.at("Tovarin.exe"));
    ASSERT_TRUE(items.count("logs"));
    EXPECT_TRUE(items.at("logs"));

    const std::string target = MakeScratchDir("demo");
    reader->ExtractTo(target);
    reader->CloseArchive();
    EXPECT_TRUE(Exists(target + "\\Tovarin.exe"));
    EXPECT_EQ(ReadAll(target + "\\Tovarin.exe").substr(0, 2), "MZ");
    EXPECT_EQ(ReadAll(target + "\\data\\empty.dat"), "");
    EXPECT_FALSE(Exists(target + "\\logs")) << "a folder without files is not created";
}

TEST(ArchiveReading, ExtractsNestedAndEmptyFilesButNoEmptyFolders) {
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    const auto items = Listing(*reader.get());
    EXPECT_TRUE(items.at("dir1\\dir2") && items.at("emptydir") && items.at("emptydir\\inner"));
    EXPECT_FALSE(items.at("dir1\\dir2\\deep.txt"));
    for (std::uint32_t i = 0; i < reader->ItemCount(); ++i) {
        if (reader->ItemPath(i) == "made\\second.bin") {
            EXPECT_EQ(reader->ItemSize(i), 256 * 64);
            EXPECT_NO_THROW(reader->ItemName(i));  // the 7z handler may not offer names
        }
    }

    // The same output with and without a trailing separator, into a target
    // that does not exist yet.
    const std::string base = MakeScratchDir("nested");
    for (const std::string& target : {base + "\\plain\\deeper", base + "\\trailing\\"}) {
        reader->ExtractTo(target);
        const std::string dir = target.back() == '\\' ? target : target + "\\";
        const std::string source = kData + "/nested-source/";
        for (const char* file : {"top.txt", "dir1\\dir2\\deep.txt", "made\\first.txt", "made\\second.bin"}) {
            std::string sourceFile = source + file;
            EXPECT_EQ(ReadAll(dir + file), ReadAll(sourceFile)) << dir + file;
        }
        EXPECT_TRUE(Exists(dir + "zero.txt"));
        EXPECT_EQ(ReadAll(dir + "zero.txt"), "");
        EXPECT_FALSE(Exists(dir + "emptydir"));
    }
}

TEST(ArchiveReading, ReplacesFilesOfAnEarlierInstallAndKeepsOthers) {
    const std::string target = MakeScratchDir("over");
    ::CreateDirectoryW(Widen(target + "\\made").c_str(), nullptr);
    ASSERT_TRUE(WriteAll(target + "\\made\\first.txt", "an older and much longer version of the file\r\n"));
    ASSERT_TRUE(WriteAll(target + "\\mine.txt", "not in the package"));
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    reader->ExtractTo(target);
    EXPECT_EQ(ReadAll(target + "\\made\\first.txt"), "the first file makes the folder\r\n");
    EXPECT_EQ(ReadAll(target + "\\mine.txt"), "not in the package");
}

TEST(ArchiveReading, OpensAnotherFileAfterClose) {
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    const std::uint32_t nested = reader->ItemCount();
    reader->CloseArchive();
    reader->OpenArchiveFile(kData + "/stored.7z");
    EXPECT_EQ(reader->ItemCount(), 1u);
    EXPECT_EQ(reader->ItemPath(0), "stored.txt");
    reader->CloseArchive();
    reader->OpenArchiveFile(kData + "/nested.7z");
    EXPECT_EQ(reader->ItemCount(), nested);
}

TEST(ArchiveReading, RaisesForFilesThatAreNotArchives) {
    ComPtr<I7zArchiveReader> reader = Reader();
    // The library answers 1 (false): not an archive of this format.
    EXPECT_THAT(RaisedMessage([&] { reader->OpenArchiveFile(kData + "/not-an-archive.7z"); }), HasSubstr("0x00000001"));
    EXPECT_NE(RaisedMessage([&] { reader->OpenArchiveFile(kData + "/missing.7z"); }), "<nothing raised>");
    // Still usable afterwards.
    reader->CloseArchive();
    reader->OpenArchiveFile(kData + "/stored.7z");
    EXPECT_EQ(reader->ItemCount(), 1u);
}

TEST(ArchiveExtraction, AFileInTheWayFailsAtThatItemAndKeepsEarlierFiles) {
    const std::string target = MakeScratchDir("inway");
    ::CreateDirectoryW(Widen(target + "\\made").c_str(), nullptr);
    // An earlier install's file, held open without sharing (as a running program would).
    HANDLE blocker = ::CreateFileW(Widen(target + "\\made\\second.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    std::vector<std::string> files;
    for (std::uint32_t i = 0; i < reader->ItemCount(); ++i)
        if (!reader->ItemIsFolder(i)) files.push_back(reader->ItemPath(i));
    EXPECT_NE(RaisedMessage([&] { reader->ExtractTo(target); }), "<nothing raised>");
    ::CloseHandle(blocker);
    bool before = true;
    for (const std::string& file : files) {
        if (file == "made\\second.bin") {
            before = false;
        } else if (before) {
            EXPECT_TRUE(Exists(target + "\\" + file)) << file;
        }
    }
    EXPECT_FALSE(before) << "the blocked item is not in the package";
    // The reader works again after the failure.
    const std::string again = MakeScratchDir("inway-again");
    reader->ExtractTo(again);
    EXPECT_TRUE(Exists(again + "\\made\\second.bin"));
}

// What the install record is made of: a folder that was there before (an
// earlier install's, the user's) is not listed as made, and each file is
// listed as it is on disk once every handle to it is closed.
TEST(ArchiveExtraction, ListsTheFoldersItMadeAndEachFileAsItLeftIt) {
    const std::string target = MakeScratchDir("written");
    ASSERT_TRUE(::CreateDirectoryW(Widen(target + "\\made").c_str(), nullptr));
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    reader->ExtractTo(target);
    const WrittenItems written = reader->LastWritten();
    EXPECT_EQ(written.createdFolders, (std::vector<std::wstring>{L"dir1", L"dir1\\dir2"}));
    std::map<std::wstring, RecordedFile> files;
    for (const RecordedFile& file : written.files) EXPECT_TRUE(files.emplace(file.path, file).second) << Narrow(file.path);
    EXPECT_EQ(files.size(), 5u);
    for (const wchar_t* path : {L"top.txt", L"dir1\\dir2\\deep.txt", L"made\\first.txt", L"made\\second.bin", L"zero.txt"}) {
        SCOPED_TRACE(Narrow(path));
        ASSERT_TRUE(files.count(path));
        HANDLE file = ::CreateFileW((Widen(target) + L"\\" + path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        BY_HANDLE_FILE_INFORMATION info{};
        ASSERT_TRUE(::GetFileInformationByHandle(file, &info));
        ::CloseHandle(file);
        EXPECT_EQ(files[path].size, (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
        EXPECT_EQ(files[path].lastWrite,
                  (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime);
    }
    EXPECT_EQ(files[L"made\\second.bin"].size, 256u * 64);

    // A second run over the same target makes no folder and lists it anew.
    reader->ExtractTo(target);
    EXPECT_TRUE(reader->LastWritten().createdFolders.empty());
    EXPECT_EQ(reader->LastWritten().files.size(), 5u);
}

TEST(ArchiveExtraction, ItemsThatWouldLeaveTheTargetAreNeverWritten) {
    for (const char* name : {"parent", "deep-parent", "rooted", "drive", "drive-relative", "unc", "stream"}) {
        SCOPED_TRACE(name);
        const std::string outer = MakeScratchDir(std::string("unsafe-") + name);
        const std::string target = outer + "\\in\\target";
        ComPtr<I7zArchiveReader> reader = Reader();
        reader->OpenArchiveFile(kData + "/unsafe-" + name + ".7z");
        EXPECT_NE(RaisedMessage([&] { reader->ExtractTo(target); }), "<nothing raised>");
        EXPECT_TRUE(Exists(target + "\\a_ok.txt")) << "files before it stay";
        EXPECT_FALSE(Exists(outer + "\\in\\evil.txt"));
        EXPECT_FALSE(Exists(outer + "\\evil.txt"));
        EXPECT_FALSE(Exists("C:\\evil.txt"));
        EXPECT_FALSE(Exists(target + "\\ok.txt"));
    }
}

TEST(ArchiveExtraction, AFileOfAnEarlierInstallWithAnotherNameIsNotWrittenThrough) {
    const std::string outer = MakeScratchDir("hardlink");
    const std::string target = outer + "\\target";
    ::CreateDirectoryW(Widen(target).c_str(), nullptr);
    ::CreateDirectoryW(Widen(target + "\\made").c_str(), nullptr);
    ASSERT_TRUE(WriteAll(outer + "\\theirs.txt", "theirs"));
    ASSERT_TRUE(::CreateHardLinkW(Widen(target + "\\made\\first.txt").c_str(), Widen(outer + "\\theirs.txt").c_str(),
                                  nullptr));
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    EXPECT_NE(RaisedMessage([&] { reader->ExtractTo(target); }), "<nothing raised>");
    EXPECT_EQ(ReadAll(outer + "\\theirs.txt"), "theirs");
}

// While files are written no folder on their way can be renamed (and a link
// put in its place); afterwards nothing of the install is held.
TEST(ArchiveExtraction, TheFoldersWrittenIntoAreHeldUntilTheExtractionEnds) {
    struct Attempt {
        std::vector<std::wstring> folders;
        std::int64_t total = 0;
        int tried = 0;
        int moved = 0;
    };
    const std::string target = MakeScratchDir("held");
    Attempt attempt;
    for (const char* folder : {"", "\\dir1", "\\dir1\\dir2", "\\made"}) attempt.folders.push_back(Widen(target + folder));
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->SetProgressCallback(&attempt, [](void* sender, bool isTotal, std::int64_t value) -> HRESULT {
        auto& a = *static_cast<Attempt*>(sender);
        if (isTotal) {
            a.total = value;
        } else if (value == a.total && a.tried == 0) {
            for (const std::wstring& folder : a.folders) {
                ++a.tried;
                if (::MoveFileW(folder.c_str(), (folder + L"-moved").c_str())) ++a.moved;
            }
        }
        return S_OK;
    });
    reader->OpenArchiveFile(kData + "/nested.7z");
    reader->ExtractTo(target);
    EXPECT_EQ(attempt.tried, 4);
    EXPECT_EQ(attempt.moved, 0);
    EXPECT_TRUE(::MoveFileW(attempt.folders[3].c_str(), (attempt.folders[3] + L"-moved").c_str()));
    EXPECT_TRUE(::MoveFileW(attempt.folders[0].c_str(), (attempt.folders[0] + L"-moved").c_str()));
}

// Every item the library cannot produce exactly ends the extraction there,
// naming the item and the damage; what came before it stays.
TEST(ArchiveExtraction, AnItemTheLibraryReportsDamagedFailsTheExtraction) {
    std::string stored = ReadAll(kData + "/stored.7z");
    ASSERT_GT(stored.size(), 100u);
    stored[32 + 5] ^= 0x55;  // stored data starts right after the 32-byte signature header
    std::string packed = ReadAll(kData + "/nested.7z");
    ASSERT_GT(packed.size(), 400u);
    packed[32 + 200] ^= 0x55;  // inside the LZMA stream
    const std::string dir = MakeScratchDir("damaged");
    ASSERT_TRUE(WriteAll(dir + "\\stored.7z", stored));
    ASSERT_TRUE(WriteAll(dir + "\\packed.7z", packed));
    const struct {
        std::string archive, item, kind, before;
    } rows[] = {
        {dir + "\\stored.7z", "stored.txt", "checksum error", ""},
        {dir + "\\packed.7z", "", "data error", ""},
        {kData + "/method-bzip2.7z", "b_packed.txt", "unsupported compression method", "a_ok.txt"},
        {kData + "/method-deflate.7z", "b_packed.txt", "unsupported compression method", "a_ok.txt"},
        {kData + "/method-delta.7z", "b_packed.txt", "unsupported compression method", "a_ok.txt"},
        {kData + "/method-encrypted.7z", "b_packed.txt", "unsupported compression method", "a_ok.txt"},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.archive);
        const std::string target = dir + "\\out" + std::to_string(n++);
        ComPtr<I7zArchiveReader> reader = Reader();
        reader->OpenArchiveFile(row.archive);
        const std::string message = RaisedMessage([&] { reader->ExtractTo(target); });
        EXPECT_THAT(message, HasSubstr(row.item + "): "));
        EXPECT_THAT(message, HasSubstr(row.kind));
        if (!row.before.empty()) {
            EXPECT_EQ(ReadAll(target + "\\" + row.before), "sound\r\n");
        }
    }
}

struct ProgressLog {
    DWORD thread = 0;
    bool wrongThread = false;
    std::vector<std::int64_t> totals;
    std::vector<std::int64_t> values;
};

HRESULT RecordProgress(void* sender, bool isTotal, std::int64_t value) {
    if (!sender) return E_FAIL;
    auto* log = static_cast<ProgressLog*>(sender);
    if (::GetCurrentThreadId() != log->thread) log->wrongThread = true;
    (isTotal ? log->totals : log->values).push_back(value);
    return S_OK;
}

TEST(ArchiveProgress, ReportsReachTheCallbackOnTheExtractingThreadAtLeastEveryPercent) {
    ComPtr<I7zArchiveReader> reader = Reader();
    ProgressLog log;
    log.thread = ::GetCurrentThreadId();
    reader->SetProgressCallback(&log, RecordProgress);
    reader->OpenArchiveFile(kData + "/big.7z");
    std::int64_t total = 0;
    for (std::uint32_t i = 0; i < reader->ItemCount(); ++i)
        if (!reader->ItemIsFolder(i)) total += reader->ItemSize(i);
    ASSERT_EQ(total, 32 * 1024 * 1024);
    reader->ExtractTo(MakeScratchDir("progress"));

    EXPECT_FALSE(log.wrongThread);
    EXPECT_EQ(log.totals, std::vector<std::int64_t>{total});
    ASSERT_FALSE(log.values.empty());
    EXPECT_EQ(log.values.back(), total);
    std::int64_t previous = 0;
    std::int64_t widestStep = 0;
    for (std::int64_t value : log.values) {
        EXPECT_GE(value, previous) << "never backwards";
        widestStep = std::max(widestStep, value - previous);
        previous = value;
    }
    EXPECT_LE(widestStep, total / 100) << "the bar must move at least every 1%";
}

TEST(ArchiveProgress, WithoutACallbackNothingIsReportedAndANonzeroAnswerStops) {
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    reader->ExtractTo(MakeScratchDir("silent"));  // no callback set: just works

    reader->SetProgressCallback(nullptr, [](void*, bool isTotal, std::int64_t) -> HRESULT {
        return isTotal ? S_OK : E_ABORT;
    });
    EXPECT_THAT(RaisedMessage([&] { reader->ExtractTo(MakeScratchDir("stopped")); }), HasSubstr("0x80004004"));
}

// The library decodes the blocks of an LZMA2 folder on threads of its own and
// writes the items from the BCJ filter's thread: reports still arrive one at a
// time and in order, and the first damaged item still ends the extraction.
struct ThreadedLog {
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::int64_t> values;
    std::set<DWORD> threads;
};

HRESULT RecordThreaded(void* sender, bool isTotal, std::int64_t value) {
    auto* log = static_cast<ThreadedLog*>(sender);
    if (log->inside.fetch_add(1) != 0) log->overlapped = true;
    if (!isTotal) {
        log->values.push_back(value);
        log->threads.insert(::GetCurrentThreadId());
    }
    ::Sleep(0);  // widens the window another thread could enter by
    log->inside.fetch_sub(1);
    return S_OK;
}

TEST(ArchiveThreads, ReportsOneAtATimeInOrderAndItemsAsPacked) {
    std::string damaged = ReadAll(kData + "/chunked.7z");
    ASSERT_GT(damaged.size(), 1u << 20);
    damaged[damaged.size() / 2] ^= 0x55;  // inside a block in the middle of the LZMA2 stream
    const std::string dir = MakeScratchDir("threads");
    ASSERT_TRUE(WriteAll(dir + "\\damaged.7z", damaged));
    const struct {
        std::string archive;
        std::uint32_t threads;
        bool sound;
    } rows[] = {
        {kData + "/chunked.7z", 4, true},
        {kData + "/chunked.7z", 1, true},
        {dir + "\\damaged.7z", 4, false},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.archive + " on " + std::to_string(row.threads) + " threads");
        ComPtr<I7zArchiveReader> reader = Reader();
        reader->SetDecoding({row.threads, 1u << 30});
        ThreadedLog log;
        reader->SetProgressCallback(&log, RecordThreaded);
        reader->OpenArchiveFile(row.archive);
        std::vector<std::string> files;
        std::int64_t total = 0;
        for (std::uint32_t i = 0; i < reader->ItemCount(); ++i) {
            files.push_back(reader->ItemPath(i));
            total += reader->ItemSize(i);
        }
        const std::string target = dir + "\\out" + std::to_string(n++);
        const std::string message = RaisedMessage([&] { reader->ExtractTo(target); });

        EXPECT_FALSE(log.overlapped) << "two reports at once";
        EXPECT_TRUE(std::is_sorted(log.values.begin(), log.values.end())) << "a report went backwards";
        EXPECT_FALSE(log.threads.count(::GetCurrentThreadId()) && log.threads.size() == 1)
            << "every report came from the extracting thread: nothing ran on the library's threads";
        if (row.sound) {
            // Each decoding thread reports; so may the filter's, which writes.
            if (row.threads == 1) EXPECT_LE(log.threads.size(), 2u) << "more than one decoding thread";
            else EXPECT_GE(log.threads.size(), row.threads) << "fewer decoding threads than set";
            EXPECT_EQ(message, "<nothing raised>");
            ASSERT_FALSE(log.values.empty());
            EXPECT_EQ(log.values.back(), total);
            for (const std::string& file : files)
                EXPECT_EQ(ReadAll(target + "\\" + file), ReadAll(kData + "/chunked-source/" + file)) << file;
            continue;
        }
        // The named item is the first one not written whole; none after it was started.
        const auto named = std::find_if(files.begin(), files.end(),
                                        [&](const std::string& file) { return message.find("(" + file + "): ") != std::string::npos; });
        ASSERT_NE(named, files.end()) << message;
        for (auto file = files.begin(); file != named; ++file)
            EXPECT_EQ(ReadAll(target + "\\" + *file), ReadAll(kData + "/chunked-source/" + *file)) << *file;
        for (auto file = named + 1; file != files.end(); ++file) EXPECT_FALSE(Exists(target + "\\" + *file)) << *file;
    }
}

// The same through the callback interface, as two decoder threads would
// report: rising values from each, interleaved, as fast as they come.
TEST(ArchiveThreads, ReportsOfConcurrentThreadsAreDeliveredOneAtATimeInOrder) {
    ComPtr<I7zArchiveReader> reader = Reader();
    ThreadedLog log;
    reader->SetProgressCallback(&log, RecordThreaded);
    const auto progress = reader.query<IArchiveExtractCallback>(IID_IArchiveExtractCallback7z);
    ASSERT_TRUE(progress);
    auto report = [&](UInt64 first) {
        for (UInt64 value = first; value < 4000; value += 2) progress->SetCompleted(&value);
    };
    std::thread odd(report, 1);
    report(2);
    odd.join();
    EXPECT_FALSE(log.overlapped) << "two reports at once";
    EXPECT_TRUE(std::is_sorted(log.values.begin(), log.values.end())) << "a report went backwards";
    EXPECT_EQ(log.values.back(), 3999);
}

TEST(ArchiveReaderApi, ExtractsSingleItemsAndAllItemsToStreamsOfTheCaller) {
    class MemoryStream final : public ByteStream {
    public:
        std::string data;
        HRESULT Read(void*, std::uint32_t, std::uint32_t& processed) override { processed = 0; return S_OK; }
        HRESULT Write(const void* bytes, std::uint32_t size, std::uint32_t& processed) override {
            data.append(static_cast<const char*>(bytes), size);
            processed = size;
            return S_OK;
        }
        HRESULT Seek(std::int64_t, std::uint32_t, std::uint64_t& position) override { position = data.size(); return S_OK; }
        HRESULT SetSize(std::uint64_t) override { return S_OK; }
        HRESULT GetSize(std::uint64_t& size) override { size = data.size(); return S_OK; }
    };
    ComPtr<I7zArchiveReader> reader = Reader();
    reader->OpenArchiveFile(kData + "/nested.7z");
    std::uint32_t top = 0;
    while (reader->ItemPath(top) != "top.txt") ++top;
    MemoryStream stream;
    reader->ExtractItem(top, stream, false);
    EXPECT_EQ(stream.data, "top level\r\n");
    MemoryStream tested;
    reader->ExtractItem(top, tested, true);
    EXPECT_EQ(tested.data, "");

    std::vector<std::uint32_t> asked;
    reader->ExtractAll(false, &asked, [](void* sender, std::uint32_t index, ISequentialOutStream** out) -> HRESULT {
        static_cast<std::vector<std::uint32_t>*>(sender)->push_back(index);
        *out = nullptr;
        return S_OK;
    });
    EXPECT_EQ(asked.size(), reader->ItemCount());
}

TEST(ArchiveReaderApi, PasswordsComeFromTheStoreThenTheCallback) {
    ComPtr<I7zArchiveReader> reader = Reader();
    auto crypto = reader.query<ICryptoGetTextPassword>(IID_ICryptoGetTextPassword7z);
    ASSERT_TRUE(crypto);
    BSTR password = nullptr;
    EXPECT_EQ(crypto->CryptoGetTextPassword(&password), S_FALSE);
    EXPECT_EQ(password, nullptr);

    int asked = 0;
    reader->SetPasswordCallback(&asked, [](void* sender, std::wstring& answer) -> HRESULT {
        ++*static_cast<int*>(sender);
        answer = L"secret";
        return S_OK;
    });
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(crypto->CryptoGetTextPassword(&password), S_OK);
        EXPECT_STREQ(password, L"secret");
        ::SysFreeString(password);
    }
    EXPECT_EQ(asked, 1) << "the answer is kept";
    reader->SetPassword(L"other");
    ASSERT_EQ(crypto->CryptoGetTextPassword(&password), S_OK);
    EXPECT_STREQ(password, L"other");
    ::SysFreeString(password);
}

TEST(ArchiveReaderApi, FailureMessagesNameTheCode) {
    EXPECT_THAT(ResultMessage(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)), HasSubstr("0x80070005"));
    EXPECT_THAT(ResultMessage(S_FALSE), HasSubstr("0x00000001"));
}

}  // namespace
