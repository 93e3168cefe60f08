#include "app/install_state.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/text.h"

namespace tovarin {
namespace {

TEST(InstallState, StartsWithTheDocumentedValues) {
    state::ResetForTesting();
    EXPECT_EQ(state::InstallDir(), "");
    EXPECT_EQ(state::PackageTempPath(), "");
    EXPECT_FALSE(state::ExtractSucceeded());
    EXPECT_TRUE(state::CreateDesktopShortcut());
    EXPECT_TRUE(state::OpenAfterInstall());
    EXPECT_FALSE(state::Installing());
    EXPECT_EQ(state::CurrentDialogKind(), state::DialogKind::Exit);
    EXPECT_EQ(static_cast<int>(state::DialogKind::Error), 1);
}

TEST(InstallState, FlagWrittenOnAnotherThreadIsSeenAfterJoin) {
    state::ResetForTesting();
    std::thread([] { state::SetInstalling(true); }).join();
    EXPECT_TRUE(state::Installing());
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
