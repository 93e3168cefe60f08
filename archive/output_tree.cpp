#include "archive/output_tree.h"

#include "archive/item_path.h"
#include "common/file_queries.h"

#include <utility>

namespace tovarin::archive {
namespace {

const HRESULT kNotWhereExpected = HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME);

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Where the system put the entry is its parent's place and its own name: no
// link was followed on the way, whatever the file system reported of it.
bool IsEntryOf(const std::wstring& parent, std::wstring_view name, const std::wstring& resolved) {
    const std::size_t separator = parent.empty() || parent.back() == L'\\' ? 0 : 1;
    if (resolved.size() != parent.size() + separator + name.size()) return false;
    const std::wstring_view whole(resolved);
    return SameName(whole.substr(0, parent.size()), parent) &&
           (separator == 0 || resolved[parent.size()] == L'\\') &&
           SameName(whole.substr(parent.size() + separator), name);
}

// Every missing folder of path, the path itself included. Failures surface
// when the folder is opened.
void CreateFolders(const std::wstring& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') {
            if (IsSeparator(path[i - 1]) || path[i - 1] == L':') continue;
            ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
}

}  // namespace

OutputTree::OutputTree(std::wstring target) : target_(std::move(target)) {
    for (wchar_t& c : target_) {
        if (c == L'/') c = L'\\';
    }
    // A root ("C:\\") keeps its separator.
    while (target_.size() > 1 && target_.back() == L'\\' && target_[target_.size() - 2] != L':') target_.pop_back();
}

HRESULT OutputTree::CreateItemFile(std::wstring_view itemPath, UniqueFile& file) {
    std::wstring path(itemPath);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    Entry opened;
    const HRESULT result = OpenInFolder(path, EntryKind::File, opened);
    if (FAILED(result)) return result;
    // Replaced only now that it is known to be the file it should be.
    if (!::SetEndOfFile(opened.handle.get())) return LastErrorResult();
    file = std::move(opened.handle);
    return S_OK;
}

HRESULT OutputTree::Target(const Entry*& target) {
    if (!targetFolder_.handle) {
        // The user's choice: created as named, a link on its way followed.
        const std::wstring path = ExtendedLengthPath(target_);
        CreateFolders(path);
        UniqueFile handle(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle) return LastErrorResult();
        if (!IsPlainFolder(handle.get())) return HRESULT_FROM_WIN32(ERROR_DIRECTORY);
        targetFolder_.resolved = ResolvedPath(handle.get());
        targetFolder_.handle = std::move(handle);
    }
    target = &targetFolder_;
    return S_OK;
}

HRESULT OutputTree::Folder(const std::wstring& relative, const Entry*& folder) {
    if (const auto found = folders_.find(relative); found != folders_.end()) {
        folder = &found->second;
        return S_OK;
    }
    Entry opened;
    bool created = false;
    const HRESULT result = OpenInFolder(relative, EntryKind::Folder, opened, &created);
    if (FAILED(result)) return result;
    // Only what this extraction made is its own: a folder that was there
    // (the user's, an earlier install's) is not.
    if (created) createdFolders_.push_back(relative);
    folder = &folders_.emplace(relative, std::move(opened)).first->second;
    return S_OK;
}

HRESULT OutputTree::OpenInFolder(const std::wstring& relative, EntryKind kind, Entry& entry, bool* created) {
    const std::size_t last = relative.find_last_of(L'\\');
    const Entry* parent = nullptr;
    const HRESULT result = last == std::wstring::npos ? Target(parent) : Folder(relative.substr(0, last), parent);
    if (FAILED(result)) return result;
    const std::wstring_view name = std::wstring_view(relative).substr(last == std::wstring::npos ? 0 : last + 1);
    return OpenChecked(*parent, name, kind, entry, created);
}

// A link opened as itself shows as a reparse point. A file system that
// followed it anyway (Wine does) shows it in where the entry resolved to,
// wherever the system can say (Wine cannot past MAX_PATH characters).
HRESULT OutputTree::OpenChecked(const Entry& parent, std::wstring_view name, EntryKind kind, Entry& entry,
                                bool* created) {
    UniqueFile handle;
    const HRESULT result = OpenEntry(parent.handle.get(), name, kind, handle, created);
    if (FAILED(result)) return result;
    const bool plain = kind == EntryKind::Folder ? IsPlainFolder(handle.get()) : IsPlainFile(handle.get());
    if (!plain) return kNotWhereExpected;
    std::optional<std::wstring> resolved = ResolvedPath(handle.get());
    if (parent.resolved && resolved && !IsEntryOf(*parent.resolved, name, *resolved)) return kNotWhereExpected;
    entry.handle = std::move(handle);
    entry.resolved = std::move(resolved);
    return S_OK;
}

}  // namespace tovarin::archive
