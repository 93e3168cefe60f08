#pragma once
// The product's entry in Windows' list of installed programs: the 32-bit
// view of HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovarin.
// Only administrators can write there, so the install record's hash kept in
// it is what the elevated uninstaller trusts.
#include <windows.h>

#include <optional>
#include <string>

namespace tovarin {

inline constexpr wchar_t kUninstallKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tovarin";
// Our own value beside the standard ones.
inline constexpr wchar_t kRecordHashValue[] = L"InstallRecordSHA256";

struct Registration {
    std::wstring displayName;      // "Tovarin"
    std::wstring displayVersion;   // the installer's version
    std::wstring publisher;        // the company name of the version information
    std::wstring displayIcon;      // <dir>\Tovarin.exe,0
    std::wstring installLocation;  // <dir>\ (trailing separator)
    std::wstring installDate;      // YYYYMMDD
    DWORD estimatedSizeKiB = 0;
    std::wstring uninstallString;       // "<dir>\Uninstall.exe"
    std::wstring quietUninstallString;  // "<dir>\Uninstall.exe" /S
    std::wstring recordHash;            // RecordHash of the record's bytes
};

// Replaces whatever entry there was. False on failure; failure says why.
bool WriteRegistration(const Registration& registration, std::string& failure);
// nullopt when there is no entry (or it cannot be read).
std::optional<Registration> ReadRegistration();
// True when the entry is gone afterwards (also when there was none).
bool DeleteRegistration();

}  // namespace tovarin
