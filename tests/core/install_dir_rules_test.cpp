// The install directory rules against a fake disk: conditions a test machine
// cannot produce (exact free space, failing queries, read-only media).
#include <gtest/gtest.h>

#include "core/install_dir.h"
#include "fake_disk.h"

namespace tovarin::core {
namespace {

using testing::FakeDisk;

constexpr std::uint64_t kGiB = 1ULL << 30;
const std::string kLock = "C:\\Users\\li\\belvastro\\.lock";

FakeDisk MachineWithDriveD() {
    FakeDisk disk;
    disk.env["USERPROFILE"] = "C:\\Users\\li";
    disk.dirs = {"C:", "D:", "\\\\srv\\share"};
    disk.free_space["D:"] = kGiB;
    disk.free_space["\\\\srv\\share\\"] = kGiB;
    return disk;
}

TEST(DefaultInstallDir, PrefersDriveDThenProgramFilesVariable) {
    FakeDisk disk;
    disk.env["PROGRAMFILES"] = "C:\\Program Files (x86)";
    EXPECT_EQ(DefaultInstallDir(disk), "C:\\Program Files (x86)\\Tovarin");
    disk.dirs.insert("D:\\Program Files");
    EXPECT_EQ(DefaultInstallDir(disk), "D:\\Program Files\\Tovarin");
    disk.dirs.insert("D:\\Program Files (x86)");
    EXPECT_EQ(DefaultInstallDir(disk), "D:\\Program Files (x86)\\Tovarin");
}

TEST(DefaultInstallDir, UnsetProgramFilesGivesAPathTheCheckRejects) {
    FakeDisk disk = MachineWithDriveD();
    const std::string dir = DefaultInstallDir(disk);
    EXPECT_EQ(dir, "\\Tovarin");
    EXPECT_EQ(CheckInstallDir(dir, disk).message, kPathInvalidMessage);
    EXPECT_TRUE(disk.made.empty());
}

TEST(ProductLock, StaleLockIsDeletedAndTheInstallGoesOn) {
    FakeDisk disk = MachineWithDriveD();
    disk.files.insert(kLock);
    const DirCheck check = CheckInstallDir("D:\\Tovarin", disk);
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_EQ(disk.files.count(kLock), 0u);
}

TEST(ProductLock, HeldLockFailsBeforeAnyPathCheckAndStays) {
    FakeDisk disk = MachineWithDriveD();
    disk.files.insert(kLock);
    disk.undeletable.insert(kLock);
    for (const char* dir : {"D:\\Tovarin", "Q:\\Tovarin", "Tovarin\\data", ""}) {
        const DirCheck check = CheckInstallDir(dir, disk);
        EXPECT_FALSE(check.ok);
        EXPECT_EQ(check.message, kProductRunningMessage) << dir;
    }
    EXPECT_EQ(disk.files.count(kLock), 1u);
    EXPECT_TRUE(disk.made.empty());
    EXPECT_TRUE(disk.space_queries.empty());
}

// A link the user planted neither blocks the install nor gets followed.
TEST(ProductLock, LockReachedThroughALinkStaysAndDoesNotBlock) {
    FakeDisk disk = MachineWithDriveD();
    disk.files.insert(kLock);
    disk.linked.insert(kLock);
    const DirCheck check = CheckInstallDir("D:\\Tovarin", disk);
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_EQ(disk.files.count(kLock), 1u);
}

TEST(PathUsable, NeedsAnExistingDriveOrShare) {
    FakeDisk disk = MachineWithDriveD();
    for (const char* dir : {"Q:\\Tovarin", "Tovarin\\data", "\\\\srv\\other\\Tovarin", "\\\\srv"})
        EXPECT_EQ(CheckInstallDir(dir, disk).message, kPathInvalidMessage) << dir;
    EXPECT_TRUE(disk.made.empty());
    EXPECT_TRUE(disk.space_queries.empty());
}

TEST(FreeSpace, PassesFromExactly300MiB) {
    FakeDisk disk = MachineWithDriveD();
    disk.free_space["D:"] = 314'572'799;
    EXPECT_EQ(CheckInstallDir("D:\\Tovarin", disk).message, kNoSpaceMessage);
    EXPECT_TRUE(disk.made.empty());
    disk.free_space["D:"] = 314'572'800;
    EXPECT_TRUE(CheckInstallDir("D:\\Tovarin", disk).ok);
}

TEST(FreeSpace, FailedQueryMeansNoSpace) {
    FakeDisk disk = MachineWithDriveD();
    disk.free_space["D:"] = std::nullopt;
    EXPECT_EQ(CheckInstallDir("D:\\Tovarin", disk).message, kNoSpaceMessage);
}

// The free-space query needs "\\server\share\" for a share; a drive keeps "D:".
TEST(FreeSpace, QueriesDriveAsTypedAndShareWithTrailingBackslash) {
    FakeDisk disk = MachineWithDriveD();
    EXPECT_TRUE(CheckInstallDir("D:\\Apps", disk).ok);
    const DirCheck share = CheckInstallDir("\\\\srv\\share\\Apps\\Tovarin", disk);
    EXPECT_TRUE(share.ok) << share.message;
    EXPECT_EQ(disk.space_queries, (std::vector<std::string>{"D:", "\\\\srv\\share\\"}));
    EXPECT_EQ(disk.made, (std::vector<std::string>{"D:\\Apps", "\\\\srv\\share\\Apps",
                                                   "\\\\srv\\share\\Apps\\Tovarin"}));
}

TEST(Writable, CreatesMissingFoldersOutermostFirst) {
    FakeDisk disk = MachineWithDriveD();
    disk.dirs.insert("D:\\A");
    EXPECT_TRUE(CheckInstallDir("D:\\A\\B\\C\\", disk).ok);
    EXPECT_EQ(disk.made, (std::vector<std::string>{"D:\\A\\B", "D:\\A\\B\\C"}));
    EXPECT_EQ(disk.made_for_product, std::vector<std::string>{"D:\\A\\B\\C"}) << "only the innermost is the product's";
    disk.made.clear();
    for (const char* dir : {"D:", "D:\\", "D:\\A\\B\\C", "\\\\srv\\share", "\\\\srv\\share\\"})
        EXPECT_TRUE(CheckInstallDir(dir, disk).ok) << dir;
    EXPECT_TRUE(disk.made.empty());
}

TEST(Writable, ReadOnlyMediumFailsUntilTheFoldersExist) {
    FakeDisk disk = MachineWithDriveD();
    disk.dirs.insert("R:");
    disk.free_space["R:"] = kGiB;
    disk.read_only.insert("R:");
    EXPECT_EQ(CheckInstallDir("R:\\Apps\\Tovarin", disk).message, kNotWritableMessage);
    EXPECT_EQ(disk.made, std::vector<std::string>{"R:\\Apps"});
    disk.dirs.insert({"R:\\Apps", "R:\\Apps\\Tovarin"});
    EXPECT_TRUE(CheckInstallDir("R:\\Apps\\Tovarin", disk).ok);
}

TEST(Writable, NameTheSystemRejectsSaysThePathIsWrong) {
    FakeDisk disk = MachineWithDriveD();
    disk.bad_names.insert("D:\\Apps\\Tovarin");
    EXPECT_EQ(CheckInstallDir("D:\\Apps\\Tovarin", disk).message, kPathInvalidMessage);
}

// Whatever is typed into the path edit either works as typed or fails with a
// message, and never makes a folder other than the ones typed.
TEST(TypedPaths, MalformedInputFailsWithoutTouchingTheDisk) {
    FakeDisk disk = MachineWithDriveD();
    disk.dirs.insert({"1:", "\\\\?\\D:", "\\\\.\\pipe", "D:\\Apps", "D:\\Apps\\Tovarin"});
    const std::string inputs[] = {
        "\"D:\\Apps\\Tovarin\"", "D:\\\"Apps\"\\Tovarin", " D:\\Tovarin",
        "D:\\Apps\\Tovarin ", "D:\\Apps\\Tovarin.", "D:\\Apps. \\Tovarin",
        "D:\\Apps\\..\\Tovarin", "D:\\.\\Tovarin", "D:\\Apps\\..",
        "D:\\CON\\Tovarin", "D:\\Apps\\nul", "D:\\com1.txt\\Tovarin", "D:\\lpt\xC2\xB9\\x", "D:\\Aux .log",
        "D:Tovarin", "D:\\Apps:stream", "D:\\Apps\\*", "D:\\Apps<1>", "D:\\Apps|x", "D:\\Apps?",
        "D:\\Ta\tb", std::string("D:\\Apps\0\\Evil", 13), "D:\\\xC0\xAF", "D:\\\xED\xA0\x80", "D:\\\xFF",
        "\\\\?\\D:\\Tovarin", "\\\\.\\pipe\\x", "\\\\srv\\share\\a|b", "//srv/share/Tovarin", "1:\\Tovarin",
        "D:\\" + std::string(245, 'a'), "D:\\" + std::string(100'000, 'a'),
    };
    for (const std::string& dir : inputs) {
        const DirCheck check = CheckInstallDir(dir, disk);
        EXPECT_FALSE(check.ok) << dir;
        EXPECT_EQ(check.message, kPathInvalidMessage) << dir;
    }
    EXPECT_TRUE(disk.made.empty());
    EXPECT_TRUE(disk.space_queries.empty());
}

TEST(TypedPaths, UnusualButPlainInputWorksAsTyped) {
    FakeDisk disk = MachineWithDriveD();
    const std::string longest = "D:\\" + std::string(242, 'a') + "\xF0\x9F\x98\x80";  // 247 UTF-16 units
    for (const std::string& dir : {std::string("D:/Apps/Tovarin"), std::string("D:\\Two\\\\Seps"),
                                   std::string("D:\\\xEC\x95\xB1\\\xF0\x9F\x98\x80 Tovarin"),
                                   std::string("D:\\.hidden\\a.b\\ lead"), longest}) {
        const DirCheck check = CheckInstallDir(dir, disk);
        EXPECT_TRUE(check.ok) << dir << ": " << check.message;
    }
    EXPECT_EQ(disk.made, (std::vector<std::string>{
                             "D:/Apps", "D:/Apps/Tovarin", "D:\\Two", "D:\\Two\\\\Seps", "D:\\\xEC\x95\xB1",
                             "D:\\\xEC\x95\xB1\\\xF0\x9F\x98\x80 Tovarin", "D:\\.hidden", "D:\\.hidden\\a.b",
                             "D:\\.hidden\\a.b\\ lead", longest}));
}

TEST(InstallDirFromFolder, JoinsWithExactlyOneBackslash) {
    FakeDisk disk = MachineWithDriveD();
    disk.dirs.insert({"E:\\", "E:\\Apps"});
    EXPECT_EQ(InstallDirFromFolder("E:\\", disk), "E:\\Tovarin");
    EXPECT_EQ(InstallDirFromFolder("E:\\Apps", disk), "E:\\Apps\\Tovarin");
    EXPECT_TRUE(disk.made.empty());
}

TEST(InstallDirFromFolder, MissingFolderIsCreatedWithTheProductFolder) {
    FakeDisk disk = MachineWithDriveD();
    EXPECT_EQ(InstallDirFromFolder("D:\\New\\Apps", disk), "D:\\New\\Apps\\Tovarin");
    EXPECT_EQ(disk.made, (std::vector<std::string>{"D:\\New", "D:\\New\\Apps", "D:\\New\\Apps\\Tovarin"}));
    EXPECT_EQ(disk.made_for_product, std::vector<std::string>{"D:\\New\\Apps\\Tovarin"});
}

TEST(InstallDirFromFolder, FailureLeavesTheDirectoryAsItWas) {
    FakeDisk disk = MachineWithDriveD();
    disk.read_only.insert("D:\\RO");
    EXPECT_EQ(InstallDirFromFolder("D:\\RO", disk), std::nullopt);
    EXPECT_EQ(InstallDirFromFolder("Q:\\Apps", disk), std::nullopt);
    disk.made.clear();
    for (const char* folder : {"", "Apps", "D:\\bad|name", "D:\\x\\..\\..\\y"})
        EXPECT_EQ(InstallDirFromFolder(folder, disk), std::nullopt) << folder;
    EXPECT_TRUE(disk.made.empty());
}

}  // namespace
}  // namespace tovarin::core
