// The road a file is opened by, decided before anything starts, and taken once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/desktop_open.h"

namespace tovarin::core {
namespace {

const HWND kOwner = reinterpret_cast<HWND>(0x1234);

struct FakeShell final : DesktopShell {
    ShellReach reach;
    HRESULT shellResult = S_OK;
    std::vector<std::string> calls;

    ShellReach Reach() override {
        calls.push_back("reach");
        return reach;
    }
    HRESULT OpenThroughShell(const OpenRequest& r) override {
        calls.push_back("shell " + r.file + "|" + r.directory);
        return shellResult;
    }
    void OpenDirect(const OpenRequest& r) override {
        calls.push_back(std::string("direct ") + (r.owner == kOwner ? "owner " : "? ") + r.file + "|" + r.directory);
    }
};

struct Row {
    const char* name;
    bool dispatchHeld;
    ShellProcess process;
    HRESULT shellResult;
    bool throughShell;
};

TEST(DesktopOpen, OneRoadChosenBeforeTheStartAndNoSecondTry) {
    const Row rows[] = {
        {"no shell window or a step of the walk failed", false, ShellProcess::Unknown, S_OK, false},
        {"walk failed though the process looked fine", false, ShellProcess::Unelevated, S_OK, false},
        {"shell of the desktop user", true, ShellProcess::Unelevated, S_OK, true},
        {"shell call failed after it was made", true, ShellProcess::Unelevated, E_FAIL, true},
        {"shell of another account that refuses queries", true, ShellProcess::Foreign, S_OK, true},
        {"shell elevated as this process", true, ShellProcess::Elevated, S_OK, false},
        {"shell process could not be told", true, ShellProcess::Unknown, S_OK, false},
    };
    const std::string target = "D:\\Program Files\\Tovarin\\Tovarin.exe", dir = "D:\\Program Files\\Tovarin";
    const OpenRequest request{kOwner, target, dir};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeShell shell;
        shell.reach = {row.dispatchHeld, row.process};
        shell.shellResult = row.shellResult;
        OpenAsDesktopUser(request, shell);
        // The direct road keeps the owner window; both keep the file and the directory.
        const std::string opened = (row.throughShell ? "shell " : "direct owner ") + target + "|" + dir;
        EXPECT_EQ(shell.calls, (std::vector<std::string>{"reach", opened}));
    }
}

}  // namespace
}  // namespace tovarin::core
