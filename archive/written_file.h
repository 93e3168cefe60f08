#pragma once
// A file as its writer leaves it: size and last-write time read from the
// handle that wrote it, after the last write and before it is closed.
#include <windows.h>

#include <cstdint>
#include <optional>

namespace tovarin::archive {

struct WrittenState {
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;  // FILETIME as one number
};

// Windows stamps a written file's last-write time once more when the handle
// that wrote it is cleaned up, unless that time was set through the handle:
// so it is set to what it reads now, then read back (a file system keeps it
// at its own precision). The handle needs FILE_WRITE_ATTRIBUTES. A file
// system that keeps no such time is read as it is; nothing when the handle
// cannot be read at all.
std::optional<WrittenState> PinWrittenState(HANDLE file);

}  // namespace tovarin::archive
