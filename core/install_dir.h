#pragma once
// The rules by which the installer chooses and judges the install directory.
#include <cstdint>
#include <optional>
#include <string>

#include "core/dir_platform.h"

namespace tovarin::core {

// The four failure messages of CheckInstallDir, in the order of the checks.
inline constexpr char kProductRunningMessage[] = "请关闭正在运行的Tovarin程序后重试";
inline constexpr char kPathInvalidMessage[] = "安装失败，请检查安装路径是否正确";
inline constexpr char kNoSpaceMessage[] = "安装失败，可用空间不足300MB";
inline constexpr char kNotWritableMessage[] = "安装失败，请检查安装路径是否可写";

// 300 MiB, compared with the bytes free to the calling user.
inline constexpr std::int64_t kMinimumFreeSpace = 300LL * 1024 * 1024;

// "D:\Program Files (x86)\Tovarin", else "D:\Program Files\Tovarin", else
// %PROGRAMFILES%\Tovarin.
std::string DefaultInstallDir();
std::string DefaultInstallDir(DirPlatform& platform);

// The install directory for a folder picked in the folder browser: the folder
// plus "\Tovarin". A folder that does not exist is created with the product
// folder at once. nullopt: leave the install directory as it is.
std::optional<std::string> InstallDirFromFolder(const std::string& folder);
std::optional<std::string> InstallDirFromFolder(const std::string& folder, DirPlatform& platform);

// The product holds its lock file open without delete sharing while it runs;
// a lock that can be deleted was left behind and goes. The installer's first
// check, and the uninstaller's.
bool ProductRunning(DirPlatform& platform);

struct DirCheck {
    bool ok;
    std::string message;  // one of the four messages when !ok
};

// Product not running, path usable, enough free space, directory present
// (created when missing). Stops at the first failure; never throws.
DirCheck CheckInstallDir(const std::string& dir);
DirCheck CheckInstallDir(const std::string& dir, DirPlatform& platform);

}  // namespace tovarin::core
