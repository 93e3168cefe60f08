#include <windows.h>
#include <objbase.h>

#include <variant>

#include "common/com_apartment.h"
#include "startup/process_hardening.h"
#include "uninstall/removal.h"
#include "uninstall/self_copy.h"
#include "uninstall/system_removal_disk.h"
#include "uninstall/uninstall_window.h"

namespace tovarin::uninstall {
namespace {

RemovalReport RunWithWindow(RemovalDisk& disk, const std::wstring& installDir) {
    std::variant<RemovalPlan, RemovalReport> prepared = PrepareRemoval(disk, installDir);
    if (auto* report = std::get_if<RemovalReport>(&prepared)) {
        ShowUninstallMessage(report->userText);
        return std::move(*report);
    }
    const RemovalPlan& plan = std::get<RemovalPlan>(prepared);
    std::optional<RemovalReport> report =
        RunUninstallWindow([&disk] { return disk.ProductRunning(); },
                           [&](const std::function<void(double)>& progress) { return RemoveInstall(disk, plan, progress); });
    if (report) return std::move(*report);
    // Declined: nothing was removed, and the uninstaller stays.
    RemovalReport declined;
    declined.failure = "Declined";
    return declined;
}

int RunCopy(CopyArguments arguments) {
    const ComApartment com;
    RemovalOutcome outcome = RemovalOutcome::Failed;
    {
        const std::unique_ptr<RemovalDisk> disk = SystemRemovalDisk(arguments.installDir);
        const RemovalReport report =
            arguments.quiet ? RunQuietRemoval(*disk, arguments.installDir) : RunWithWindow(*disk, arguments.installDir);
        outcome = report.outcome;
        SendResult(arguments, outcome);
        // The original exits as soon as it has the result; its image goes with it.
        const bool originalEnded =
            arguments.original && ::WaitForSingleObject(arguments.original.get(), 60 * 1000) == WAIT_OBJECT_0;
        if (outcome == RemovalOutcome::Removed && originalEnded) RemoveUninstallerAndDir(*disk);
    }
    ScheduleOwnRemoval();
    return static_cast<int>(outcome);
}

}  // namespace
}  // namespace tovarin::uninstall

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tovarin::app::RestrictDllSearchPath();        // first: before anything loads a DLL
    tovarin::app::RefuseUntrustedRedirections();  // before the first file of our own is opened
    // No current folder inside the install directory: it is to be removed.
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) ::SetCurrentDirectoryW(system);

    bool quiet = false;
    std::optional<tovarin::uninstall::CopyArguments> copy =
        tovarin::uninstall::CopyArgumentsFrom(::GetCommandLineW(), quiet);
    if (copy) return tovarin::uninstall::RunCopy(std::move(*copy));
    return tovarin::uninstall::RunAsOriginal(quiet);
}
