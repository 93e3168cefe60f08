#pragma once
// The JSON bodies of the installer events. Pure: every value comes in as an
// argument, so the exact bytes can be checked without a machine to probe.
#include <initializer_list>
#include <string>
#include <string_view>

namespace tovarin::telemetry {

// The four fields every body begins with.
struct Identity {
    std::string version;
    std::string mac;
    std::string osName;
    std::string osVersion;
};

// Which window the user is on.
inline constexpr char kStepMainWindow[] = "首页";
inline constexpr char kStepProgressWindow[] = "下载页";
// The message of a failed extraction.
inline constexpr char kExtractFailedMessage[] = "解压失败";

// Escapes a value for a JSON string: backslash, double quote and control
// characters; every other character, Chinese included, stays as it is.
std::string EscapeJsonValue(std::string_view value);

// Replaces each "%s" of the template, first to last, with the next value
// escaped. Extra markers stay as they are; extra values are dropped.
std::string FillTemplate(std::string_view tmpl, std::initializer_list<std::string_view> values);

// "-1" when set, "0" when clear.
std::string_view FlagText(bool set);

// Event 1, "安装器-打开".
std::string AppOpenedBody(const Identity& id);
// Event 2, "安装器-开始安装".
std::string InstallStartedBody(const Identity& id, std::string_view installDir, bool desktopShortcut,
                               bool openAfterInstall);
// Event 3, "安装器-点击退出按钮".
std::string ExitClickedBody(const Identity& id, std::string_view step);
// Events 4 "安装器-出错" and 6 "安装器-安装出错".
std::string ErrorBody(const Identity& id, std::string_view step, std::string_view installDir,
                      std::string_view message);
// Event 5, "安装器-安装成功".
std::string InstallSucceededBody(const Identity& id, std::string_view step, std::string_view installDir,
                                 bool desktopShortcut, bool openAfterInstall);

}  // namespace tovarin::telemetry
