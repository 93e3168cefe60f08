#include "core/install_dir.h"

#include <string_view>

#include "common/product_info.h"
#include "core/path_syntax.h"

namespace tovarin::core {
namespace {

constexpr char kLockFile[] = "belvastro\\.lock";

// The drive part names an existing directory and the rest of the path is
// read by the system exactly as typed.
bool PathUsable(const std::string& dir, DirPlatform& platform) {
    const std::string_view drive = DrivePart(dir);
    return !drive.empty() && IsPlainDirectoryPath(dir) && platform.IsDirectory(std::string(drive));
}

bool EnoughSpace(const std::string& dir, DirPlatform& platform) {
    std::string root(DrivePart(dir));
    // The free-space query takes a share only with a trailing backslash;
    // a drive stays "D:".
    if (root[1] != ':') root += '\\';
    std::int64_t available = 0;
    if (const auto bytes = platform.FreeBytesAvailable(root)) available = static_cast<std::int64_t>(*bytes);
    return available >= kMinimumFreeSpace;
}

enum class Ensured { Present, CannotCreate, BadPath };

// Creates every missing directory of `dir`, outermost first.
Ensured EnsureDirectory(std::string_view dir, DirPlatform& platform) {
    if (!dir.empty() && IsSeparator(dir.back())) dir.remove_suffix(1);
    const std::size_t drive_len = DrivePart(dir).size();
    if (dir.size() <= drive_len || platform.IsDirectory(std::string(dir))) return Ensured::Present;
    for (std::size_t end = drive_len + 1; end <= dir.size(); ++end) {
        if (end < dir.size() && !IsSeparator(dir[end])) continue;
        if (IsSeparator(dir[end - 1])) continue;  // doubled separator
        const std::string step(dir.substr(0, end));
        if (platform.IsDirectory(step)) continue;
        // The innermost folder is the product's own.
        switch (end == dir.size() ? platform.MakeProductFolder(step) : platform.MakeDirectory(step)) {
        case MakeDirResult::Created:
            break;
        case MakeDirResult::BadPath:
            return Ensured::BadPath;
        case MakeDirResult::Failed:
            // Someone else may have made it just now.
            if (!platform.IsDirectory(step)) return Ensured::CannotCreate;
            break;
        }
    }
    return Ensured::Present;
}

std::string WithProductFolder(const std::string& folder) {
    std::string dir = folder;
    if (dir.empty() || !IsSeparator(dir.back())) dir += '\\';
    return dir + kProductName;
}

DirCheck Fail(const char* message) { return {false, message}; }

}  // namespace

bool ProductRunning(DirPlatform& platform) {
    switch (platform.RemoveLockFile(platform.Environment("USERPROFILE"), kLockFile)) {
    case LockRemoval::InUse:
        return true;
    case LockRemoval::Elsewhere:
        // Reached through a link the user may have planted: never deleted.
        // It was opened for deletion with the sharing a delete uses, so
        // nothing held it the way the running product holds its lock: not
        // running. Refusing instead would let any link block every install.
        return false;
    case LockRemoval::Absent:
    case LockRemoval::Deleted:
        break;
    }
    return false;
}

std::string DefaultInstallDir(DirPlatform& platform) {
    for (const char* candidate : {"D:\\Program Files (x86)", "D:\\Program Files"})
        if (platform.IsDirectory(candidate)) return WithProductFolder(candidate);
    return platform.Environment("PROGRAMFILES") + '\\' + kProductName;
}

std::optional<std::string> InstallDirFromFolder(const std::string& folder, DirPlatform& platform) {
    try {
        std::string candidate = WithProductFolder(folder);
        if (!folder.empty() && platform.IsDirectory(folder)) return candidate;
        if (PathUsable(candidate, platform) && EnsureDirectory(candidate, platform) == Ensured::Present)
            return candidate;
    } catch (...) {
        // Out of memory: the directory simply stays as it was.
    }
    return std::nullopt;
}

DirCheck CheckInstallDir(const std::string& dir, DirPlatform& platform) {
    try {
        if (ProductRunning(platform)) return Fail(kProductRunningMessage);
        if (!PathUsable(dir, platform)) return Fail(kPathInvalidMessage);
        if (!EnoughSpace(dir, platform)) return Fail(kNoSpaceMessage);
        switch (EnsureDirectory(dir, platform)) {
        case Ensured::Present:
            return {true, {}};
        case Ensured::CannotCreate:
            return Fail(kNotWritableMessage);
        case Ensured::BadPath:
            break;
        }
    } catch (...) {
        // Never raise to the window; a check that could not run says the path is wrong.
    }
    return Fail(kPathInvalidMessage);
}

std::string DefaultInstallDir() { return DefaultInstallDir(SystemDirPlatform()); }

std::optional<std::string> InstallDirFromFolder(const std::string& folder) {
    return InstallDirFromFolder(folder, SystemDirPlatform());
}

DirCheck CheckInstallDir(const std::string& dir) { return CheckInstallDir(dir, SystemDirPlatform()); }

}  // namespace tovarin::core
