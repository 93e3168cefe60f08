#include "core/finish_install.h"

#include "common/phase_trace.h"
#include "common/product_info.h"
#include "core/desktop_open.h"
#include "core/shortcuts.h"
#include "telemetry/installer_events.h"

namespace tovarin::core {
namespace {

class RealCompletion final : public CompletionSystem {
public:
    void MakeProgramsShortcut(const std::string& folderName, const std::string& target, const std::string& linkName,
                              const std::string& description) override {
        core::MakeProgramsShortcut(folderName, target, linkName, description);
    }
    void MakeDesktopShortcut(const std::string& target, const std::string& linkName,
                             const std::string& description) override {
        core::MakeDesktopShortcut(target, linkName, description);
    }
    void Launch(HWND owner, const std::string& target, const std::string& workingDir) override {
        OpenAsDesktopUser({owner, target, workingDir});
    }
    void SendSucceeded() override { telemetry::SendInstallSucceeded(); }
    void Pause(DWORD milliseconds) override { Sleep(milliseconds); }
};

}  // namespace

CompletionSystem& SystemCompletion() {
    static RealCompletion system;
    return system;
}

void FinishInstall(bool succeeded, CompletionWindow& window, CompletionSystem& system) {
    if (!succeeded) {
        // The worker has already sent the failure event.
        window.popDialog(state::DialogKind::Error, kInstallFailedMessage);
        return;
    }
    TracePhase("finish");
    const std::string dir = state::InstallDir();
    const std::string target = dir + "\\" + kProductExe;
    system.MakeProgramsShortcut(kProductName, target, kProductName, kProductDescription);
    if (state::CreateDesktopShortcut()) system.MakeDesktopShortcut(target, kProductName, kProductDescription);
    TracePhase("shortcuts");
    if (state::OpenAfterInstall()) system.Launch(window.LaunchOwner(), target, dir);
    TracePhase("launched");
    system.SendSucceeded();
    window.HideWindow();
    TracePhase("hidden");
    // Gives the event's thread time to deliver before the process goes.
    system.Pause(kEndPauseMs);
    window.EndApplication();
}

}  // namespace tovarin::core
