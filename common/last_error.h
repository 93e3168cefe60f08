#pragma once
// The calling thread's last error as a COM result.
#include <windows.h>

namespace tovarin {

// E_FAIL when the failed call set no error.
inline HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace tovarin
