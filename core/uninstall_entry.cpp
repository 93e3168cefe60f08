#include "core/uninstall_entry.h"

#include <algorithm>
#include <limits>

#include "app/install_state.h"
#include "common/product_info.h"
#include "common/text.h"

namespace tovarin::core {
namespace {

bool SameName(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace

std::wstring RecordDir(const std::string& installDir) {
    std::wstring dir = Widen(installDir);
    for (wchar_t& c : dir) {
        if (c == L'/') c = L'\\';
    }
    while (dir.size() > 1 && dir.back() == L'\\' && dir[dir.size() - 2] != L':') dir.pop_back();
    return dir;
}

std::wstring JoinDir(const std::wstring& dir, const std::wstring& name) {
    return !dir.empty() && dir.back() == L'\\' ? dir + name : dir + L"\\" + name;
}

bool NamesInstallDir(const std::wstring& installLocation, const std::wstring& dir) {
    return !dir.empty() && SameName(installLocation, JoinDir(dir, L""));
}

std::optional<InstallRecord> TrustedEarlierRecord(const std::optional<Registration>& registration,
                                                  const std::wstring& dir,
                                                  const std::optional<std::string>& recordBytes) {
    if (!registration || !recordBytes || !NamesInstallDir(registration->installLocation, dir)) return std::nullopt;
    const std::string hash = RecordHash(*recordBytes);
    if (hash.empty() || Widen(hash) != registration->recordHash) return std::nullopt;
    std::string why;
    std::optional<InstallRecord> record = ParseRecord(*recordBytes, why);
    if (!record || !SameName(record->installDir, dir)) return std::nullopt;
    return record;
}

std::string SerializeWithOwnEntry(InstallRecord& record, std::uint64_t lastWrite) {
    RecordedFile* own = nullptr;
    for (RecordedFile& file : record.files) {
        if (SameName(file.path, kRecordFileName)) own = &file;
    }
    if (!own) own = &record.files.emplace_back(RecordedFile{kRecordFileName, 0, 0});
    own->lastWrite = lastWrite;
    // The size only grows with the digits it takes, so this settles at once.
    std::string text = SerializeRecord(record);
    for (int round = 0; round < 8 && own->size != text.size(); ++round) {
        own->size = text.size();
        text = SerializeRecord(record);
    }
    return text;
}

Registration RegistrationFor(const std::wstring& dir, const std::string& recordHash, std::uint64_t unpackedBytes,
                             const std::wstring& installDate) {
    const std::wstring uninstaller = JoinDir(dir, kUninstallerFileName);
    const std::uint64_t kib = unpackedBytes / 1024 + (unpackedBytes % 1024 ? 1 : 0);
    Registration r;
    r.displayName = Widen(kProductName);
    r.displayVersion = Widen(state::kInstallerVersion);
    r.publisher = Widen(kCompanyName);
    r.displayIcon = JoinDir(dir, Widen(kProductExe)) + L",0";
    r.installLocation = JoinDir(dir, L"");
    r.installDate = installDate;
    r.estimatedSizeKiB = static_cast<DWORD>(std::min<std::uint64_t>(kib, std::numeric_limits<DWORD>::max()));
    r.uninstallString = Quoted(uninstaller);
    r.quietUninstallString = Quoted(uninstaller) + L" /S";
    r.recordHash = Widen(recordHash);
    return r;
}

std::wstring InstallDateText(const SYSTEMTIME& day) {
    const unsigned number = day.wYear * 10000u + day.wMonth * 100u + day.wDay;
    std::wstring text = std::to_wstring(number);
    return std::wstring(text.size() < 8 ? 8 - text.size() : 0, L'0') + text;
}

}  // namespace tovarin::core
