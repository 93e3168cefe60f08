#pragma once
// The install state: process-wide values shared by the windows and the worker.
// Read and written only through these functions. Values are handed between the
// user-interface thread and the worker in a fixed order (thread start, then
// synchronised calls), so plain storage suffices for the texts; the flags the
// two threads touch at once are atomic.
#include <cstdint>
#include <string>

#include "common/install_record.h"
#include "version.h"

namespace tovarin::state {

inline constexpr char kInstallerVersion[] = TOVARIN_VERSION;

enum class DialogKind : std::int32_t { Exit = 0, Error = 1 };

const std::string& InstallDir();
void SetInstallDir(std::string dir);

const std::string& PackageTempPath();
const std::string& LibraryTempPath();
void SetTempPaths(std::string package, std::string library);

bool ExtractSucceeded();
void SetExtractSucceeded(bool value);

// What the last extraction put under InstallDir (the folders it made and
// each file as written; no directory, no shortcuts) and the package's
// unpacked total in bytes. Written by the worker before its hand-over, read
// by the completion step, like ExtractSucceeded.
const InstallRecord& ExtractedItems();
std::uint64_t UnpackedBytes();
void SetExtracted(InstallRecord items, std::uint64_t unpackedBytes);

bool CreateDesktopShortcut();
void SetCreateDesktopShortcut(bool value);
bool OpenAfterInstall();
void SetOpenAfterInstall(bool value);

bool Installing();
void SetInstalling(bool value);

DialogKind CurrentDialogKind();
void SetCurrentDialogKind(DialogKind kind);

// Back to the values the process starts with (tests).
void ResetForTesting();

}  // namespace tovarin::state
