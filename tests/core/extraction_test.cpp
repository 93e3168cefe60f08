#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/install_state.h"
#include "archive/test_files.h"
#include "core/extract_package.h"
#include "core/payload_files.h"
#include "library_hash.h"

namespace {

using namespace tovarin;
using namespace tovarin::core;
using tovarin::testing::Exists;
using tovarin::testing::MakeScratchDir;
using tovarin::testing::ReadAll;
using tovarin::testing::WriteAll;

const std::string kData = TOVARIN_TEST_DATA;
const std::string kLibrary = TOVARIN_TEST_LIBRARY;

Sha256 BuildHash() {
    Sha256 hash{};
    std::copy(std::begin(kLibrarySha256), std::end(kLibrarySha256), hash.begin());
    return hash;
}

bool CanOpenForWriting(const std::string& path) {
    HANDLE h = ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

// The folders the library is loaded from, under the system's temporary folder.
int PrivateFolders() {
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((std::wstring(windows, length) + L"\\Temp\\tovarin-*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do ++count;
    while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return count;
}

TEST(ExtractProgress, HandsPositiveFractionsOfThePositiveTotal) {
    std::vector<double> drawn;
    ExtractionProgress progress{200, [&](double f) { drawn.push_back(f); }};
    EXPECT_EQ(ExtractProgress(&progress, true, 500), 0);
    EXPECT_EQ(ExtractProgress(&progress, false, 0), 0);
    EXPECT_EQ(ExtractProgress(&progress, false, 50), 0);
    EXPECT_EQ(ExtractProgress(&progress, false, 200), 0);
    EXPECT_EQ(ExtractProgress(&progress, false, 300), 0);
    EXPECT_EQ(drawn, (std::vector<double>{0.25, 1.0, 1.5}));

    ExtractionProgress empty{0, [&](double f) { drawn.push_back(f); }};
    EXPECT_EQ(ExtractProgress(&empty, false, 10), 0);
    EXPECT_EQ(ExtractProgress(nullptr, false, 10), 0);
    EXPECT_EQ(drawn.size(), 3u);
}

TEST(PayloadFiles, TempPathsAreTempJoinedWithASlash) {
    ::SetEnvironmentVariableW(L"TEMP", L"C:\\some\\temp");
    EXPECT_EQ(PayloadTempPaths().package, "C:\\some\\temp/tovarin.7z");
    EXPECT_EQ(PayloadTempPaths().library, "C:\\some\\temp/7z.dll");
    wchar_t saved[MAX_PATH];
    ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"TEMP", nullptr);
    EXPECT_EQ(PayloadTempPaths().package, "/tovarin.7z");
    EXPECT_EQ(PayloadTempPaths().library, "/7z.dll");
    ::SetEnvironmentVariableW(L"TEMP", saved);
}

TEST(PayloadFiles, SavesTheResourceWholeAndKeepsItLocked) {
    const std::string dir = MakeScratchDir("save");
    const std::string path = dir + "/tovarin.7z";
    ASSERT_TRUE(WriteAll(path, std::string(4 << 20, 'x') + "an older, longer file"));
    {
        UniqueFile held = SaveResourceToFile("package", path);
        ASSERT_TRUE(held);
        EXPECT_FALSE(CanOpenForWriting(path)) << "others may not write while it is held";
        EXPECT_FALSE(::DeleteFileW(Widen(path).c_str())) << "nor delete it";
        EXPECT_EQ(ReadAll(path), ReadAll(TOVARIN_TEST_PAYLOAD_PACKAGE)) << "readers are welcome";
    }
    EXPECT_TRUE(CanOpenForWriting(path));
    EXPECT_FALSE(SaveResourceToFile("no_such_resource", dir + "/x.bin"));
    EXPECT_FALSE(SaveResourceToFile("package", dir + "/missing-folder/tovarin.7z"));
}

TEST(PayloadFiles, NeverWritesThroughALink) {
    const std::string dir = MakeScratchDir("link");
    const std::string victim = dir + "\\victim.txt";
    ASSERT_TRUE(WriteAll(victim, "precious"));
    ASSERT_TRUE(::CreateHardLinkW(Widen(dir + "\\7z.dll").c_str(), Widen(victim).c_str(), nullptr));
    EXPECT_FALSE(SaveResourceToFile("7zip_library", dir + "/7z.dll"));
    EXPECT_EQ(ReadAll(victim), "precious");
}

TEST(PayloadFiles, OpensOnlyTheLibraryTheBuildCarries) {
    const std::string dir = MakeScratchDir("verify");
    const std::string path = dir + "\\7z.dll";
    const std::string original = ReadAll(kLibrary);
    ASSERT_EQ(original.size(), kLibrarySize);
    ASSERT_TRUE(WriteAll(path, original));
    {
        UniqueFile locked = OpenVerifiedFile(path, BuildHash(), kLibrarySize);
        ASSERT_TRUE(locked);
        EXPECT_FALSE(CanOpenForWriting(path));
        EXPECT_FALSE(::DeleteFileW(Widen(path).c_str()));
        EXPECT_FALSE(::MoveFileW(Widen(path).c_str(), Widen(dir + "\\moved.dll").c_str()));
    }
    EXPECT_FALSE(OpenVerifiedFile(path, BuildHash(), kLibrarySize + 1));

    std::string swapped = original;
    swapped[swapped.size() / 2] ^= 1;
    ASSERT_TRUE(WriteAll(path, swapped));
    EXPECT_FALSE(OpenVerifiedFile(path, BuildHash(), kLibrarySize));

    // Someone still holding it open for writing could change it after the check.
    ASSERT_TRUE(WriteAll(path, original));
    HANDLE writer = ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(OpenVerifiedFile(path, BuildHash(), kLibrarySize));
    ::CloseHandle(writer);
}

class ExtractPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        state::ResetForTesting();
        dir_ = MakeScratchDir("extract");
        library_ = dir_ + "/7z.dll";
        ASSERT_TRUE(WriteAll(library_, ReadAll(kLibrary)));
        state::SetTempPaths(dir_ + "/tovarin.7z", library_);
    }
    bool Extract(const std::string& package, const std::string& target) {
        return ExtractPackage(target, package, [this](double f) { fractions_.push_back(f); });
    }
    std::string dir_;
    std::string library_;
    std::vector<double> fractions_;
};

TEST_F(ExtractPackageTest, ExtractsTheDemoPackageWithProgressUpToOne) {
    const int foldersBefore = PrivateFolders();
    const std::string target = dir_ + "\\install";
    ASSERT_TRUE(Extract(TOVARIN_TEST_PAYLOAD_PACKAGE, target));
    EXPECT_TRUE(Exists(target + "\\Tovarin.exe"));
    ASSERT_FALSE(fractions_.empty());
    for (std::size_t i = 1; i < fractions_.size(); ++i) EXPECT_GE(fractions_[i], fractions_[i - 1]);
    EXPECT_DOUBLE_EQ(fractions_.back(), 1.0);
    EXPECT_EQ(::GetModuleHandleW(L"7z.dll"), nullptr) << "the library is unloaded afterwards";
    EXPECT_EQ(PrivateFolders(), foldersBefore) << "and its private folder removed";
}

TEST_F(ExtractPackageTest, APackageOfOnlyFoldersAndEmptyFilesDrawsNothingAndSucceeds) {
    const std::string target = dir_ + "\\install";
    ASSERT_TRUE(Extract(kData + "/only-empty.7z", target));
    EXPECT_TRUE(fractions_.empty());
    EXPECT_EQ(ReadAll(target + "\\b\\c\\empty2.txt"), "");
    EXPECT_FALSE(Exists(target + "\\d"));
}

TEST_F(ExtractPackageTest, FailsForUnsafeItemsSwappedLibrariesAndMissingPackages) {
    EXPECT_FALSE(Extract(kData + "/unsafe-parent.7z", dir_ + "\\in\\target"));
    EXPECT_FALSE(Exists(dir_ + "\\in\\evil.txt"));
    EXPECT_FALSE(Extract(kData + "/missing.7z", dir_ + "\\missing"));
    EXPECT_FALSE(Extract(kData + "/not-an-archive.7z", dir_ + "\\text"));

    // Another module written over the copy in TEMP: that copy is never
    // loaded, the installer's private one is.
    ASSERT_TRUE(WriteAll(library_, ReadAll(TOVARIN_TEST_OTHER_MODULE)));
    EXPECT_TRUE(Extract(TOVARIN_TEST_PAYLOAD_PACKAGE, dir_ + "\\swapped"));
    EXPECT_TRUE(Exists(dir_ + "\\swapped\\Tovarin.exe"));
}

// The worker extracts the package straight from its resource.
TEST_F(ExtractPackageTest, FromMemoryExtractsAsFromTheFileAndFailsOnDamagedPackages) {
    const std::string package = ReadAll(TOVARIN_TEST_PAYLOAD_PACKAGE);
    const std::string target = dir_ + "\\memory";
    const auto progress = [this](double f) { fractions_.push_back(f); };
    ASSERT_TRUE(ExtractPackage(target, package.data(), package.size(), progress));
    ASSERT_TRUE(Extract(TOVARIN_TEST_PAYLOAD_PACKAGE, dir_ + "\\file"));
    for (const char* item : {"\\Tovarin.exe", "\\readme.txt"}) {
        EXPECT_FALSE(ReadAll(target + item).empty()) << item;
        EXPECT_EQ(ReadAll(target + item), ReadAll(dir_ + "\\file" + item)) << item;
    }
    ASSERT_FALSE(fractions_.empty());
    EXPECT_DOUBLE_EQ(fractions_.back(), 1.0);
    EXPECT_EQ(::GetModuleHandleW(L"7z.dll"), nullptr) << "the library is unloaded afterwards";

    const std::string damaged[] = {package.substr(0, package.size() / 2), package.substr(0, 40),
                                   ReadAll(kData + "/not-an-archive.7z"), ""};
    for (const std::string& bytes : damaged) {
        EXPECT_FALSE(ExtractPackage(dir_ + "\\damaged", bytes.data(), bytes.size(), progress)) << bytes.size();
    }
    EXPECT_EQ(::GetModuleHandleW(L"7z.dll"), nullptr);
}

}  // namespace
