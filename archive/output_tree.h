#pragma once
// Where ExtractTo writes. The target folder is the user's choice and may be
// reached through a link; below it nothing is written through one. Every
// folder on an item's way is opened through its parent's handle, checked to
// be a plain folder right where it was expected, and held until the
// extraction ends, so none can be renamed, deleted or swapped for a link
// meanwhile; each file is opened through its folder's handle and checked the
// same way, then emptied.
#include "archive/relative_open.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovarin::archive {

class OutputTree {
public:
    // target: the folder to extract to, with or without a trailing separator.
    explicit OutputTree(std::wstring target);

    // Opens the file at itemPath (a path IsSafeItemPath accepts) for writing,
    // emptied, creating it and the folders on its way as needed. S_OK, or the
    // failure: a link or a file with another name anywhere below the target
    // is HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME).
    HRESULT CreateItemFile(std::wstring_view itemPath, UniqueFile& file);

    // The folders below the target that opening items' files created (not
    // found there), "\" separated, each after its parent.
    const std::vector<std::wstring>& CreatedFolders() const { return createdFolders_; }

private:
    struct Entry {
        UniqueFile handle;
        std::optional<std::wstring> resolved;
    };
    HRESULT Target(const Entry*& target);
    HRESULT Folder(const std::wstring& relative, const Entry*& folder);
    // Opens the entry at relative (backslash-separated) through its folder's handle.
    HRESULT OpenInFolder(const std::wstring& relative, EntryKind kind, Entry& entry, bool* created = nullptr);
    static HRESULT OpenChecked(const Entry& parent, std::wstring_view name, EntryKind kind, Entry& entry,
                               bool* created);

    std::wstring target_;
    Entry targetFolder_;
    // Folders below the target by their path in the items, "\" separated.
    std::map<std::wstring, Entry, std::less<>> folders_;
    std::vector<std::wstring> createdFolders_;
};

}  // namespace tovarin::archive
