#include "archive/written_file.h"

namespace tovarin::archive {

std::optional<WrittenState> PinWrittenState(HANDLE file) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) return std::nullopt;
    // Zero times and attributes leave those as they are.
    FILE_BASIC_INFO pinned{};
    pinned.LastWriteTime = basic.LastWriteTime;
    ::SetFileInformationByHandle(file, FileBasicInfo, &pinned, sizeof pinned);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
    WrittenState state;
    state.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    state.lastWrite = (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                      info.ftLastWriteTime.dwLowDateTime;
    return state;
}

}  // namespace tovarin::archive
