#pragma once
#include <string>
#include <string_view>

namespace tovarin::archive {

// True when an item path, as the archive stores it, stays inside the folder
// it is extracted to: relative, no drive, UNC or stream prefix, no part made
// of dots alone (Windows also drops trailing dots and spaces, so ". ." and
// "..." are refused as well).
bool IsSafeItemPath(std::wstring_view path);

// An output path in the form the file calls take at any length: from 248
// characters on (where CreateDirectoryW stops) the full path with "\\?\" or
// "\\?\UNC\" in front, so a deep item in a long install directory is written
// like any other; shorter paths as they are.
std::wstring ExtendedLengthPath(const std::wstring& path);

}  // namespace tovarin::archive
