#pragma once
// Shell links to the installed product, written through the shell-link object
// (IShellLinkW + IPersistFile). COM must be initialised on the calling thread.
#include <optional>
#include <string>

namespace tovarin::core {

// The folder part of a path including its trailing backslash ("D:\a\b.exe" ->
// "D:\a\"); empty when the path has no backslash.
std::string FolderWithBackslash(const std::string& path);

// Writes a link at linkPath to target: working directory the target's folder
// with its trailing backslash, the description, the target's first icon.
// Arguments, hot key and show command keep the shell's defaults.
bool WriteShellLink(const std::string& linkPath, const std::string& target, const std::string& description);

// A special folder of the current user (CSIDL value) as a path; none when the
// shell does not know it.
std::optional<std::string> SpecialFolderPath(int csidl);

inline constexpr int kCsidlPrograms = 2;           // CSIDL_PROGRAMS
inline constexpr int kCsidlDesktopDirectory = 16;  // CSIDL_DESKTOPDIRECTORY

// Where the two links go: <programs>\<folderName>\<linkName>.lnk and
// <desktop>\<linkName>.lnk.
std::string ProgramsShortcutPathIn(const std::string& programsDir, const std::string& folderName,
                                   const std::string& linkName);
std::string DesktopShortcutPathIn(const std::string& desktopDir, const std::string& linkName);

// The same in the current user's folders, known before the links are made
// (the install record lists them); none where the shell does not know the folder.
struct ShortcutPaths {
    std::optional<std::string> programs;
    std::optional<std::string> desktop;
};
ShortcutPaths CurrentShortcutPaths(const std::string& folderName, const std::string& linkName);

// <programs>\<folderName>\<linkName>.lnk; the folder is created with any
// missing parents when it does not exist, and reused when it does.
bool MakeProgramsShortcutIn(const std::string& programsDir, const std::string& folderName,
                            const std::string& target, const std::string& linkName, const std::string& description);

// The same in the current user's Programs folder of the start menu.
bool MakeProgramsShortcut(const std::string& folderName, const std::string& target, const std::string& linkName,
                          const std::string& description);

// <desktop>\<linkName>.lnk in the current user's desktop folder.
bool MakeDesktopShortcut(const std::string& target, const std::string& linkName, const std::string& description);

}  // namespace tovarin::core
