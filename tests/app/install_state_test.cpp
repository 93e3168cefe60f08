#include "app/install_state.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace tovarin {
namespace {

// Every value, as one comparable row.
struct Values {
    std::string installDir, packageTempPath, libraryTempPath;
    bool extractSucceeded, createDesktopShortcut, openAfterInstall, installing;
    state::DialogKind kind;

    static Values Now() {
        return {state::InstallDir(),       state::PackageTempPath(),      state::LibraryTempPath(),
                state::ExtractSucceeded(), state::CreateDesktopShortcut(), state::OpenAfterInstall(),
                state::Installing(),       state::CurrentDialogKind()};
    }
    bool operator==(const Values& o) const {
        return installDir == o.installDir && packageTempPath == o.packageTempPath &&
               libraryTempPath == o.libraryTempPath && extractSucceeded == o.extractSucceeded &&
               createDesktopShortcut == o.createDesktopShortcut && openAfterInstall == o.openAfterInstall &&
               installing == o.installing && kind == o.kind;
    }
};

// Taken before main, before any test touched the state.
const Values atStart = Values::Now();

TEST(InstallState, StartsWithTheDocumentedValuesAndResetReturnsToThem) {
    const Values documented{"", "", "", false, true, true, false, state::DialogKind::Exit};
    EXPECT_TRUE(atStart == documented);
    EXPECT_EQ(static_cast<int>(state::DialogKind::Error), 1);
    state::SetInstallDir("D:\\x");
    state::SetTempPaths("a", "b");
    state::SetExtractSucceeded(true);
    state::SetCreateDesktopShortcut(false);
    state::SetOpenAfterInstall(false);
    state::SetInstalling(true);
    state::SetCurrentDialogKind(state::DialogKind::Error);
    state::ResetForTesting();
    EXPECT_TRUE(Values::Now() == documented);
}

TEST(Text, RoundTripsChineseAndKeepsEmbeddedZeros) {
    const std::string utf8 = "D:\\安装\\Tovarin";
    EXPECT_EQ(Narrow(Widen(utf8)), utf8);
    EXPECT_EQ(Widen(utf8), L"D:\\\x5B89\x88C5\\Tovarin");
    const std::string withZero("a\0b", 3);
    EXPECT_EQ(Widen(withZero).size(), 3u);
    EXPECT_EQ(Widen(""), L"");
}

}  // namespace
}  // namespace tovarin
