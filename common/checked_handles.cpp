#include "common/checked_handles.h"

#include <vector>

namespace tovarin {
namespace {

// A named pipe reached by the open learns nothing of our token.
constexpr DWORD kNoImpersonation = SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS;

UniqueFile Open(const std::wstring& path, DWORD access, DWORD share, DWORD flags) {
    if (path.empty() || path.find(L'\0') != std::wstring::npos) return {};
    return UniqueFile(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | kNoImpersonation | flags, nullptr));
}

}  // namespace

UniqueFile OpenUnfollowed(const std::wstring& path, DWORD access, DWORD share) {
    return Open(path, access, share, FILE_FLAG_OPEN_REPARSE_POINT);
}

UniqueFile OpenFolder(const std::wstring& path, DWORD access, DWORD share) {
    UniqueFile folder = Open(path, access, share, 0);
    const std::optional<DWORD> attributes = folder ? HandleAttributes(folder.get()) : std::nullopt;
    if (!attributes || !(*attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return folder;
}

std::optional<DWORD> HandleAttributes(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return info.dwFileAttributes;
}

std::optional<std::wstring> FinalPath(HANDLE handle) {
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n =
            ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), kFlags);
        if (n == 0) return std::nullopt;
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);  // n counts the terminating zero when too small
    }
    return std::nullopt;
}

bool FinalPathIs(std::wstring_view final, std::wstring_view folderFinal, std::wstring_view relative) {
    // A root's final path ends in its separator ("\\?\D:\"), a folder's does not.
    if (!folderFinal.empty() && folderFinal.back() == L'\\') folderFinal.remove_suffix(1);
    if (folderFinal.empty() || relative.empty() || relative.front() == L'\\') return false;
    if (final.size() != folderFinal.size() + 1 + relative.size()) return false;
    if (final[folderFinal.size()] != L'\\') return false;
    const auto same = [](std::wstring_view a, std::wstring_view b) {
        return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                      TRUE) == CSTR_EQUAL;
    };
    return same(final.substr(0, folderFinal.size()), folderFinal) &&
           same(final.substr(folderFinal.size() + 1), relative);
}

bool DeleteThrough(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace tovarin
