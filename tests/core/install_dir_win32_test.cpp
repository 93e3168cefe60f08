// The install directory rules on real folders under Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/handles.h"
#include "core/install_dir.h"
#include "real_disk.h"

namespace tovarin::core {
namespace {

using testing::DirExists;
using testing::FileExists;
using testing::ScopedEnv;
using testing::TempFolder;

TEST(RealDisk, CreatesTheTypedFoldersAndPassesOnceTheyExist) {
    TempFolder temp;
    // Korean and emoji lie outside GBK; the path must still work.
    const std::string dir = temp.path() + "\\a b\\\xEC\x95\xB1\\\xF0\x9F\x98\x80Tovarin\\";
    const DirCheck first = CheckInstallDir(dir);
    EXPECT_TRUE(first.ok) << first.message;
    EXPECT_TRUE(DirExists(dir));
    EXPECT_TRUE(CheckInstallDir(dir).ok);
    EXPECT_TRUE(CheckInstallDir(temp.path().substr(0, 2)).ok);  // drive only, e.g. "C:"
}

TEST(RealDisk, MalformedInputCreatesNothing) {
    TempFolder temp;
    const std::string base = temp.path();
    for (const std::string& dir : {base + "\\x\\..\\y", base + "\\x. ", base + "\\x.", base + "\\nul\\y",
                                   base + "\\x:stream", base + "\\con", base + "\\x\\" + std::string(300, 'a'),
                                   base.substr(0, 2) + "Tovarin", std::string("Q:\\Tovarin"),
                                   std::string("Tovarin\\data")}) {
        EXPECT_EQ(CheckInstallDir(dir).message, kPathInvalidMessage) << dir;
    }
    EXPECT_TRUE(temp.Empty());
}

TEST(RealDisk, FolderBrowserChoiceIsCreatedWhenMissing) {
    TempFolder temp;
    EXPECT_EQ(InstallDirFromFolder(temp.path()), temp.path() + "\\Tovarin");
    EXPECT_FALSE(DirExists(temp.path() + "\\Tovarin"));  // an existing folder is taken as it is
    const std::optional<std::string> dir = InstallDirFromFolder(temp.path() + "\\new\\");
    EXPECT_EQ(dir, temp.path() + "\\new\\Tovarin");
    EXPECT_TRUE(DirExists(temp.path() + "\\new\\Tovarin"));
}

TEST(RealDisk, WithoutDriveDTheDefaultIsInProgramFiles) {
    if (DirExists("D:\\")) GTEST_SKIP() << "this prefix has a D: drive";
    ScopedEnv program_files(L"PROGRAMFILES", std::string("C:\\Program Files (x86)"));
    EXPECT_EQ(DefaultInstallDir(), "C:\\Program Files (x86)\\Tovarin");
}

class RealProductLock : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(Widen(profile_.path() + "\\belvastro").c_str(), nullptr);
        target_ = install_.path() + "\\Tovarin";
    }
    std::string Lock() const { return profile_.path() + "\\belvastro\\.lock"; }

    TempFolder profile_;
    TempFolder install_;
    ScopedEnv env_{L"USERPROFILE", profile_.path()};
    std::string target_;
};

TEST_F(RealProductLock, StaleLockIsDeletedAndTheCheckPasses) {
    UniqueFile stale(CreateFileW(Widen(Lock()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(stale);
    stale.reset();
    const DirCheck check = CheckInstallDir(target_);
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_FALSE(FileExists(Lock()));
}

TEST_F(RealProductLock, LockOpenWithoutDeleteSharingBlocksUntilClosed) {
    UniqueFile held(CreateFileW(Widen(Lock()).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(CheckInstallDir("Tovarin\\data").message, kProductRunningMessage);
    EXPECT_EQ(CheckInstallDir(target_).message, kProductRunningMessage);
    EXPECT_TRUE(FileExists(Lock()));
    EXPECT_FALSE(DirExists(target_));
    held.reset();
    EXPECT_TRUE(CheckInstallDir(target_).ok);
    EXPECT_FALSE(FileExists(Lock()));
}

// A Linux path of the build as a Windows path on Wine's Z: drive.
std::wstring OnDriveZ(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return Widen("Z:" + path);
}

TEST_F(RealProductLock, RunningProductBlocksEvenAnInvalidPath) {
    std::wstring command = L"\"" + OnDriveZ(TOVARIN_DEMO_PRODUCT) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // The product inherits our USERPROFILE and takes its lock there.
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    const std::string marker = profile_.path() + "\\belvastro\\started.txt";
    for (int i = 0; i < 300 && !FileExists(marker); ++i) Sleep(50);
    ASSERT_TRUE(FileExists(Lock()));

    EXPECT_EQ(CheckInstallDir("Q:\\Tovarin").message, kProductRunningMessage);
    EXPECT_EQ(CheckInstallDir(target_).message, kProductRunningMessage);
    EXPECT_TRUE(FileExists(Lock()));

    TerminateProcess(process.get(), 0);
    ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    const DirCheck check = CheckInstallDir(target_);
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_FALSE(FileExists(Lock()));
    EXPECT_TRUE(DirExists(target_));
}

}  // namespace
}  // namespace tovarin::core
