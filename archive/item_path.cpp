#include "archive/item_path.h"

#include <windows.h>

#include "common/text.h"

namespace tovarin::archive {
namespace {

bool IsDotsOnly(std::wstring_view part) {
    bool dot = false;
    for (wchar_t c : part) {
        if (c == L'.') {
            dot = true;
        } else if (c != L' ') {
            return false;
        }
    }
    return dot;
}

}  // namespace

bool IsSafeItemPath(std::wstring_view path) {
    if (path.empty() || IsSeparator(path.front())) return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (IsDotsOnly(path.substr(start, i - start))) return false;
            start = i + 1;
        } else if (path[i] == L':' || path[i] == L'\0') {
            return false;
        }
    }
    return true;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
    constexpr std::size_t kPlainLimit = MAX_PATH - 12;
    if (path.size() < kPlainLimit || path.compare(0, 4, L"\\\\?\\") == 0) return path;
    std::wstring full(path.size() + 16, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return path;
}

}  // namespace tovarin::archive
