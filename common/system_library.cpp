#include "common/system_library.h"

#include <optional>
#include <string>

namespace tovarin {
namespace {

HMODULE LoadFromSystemFolder(const wchar_t* fileName) {
    DWORD oldMode = 0;
    const BOOL modeSet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE module = ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        // Windows 7 without the search flags: the full path, its dependencies
        // looked up from the system folder too.
        wchar_t folder[MAX_PATH];
        const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            const std::wstring path = std::wstring(folder, length) + L"\\" + fileName;
            module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
    }
    if (modeSet) ::SetThreadErrorMode(oldMode, nullptr);
    return module;
}

}  // namespace

SystemLibrary::SystemLibrary(const wchar_t* fileName) : module_(LoadFromSystemFolder(fileName)) {}

const WinHttpFunctions* WinHttp() {
    static const std::optional<WinHttpFunctions> table = []() -> std::optional<WinHttpFunctions> {
        const SystemLibrary dll(L"winhttp.dll");
        WinHttpFunctions f{};
        if (dll.Bind(f.WinHttpCrackUrl, "WinHttpCrackUrl") && dll.Bind(f.WinHttpOpen, "WinHttpOpen") &&
            dll.Bind(f.WinHttpConnect, "WinHttpConnect") && dll.Bind(f.WinHttpOpenRequest, "WinHttpOpenRequest") &&
            dll.Bind(f.WinHttpSendRequest, "WinHttpSendRequest") &&
            dll.Bind(f.WinHttpReceiveResponse, "WinHttpReceiveResponse") &&
            dll.Bind(f.WinHttpReadData, "WinHttpReadData") && dll.Bind(f.WinHttpCloseHandle, "WinHttpCloseHandle"))
            return f;
        return std::nullopt;
    }();
    return table ? &*table : nullptr;
}

const BCryptFunctions* BCrypt() {
    static const std::optional<BCryptFunctions> table = []() -> std::optional<BCryptFunctions> {
        const SystemLibrary dll(L"bcrypt.dll");
        BCryptFunctions f{};
        if (dll.Bind(f.BCryptOpenAlgorithmProvider, "BCryptOpenAlgorithmProvider") &&
            dll.Bind(f.BCryptCloseAlgorithmProvider, "BCryptCloseAlgorithmProvider") &&
            dll.Bind(f.BCryptCreateHash, "BCryptCreateHash") && dll.Bind(f.BCryptDestroyHash, "BCryptDestroyHash") &&
            dll.Bind(f.BCryptHashData, "BCryptHashData") && dll.Bind(f.BCryptFinishHash, "BCryptFinishHash"))
            return f;
        return std::nullopt;
    }();
    return table ? &*table : nullptr;
}

const IpHelperFunctions* IpHelper() {
    static const std::optional<IpHelperFunctions> table = []() -> std::optional<IpHelperFunctions> {
        const SystemLibrary dll(L"iphlpapi.dll");
        IpHelperFunctions f{};
        if (dll.Bind(f.GetIfTable, "GetIfTable")) return f;
        return std::nullopt;
    }();
    return table ? &*table : nullptr;
}

}  // namespace tovarin
