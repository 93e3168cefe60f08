#pragma once
// The disk and environment queries behind the install directory rules. Kept
// narrow so the rules run against a fake disk in tests; SystemDirPlatform() is
// the real one (Win32 W functions).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tovarin::core {

// Whether the folder the handle is open on is one this process made as the
// product's folder (MakeProductFolder), judged by its file identity, not its
// path: it was given the product's access list, or inherited one only
// administrators change, when it was made, and needs none put on it later.
bool MadeAsProductFolder(HANDLE folder);

enum class MakeDirResult {
    Created,
    Failed,   // the medium refused: read-only, access denied, a file in the way
    BadPath,  // the system rejected the name itself
};

// What became of a lock file that was to be deleted.
enum class LockRemoval {
    Absent,     // nothing there, or a folder
    Deleted,    // the plain file itself, deleted
    InUse,      // there, and held or protected so that it cannot be deleted
    Elsewhere,  // reached through a link, or not a plain file: left alone
};

class DirPlatform {
public:
    virtual ~DirPlatform() = default;
    // An unset variable reads as empty text.
    virtual std::string Environment(const std::string& name) = 0;
    // Exists and is a directory.
    virtual bool IsDirectory(const std::string& path) = 0;
    // Deletes the plain file `relative` inside `folder`, opened once with the
    // sharing a plain delete uses, without following a link at the file, and
    // only when that file is really there: its final path is the folder's own
    // final path (the folder may itself be behind a link) plus `relative`.
    virtual LockRemoval RemoveLockFile(const std::string& folder, const std::string& relative) = 0;
    // Bytes available to the caller on the volume of `root`; nullopt when the query fails.
    virtual std::optional<std::uint64_t> FreeBytesAvailable(const std::string& root) = 0;
    // One directory; its parent must exist.
    virtual MakeDirResult MakeDirectory(const std::string& path) = 0;
    // The same for the product's own folder: where its parent lets others
    // than the administrators change it, the folder gets an access list of
    // its own that only they can change.
    virtual MakeDirResult MakeProductFolder(const std::string& path) = 0;
};

DirPlatform& SystemDirPlatform();

}  // namespace tovarin::core
