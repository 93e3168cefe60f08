#pragma once
// Files and folders acted on through a handle that was checked first. The
// installer runs elevated among folders the user can re-point (the profile,
// TEMP, a second drive), so a path is resolved once, by the open, and what
// that open reached is asked of the handle, never of the path again.
#include "common/handles.h"

#include <optional>
#include <string>
#include <string_view>

namespace tovarin {

// Opens what path names, file or folder, without following a reparse point
// at its last component, and as a client a named pipe cannot impersonate
// (an object-manager link may still lead there).
UniqueFile OpenUnfollowed(const std::wstring& path, DWORD access, DWORD share);

// The same, following a link at the last component (a profile may live
// behind a junction); folders only.
UniqueFile OpenFolder(const std::wstring& path, DWORD access, DWORD share);

// The handle's attributes; nullopt when they cannot be read.
std::optional<DWORD> HandleAttributes(HANDLE handle);

// Where the handle really is: its normalised final path ("\\?\C:\..."),
// every link on the way resolved.
std::optional<std::wstring> FinalPath(HANDLE handle);

// Whether `final` is `relative` inside the folder whose final path is
// `folderFinal`, compared as the file system compares names (ignoring case).
bool FinalPathIs(std::wstring_view final, std::wstring_view folderFinal, std::wstring_view relative);

// Marks the file the handle was opened on (with DELETE access) for deletion;
// it goes when the last handle to it closes.
bool DeleteThrough(HANDLE handle);

}  // namespace tovarin
