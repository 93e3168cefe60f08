// The install directory rules on drives that the test runner maps into the
// Wine prefix: D: an empty folder, R: a folder that refuses new entries (with
// R:\Ready\Tovarin already present).
#include <gtest/gtest.h>

#include "core/install_dir.h"
#include "real_disk.h"

namespace tovarin::core {
namespace {

using testing::DirExists;
using testing::ScopedEnv;

class MappedDrives : public ::testing::Test {
protected:
    void SetUp() override {
        // Only ever empty a D: that the wrapper made for this run.
        mapped_ = GetEnvironmentVariableW(L"TOVARIN_TEST_DRIVES", nullptr, 0) > 0 && DirExists("D:\\");
        ASSERT_TRUE(mapped_) << "run through tests/core/with-test-drives";
    }
    void TearDown() override {
        if (mapped_) testing::RemoveTree(L"D:", /*keep_dir=*/true);
    }
    bool mapped_ = false;
};

TEST_F(MappedDrives, DefaultPrefersProgramFilesOnDriveD) {
    ScopedEnv program_files(L"PROGRAMFILES", std::string("C:\\Program Files"));
    EXPECT_EQ(DefaultInstallDir(), "C:\\Program Files\\Tovarin");
    ASSERT_TRUE(CreateDirectoryW(L"D:\\Program Files", nullptr));
    EXPECT_EQ(DefaultInstallDir(), "D:\\Program Files\\Tovarin");
    ASSERT_TRUE(CreateDirectoryW(L"D:\\Program Files (x86)", nullptr));
    EXPECT_EQ(DefaultInstallDir(), "D:\\Program Files (x86)\\Tovarin");
}

TEST_F(MappedDrives, InstallOnDriveDCreatesTheFolders) {
    const std::string dir = DefaultInstallDir();
    EXPECT_EQ(dir.rfind("D:", 0), std::string::npos);
    ASSERT_TRUE(CreateDirectoryW(L"D:\\Program Files", nullptr));
    const DirCheck check = CheckInstallDir(DefaultInstallDir());
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_TRUE(DirExists("D:\\Program Files\\Tovarin"));
    EXPECT_TRUE(CheckInstallDir("D:").ok);
    EXPECT_EQ(InstallDirFromFolder("D:\\"), "D:\\Tovarin");
}

TEST_F(MappedDrives, ReadOnlyMediumFailsUnlessTheFoldersExist) {
    if (!DirExists("R:\\Ready\\Tovarin")) GTEST_SKIP() << "no read-only drive R: mapped";
    EXPECT_EQ(CheckInstallDir("R:\\Apps\\Tovarin").message, kNotWritableMessage);
    EXPECT_FALSE(DirExists("R:\\Apps"));
    EXPECT_TRUE(CheckInstallDir("R:\\Ready\\Tovarin").ok);
    EXPECT_EQ(InstallDirFromFolder("R:\\Apps"), std::nullopt);
}

}  // namespace
}  // namespace tovarin::core
