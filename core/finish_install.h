#pragma once
// The completion step: after a successful extraction the uninstaller, the
// install record and the registration, the shortcuts, the product's start,
// the success event, and the end of the installer; after a failed one the
// error dialog over the progress window.
#include <windows.h>

#include <optional>
#include <string>

#include "app/install_state.h"
#include "common/install_record.h"
#include "common/uninstall_registration.h"
#include "core/install_dir.h"
#include "core/shortcuts.h"

namespace tovarin::core {

// A failed extraction says what a failed path check says.
inline constexpr const char* kInstallFailedMessage = kPathInvalidMessage;
inline constexpr DWORD kEndPauseMs = 3000;

// What the step needs of the progress window and the application.
class CompletionWindow {
public:
    virtual ~CompletionWindow() = default;
    virtual HWND LaunchOwner() const = 0;
    virtual void HideWindow() = 0;
    // Shows the dialog modally; returns once it has closed.
    virtual void popDialog(state::DialogKind kind, const std::string& message) = 0;
    // Asks the application to end its message loop.
    virtual void EndApplication() = 0;
};

// What the step does to the system.
class CompletionSystem {
public:
    virtual ~CompletionSystem() = default;
    // Where the two shortcuts will be made (CurrentShortcutPaths).
    virtual ShortcutPaths ShortcutPathsFor(const std::string& folderName, const std::string& linkName) = 0;
    // Uninstall.exe and Uninstall.dat into dir (WriteUninstallFiles): the
    // record's hash, or nothing when they could not be written.
    virtual std::optional<std::string> WriteUninstallFiles(const std::wstring& dir, const InstallRecord& thisInstall) = 0;
    // Replaces the product's registration; a failure is only noted.
    virtual void Register(const Registration& registration) = 0;
    // Today in local time, YYYYMMDD.
    virtual std::wstring InstallDate() = 0;
    virtual void MakeProgramsShortcut(const std::string& folderName, const std::string& target,
                                      const std::string& linkName, const std::string& description) = 0;
    virtual void MakeDesktopShortcut(const std::string& target, const std::string& linkName,
                                     const std::string& description) = 0;
    virtual void Launch(HWND owner, const std::string& target, const std::string& workingDir) = 0;
    virtual void SendSucceeded() = 0;
    virtual void Pause(DWORD milliseconds) = 0;
};

// The real one: the install directory's own files, the registry, shell
// links, the product started as the desktop's user, the telemetry event, Sleep.
CompletionSystem& SystemCompletion();

// Runs on the user-interface thread. Reads InstallDir, the two options and
// what the extraction wrote. Order on success: uninstaller and record,
// registration, programs shortcut, desktop shortcut, launch, event, hide,
// pause, end. The record lists the shortcuts before they are made. Without
// the record there is no registration; neither is an install failure, and
// results of the shell calls are not looked at.
void FinishInstall(bool succeeded, CompletionWindow& window, CompletionSystem& system = SystemCompletion());

}  // namespace tovarin::core
