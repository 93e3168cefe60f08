#include "archive/item_path.h"

namespace tovarin::archive {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

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

}  // namespace tovarin::archive
