#pragma once
// The six installer events. Each call reads the identity fields and the
// install state at the moment it is made, starts the sending thread and
// returns at once; nothing is ever reported back.
#include <string>

namespace tovarin::telemetry {

// "安装器-打开": start-up, before any window.
void SendAppOpened();
// "安装器-开始安装": Install pressed and every check passed.
void SendInstallStarted();
// "安装器-点击退出按钮": the main window opens the exit confirmation.
void SendExitClicked();
// "安装器-出错": the main window opens its error dialog with this message.
void SendErrorShown(const std::string& message);
// "安装器-安装成功": after the shortcuts and the launch.
void SendInstallSucceeded();
// "安装器-安装出错": the extraction failed (sent by the worker).
void SendInstallFailed();

}  // namespace tovarin::telemetry
