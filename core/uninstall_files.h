#pragma once
// The uninstaller and the install record, written into the install directory
// by the completion step through one handle on that directory.
#include <optional>
#include <string>

#include "common/install_record.h"

namespace tovarin::core {

// Resource of the installer that holds Uninstall.exe.
inline constexpr char kUninstallerResource[] = "UNINSTALLER";

// Opens dir once, held so that it cannot be renamed or replaced meanwhile.
// Where others than the administrators may change it, it first gets the
// product folder's access list and the administrators as its owner (not
// through a link: a folder reached through one is left as it is, and then
// nothing is written). Then writes Uninstall.exe (the resource) and
// Uninstall.dat: thisInstall with the two files added, merged with the
// earlier record of dir that the registration vouches for. Each file is
// opened relative to dir without following a link; whatever had its name is
// deleted first, so each is a new plain file of one name, written whole.
// Gives the hash of the record's bytes, or nothing (failure says why).
std::optional<std::string> WriteUninstallFiles(const std::wstring& dir, InstallRecord thisInstall,
                                               std::string& failure);

}  // namespace tovarin::core
