#pragma once
// The uninstaller's rules: whom it trusts, what it refuses, and the order in
// which it removes what the install record lists. The machine is reached only
// through RemovalDisk.
#include <functional>
#include <string>
#include <variant>

#include "common/install_record.h"
#include "uninstall/removal_disk.h"
#include "uninstall/removal_report.h"

namespace tovarin::uninstall {

// A record that may be acted on: it hashes to the registration's value and
// names the directory the uninstaller was started from.
struct RemovalPlan {
    std::wstring installDir;  // no trailing separator
    InstallRecord record;
};

// The registration and record checks, in that order. installDir: the folder
// the original uninstaller ran from. A report when nothing is to be done: a
// refusal, or (the record already gone while the registration still names
// it) the registration removed and the removal finished.
std::variant<RemovalPlan, RemovalReport> PrepareRemoval(RemovalDisk& disk, const std::wstring& installDir);

// Removes what the plan lists: files, shortcuts, folders, the record, the
// registration. Anything that could not be removed stops it before the
// record, so that a second run finds the record and finishes.
RemovalReport RemoveInstall(RemovalDisk& disk, const RemovalPlan& plan, const std::function<void(double)>& progress);

// The quiet run: checks, the lock rule, the removal.
RemovalReport RunQuietRemoval(RemovalDisk& disk, const std::wstring& installDir);

// Once the original uninstaller has exited, after a removal that finished:
// Uninstall.exe, and the install directory when nothing else is in it.
void RemoveUninstallerAndDir(RemovalDisk& disk);

}  // namespace tovarin::uninstall
