#include "telemetry/event_bodies.h"

namespace tovarin::telemetry {
namespace {

constexpr std::string_view kAppOpened =
    R"({"版本":"%s","MAC":"%s","操作系统名称":"%s","操作系统版本":"%s"})";
constexpr std::string_view kInstallStarted =
    R"({"版本":"%s","MAC":"%s","操作系统名称":"%s","操作系统版本":"%s","安装目录":"%s","桌面快捷方式":"%s","安装完成后打开":"%s"})";
constexpr std::string_view kExitClicked =
    R"({"版本":"%s","MAC":"%s","操作系统名称":"%s","操作系统版本":"%s","当前步骤":"%s"})";
constexpr std::string_view kError =
    R"({"版本":"%s","MAC":"%s","操作系统名称":"%s","操作系统版本":"%s","当前步骤":"%s","安装目录":"%s","出错提示":"%s"})";
constexpr std::string_view kInstallSucceeded =
    R"({"版本":"%s","MAC":"%s","操作系统名称":"%s","操作系统版本":"%s","当前步骤":"%s","安装目录":"%s","桌面快捷方式":"%s","安装完成后打开":"%s"})";

}  // namespace

std::string EscapeJsonValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(value.size());
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 0x0F];
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

std::string FillTemplate(std::string_view tmpl, std::initializer_list<std::string_view> values) {
    std::string out;
    out.reserve(tmpl.size() + 64);
    auto next = values.begin();
    std::size_t pos = 0;
    while (pos < tmpl.size()) {
        const std::size_t marker = tmpl.find("%s", pos);
        if (marker == std::string_view::npos || next == values.end()) break;
        out.append(tmpl, pos, marker - pos);
        out += EscapeJsonValue(*next++);
        pos = marker + 2;
    }
    out.append(tmpl, pos);
    return out;
}

std::string_view FlagText(bool set) { return set ? "-1" : "0"; }

std::string AppOpenedBody(const Identity& id) {
    return FillTemplate(kAppOpened, {id.version, id.mac, id.osName, id.osVersion});
}

std::string InstallStartedBody(const Identity& id, std::string_view installDir, bool desktopShortcut,
                               bool openAfterInstall) {
    return FillTemplate(kInstallStarted, {id.version, id.mac, id.osName, id.osVersion, installDir,
                                          FlagText(desktopShortcut), FlagText(openAfterInstall)});
}

std::string ExitClickedBody(const Identity& id, std::string_view step) {
    return FillTemplate(kExitClicked, {id.version, id.mac, id.osName, id.osVersion, step});
}

std::string ErrorBody(const Identity& id, std::string_view step, std::string_view installDir,
                      std::string_view message) {
    return FillTemplate(kError, {id.version, id.mac, id.osName, id.osVersion, step, installDir, message});
}

std::string InstallSucceededBody(const Identity& id, std::string_view step, std::string_view installDir,
                                 bool desktopShortcut, bool openAfterInstall) {
    return FillTemplate(kInstallSucceeded, {id.version, id.mac, id.osName, id.osVersion, step, installDir,
                                            FlagText(desktopShortcut), FlagText(openAfterInstall)});
}

}  // namespace tovarin::telemetry
