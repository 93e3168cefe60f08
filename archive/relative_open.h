#pragma once
// Opening one name inside a folder that is held open: the name is looked up
// in that very folder, whatever has become of the path that led to it, and a
// link (reparse point) found under the name is opened itself, never followed.
#include "common/handles.h"

#include <optional>
#include <string>
#include <string_view>

namespace tovarin::archive {

enum class EntryKind { Folder, File };

// Opens the entry name (one part of a path, no separator) in folder, creating
// it when missing; a new entry takes the folder's inherited access. A folder
// is opened for listing, shared for reading and writing but not deleting, so
// while it is held it cannot be renamed, deleted or replaced. A file is opened
// for reading and writing, unshared, and never truncated here (a read-only or
// open file fails). S_OK, or the failure as a result code. created, when
// given, says whether this open made the entry.
HRESULT OpenEntry(HANDLE folder, std::wstring_view name, EntryKind kind, UniqueFile& entry,
                  bool* created = nullptr);

// One file in folder, looked up and opened the same way (a link opened as
// itself), for the installer's own files: either an existing one, opened
// with access and no sharing, or a new one, which fails if the name is taken.
enum class FileOpen { Existing, New };
HRESULT OpenFileEntry(HANDLE folder, std::wstring_view name, FileOpen how, ACCESS_MASK access, UniqueFile& entry);

// Opens the entry name in folder only when it is there, file or folder, with
// the access and sharing given; a link found under the name is opened itself.
// For removal: the caller checks what it reached before deleting through it.
HRESULT OpenExistingEntry(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share, UniqueFile& entry);

// Gives the open entry (opened with DELETE) the name `name` in folder, in
// place of whatever had it there: a link under that name is replaced, not
// followed; a folder under it is not replaced.
HRESULT RenameInto(HANDLE entry, HANDLE folder, std::wstring_view name);

// The handle's path as the system resolved it, every link on the way
// followed, its volume in device form (\Device\HarddiskVolume2\...); nothing
// where the file system cannot say.
std::optional<std::wstring> ResolvedPath(HANDLE handle);

}  // namespace tovarin::archive
