#pragma once
// What the file system says about a path or an open handle.
#include <windows.h>

#include <string>

namespace tovarin {

// The path names an existing directory.
bool IsDirectory(const std::wstring& path);

// A regular file on disk with one name: not a folder, not a reparse point,
// not a hard link to something else.
bool IsPlainFile(HANDLE file);

// A folder on disk that is not a reparse point (junction, mount point,
// symbolic link).
bool IsPlainFolder(HANDLE folder);

}  // namespace tovarin
