#include "startup/process_hardening.h"

#include <windows.h>

#include "common/system_library.h"

namespace tovarin::app {

void RestrictDllSearchPath() {
    // Absent on Windows 7 without KB2533623: then only the current folder goes.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
        const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
        if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    SetDllDirectoryW(L"");
    // Bound now, from System32: a later load by name, ours or a system DLL's
    // own dependency, then finds these copies already in the process.
    WinHttp();
    BCrypt();
    IpHelper();
}

}  // namespace tovarin::app

namespace tovarin::app {

void RefuseUntrustedRedirections() {
    // Looked up: Windows 7 has no such function, and systems before
    // Windows 10 22H2 refuse the policy; both leave the process as it was.
    using SetPolicyFn = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    const auto setPolicy = reinterpret_cast<SetPolicyFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessMitigationPolicy")));
    if (!setPolicy) return;
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
    policy.EnforceRedirectionTrust = 1;
    setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

}  // namespace tovarin::app
