#include "telemetry/event_bodies.h"

#include <gtest/gtest.h>

namespace tovarin::telemetry {
namespace {

const Identity kId{"3.1.1", "00-0C-29-AB-CD-EF", "Windows_NT", "6.1"};
const char kIdFields[] = R"("版本":"3.1.1","MAC":"00-0C-29-AB-CD-EF","操作系统名称":"Windows_NT","操作系统版本":"6.1")";

std::string WithId(const std::string& rest) { return std::string("{") + kIdFields + rest + "}"; }

TEST(EventBodies, AppOpenedIsTheTemplateByteForByte) {
    EXPECT_EQ(AppOpenedBody(kId),
              R"({"版本":"3.1.1","MAC":"00-0C-29-AB-CD-EF","操作系统名称":"Windows_NT","操作系统版本":"6.1"})");
    EXPECT_EQ(AppOpenedBody({"3.1.1", "", "", "6.2"}),
              R"({"版本":"3.1.1","MAC":"","操作系统名称":"","操作系统版本":"6.2"})");
}

TEST(EventBodies, InstallStartedWithBothFlagValues) {
    EXPECT_EQ(InstallStartedBody(kId, "C:/Tovarin", true, true),
              WithId(R"(,"安装目录":"C:/Tovarin","桌面快捷方式":"-1","安装完成后打开":"-1")"));
    EXPECT_EQ(InstallStartedBody(kId, "C:/Tovarin", false, false),
              WithId(R"(,"安装目录":"C:/Tovarin","桌面快捷方式":"0","安装完成后打开":"0")"));
    EXPECT_EQ(InstallStartedBody(kId, "", true, false),
              WithId(R"(,"安装目录":"","桌面快捷方式":"-1","安装完成后打开":"0")"));
}

TEST(EventBodies, ExitClickedCarriesTheStep) {
    EXPECT_EQ(ExitClickedBody(kId, kStepMainWindow), WithId(R"(,"当前步骤":"首页")"));
}

TEST(EventBodies, ErrorBodiesOfTheMainWindowAndTheWorker) {
    EXPECT_EQ(ErrorBody(kId, kStepMainWindow, "E:/x", "安装失败，可用空间不足300MB"),
              WithId(R"(,"当前步骤":"首页","安装目录":"E:/x","出错提示":"安装失败，可用空间不足300MB")"));
    EXPECT_EQ(ErrorBody(kId, kStepProgressWindow, "E:/x", kExtractFailedMessage),
              WithId(R"(,"当前步骤":"下载页","安装目录":"E:/x","出错提示":"解压失败")"));
}

TEST(EventBodies, InstallSucceededWithBothFlagValues) {
    EXPECT_EQ(InstallSucceededBody(kId, kStepProgressWindow, "E:/x", true, true),
              WithId(R"(,"当前步骤":"下载页","安装目录":"E:/x","桌面快捷方式":"-1","安装完成后打开":"-1")"));
    EXPECT_EQ(InstallSucceededBody(kId, kStepProgressWindow, "E:/x", false, true),
              WithId(R"(,"当前步骤":"下载页","安装目录":"E:/x","桌面快捷方式":"0","安装完成后打开":"-1")"));
}

TEST(EventBodies, ValuesAreEscapedAsJsonStrings) {
    EXPECT_EQ(EscapeJsonValue("D:\\Program Files\\Tovarin"), "D:\\\\Program Files\\\\Tovarin");
    EXPECT_EQ(EscapeJsonValue("say \"hi\""), "say \\\"hi\\\"");
    EXPECT_EQ(EscapeJsonValue("a\nb\rc\td\be\ff"), "a\\nb\\rc\\td\\be\\ff");
    EXPECT_EQ(EscapeJsonValue(std::string("\x01\x1F\0", 3)), "\\u0001\\u001f\\u0000");
    EXPECT_EQ(EscapeJsonValue("安装/目录 \x7F ~%s"), "安装/目录 \x7F ~%s");

    // A marker inside a value is text, not a place for the next value.
    EXPECT_EQ(ErrorBody({"3.1.1", "", "Win\"NT", "6.1"}, kStepMainWindow, "D:\\Program Files\\%s", "m"),
              R"({"版本":"3.1.1","MAC":"","操作系统名称":"Win\"NT","操作系统版本":"6.1","当前步骤":"首页",)"
              R"("安装目录":"D:\\Program Files\\%s","出错提示":"m"})");
}

}  // namespace
}  // namespace tovarin::telemetry
