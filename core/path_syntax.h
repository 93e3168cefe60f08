#pragma once
// How the installer reads a typed install path.
#include <string_view>

#include "common/text.h"

namespace tovarin::core {

// "D:" for D:\...; "\\server\share" for \\server\share\... (the whole path
// when no backslash ends the share name); empty for anything else.
std::string_view DrivePart(std::string_view path);

// The longest directory path the system creates without a long-path prefix
// (MAX_PATH less room for an 8.3 name), in UTF-16 units.
inline constexpr std::size_t kMaxDirectoryPath = 247;

// Whether `path` names exactly the directory it reads as: an absolute path on
// a drive or share, valid UTF-8 without control characters, none of the
// characters Windows forbids in names, no "." or ".." steps, no name that the
// system would trim (trailing dot or space) or map to a device (CON, NUL,
// COM1...), no stream suffix, not longer than kMaxDirectoryPath. Anything
// else could make the system create or use a folder other than the one typed.
bool IsPlainDirectoryPath(std::string_view path);

}  // namespace tovarin::core
