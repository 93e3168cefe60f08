#pragma once
#include <string_view>

namespace tovarin::archive {

// True when an item path, as the archive stores it, stays inside the folder
// it is extracted to: relative, no drive, UNC or stream prefix, no part made
// of dots alone (Windows also drops trailing dots and spaces, so ". ." and
// "..." are refused as well).
bool IsSafeItemPath(std::wstring_view path);

}  // namespace tovarin::archive
