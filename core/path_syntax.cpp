#include "core/path_syntax.h"

#include <array>
#include <cstdint>

namespace tovarin::core {
namespace {

constexpr std::string_view kForbiddenInNames = "<>:\"/\\|?*";

// Counts UTF-16 units; nullopt-like -1 for malformed UTF-8 or control characters.
std::ptrdiff_t Utf16LengthOfPlainText(std::string_view s) {
    std::ptrdiff_t units = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len;
        std::uint32_t cp;
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) return -1;
            len = 1;
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return -1;
        }
        if (i + len > s.size()) return -1;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return -1;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::array<std::uint32_t, 5> kMinimum = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
        if (cp >= 0x80 && cp < 0xA0) return -1;  // C1 controls
        units += cp >= 0x10000 ? 2 : 1;
        i += len;
    }
    return units;
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
