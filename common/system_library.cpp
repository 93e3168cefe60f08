#include "common/system_library.h"

#include <optional>
#include <string>

namespace tovarin {
namespace {

HMODULE LoadFromSystemFolder(const wchar_t* fileName) {
    // Windows 7 without the search flags: the full path, its dependencies
    // looked up from the system folder too.
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    const std::wstring path =
        length > 0 && length < MAX_PATH ? std::wstring(folder, length) + L"\\" + fileName : std::wstring();
    return LoadModuleQuietly(fileName, LOAD_LIBRARY_SEARCH_SYSTEM32, path, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A table with every function bound, or none.
template <typename Table, typename BindAll>
std::optional<Table> BindTable(const wchar_t* fileName, BindAll bindAll) {
    const SystemLibrary dll(fileName);
    Table table{};
    if (bindAll(dll, table)) return table;
    return std::nullopt;
}

}  // namespace

HMODULE LoadModuleQuietly(const std::wstring& path, DWORD flags, const std::wstring& fallbackPath,
                          DWORD fallbackFlags) {
    DWORD oldMode = 0;
    const BOOL modeSet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, flags);
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER && !fallbackPath.empty()) {
        module = ::LoadLibraryExW(fallbackPath.c_str(), nullptr, fallbackFlags);
    }
    const DWORD error = ::GetLastError();
    if (modeSet) ::SetThreadErrorMode(oldMode, nullptr);
    ::SetLastError(error);
    return module;
}

SystemLibrary::SystemLibrary(const wchar_t* fileName) : module_(LoadFromSystemFolder(fileName)) {}

const WinHttpFunctions* WinHttp() {
    static const auto table = BindTable<WinHttpFunctions>(L"winhttp.dll", [](const SystemLibrary& dll, auto& f) {
        return dll.Bind(f.WinHttpCrackUrl, "WinHttpCrackUrl") && dll.Bind(f.WinHttpOpen, "WinHttpOpen") &&
               dll.Bind(f.WinHttpConnect, "WinHttpConnect") && dll.Bind(f.WinHttpOpenRequest, "WinHttpOpenRequest") &&
               dll.Bind(f.WinHttpSendRequest, "WinHttpSendRequest") &&
               dll.Bind(f.WinHttpReceiveResponse, "WinHttpReceiveResponse") &&
               dll.Bind(f.WinHttpReadData, "WinHttpReadData") && dll.Bind(f.WinHttpCloseHandle, "WinHttpCloseHandle");
    });
    return table ? &*table : nullptr;
}

const BCryptFunctions* BCrypt() {
    static const auto table = BindTable<BCryptFunctions>(L"bcrypt.dll", [](const SystemLibrary& dll, auto& f) {
        return dll.Bind(f.BCryptOpenAlgorithmProvider, "BCryptOpenAlgorithmProvider") &&
               dll.Bind(f.BCryptCloseAlgorithmProvider, "BCryptCloseAlgorithmProvider") &&
               dll.Bind(f.BCryptCreateHash, "BCryptCreateHash") && dll.Bind(f.BCryptDestroyHash, "BCryptDestroyHash") &&
               dll.Bind(f.BCryptHashData, "BCryptHashData") && dll.Bind(f.BCryptFinishHash, "BCryptFinishHash") &&
               dll.Bind(f.BCryptGenRandom, "BCryptGenRandom");
    });
    return table ? &*table : nullptr;
}

const IpHelperFunctions* IpHelper() {
    static const auto table = BindTable<IpHelperFunctions>(
        L"iphlpapi.dll", [](const SystemLibrary& dll, auto& f) { return dll.Bind(f.GetIfTable, "GetIfTable"); });
    return table ? &*table : nullptr;
}

const OleaccFunctions* Oleacc() {
    static const auto table = BindTable<OleaccFunctions>(L"oleacc.dll", [](const SystemLibrary& dll, auto& f) {
        return dll.Bind(f.LresultFromObject, "LresultFromObject") &&
               dll.Bind(f.AccessibleObjectFromWindow, "AccessibleObjectFromWindow");
    });
    return table ? &*table : nullptr;
}

const ComCtlFunctions* ComCtl() {
    static const auto table = BindTable<ComCtlFunctions>(L"comctl32.dll", [](const SystemLibrary& dll, auto& f) {
        return dll.Bind(f.SetWindowSubclass, "SetWindowSubclass") &&
               dll.Bind(f.RemoveWindowSubclass, "RemoveWindowSubclass") &&
               dll.Bind(f.DefSubclassProc, "DefSubclassProc");
    });
    return table ? &*table : nullptr;
}

}  // namespace tovarin
