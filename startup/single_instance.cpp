#include "startup/single_instance.h"

#include <windows.h>

namespace tovarin::app {

InstanceMutex::InstanceMutex(const std::wstring& name) : mutex_(CreateMutexW(nullptr, TRUE, name.c_str())) {
    // Read at once: nothing may touch the last error in between.
    alreadyRunning_ = GetLastError() == ERROR_ALREADY_EXISTS;
}

InstanceMutex::~InstanceMutex() {
    if (mutex_ && !alreadyRunning_) ReleaseMutex(mutex_.get());
}

std::wstring DefaultTitleFromPath(std::wstring_view exePath) {
    const std::size_t slash = exePath.find_last_of(L"\\/");
    std::wstring name(slash == std::wstring_view::npos ? exePath : exePath.substr(slash + 1));
    name = name.substr(0, name.find(L'.'));
    if (name.size() > 1) CharLowerBuffW(name.data() + 1, static_cast<DWORD>(name.size() - 1));
    return name;
}

std::wstring DefaultTitle() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return DefaultTitleFromPath(path);
        }
        path.resize(path.size() * 2);  // truncated: try a bigger buffer
    }
}

}  // namespace tovarin::app
