#pragma once
// What the removal asks of the machine, kept narrow so that its rules run
// against a disk in memory in tests; SystemRemovalDisk (system_removal_disk.h)
// is the real one. Every path below the install directory is relative to it
// and opened through the folder held open, one part at a time, never through
// a link.
#include <cstdint>
#include <optional>
#include <string>

#include "common/uninstall_registration.h"

namespace tovarin::uninstall {

// What became of one entry the record lists.
enum class EntryRemoval {
    Removed,  // it was there and is gone
    Missing,  // nothing there (gone already: an earlier run, or the user)
    Kept,     // there, but not what the install left (changed, not empty, a link, another kind): stays
    Failed,   // there and ours, but it could not be removed (in use, denied)
};

enum class RecordState { Read, Missing, Invalid };

struct RecordBytes {
    RecordState state = RecordState::Missing;
    std::string bytes;    // when Read
    std::string failure;  // when Invalid: why
};

class RemovalDisk {
public:
    virtual ~RemovalDisk() = default;

    virtual std::optional<Registration> ReadRegistration() = 0;
    // True when the entry is gone afterwards.
    virtual bool DeleteRegistration() = 0;
    // The product's lock rule (the installer's).
    virtual bool ProductRunning() = 0;

    // The install directory's record, when it is a plain file with one name
    // reached without a link; it stays open for RemoveRecord.
    virtual RecordBytes ReadRecord() = 0;
    virtual EntryRemoval RemoveRecord() = 0;

    // A plain file with one name, only while its size and last-write time are these.
    virtual EntryRemoval RemoveFile(const std::wstring& relative, std::uint64_t size, std::uint64_t lastWrite) = 0;
    // A plain folder, only when empty.
    virtual EntryRemoval RemoveFolder(const std::wstring& relative) = 0;

    // This user's two shortcut places: <Programs>\Tovarin\Tovarin.lnk and
    // <Desktop>\Tovarin.lnk; empty where the shell does not know the folder.
    virtual std::wstring ProgramsShortcutPath() = 0;
    virtual std::wstring DesktopShortcutPath() = 0;
    // The .lnk at one of those places, only while it is a plain file whose
    // link targets `target`.
    virtual EntryRemoval RemoveShortcut(const std::wstring& path, const std::wstring& target) = 0;
    // <Programs>\Tovarin, only when empty.
    virtual EntryRemoval RemoveProgramsFolder() = 0;

    // The install directory holds nothing but the uninstaller (or nothing).
    virtual bool OnlyUninstallerLeft() = 0;
    // After the original uninstaller has exited: Uninstall.exe, then the
    // install directory itself when empty.
    virtual EntryRemoval RemoveUninstaller() = 0;
    virtual EntryRemoval RemoveInstallDir() = 0;
};

}  // namespace tovarin::uninstall
