#include "core/install_thread.h"

#include "app/install_state.h"
#include "common/handles.h"
#include "common/phase_trace.h"
#include "common/text.h"
#include "core/extract_package.h"
#include "core/payload_files.h"
#include "telemetry/installer_events.h"

#include <memory>

namespace tovarin::core {
namespace {

DWORD WINAPI ThreadMain(void* parameter) {
    std::unique_ptr<TInstallThread> worker(static_cast<TInstallThread*>(parameter));
    worker->Execute();
    return 0;
}

}  // namespace

TInstallThread::TInstallThread(InstallHost& host, FailureReport reportFailure)
    : host_(host), reportFailure_(std::move(reportFailure)) {}

bool TInstallThread::WritePayloadAndExtract(std::string& failure) {
    const std::optional<ResourceBytes> package = FindResourceBytes("package");
    if (!package) {
        failure = "The installer carries no package";
        return false;
    }
    // Written whole before anything is extracted: a temporary folder that
    // cannot take the copy (missing, read-only, full) fails the install while
    // the install directory is still untouched.
    UniqueFile packageFile = CreatePayloadFile(state::PackageTempPath());
    if (!packageFile || !WriteWhole(packageFile.get(), *package)) {
        failure = "Cannot write " + state::PackageTempPath();
        return false;
    }
    packageFile.reset();
    TracePhase("package-written");
    // The library's copy in TEMP is written as before but never loaded:
    // ExtractPackage loads a private copy of its own.
    if (!SaveResourceToFile("7zip_library", state::LibraryTempPath())) {
        failure = "Cannot write " + state::LibraryTempPath();
        return false;
    }
    TracePhase("library-written");
    ExtractedPackage written;
    const bool extracted = ExtractPackage(state::InstallDir(), package->data, package->size,
                                          [this](double fraction) { host_.QueueProgress(fraction); }, &failure,
                                          &written);
    TracePhase("unloaded");
    if (extracted) {
        InstallRecord items;
        items.folders = std::move(written.written.createdFolders);
        items.files = std::move(written.written.files);
        state::SetExtracted(std::move(items), written.unpackedBytes);
    }
    return extracted;
}

void TInstallThread::Execute() {
    try {
        host_.Synchronize([] { state::SetInstalling(true); });
        TracePhase("worker");
        state::SetExtractSucceeded(true);
        state::SetExtracted({}, 0);
        // A payload that cannot be written fails like an extraction, so the
        // window always gets its result.
        bool succeeded = false;
        std::string failure;
        try {
            succeeded = WritePayloadAndExtract(failure);
        } catch (...) {
            succeeded = false;
        }
        state::SetExtractSucceeded(succeeded);
        if (!succeeded && reportFailure_) reportFailure_(failure);
        host_.Synchronize([this] { host_.FinishInstall(state::ExtractSucceeded()); });
        host_.Synchronize([] { state::SetInstalling(false); });
    } catch (...) {
        // Nothing may leave the thread.
    }
    host_.WorkerEnded();
}

void StartInstallThread(InstallHost& host, FailureReport reportFailure) {
    auto worker = std::make_unique<TInstallThread>(host, reportFailure);
    DWORD id = 0;
    UniqueHandle thread(::CreateThread(nullptr, 0, ThreadMain, worker.get(), 0, &id));
    if (thread) {
        worker.release();  // the thread owns it now
        return;
    }
    // No thread (we are on the user-interface thread): end the attempt as a
    // failed extraction right here, so the window is not left waiting.
    state::SetExtractSucceeded(false);
    if (reportFailure) reportFailure("Cannot start the extraction worker");
    host.FinishInstall(false);
    host.WorkerEnded();
}

void StartInstallThread(InstallHost& host) {
    StartInstallThread(host, [](const std::string& why) {
        ::OutputDebugStringW(Widen("TovarinSetup: extraction failed: " + why).c_str());
        telemetry::SendInstallFailed();
    });
}

}  // namespace tovarin::core
