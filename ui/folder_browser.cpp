#include "ui/folder_browser.h"

#include <shlobj.h>

#include "common/file_queries.h"
#include "common/text.h"
#include "skin/skin_form.h"

namespace tovarin::ui {
namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
    const auto* initial = reinterpret_cast<const wchar_t*>(data);
    if (msg == BFFM_INITIALIZED && initial && *initial) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial));
    }
    return 0;
}

// Undoes SetErrorMode on every way out.
class CriticalErrorBoxesOff {
public:
    CriticalErrorBoxesOff() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorBoxesOff() { SetErrorMode(old_); }
    CriticalErrorBoxesOff(const CriticalErrorBoxesOff&) = delete;
    CriticalErrorBoxesOff& operator=(const CriticalErrorBoxesOff&) = delete;

private:
    UINT old_;
};

struct ItemListDeleter {
    void operator()(ITEMIDLIST* p) const { CoTaskMemFree(p); }
};

}  // namespace

std::string ParentFolderOf(const std::string& dir) {
    // Both are ASCII, so no byte of a UTF-8 sequence can be mistaken for them.
    const auto last = dir.find_last_of("\\:");
    if (last == std::string::npos) return {};
    return dir.substr(0, last + 1);
}

std::optional<std::string> BrowseForFolder(HWND owner, const std::string& title, const std::string& initialFolder) {
    const std::wstring wideTitle = Widen(title);
    std::wstring initial = Widen(initialFolder);
    if (initial.empty() || !IsDirectory(initial)) initial.clear();

    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initial.c_str());

    std::unique_ptr<ITEMIDLIST, ItemListDeleter> chosen;
    {
        skin::ThreadWindowsDisabled others(nullptr);
        CriticalErrorBoxesOff quiet;
        chosen.reset(SHBrowseForFolderW(&info));
    }
    if (!chosen) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path) || !*path) return std::nullopt;
    return Narrow(path);
}

}  // namespace tovarin::ui
