#include "core/finish_install.h"

#include "common/phase_trace.h"
#include "common/product_info.h"
#include "common/text.h"
#include "core/desktop_open.h"
#include "core/shortcuts.h"
#include "core/uninstall_entry.h"
#include "core/uninstall_files.h"
#include "telemetry/installer_events.h"

namespace tovarin::core {
namespace {

// For a debugger only: the user sees an installed product either way.
void Note(const std::string& what) { ::OutputDebugStringW(Widen("TovarinSetup: " + what).c_str()); }

class RealCompletion final : public CompletionSystem {
public:
    ShortcutPaths ShortcutPathsFor(const std::string& folderName, const std::string& linkName) override {
        return CurrentShortcutPaths(folderName, linkName);
    }
    std::optional<std::string> WriteUninstallFiles(const std::wstring& dir, const InstallRecord& thisInstall) override {
        // Runs inside a window's message handling: nothing may leave it.
        try {
            std::string failure;
            std::optional<std::string> hash = core::WriteUninstallFiles(dir, thisInstall, failure);
            if (!hash) Note("no uninstaller: " + failure);
            return hash;
        } catch (...) {
            return std::nullopt;
        }
    }
    void Register(const Registration& registration) override {
        try {
            std::string failure;
            if (!WriteRegistration(registration, failure)) Note("not registered: " + failure);
        } catch (...) {
        }
    }
    std::wstring InstallDate() override {
        SYSTEMTIME today{};
        ::GetLocalTime(&today);
        return InstallDateText(today);
    }
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
    const bool desktop = state::CreateDesktopShortcut();

    // What this install put on the machine, the shortcuts it is about to make included.
    const ShortcutPaths links = system.ShortcutPathsFor(kProductName, kProductName);
    InstallRecord record = state::ExtractedItems();
    record.installDir = RecordDir(dir);
    if (links.programs) record.shortcuts.push_back(Widen(*links.programs));
    if (desktop && links.desktop) record.shortcuts.push_back(Widen(*links.desktop));
    if (const std::optional<std::string> hash = system.WriteUninstallFiles(record.installDir, record)) {
        system.Register(RegistrationFor(record.installDir, *hash, state::UnpackedBytes(), system.InstallDate()));
    }
    TracePhase("registered");
    system.MakeProgramsShortcut(kProductName, target, kProductName, kProductDescription);
    if (desktop) system.MakeDesktopShortcut(target, kProductName, kProductDescription);
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
