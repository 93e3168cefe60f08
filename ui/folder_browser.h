#pragma once
// The shell's folder browser for the install directory.
#include <windows.h>

#include <optional>
#include <string>

namespace tovarin::ui {

// The folder the browser starts in: the text up to and including its last
// "\" or ":" ("D:\Program Files\Tovarin" gives "D:\Program Files\"); empty
// when there is neither.
std::string ParentFolderOf(const std::string& dir);

// Shows the folder dialog over `owner` with `title` above the tree, the
// initial folder selected when it is an existing directory. The chosen
// file-system folder, or nullopt when cancelled.
std::optional<std::string> BrowseForFolder(HWND owner, const std::string& title, const std::string& initialFolder);

}  // namespace tovarin::ui
