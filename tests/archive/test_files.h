#pragma once
// File helpers for tests that run under Wine: scratch folders and whole-file reads.
#include <windows.h>

#include <string>

#include "common/text.h"

namespace tovarin::testing {

inline bool Exists(const std::string& path) {
    return ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadAll(const std::string& path) {
    HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) data.append(buffer, read);
    ::CloseHandle(file);
    return data;
}

inline bool WriteAll(const std::string& path, const std::string& data) {
    HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == data.size();
}

// A fresh, empty folder under the temporary folder (backslash separators, no
// trailing one).
inline std::string MakeScratchDir(const std::string& name) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::string dir = Narrow(temp) + "tovarin-test-" + name + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                      std::to_string(::GetTickCount());
    ::CreateDirectoryW(Widen(dir).c_str(), nullptr);
    return dir;
}

}  // namespace tovarin::testing
