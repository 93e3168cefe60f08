#pragma once
// What one install put on the machine, so that the uninstaller removes that
// and nothing else. Kept as UTF-8 text beside the uninstaller in the install
// directory; its SHA-256 is kept in the registration, which only
// administrators can change, and a record that no longer matches is refused.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovarin {

inline constexpr wchar_t kUninstallerFileName[] = L"Uninstall.exe";
inline constexpr wchar_t kRecordFileName[] = L"Uninstall.dat";

// A file an install wrote (created, or replaced), as it was when the install
// had written it: the uninstaller removes it only while both still hold.
struct RecordedFile {
    std::wstring path;            // relative to the install directory, "\" separated
    std::uint64_t size = 0;       // bytes
    std::uint64_t lastWrite = 0;  // FILETIME as one number
    bool operator==(const RecordedFile& other) const {
        return path == other.path && size == other.size && lastWrite == other.lastWrite;
    }
};

struct InstallRecord {
    // As installed, no trailing separator. The folder itself is removed when
    // it is empty at the end; folders listed below are ones an install created.
    std::wstring installDir;
    std::vector<std::wstring> folders;  // relative, "\" separated, parents before children
    std::vector<RecordedFile> files;
    std::vector<std::wstring> shortcuts;  // absolute paths of the .lnk files an install made
};

// The text form: a first line "TovarinInstallRecord 1", then one entry a
// line, fields separated by a tab (no Windows name holds one), LF-ended:
//   dir<TAB><install dir>
//   folder<TAB><relative path>
//   file<TAB><relative path><TAB><size><TAB><last write>
//   shortcut<TAB><absolute path>
std::string SerializeRecord(const InstallRecord& record);
// nullopt for anything that is not exactly that form; failure says why.
// Relative paths that could leave the install directory (empty parts, ".",
// "..", a drive, a stream) are refused here.
std::optional<InstallRecord> ParseRecord(std::string_view text, std::string& failure);
// A later install over the same directory: every folder and shortcut of
// both, and each file as the later install left it.
InstallRecord MergeRecords(const InstallRecord& earlier, const InstallRecord& later);
// SHA-256 of the bytes, lower-case hex; empty when the system cannot hash.
std::string RecordHash(std::string_view bytes);

}  // namespace tovarin
