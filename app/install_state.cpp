#include "app/install_state.h"

#include <atomic>

namespace tovarin::state {
namespace {

struct State {
    std::string installDir;
    std::string packageTempPath;
    std::string libraryTempPath;
    std::atomic<bool> extractSucceeded{false};
    InstallRecord extractedItems;
    std::uint64_t unpackedBytes = 0;
    std::atomic<bool> createDesktopShortcut{true};
    std::atomic<bool> openAfterInstall{true};
    std::atomic<bool> installing{false};
    std::atomic<DialogKind> currentDialogKind{DialogKind::Exit};
};

State& S() {
    static State s;
    return s;
}

}  // namespace

const std::string& InstallDir() { return S().installDir; }
void SetInstallDir(std::string dir) { S().installDir = std::move(dir); }

const std::string& PackageTempPath() { return S().packageTempPath; }
const std::string& LibraryTempPath() { return S().libraryTempPath; }
void SetTempPaths(std::string package, std::string library) {
    S().packageTempPath = std::move(package);
    S().libraryTempPath = std::move(library);
}

bool ExtractSucceeded() { return S().extractSucceeded; }
void SetExtractSucceeded(bool value) { S().extractSucceeded = value; }

const InstallRecord& ExtractedItems() { return S().extractedItems; }
std::uint64_t UnpackedBytes() { return S().unpackedBytes; }
void SetExtracted(InstallRecord items, std::uint64_t unpackedBytes) {
    S().extractedItems = std::move(items);
    S().unpackedBytes = unpackedBytes;
}

bool CreateDesktopShortcut() { return S().createDesktopShortcut; }
void SetCreateDesktopShortcut(bool value) { S().createDesktopShortcut = value; }
bool OpenAfterInstall() { return S().openAfterInstall; }
void SetOpenAfterInstall(bool value) { S().openAfterInstall = value; }

bool Installing() { return S().installing; }
void SetInstalling(bool value) { S().installing = value; }

DialogKind CurrentDialogKind() { return S().currentDialogKind; }
void SetCurrentDialogKind(DialogKind kind) { S().currentDialogKind = kind; }

void ResetForTesting() {
    SetInstallDir({});
    SetTempPaths({}, {});
    SetExtractSucceeded(false);
    SetExtracted({}, 0);
    SetCreateDesktopShortcut(true);
    SetOpenAfterInstall(true);
    SetInstalling(false);
    SetCurrentDialogKind(DialogKind::Exit);
}

}  // namespace tovarin::state
