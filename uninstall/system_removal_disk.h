#pragma once
// The removal's disk on this machine.
#include <memory>
#include <string>

#include "uninstall/removal_disk.h"

namespace tovarin::uninstall {

// Holds installDir open from here on (no link at its last part), so it can be
// neither renamed nor replaced while the removal works in it.
std::unique_ptr<RemovalDisk> SystemRemovalDisk(const std::wstring& installDir);

}  // namespace tovarin::uninstall
