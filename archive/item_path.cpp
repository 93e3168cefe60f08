#include "archive/item_path.h"

#include <windows.h>

#include "common/text.h"

namespace tovarin::archive {
namespace {

// The same list as RESERVED in scripts/packaging/rules.py. Windows reads the
// superscripts 1-3 as digits in these names.
constexpr std::wstring_view kDeviceNames[] = {
    L"CON",  L"PRN",  L"AUX",  L"NUL",  L"COM1", L"COM2", L"COM3", L"COM4", L"COM5", L"COM6",
    L"COM7", L"COM8", L"COM9", L"LPT1", L"LPT2", L"LPT3", L"LPT4", L"LPT5", L"LPT6", L"LPT7",
    L"LPT8", L"LPT9", L"COM\u00B9", L"COM\u00B2", L"COM\u00B3", L"LPT\u00B9", L"LPT\u00B2", L"LPT\u00B3",
};

// A device whatever follows the first dot, blanks before it ignored.
bool NamesDevice(std::wstring_view part) {
    std::wstring_view base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    for (std::wstring_view device : kDeviceNames) {
        if (base.size() != device.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < base.size() && same; ++i) {
            const wchar_t c = base[i] >= L'a' && base[i] <= L'z' ? static_cast<wchar_t>(base[i] - L'a' + L'A') : base[i];
            same = c == device[i];
        }
        if (same) return true;
    }
    return false;
}

bool IsForbidden(wchar_t c) {
    return c < 32 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*' || c == L':';
}

bool IsSafePart(std::wstring_view part) {
    if (part.empty() || part.back() == L'.' || part.back() == L' ') return false;
    for (wchar_t c : part) {
        if (IsForbidden(c)) return false;
    }
    return !NamesDevice(part);
}

}  // namespace

bool IsSafeItemPath(std::wstring_view path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (!IsSafePart(path.substr(start, i - start))) return false;
            start = i + 1;
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
