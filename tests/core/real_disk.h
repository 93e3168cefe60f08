#pragma once
// Helpers for tests against real folders under Wine.
#include <windows.h>

#include <optional>
#include <string>

#include "common/text.h"

namespace tovarin::testing {

inline DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()); }
inline bool DirExists(const std::string& path) {
    const DWORD a = AttributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool FileExists(const std::string& path) {
    const DWORD a = AttributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline void RemoveTree(const std::wstring& dir, bool keep_dir = false) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (!keep_dir) RemoveDirectoryW(dir.c_str());
}

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        static int counter = 0;
        path_ = Narrow(std::wstring(temp, n)) + "tovarin-core-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        CreateDirectoryW(Widen(path_).c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(Widen(path_)); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    bool Empty() const {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(Widen(path_ + "\\*").c_str(), &found);
        bool empty = true;
        if (find == INVALID_HANDLE_VALUE) return empty;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") empty = false;
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return empty;
    }

private:
    std::string path_;
};

// Sets an environment variable for the test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const std::wstring& name, const std::optional<std::string>& value) : name_(name) {
        wchar_t buf[32768];
        const DWORD n = GetEnvironmentVariableW(name.c_str(), buf, 32768);
        if (n > 0 && n < 32768) old_ = std::wstring(buf, n);
        SetEnvironmentVariableW(name.c_str(), value ? Widen(*value).c_str() : nullptr);
    }
    ~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

}  // namespace tovarin::testing
