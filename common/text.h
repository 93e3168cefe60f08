#pragma once
// UTF-8 inside, UTF-16 at every Win32 call.
#include <optional>
#include <string>
#include <string_view>

namespace tovarin {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The same as Widen for well-formed UTF-8 only: nothing for a malformed or
// overlong sequence or an encoded surrogate, which Widen would replace.
std::optional<std::wstring> WidenValid(std::string_view utf8);

// The two separators Windows reads in a path.
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }
inline bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace tovarin
