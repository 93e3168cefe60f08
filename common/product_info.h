#pragma once
// Fixed names of the product and the installer.
namespace tovarin {

inline constexpr char kProductName[] = "Tovarin";
inline constexpr char kProductExe[] = "Tovarin.exe";
// The company of the version information, and the publisher Windows lists.
inline constexpr char kCompanyName[] = "Tovarin";
inline constexpr char kApplicationTitle[] = "Tovarin安装程序";
// The product's one-line description: version info and shortcut description.
inline constexpr char kProductDescription[] = "Tovarin 桌面客户端";

}  // namespace tovarin
