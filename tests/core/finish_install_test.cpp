// The completion step's order and choices with a fake system, and the shell
// links it writes, read back through the shell under Wine.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/install_state.h"
#include "archive/test_files.h"
#include "common/handles.h"
#include "common/product_info.h"
#include "common/text.h"
#include "core/finish_install.h"
#include "core/shortcuts.h"

namespace tovarin::core {
namespace {

using tovarin::testing::Exists;
using tovarin::testing::MakeScratchDir;
using tovarin::testing::WriteAll;

const HWND kOwner = reinterpret_cast<HWND>(0x1234);

// Writes down every call, in order, in one list.
struct Recorder final : CompletionWindow, CompletionSystem {
    std::vector<std::string> calls;
    bool uninstallFilesWritten = true;
    InstallRecord recorded;

    ShortcutPaths ShortcutPathsFor(const std::string& folder, const std::string& name) override {
        return {"C:\\Programs\\" + folder + "\\" + name + ".lnk", "C:\\Desktop\\" + name + ".lnk"};
    }
    std::optional<std::string> WriteUninstallFiles(const std::wstring& dir, const InstallRecord& record) override {
        calls.push_back("uninstall files " + Narrow(dir));
        recorded = record;
        if (!uninstallFilesWritten) return std::nullopt;
        return std::string("0123abcd");
    }
    void Register(const Registration& r) override {
        calls.push_back("register " + Narrow(r.installLocation) + "|" + Narrow(r.recordHash) + "|" +
                        std::to_string(r.estimatedSizeKiB) + "|" + Narrow(r.installDate));
    }
    std::wstring InstallDate() override { return L"20261209"; }

    HWND LaunchOwner() const override { return kOwner; }
    void HideWindow() override { calls.push_back("hide"); }
    void popDialog(state::DialogKind kind, const std::string& message) override {
        calls.push_back("dialog " + std::to_string(static_cast<int>(kind)) + " " + message);
    }
    void EndApplication() override { calls.push_back("end"); }
    void MakeProgramsShortcut(const std::string& folder, const std::string& target, const std::string& name,
                              const std::string& description) override {
        calls.push_back("programs " + folder + "|" + target + "|" + name + "|" + description);
    }
    void MakeDesktopShortcut(const std::string& target, const std::string& name,
                             const std::string& description) override {
        calls.push_back("desktop " + target + "|" + name + "|" + description);
    }
    void Launch(HWND owner, const std::string& target, const std::string& dir) override {
        calls.push_back(std::string("launch ") + (owner == kOwner ? "owner " : "? ") + target + "|" + dir);
    }
    void SendSucceeded() override {
        calls.push_back(std::string("event ") + state::InstallDir() + (state::CreateDesktopShortcut() ? " -1" : " 0") +
                        (state::OpenAfterInstall() ? " -1" : " 0"));
    }
    void Pause(DWORD ms) override { calls.push_back("pause " + std::to_string(ms)); }
};

class FinishInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        state::ResetForTesting();
        state::SetInstallDir("D:\\Program Files\\Tovarin");
        InstallRecord extracted;
        extracted.folders = {L"data"};
        extracted.files = {{L"Tovarin.exe", 10, 1}, {L"data\\a.dat", 20, 2}};
        state::SetExtracted(extracted, 2049);
    }
    Recorder r;
    const std::string target = "D:\\Program Files\\Tovarin\\Tovarin.exe";
    const std::string desc = kProductDescription;
};

TEST_F(FinishInstallTest, SuccessWithBothOptionsRunsEveryStepInOrder) {
    state::SetCreateDesktopShortcut(true);
    state::SetOpenAfterInstall(true);
    FinishInstall(true, r, r);
    EXPECT_EQ(r.calls, (std::vector<std::string>{
                           "uninstall files D:\\Program Files\\Tovarin",
                           "register D:\\Program Files\\Tovarin\\|0123abcd|3|20261209",
                           "programs Tovarin|" + target + "|Tovarin|" + desc,
                           "desktop " + target + "|Tovarin|" + desc,
                           "launch owner " + target + "|D:\\Program Files\\Tovarin",
                           "event D:\\Program Files\\Tovarin -1 -1",
                           "hide",
                           "pause 3000",
                           "end",
                       }));
    // The record holds what the extraction wrote and both shortcuts, made after it.
    EXPECT_EQ(r.recorded.installDir, L"D:\\Program Files\\Tovarin");
    EXPECT_EQ(r.recorded.folders, std::vector<std::wstring>{L"data"});
    EXPECT_EQ(r.recorded.files.size(), 2u);
    EXPECT_EQ(r.recorded.shortcuts,
              (std::vector<std::wstring>{L"C:\\Programs\\Tovarin\\Tovarin.lnk", L"C:\\Desktop\\Tovarin.lnk"}));
}

TEST_F(FinishInstallTest, ClearedOptionsKeepOnlyTheProgramsShortcut) {
    state::SetCreateDesktopShortcut(false);
    state::SetOpenAfterInstall(false);
    FinishInstall(true, r, r);
    EXPECT_EQ(r.calls, (std::vector<std::string>{
                           "uninstall files D:\\Program Files\\Tovarin",
                           "register D:\\Program Files\\Tovarin\\|0123abcd|3|20261209",
                           "programs Tovarin|" + target + "|Tovarin|" + desc,
                           "event D:\\Program Files\\Tovarin 0 0",
                           "hide",
                           "pause 3000",
                           "end",
                       }));
    EXPECT_EQ(r.recorded.shortcuts, std::vector<std::wstring>{L"C:\\Programs\\Tovarin\\Tovarin.lnk"});
}

// Without its record the product is not registered, and is installed all the same.
TEST_F(FinishInstallTest, NoRecordMeansNoRegistrationAndTheRestGoesOn) {
    state::SetCreateDesktopShortcut(false);
    state::SetOpenAfterInstall(false);
    r.uninstallFilesWritten = false;
    FinishInstall(true, r, r);
    EXPECT_EQ(r.calls, (std::vector<std::string>{
                           "uninstall files D:\\Program Files\\Tovarin",
                           "programs Tovarin|" + target + "|Tovarin|" + desc,
                           "event D:\\Program Files\\Tovarin 0 0",
                           "hide",
                           "pause 3000",
                           "end",
                       }));
}

TEST_F(FinishInstallTest, FailureOnlyShowsTheErrorDialog) {
    FinishInstall(false, r, r);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"dialog 1 " + std::string(kInstallFailedMessage)}));
}

// The real shell links, under Wine.
class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        dir_ = MakeScratchDir("links");
        // ASCII: Wine keeps a link's target only in the ANSI code page.
        installDir_ = dir_ + "\\Program Files";
        CreateDirectoryW(Widen(installDir_).c_str(), nullptr);
        target_ = installDir_ + "\\Tovarin.exe";
        ASSERT_TRUE(WriteAll(target_, "MZ"));
    }
    void TearDown() override { CoUninitialize(); }

    struct LinkFields {
        std::string path, workingDir, description, iconPath;
        int iconIndex = -1;
    };
    static LinkFields Read(const std::string& linkPath) {
        LinkFields f;
        ComPtr<IShellLinkW> link;
        EXPECT_TRUE(SUCCEEDED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())));
        if (!link) return f;
        const ComPtr<IPersistFile> file = link.query<IPersistFile>(IID_IPersistFile);
        EXPECT_TRUE(SUCCEEDED(file->Load(Widen(linkPath).c_str(), STGM_READ))) << linkPath;
        wchar_t buffer[MAX_PATH * 2] = {};
        if (SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, nullptr, 0))) f.path = Narrow(buffer);
        buffer[0] = 0;
        if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH * 2))) f.workingDir = Narrow(buffer);
        buffer[0] = 0;
        if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 2))) f.description = Narrow(buffer);
        buffer[0] = 0;
        if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH * 2, &f.iconIndex))) f.iconPath = Narrow(buffer);
        return f;
    }
    void ExpectPointsAtTarget(const std::string& linkPath) {
        const LinkFields f = Read(linkPath);
        EXPECT_EQ(f.path, target_);
        EXPECT_EQ(f.workingDir, installDir_ + "\\");
        EXPECT_EQ(f.description, kProductDescription);
        EXPECT_EQ(f.iconPath, target_);
        EXPECT_EQ(f.iconIndex, 0);
    }

    std::string dir_, installDir_, target_;
};

TEST_F(ShortcutTest, ProgramsFolderIsCreatedWithItsParentsThenReused) {
    const std::string programs = dir_ + "\\Start Menu\\Programs";  // neither exists yet
    ASSERT_TRUE(MakeProgramsShortcutIn(programs, "Tovarin", target_, "Tovarin", kProductDescription));
    const std::string link = programs + "\\Tovarin\\Tovarin.lnk";
    ASSERT_TRUE(Exists(link));
    ExpectPointsAtTarget(link);

    // A second install finds the folder and what else lies in it.
    ASSERT_TRUE(WriteAll(programs + "\\Tovarin\\other.txt", "kept"));
    ASSERT_TRUE(MakeProgramsShortcutIn(programs, "Tovarin", target_, "Tovarin", kProductDescription));
    EXPECT_TRUE(Exists(programs + "\\Tovarin\\other.txt"));
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW(Widen(programs + "\\*").c_str(), &found));
    std::vector<std::string> entries;
    if (find) {
        do {
            const std::string name = Narrow(found.cFileName);
            if (name != "." && name != "..") entries.push_back(name);
        } while (FindNextFileW(find.get(), &found));
    }
    EXPECT_EQ(entries, std::vector<std::string>{"Tovarin"});
}

TEST_F(ShortcutTest, ALinkThatCannotBeSavedIsReportedNotThrown) {
    EXPECT_FALSE(WriteShellLink(dir_ + "\\missing\\folder\\Tovarin.lnk", target_, kProductDescription));
}

TEST_F(ShortcutTest, TheUsersProgramsAndDesktopFoldersAreFound) {
    for (int csidl : {kCsidlPrograms, kCsidlDesktopDirectory}) {
        const std::optional<std::string> path = SpecialFolderPath(csidl);
        ASSERT_TRUE(path) << csidl;
        const DWORD attributes = GetFileAttributesW(Widen(*path).c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << *path;
    }
    EXPECT_EQ(FolderWithBackslash("D:\\Program Files\\Tovarin\\Tovarin.exe"), "D:\\Program Files\\Tovarin\\");
    EXPECT_EQ(FolderWithBackslash("Tovarin.exe"), "");
}

}  // namespace
}  // namespace tovarin::core
