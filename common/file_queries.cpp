#include "common/file_queries.h"

#include <optional>

namespace tovarin {
namespace {

std::optional<BY_HANDLE_FILE_INFORMATION> DiskFileInformation(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return info;
}

}  // namespace

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsPlainFile(HANDLE file) {
    const auto info = DiskFileInformation(file);
    return info && (info->dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
           info->nNumberOfLinks == 1;
}

bool IsPlainFolder(HANDLE folder) {
    const auto info = DiskFileInformation(folder);
    return info && (info->dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ==
                       FILE_ATTRIBUTE_DIRECTORY;
}

}  // namespace tovarin
