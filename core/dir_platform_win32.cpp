#include "core/dir_platform.h"

#include <windows.h>

#include "common/environment.h"
#include "common/file_queries.h"
#include "common/text.h"

namespace tovarin::core {
namespace {

// Text with an embedded zero would be cut short at the Win32 call and name
// another file; such a path names nothing.
bool Convertible(const std::string& path, std::wstring& out) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    out = Widen(path);
    return !out.empty();
}

DWORD Attributes(const std::string& path) {
    std::wstring wide;
    if (!Convertible(path, wide)) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(wide.c_str());
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

    bool IsFile(const std::string& path) override {
        const DWORD attr = Attributes(path);
        return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    bool RemoveFile(const std::string& path) override {
        std::wstring wide;
        return Convertible(path, wide) && DeleteFileW(wide.c_str()) != FALSE;
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
        if (CreateDirectoryW(wide.c_str(), nullptr)) return MakeDirResult::Created;
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
};

}  // namespace

DirPlatform& SystemDirPlatform() {
    static Win32DirPlatform platform;
    return platform;
}

}  // namespace tovarin::core
