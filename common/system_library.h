#pragma once
// The DLLs the installer uses that are not among the system's known DLLs.
// A static import of one is looked up in the installer's own folder (a
// download folder) before wWinMain can restrict the search, so they are bound
// at run time, from the system folder only.
#include <windows.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <iphlpapi.h>
#include <oleacc.h>
#include <winhttp.h>

#include <string>

namespace tovarin {

// LoadLibraryExW with the system's error boxes off for this thread (no "bad
// image" box for a file that is no module). When the system does not know
// `flags` (Windows 7 without the search-flag update) it tries again with
// `fallbackPath` and `fallbackFlags`. The last error is the load's.
HMODULE LoadModuleQuietly(const std::wstring& path, DWORD flags, const std::wstring& fallbackPath,
                          DWORD fallbackFlags);

// A DLL loaded from the system folder at first use and kept for the rest of
// the run: threads nobody waits for may still be inside it when the process ends.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* fileName);

    // Points fn at the export name; false (fn null) when the DLL or the export is missing.
    template <typename Fn>
    bool Bind(Fn*& fn, const char* name) const {
        fn = module_ ? reinterpret_cast<Fn*>(reinterpret_cast<void*>(::GetProcAddress(module_, name))) : nullptr;
        return fn != nullptr;
    }

private:
    HMODULE module_;
};

// Each table is bound whole or not at all: null when the DLL or any of its
// functions is missing, which the callers take as a failure.
struct WinHttpFunctions {
    decltype(::WinHttpCrackUrl)* WinHttpCrackUrl;
    decltype(::WinHttpOpen)* WinHttpOpen;
    decltype(::WinHttpConnect)* WinHttpConnect;
    decltype(::WinHttpOpenRequest)* WinHttpOpenRequest;
    decltype(::WinHttpSendRequest)* WinHttpSendRequest;
    decltype(::WinHttpReceiveResponse)* WinHttpReceiveResponse;
    decltype(::WinHttpReadData)* WinHttpReadData;
    decltype(::WinHttpCloseHandle)* WinHttpCloseHandle;
};
const WinHttpFunctions* WinHttp();

struct BCryptFunctions {
    decltype(::BCryptOpenAlgorithmProvider)* BCryptOpenAlgorithmProvider;
    decltype(::BCryptCloseAlgorithmProvider)* BCryptCloseAlgorithmProvider;
    decltype(::BCryptCreateHash)* BCryptCreateHash;
    decltype(::BCryptDestroyHash)* BCryptDestroyHash;
    decltype(::BCryptHashData)* BCryptHashData;
    decltype(::BCryptFinishHash)* BCryptFinishHash;
    decltype(::BCryptGenRandom)* BCryptGenRandom;
};
const BCryptFunctions* BCrypt();

struct IpHelperFunctions {
    decltype(::GetIfTable)* GetIfTable;
};
const IpHelperFunctions* IpHelper();

struct OleaccFunctions {
    decltype(::LresultFromObject)* LresultFromObject;
    decltype(::AccessibleObjectFromWindow)* AccessibleObjectFromWindow;
};
const OleaccFunctions* Oleacc();

// The subclassing helpers of the common controls (comctl32 5.8 on, so no
// version-6 manifest entry is needed and the edit keeps its look).
struct ComCtlFunctions {
    decltype(::SetWindowSubclass)* SetWindowSubclass;
    decltype(::RemoveWindowSubclass)* RemoveWindowSubclass;
    decltype(::DefSubclassProc)* DefSubclassProc;
};
const ComCtlFunctions* ComCtl();

}  // namespace tovarin
