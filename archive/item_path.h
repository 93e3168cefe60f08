#pragma once
#include <string>
#include <string_view>

namespace tovarin::archive {

// True when an item path, as the archive stores it, names a file or folder
// that Windows creates as named, inside the folder it is extracted to:
// relative, no drive, UNC or stream prefix, no empty part, no part made of
// dots alone or ending in a dot or blank (Windows would drop them and name
// something else), no character Windows forbids in names, and no part that
// names a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also COM and LPT with
// the superscripts 1-3, with or without an extension, in any case). The
// package check at build time (scripts/packaging/rules.py) refuses the same.
bool IsSafeItemPath(std::wstring_view path);

// An output path in the form the file calls take at any length: from 248
// characters on (where CreateDirectoryW stops) the full path with "\\?\" or
// "\\?\UNC\" in front, so a deep item in a long install directory is written
// like any other; shorter paths as they are.
std::wstring ExtendedLengthPath(const std::wstring& path);

}  // namespace tovarin::archive
