#include "core/dir_platform.h"

#include <windows.h>

#include "common/checked_handles.h"
#include "common/environment.h"
#include "common/folder_access.h"
#include "common/file_queries.h"
#include "common/slim_lock.h"
#include "common/text.h"

#include <mutex>
#include <set>
#include <utility>

namespace tovarin::core {
namespace {

using FileIdentity = std::pair<DWORD, std::uint64_t>;  // volume serial, file index

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

SlimLock madeLock;
std::set<FileIdentity>& MadeFolders() {
    static std::set<FileIdentity> folders;
    return folders;
}

// Text with an embedded zero would be cut short at the Win32 call and name
// another file; such a path names nothing.
bool Convertible(const std::string& path, std::wstring& out) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    out = Widen(path);
    return !out.empty();
}

MakeDirResult CreateFolder(const std::wstring& path, SECURITY_ATTRIBUTES* access) {
    if (CreateDirectoryW(path.c_str(), access)) return MakeDirResult::Created;
    switch (GetLastError()) {
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return MakeDirResult::BadPath;
    default:
        return MakeDirResult::Failed;
    }
}

// The folder that holds `path`, as a path that names it ("D:\", not "D:",
// which is the drive's current folder; "\\srv\share\").
std::wstring ParentOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos) return {};
    std::wstring parent = path.substr(0, cut);
    const bool drive = parent.size() == 2 && parent[1] == L':';
    const bool share = parent.size() > 2 && parent.compare(0, 2, L"\\\\") == 0 &&
                       parent.find_first_of(L"\\/", parent.find_first_of(L"\\/", 2) + 1) == std::wstring::npos;
    if (drive || share) parent += L'\\';
    return parent;
}

class Win32DirPlatform final : public DirPlatform {
public:
    std::string Environment(const std::string& name) override {
        std::wstring wname;
        if (!Convertible(name, wname)) return {};
        return Narrow(EnvironmentVariable(wname.c_str()));
    }

    bool IsDirectory(const std::string& path) override {
        std::wstring wide;
        return Convertible(path, wide) && tovarin::IsDirectory(wide);
    }

    LockRemoval RemoveLockFile(const std::string& folder, const std::string& relative) override {
        std::wstring lockPath, name;
        if (!Convertible(folder + "\\" + relative, lockPath) || !Convertible(relative, name)) return LockRemoval::Absent;
        // DELETE with all sharing, as DeleteFileW opens: a reader that shares
        // deletion (an indexer, a scanner) does not change the verdict.
        const UniqueFile lock = OpenUnfollowed(lockPath, DELETE | FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (!lock) {
            switch (GetLastError()) {
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
            case ERROR_ACCESS_DENIED:
                return LockRemoval::InUse;
            default:
                return LockRemoval::Absent;
            }
        }
        const std::optional<DWORD> kind = HandleAttributes(lock.get());
        if (!kind) return LockRemoval::Elsewhere;
        if (*kind & FILE_ATTRIBUTE_DIRECTORY) return LockRemoval::Absent;
        if (*kind & FILE_ATTRIBUTE_REPARSE_POINT) return LockRemoval::Elsewhere;
        // Unset USERPROFILE: the lock lies at the root of the current drive.
        const UniqueFile home = OpenFolder(folder.empty() ? std::wstring(L"\\") : Widen(folder), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        const std::optional<std::wstring> homeFinal = home ? FinalPath(home.get()) : std::nullopt;
        const std::optional<std::wstring> lockFinal = FinalPath(lock.get());
        if (!homeFinal || !lockFinal || !FinalPathIs(*lockFinal, *homeFinal, name)) return LockRemoval::Elsewhere;
        // Read-only, or denied to us: it stays, as a plain delete would leave it.
        return DeleteThrough(lock.get()) ? LockRemoval::Deleted : LockRemoval::InUse;
    }

    std::optional<std::uint64_t> FreeBytesAvailable(const std::string& root) override {
        std::wstring wide;
        if (!Convertible(root, wide)) return std::nullopt;
        ULARGE_INTEGER available{}, total{}, total_free{};
        if (!GetDiskFreeSpaceExW(wide.c_str(), &available, &total, &total_free)) return std::nullopt;
        return available.QuadPart;
    }

    MakeDirResult MakeDirectory(const std::string& path) override {
        std::wstring wide;
        if (!Convertible(path, wide)) return MakeDirResult::BadPath;
        return CreateFolder(wide, nullptr);
    }

    MakeDirResult MakeProductFolder(const std::string& path) override {
        std::wstring wide;
        if (!Convertible(path, wide)) return MakeDirResult::BadPath;
        // Held without delete sharing, the parent cannot be renamed away
        // between reading its list and creating the folder in it. A parent
        // that cannot be opened or read counts as one others may change.
        const UniqueFile parent = OpenFolder(ParentOf(wide), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE);
        const UniqueLocal<void> access = SecurityDescriptorFromText(kProductFolderAccess);
        if (!access) return MakeDirResult::Failed;
        SECURITY_ATTRIBUTES attributes{sizeof attributes, access.get(), FALSE};
        const bool inherit = parent && !UsersMayChange(parent.get());
        const MakeDirResult made = CreateFolder(wide, inherit ? nullptr : &attributes);
        if (made != MakeDirResult::Created || !parent) return made;
        // A link above the parent re-pointed meanwhile would have put the
        // folder elsewhere: it must be a real folder inside the parent read.
        const UniqueFile folder =
            OpenUnfollowed(wide, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        const std::optional<DWORD> kind = folder ? HandleAttributes(folder.get()) : std::nullopt;
        const std::optional<std::wstring> final = folder ? FinalPath(folder.get()) : std::nullopt;
        const std::optional<std::wstring> parentFinal = FinalPath(parent.get());
        const bool inPlace = kind && (*kind & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                                         FILE_ATTRIBUTE_DIRECTORY;
        if (!inPlace || !final || !parentFinal ||
            !FinalPathIs(*final, *parentFinal, wide.substr(wide.find_last_of(L"\\/") + 1)))
            return MakeDirResult::Failed;
        if (const std::optional<FileIdentity> identity = IdentityOf(folder.get())) {
            const std::lock_guard<SlimLock> lock(madeLock);
            MadeFolders().insert(*identity);
        }
        return made;
    }
};

}  // namespace

bool MadeAsProductFolder(HANDLE folder) {
    const std::optional<FileIdentity> identity = IdentityOf(folder);
    const std::lock_guard<SlimLock> lock(madeLock);
    return identity && MadeFolders().count(*identity) > 0;
}

DirPlatform& SystemDirPlatform() {
    static Win32DirPlatform platform;
    return platform;
}

}  // namespace tovarin::core
