#pragma once
// Where a shell link leads, read from the link file's bytes (read through a
// handle already checked), so the file is never opened by name a second time.
#include <optional>
#include <string>

namespace tovarin::uninstall {

// The link's target path as stored; nullopt when the bytes are no shell link.
// Initialises COM on the calling thread when it is not yet.
std::optional<std::wstring> ShellLinkTarget(const std::string& bytes);

}  // namespace tovarin::uninstall
