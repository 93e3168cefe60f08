#include "common/environment.h"

#include <windows.h>

namespace tovarin {

std::wstring EnvironmentVariable(const wchar_t* name) {
    std::wstring value(256, L'\0');
    // The value may grow between two calls; ask again until it fits.
    for (;;) {
        const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);  // n counts the terminating zero: room for it this time
    }
}

}  // namespace tovarin
