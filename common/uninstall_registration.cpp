#include "common/uninstall_registration.h"

#include "common/handles.h"

#include <vector>

namespace tovarin {
namespace {

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = UniqueResource<HKEY, nullptr, KeyCloser>;

// The 32-bit view on 64-bit Windows, where a 32-bit installer's entry belongs.
constexpr REGSAM kView = KEY_WOW64_32KEY;

struct TextValue {
    const wchar_t* name;
    std::wstring Registration::*field;
};
constexpr TextValue kTextValues[] = {
    {L"DisplayName", &Registration::displayName},
    {L"DisplayVersion", &Registration::displayVersion},
    {L"Publisher", &Registration::publisher},
    {L"DisplayIcon", &Registration::displayIcon},
    {L"InstallLocation", &Registration::installLocation},
    {L"InstallDate", &Registration::installDate},
    {L"UninstallString", &Registration::uninstallString},
    {L"QuietUninstallString", &Registration::quietUninstallString},
    {kRecordHashValue, &Registration::recordHash},
};

std::string Failed(const wchar_t* name, LSTATUS status) {
    std::string text = "writing ";
    for (const wchar_t* c = name; *c; ++c) text += static_cast<char>(*c);  // value names are ASCII
    return text + " failed with " + std::to_string(status);
}

std::optional<std::wstring> ReadText(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    // The stored text need not end with a zero; the buffer has room for one.
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    return std::wstring(buffer.data());
}

}  // namespace

bool WriteRegistration(const Registration& registration, std::string& failure) {
    // An entry left by an earlier install goes first, so no value of it outlives this one.
    if (!DeleteRegistration()) {
        failure = "the earlier entry could not be removed";
        return false;
    }
    UniqueKey key;
    const LSTATUS created = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, nullptr,
                                              REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | kView, nullptr,
                                              key.put(), nullptr);
    if (created != ERROR_SUCCESS) {
        failure = "the key could not be created (" + std::to_string(created) + ")";
        return false;
    }
    for (const TextValue& value : kTextValues) {
        const std::wstring& text = registration.*value.field;
        const LSTATUS status =
            ::RegSetValueExW(key.get(), value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS) {
            failure = Failed(value.name, status);
            return false;
        }
    }
    const std::pair<const wchar_t*, DWORD> numbers[] = {
        {L"EstimatedSize", registration.estimatedSizeKiB}, {L"NoModify", 1}, {L"NoRepair", 1}};
    for (const auto& [name, number] : numbers) {
        const LSTATUS status =
            ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        if (status != ERROR_SUCCESS) {
            failure = Failed(name, status);
            return false;
        }
    }
    return true;
}

std::optional<Registration> ReadRegistration() {
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_QUERY_VALUE | kView, key.put()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    Registration registration;
    for (const TextValue& value : kTextValues)
        if (std::optional<std::wstring> text = ReadText(key.get(), value.name))
            registration.*value.field = std::move(*text);
    DWORD size = 0;
    DWORD type = 0;
    DWORD bytes = sizeof size;
    if (::RegQueryValueExW(key.get(), L"EstimatedSize", nullptr, &type, reinterpret_cast<BYTE*>(&size), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_DWORD)
        registration.estimatedSizeKiB = size;
    return registration;
}

bool DeleteRegistration() {
    const LSTATUS status = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKeyPath, kView, 0);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace tovarin
