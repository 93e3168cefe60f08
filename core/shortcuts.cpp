#include "core/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "common/file_queries.h"
#include "common/handles.h"
#include "common/text.h"

namespace tovarin::core {
namespace {

struct ItemListFree {
    void operator()(LPITEMIDLIST list) const { CoTaskMemFree(list); }
};
using UniqueItemList = UniqueResource<LPITEMIDLIST, nullptr, ItemListFree>;

}  // namespace

std::string FolderWithBackslash(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool WriteShellLink(const std::string& linkPath, const std::string& target, const std::string& description) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IShellLinkW, link.put_void()))) {
        return false;
    }
    const ComPtr<IPersistFile> file = link.query<IPersistFile>(IID_IPersistFile);
    if (!file) return false;
    const std::wstring wideTarget = Widen(target);
    // Each property is set on its own; one that fails leaves the link incomplete, not missing.
    link->SetPath(wideTarget.c_str());
    link->SetWorkingDirectory(Widen(FolderWithBackslash(target)).c_str());
    link->SetDescription(Widen(description).c_str());
    link->SetIconLocation(wideTarget.c_str(), 0);
    return SUCCEEDED(file->Save(Widen(linkPath).c_str(), FALSE));
}

std::optional<std::string> SpecialFolderPath(int csidl) {
    UniqueItemList list;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, list.put())) || !list) return std::nullopt;
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(list.get(), path) || path[0] == L'\0') return std::nullopt;
    return Narrow(path);
}

std::string ProgramsShortcutPathIn(const std::string& programsDir, const std::string& folderName,
                                   const std::string& linkName) {
    return programsDir + "\\" + folderName + "\\" + linkName + ".lnk";
}

std::string DesktopShortcutPathIn(const std::string& desktopDir, const std::string& linkName) {
    return desktopDir + "\\" + linkName + ".lnk";
}

ShortcutPaths CurrentShortcutPaths(const std::string& folderName, const std::string& linkName) {
    ShortcutPaths paths;
    if (const std::optional<std::string> programs = SpecialFolderPath(kCsidlPrograms))
        paths.programs = ProgramsShortcutPathIn(*programs, folderName, linkName);
    if (const std::optional<std::string> desktop = SpecialFolderPath(kCsidlDesktopDirectory))
        paths.desktop = DesktopShortcutPathIn(*desktop, linkName);
    return paths;
}

bool MakeProgramsShortcutIn(const std::string& programsDir, const std::string& folderName,
                            const std::string& target, const std::string& linkName, const std::string& description) {
    const std::string folder = programsDir + "\\" + folderName;
    const std::wstring wideFolder = Widen(folder);
    // A folder that cannot be made shows up as a failed save.
    if (!IsDirectory(wideFolder)) SHCreateDirectoryExW(nullptr, wideFolder.c_str(), nullptr);
    return WriteShellLink(ProgramsShortcutPathIn(programsDir, folderName, linkName), target, description);
}

// Without the special folder there is no place for the link: a bare
// "\name.lnk" would land in the root of the current drive.
bool MakeProgramsShortcut(const std::string& folderName, const std::string& target, const std::string& linkName,
                          const std::string& description) {
    const std::optional<std::string> programs = SpecialFolderPath(kCsidlPrograms);
    return programs && MakeProgramsShortcutIn(*programs, folderName, target, linkName, description);
}

bool MakeDesktopShortcut(const std::string& target, const std::string& linkName, const std::string& description) {
    const std::optional<std::string> desktop = SpecialFolderPath(kCsidlDesktopDirectory);
    return desktop && WriteShellLink(DesktopShortcutPathIn(*desktop, linkName), target, description);
}

}  // namespace tovarin::core
