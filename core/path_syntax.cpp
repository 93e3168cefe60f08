#include "core/path_syntax.h"

#include <optional>
#include <string>

namespace tovarin::core {
namespace {

constexpr std::string_view kForbiddenInNames = "<>:\"/\\|?*";

// Counts UTF-16 units; -1 for malformed UTF-8 or control characters (C0, DEL, C1).
std::ptrdiff_t Utf16LengthOfPlainText(std::string_view s) {
    const std::optional<std::wstring> wide = WidenValid(s);
    if (!wide) return -1;
    for (const wchar_t c : *wide) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return -1;
    }
    return static_cast<std::ptrdiff_t>(wide->size());
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

// CON, NUL, COM1, "nul.txt", "Com1 .log": the system opens the device instead.
bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (EqualsIgnoringCase(base, device)) return true;
    if (base.size() < 4) return false;
    const std::string_view stem = base.substr(0, 3);
    if (!EqualsIgnoringCase(stem, "COM") && !EqualsIgnoringCase(stem, "LPT")) return false;
    const std::string_view digit = base.substr(3);
    if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
    return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";  // superscript 1, 2, 3
}

bool IsPlainName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find_first_of(kForbiddenInNames) != std::string_view::npos) return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    return !IsDeviceName(name);
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string_view DrivePart(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        const std::size_t server_end = path.find('\\', 2);
        if (server_end == std::string_view::npos) return path;
        const std::size_t share_end = path.find('\\', server_end + 1);
        return share_end == std::string_view::npos ? path : path.substr(0, share_end);
    }
    return {};
}

bool IsPlainDirectoryPath(std::string_view path) {
    const std::string_view drive = DrivePart(path);
    if (drive.empty()) return false;
    std::string_view body = path;
    if (IsSeparator(body.back())) body.remove_suffix(1);
    const std::ptrdiff_t units = Utf16LengthOfPlainText(body);
    if (units < 0 || static_cast<std::size_t>(units) > kMaxDirectoryPath) return false;

    std::string_view rest = path.substr(drive.size());
    if (drive[1] == ':') {
        if (!IsAsciiLetter(drive[0])) return false;
        // "D:foo" is relative to the current folder of D:.
        if (!rest.empty() && !IsSeparator(rest[0])) return false;
    } else {
        // \\server\share: two plain names ("\\?\" and "\\.\" device paths fail here).
        std::string_view names = drive.substr(2);
        const std::size_t cut = names.find('\\');
        if (cut == std::string_view::npos || !IsPlainName(names.substr(0, cut)) ||
            !IsPlainName(names.substr(cut + 1)))
            return false;
    }
    // Doubled separators are harmless: the system reads them as one.
    while (!rest.empty()) {
        const std::size_t cut = rest.find_first_of("\\/");
        const std::string_view name = rest.substr(0, cut);
        if (!name.empty() && !IsPlainName(name)) return false;
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    return true;
}

}  // namespace tovarin::core
