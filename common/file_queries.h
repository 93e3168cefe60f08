#pragma once
// What the file system says about a path.
#include <string>

namespace tovarin {

// The path names an existing directory.
bool IsDirectory(const std::wstring& path);

}  // namespace tovarin
