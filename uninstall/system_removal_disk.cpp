#include "uninstall/system_removal_disk.h"

#include <windows.h>

#include <vector>

#include "archive/relative_open.h"
#include "common/checked_handles.h"
#include "common/file_queries.h"
#include "common/install_record.h"
#include "common/product_info.h"
#include "common/text.h"
#include "core/dir_platform.h"
#include "core/install_dir.h"
#include "core/shortcuts.h"
#include "uninstall/shell_link_target.h"

namespace tovarin::uninstall {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
// No record or link is anywhere near this; more is not ours.
constexpr DWORD kMaxReadBytes = 16 * 1024 * 1024;

bool NotThere(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

std::vector<std::wstring> Parts(const std::wstring& relative) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = relative.find(L'\\', start);
        parts.push_back(relative.substr(start, end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

// What one open below a held folder reached.
struct Reached {
    EntryRemoval verdict = EntryRemoval::Missing;  // meaningful when !handle
    UniqueFile handle;
};

// Opens relative (one or more parts) below folder: each folder on the way a
// plain one, the last part with access and share. A link on the way is never
// passed: where the system opens a link itself its attributes say so, and
// where it follows one (Wine) the handle's final path is not the expected one.
Reached OpenBelow(HANDLE folder, const std::wstring& relative, DWORD access, DWORD share = kShareAll) {
    Reached out;
    const std::optional<std::wstring> folderFinal = FinalPath(folder);
    if (!folderFinal) {
        out.verdict = EntryRemoval::Failed;
        return out;
    }
    const std::vector<std::wstring> parts = Parts(relative);
    UniqueFile held;
    HANDLE parent = folder;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        UniqueFile entry;
        const HRESULT hr =
            archive::OpenExistingEntry(parent, parts[i], last ? access : kFolderAccess, last ? share : kShareAll, entry);
        if (FAILED(hr)) {
            out.verdict = NotThere(hr) ? EntryRemoval::Missing : EntryRemoval::Failed;
            return out;
        }
        const std::optional<std::wstring> final = FinalPath(entry.get());
        std::wstring reached;
        for (std::size_t j = 0; j <= i; ++j) reached += (j ? L"\\" : L"") + parts[j];
        if (!final || !FinalPathIs(*final, *folderFinal, reached) || (!last && !IsPlainFolder(entry.get()))) {
            out.verdict = EntryRemoval::Kept;
            return out;
        }
        if (last) {
            out.handle = std::move(entry);
            return out;
        }
        held = std::move(entry);
        parent = held.get();
    }
    return out;
}

EntryRemoval DeleteFolderThrough(HANDLE folder) {
    if (!IsPlainFolder(folder)) return EntryRemoval::Kept;
    if (DeleteThrough(folder)) return EntryRemoval::Removed;
    return ::GetLastError() == ERROR_DIR_NOT_EMPTY ? EntryRemoval::Kept : EntryRemoval::Failed;
}

// A file marked read-only (by the user, since the install) cannot be
// deleted until the mark is off; its times stay as they are.
bool DeleteFileThrough(HANDLE file) {
    if (DeleteThrough(file)) return true;
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    basic.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = basic.LastWriteTime.QuadPart =
        basic.ChangeTime.QuadPart = 0;  // unchanged
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) && DeleteThrough(file);
}

std::optional<std::string> ReadAll(HANDLE file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > kMaxReadBytes) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

std::wstring ParentOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos) return {};
    std::wstring parent = path.substr(0, cut);
    if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
    return parent;
}

std::wstring NameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

class SystemDisk final : public RemovalDisk {
public:
    explicit SystemDisk(std::wstring installDir) : installDir_(std::move(installDir)) {
        // Its parent may lie behind a link (a moved Program Files), the
        // folder itself not. Renaming or deleting it needs delete sharing,
        // which nobody gets while it is held.
        const std::wstring parentPath = ParentOf(installDir_);
        const UniqueFile parent = parentPath.empty() ? UniqueFile() : OpenFolder(parentPath, kFolderAccess, kShareAll);
        Reached dir = parent ? OpenBelow(parent.get(), NameOf(installDir_), kFolderAccess,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE)
                             : Reached{};
        if (dir.handle && IsPlainFolder(dir.handle.get())) dir_ = std::move(dir.handle);
        if (const std::optional<std::string> programs = core::SpecialFolderPath(core::kCsidlPrograms))
            programsBase_ = Widen(*programs);
        if (const std::optional<std::string> desktop = core::SpecialFolderPath(core::kCsidlDesktopDirectory))
            desktopBase_ = Widen(*desktop);
    }

    std::optional<Registration> ReadRegistration() override { return tovarin::ReadRegistration(); }
    bool DeleteRegistration() override { return tovarin::DeleteRegistration(); }
    bool ProductRunning() override { return core::ProductRunning(core::SystemDirPlatform()); }

    RecordBytes ReadRecord() override {
        RecordBytes out;
        if (!dir_) {
            out.state = RecordState::Invalid;
            out.failure = Narrow(installDir_) + " is not a plain folder";
            return out;
        }
        // Unshared for writing while it is acted on; deleted through this handle at the end.
        Reached record = OpenBelow(dir_.get(), kRecordFileName, GENERIC_READ | DELETE, FILE_SHARE_READ);
        if (!record.handle && record.verdict == EntryRemoval::Missing) return out;
        record_ = std::move(record.handle);
        std::optional<std::string> bytes;
        if (!record_ || !IsPlainFile(record_.get()) || !(bytes = ReadAll(record_.get()))) {
            record_.reset();
            out.state = RecordState::Invalid;
            out.failure = "The record is not a plain file of its own in " + Narrow(installDir_);
            return out;
        }
        out.state = RecordState::Read;
        out.bytes = std::move(*bytes);
        return out;
    }

    EntryRemoval RemoveRecord() override {
        if (!record_) return EntryRemoval::Failed;
        const bool deleted = DeleteThrough(record_.get());
        record_.reset();
        return deleted ? EntryRemoval::Removed : EntryRemoval::Failed;
    }

    EntryRemoval RemoveFile(const std::wstring& relative, std::uint64_t size, std::uint64_t lastWrite) override {
        if (!dir_) return EntryRemoval::Failed;
        const Reached file = OpenBelow(dir_.get(), relative, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
        if (!file.handle) return file.verdict;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!IsPlainFile(file.handle.get()) || !::GetFileInformationByHandle(file.handle.get(), &info))
            return EntryRemoval::Kept;
        const std::uint64_t hasSize = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        const std::uint64_t hasTime =
            (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
        // Changed since the install: the user's now.
        if (hasSize != size || hasTime != lastWrite) return EntryRemoval::Kept;
        return DeleteFileThrough(file.handle.get()) ? EntryRemoval::Removed : EntryRemoval::Failed;
    }

    EntryRemoval RemoveFolder(const std::wstring& relative) override {
        if (!dir_) return EntryRemoval::Failed;
        const Reached folder = OpenBelow(dir_.get(), relative, DELETE | FILE_READ_ATTRIBUTES);
        return folder.handle ? DeleteFolderThrough(folder.handle.get()) : folder.verdict;
    }

    std::wstring ProgramsShortcutPath() override {
        return programsBase_.empty() ? std::wstring() : programsBase_ + L"\\" + ProgramsShortcutRelative();
    }
    std::wstring DesktopShortcutPath() override {
        return desktopBase_.empty() ? std::wstring() : desktopBase_ + L"\\" + LinkName();
    }

    EntryRemoval RemoveShortcut(const std::wstring& path, const std::wstring& target) override {
        const bool programs = !programsBase_.empty() && path == ProgramsShortcutPath();
        if (!programs && (desktopBase_.empty() || path != DesktopShortcutPath())) return EntryRemoval::Kept;
        // The special folder itself may lie behind a link (a moved profile); below it, none is passed.
        const UniqueFile base = OpenFolder(programs ? programsBase_ : desktopBase_, kFolderAccess, kShareAll);
        if (!base) return EntryRemoval::Missing;
        const Reached link = OpenBelow(base.get(), programs ? ProgramsShortcutRelative() : LinkName(),
                                       GENERIC_READ | DELETE);
        if (!link.handle) return link.verdict;
        if (!IsPlainFile(link.handle.get())) return EntryRemoval::Kept;
        const std::optional<std::string> bytes = ReadAll(link.handle.get());
        const std::optional<std::wstring> leadsTo = bytes ? ShellLinkTarget(*bytes) : std::nullopt;
        if (!leadsTo || ::CompareStringOrdinal(leadsTo->c_str(), -1, target.c_str(), -1, TRUE) != CSTR_EQUAL)
            return EntryRemoval::Kept;
        return DeleteThrough(link.handle.get()) ? EntryRemoval::Removed : EntryRemoval::Failed;
    }

    EntryRemoval RemoveProgramsFolder() override {
        if (programsBase_.empty()) return EntryRemoval::Missing;
        const UniqueFile base = OpenFolder(programsBase_, kFolderAccess, kShareAll);
        if (!base) return EntryRemoval::Missing;
        const Reached folder = OpenBelow(base.get(), Widen(kProductName), DELETE | FILE_READ_ATTRIBUTES);
        return folder.handle ? DeleteFolderThrough(folder.handle.get()) : folder.verdict;
    }

    bool OnlyUninstallerLeft() override {
        if (!dir_) return false;
        std::vector<unsigned char> buffer(64 * 1024);
        FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
        while (::GetFileInformationByHandleEx(dir_.get(), kind, buffer.data(), static_cast<DWORD>(buffer.size()))) {
            kind = FileIdBothDirectoryInfo;
            for (std::size_t at = 0;;) {
                const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
                const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
                if (name != L"." && name != L".." &&
                    ::CompareStringOrdinal(name.data(), static_cast<int>(name.size()), kUninstallerFileName, -1,
                                           TRUE) != CSTR_EQUAL)
                    return false;
                if (entry->NextEntryOffset == 0) break;
                at += entry->NextEntryOffset;
            }
        }
        return ::GetLastError() == ERROR_NO_MORE_FILES;
    }

    EntryRemoval RemoveUninstaller() override {
        if (!dir_) return EntryRemoval::Failed;
        // The original's image may stay mapped a moment after its process ended.
        for (int attempt = 0;; ++attempt) {
            const Reached file = OpenBelow(dir_.get(), kUninstallerFileName, DELETE | FILE_READ_ATTRIBUTES);
            if (!file.handle) return file.verdict;
            if (!IsPlainFile(file.handle.get())) return EntryRemoval::Kept;
            if (DeleteThrough(file.handle.get())) return EntryRemoval::Removed;
            if (attempt == 50) return EntryRemoval::Failed;
            ::Sleep(100);
        }
    }

    EntryRemoval RemoveInstallDir() override {
        if (!dir_) return EntryRemoval::Failed;
        // The held handle shares no deletion: the folder is opened once more
        // through its parent and must be the very folder held.
        const std::wstring parentPath = ParentOf(installDir_);
        const UniqueFile parent = parentPath.empty() ? UniqueFile() : OpenFolder(parentPath, kFolderAccess, kShareAll);
        if (!parent) return EntryRemoval::Failed;
        BY_HANDLE_FILE_INFORMATION held{};
        if (!::GetFileInformationByHandle(dir_.get(), &held)) return EntryRemoval::Failed;
        dir_.reset();
        const Reached folder = OpenBelow(parent.get(), NameOf(installDir_), DELETE | kFolderAccess);
        if (!folder.handle) return folder.verdict;
        BY_HANDLE_FILE_INFORMATION now{};
        if (!::GetFileInformationByHandle(folder.handle.get(), &now) ||
            now.dwVolumeSerialNumber != held.dwVolumeSerialNumber || now.nFileIndexHigh != held.nFileIndexHigh ||
            now.nFileIndexLow != held.nFileIndexLow)
            return EntryRemoval::Kept;
        return DeleteFolderThrough(folder.handle.get());
    }

private:
    static std::wstring LinkName() { return Widen(kProductName) + L".lnk"; }
    static std::wstring ProgramsShortcutRelative() { return Widen(kProductName) + L"\\" + LinkName(); }

    std::wstring installDir_;
    UniqueFile dir_;
    UniqueFile record_;
    std::wstring programsBase_;
    std::wstring desktopBase_;
};

}  // namespace

std::unique_ptr<RemovalDisk> SystemRemovalDisk(const std::wstring& installDir) {
    return std::make_unique<SystemDisk>(installDir);
}

}  // namespace tovarin::uninstall
