#pragma once
// The uninstaller's own texts, Simplified Chinese like the installer's.
namespace tovarin::uninstall {

inline constexpr char kUninstallTitle[] = "Tovarin卸载程序";
inline constexpr char kConfirmText[] = "确定要从此电脑上卸载Tovarin吗？";
inline constexpr char kUninstallButton[] = "卸载";
inline constexpr char kCancelButton[] = "取消";
inline constexpr char kProgressText[] = "正在卸载Tovarin，请稍候…";
// The installer's own message for a running product.
inline constexpr char kProductRunningText[] = "请关闭正在运行的Tovarin程序后重试";
inline constexpr char kRemovedText[] = "Tovarin已卸载。";
inline constexpr char kRemovedDirKeptText[] = "Tovarin已卸载。安装目录中还有您自己的文件，已保留该目录。";
inline constexpr char kFailedText[] = "卸载未能完成，请再次运行卸载程序。";
inline constexpr char kRecordInvalidText[] = "卸载信息无效或已被更改，未删除任何文件。";
inline constexpr char kNotInstalledText[] = "此电脑上未登记Tovarin的安装。";
inline constexpr char kCloseButton[] = "完成";

}  // namespace tovarin::uninstall
