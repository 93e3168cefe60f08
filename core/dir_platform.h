#pragma once
// The disk and environment queries behind the install directory rules. Kept
// narrow so the rules run against a fake disk in tests; SystemDirPlatform() is
// the real one (Win32 W functions).
#include <cstdint>
#include <optional>
#include <string>

namespace tovarin::core {

enum class MakeDirResult {
    Created,
    Failed,   // the medium refused: read-only, access denied, a file in the way
    BadPath,  // the system rejected the name itself
};

class DirPlatform {
public:
    virtual ~DirPlatform() = default;
    // An unset variable reads as empty text.
    virtual std::string Environment(const std::string& name) = 0;
    // Exists and is a directory.
    virtual bool IsDirectory(const std::string& path) = 0;
    // Exists and is not a directory.
    virtual bool IsFile(const std::string& path) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // Bytes available to the caller on the volume of `root`; nullopt when the query fails.
    virtual std::optional<std::uint64_t> FreeBytesAvailable(const std::string& root) = 0;
    // One directory; its parent must exist.
    virtual MakeDirResult MakeDirectory(const std::string& path) = 0;
};

DirPlatform& SystemDirPlatform();

}  // namespace tovarin::core
