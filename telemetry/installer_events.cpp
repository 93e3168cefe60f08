#include "telemetry/installer_events.h"

#include "app/install_state.h"
#include "common/text.h"
#include "telemetry/event_bodies.h"
#include "telemetry/event_sender.h"
#include "telemetry/identity_probes.h"

namespace tovarin::telemetry {
namespace {

Identity CurrentIdentity() {
    return {state::kInstallerVersion, GetMacText(), GetOsName(), GetOsVersionText()};
}

void Send(const char* type, const std::string& body) { SendInstallerEvent(Widen(type), Widen(body)); }

}  // namespace

void SendAppOpened() { Send("安装器-打开", AppOpenedBody(CurrentIdentity())); }

void SendInstallStarted() {
    Send("安装器-开始安装", InstallStartedBody(CurrentIdentity(), state::InstallDir(), state::CreateDesktopShortcut(),
                                               state::OpenAfterInstall()));
}

void SendExitClicked() { Send("安装器-点击退出按钮", ExitClickedBody(CurrentIdentity(), kStepMainWindow)); }

void SendErrorShown(const std::string& message) {
    Send("安装器-出错", ErrorBody(CurrentIdentity(), kStepMainWindow, state::InstallDir(), message));
}

void SendInstallSucceeded() {
    Send("安装器-安装成功", InstallSucceededBody(CurrentIdentity(), kStepProgressWindow, state::InstallDir(),
                                                 state::CreateDesktopShortcut(), state::OpenAfterInstall()));
}

void SendInstallFailed() {
    Send("安装器-安装出错",
         ErrorBody(CurrentIdentity(), kStepProgressWindow, state::InstallDir(), kExtractFailedMessage));
}

}  // namespace tovarin::telemetry
