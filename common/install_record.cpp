#include "common/install_record.h"

#include "common/sha256.h"
#include "common/text.h"

#include <algorithm>
#include <charconv>
#include <cwctype>
#include <set>

namespace tovarin {
namespace {

constexpr std::string_view kHeader = "TovarinInstallRecord 1";

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) return parts;
        text.remove_prefix(end + 1);
    }
}

std::optional<std::uint64_t> Number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A path below the install directory that names nothing outside it: "\"
// separated parts, none empty, "." or "..", no drive, stream, wildcard or
// control character, and no part the file system would trim (a trailing dot
// or blank), so that the name removed is the name checked.
bool IsInsidePath(std::wstring_view path) {
    if (path.empty()) return false;
    std::wstring_view rest = path;
    for (;;) {
        const std::size_t end = rest.find(L'\\');
        const std::wstring_view part = rest.substr(0, end);
        if (part.empty() || part == L"." || part == L".." || part.back() == L'.' || part.back() == L' ') return false;
        for (const wchar_t c : part)
            if (c < 32 || std::wstring_view(L"/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
        if (end == std::wstring_view::npos) return true;
        rest.remove_prefix(end + 1);
    }
}

// A full path with a drive ("C:\...") or a share ("\\server\share\..."),
// without "." or ".." parts; a shortcut entry must be one of these.
bool IsFullPath(std::wstring_view path) {
    std::wstring_view rest;
    if (path.size() > 3 && path[1] == L':' && path[2] == L'\\' && std::iswalpha(path[0]))
        rest = path.substr(3);
    else if (path.size() > 2 && path.substr(0, 2) == L"\\\\" && path.substr(0, 4) != L"\\\\?\\" &&
             path.substr(0, 4) != L"\\\\.\\")
        rest = path.substr(2);
    else
        return false;
    return IsInsidePath(rest);
}

std::optional<std::wstring> Text(std::string_view utf8) {
    std::optional<std::wstring> text = WidenValid(utf8);
    if (text && text->find(L'\0') != std::wstring::npos) return std::nullopt;
    return text;
}

}  // namespace

std::string SerializeRecord(const InstallRecord& record) {
    std::string text(kHeader);
    text += "\ndir\t" + Narrow(record.installDir) + "\n";
    for (const std::wstring& folder : record.folders) text += "folder\t" + Narrow(folder) + "\n";
    for (const RecordedFile& file : record.files)
        text += "file\t" + Narrow(file.path) + "\t" + std::to_string(file.size) + "\t" +
                std::to_string(file.lastWrite) + "\n";
    for (const std::wstring& shortcut : record.shortcuts) text += "shortcut\t" + Narrow(shortcut) + "\n";
    return text;
}

std::optional<InstallRecord> ParseRecord(std::string_view text, std::string& failure) {
    if (text.empty() || text.back() != '\n') {
        failure = "the record does not end with a line feed";
        return std::nullopt;
    }
    text.remove_suffix(1);
    const std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.front() != kHeader) {
        failure = "the record's first line is not \"" + std::string(kHeader) + "\"";
        return std::nullopt;
    }
    InstallRecord record;
    bool haveDir = false;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const std::vector<std::string_view> fields = Split(lines[n], '\t');
        const std::string_view kind = fields.front();
        const std::optional<std::wstring> path = fields.size() > 1 ? Text(fields[1]) : std::nullopt;
        bool sound = path.has_value();
        if (sound && kind == "dir" && fields.size() == 2 && !haveDir) {
            sound = IsFullPath(*path);
            record.installDir = *path;
            haveDir = true;
        } else if (sound && kind == "folder" && fields.size() == 2) {
            sound = IsInsidePath(*path);
            record.folders.push_back(*path);
        } else if (sound && kind == "file" && fields.size() == 4) {
            const std::optional<std::uint64_t> size = Number(fields[2]);
            const std::optional<std::uint64_t> lastWrite = Number(fields[3]);
            sound = IsInsidePath(*path) && size && lastWrite;
            if (sound) record.files.push_back({*path, *size, *lastWrite});
        } else if (sound && kind == "shortcut" && fields.size() == 2) {
            sound = IsFullPath(*path);
            record.shortcuts.push_back(*path);
        } else {
            sound = false;
        }
        if (!sound) {
            failure = "line " + std::to_string(n + 1) + " of the record is not a sound entry";
            return std::nullopt;
        }
    }
    if (!haveDir) {
        failure = "the record names no install directory";
        return std::nullopt;
    }
    return record;
}

InstallRecord MergeRecords(const InstallRecord& earlier, const InstallRecord& later) {
    InstallRecord merged = later;
    // Folders and shortcuts of both, each once, parents still before children.
    std::set<std::wstring> folders(later.folders.begin(), later.folders.end());
    for (const std::wstring& folder : earlier.folders)
        if (folders.insert(folder).second) merged.folders.push_back(folder);
    std::stable_sort(merged.folders.begin(), merged.folders.end(), [](const std::wstring& a, const std::wstring& b) {
        return std::count(a.begin(), a.end(), L'\\') < std::count(b.begin(), b.end(), L'\\');
    });
    for (const std::wstring& shortcut : earlier.shortcuts)
        if (std::find(merged.shortcuts.begin(), merged.shortcuts.end(), shortcut) == merged.shortcuts.end())
            merged.shortcuts.push_back(shortcut);
    // A file of the earlier install that the later one did not write is
    // still the earlier one's, as it was left.
    std::set<std::wstring> written;
    for (const RecordedFile& file : later.files) written.insert(file.path);
    for (const RecordedFile& file : earlier.files)
        if (!written.count(file.path)) merged.files.push_back(file);
    return merged;
}

std::string RecordHash(std::string_view bytes) {
    const std::optional<Sha256> digest = HashBytes(bytes);
    return digest ? HexDigest(*digest) : std::string();
}

}  // namespace tovarin
