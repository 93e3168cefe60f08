#include "core/install_thread.h"

#include "app/install_state.h"
#include "common/handles.h"
#include "common/phase_trace.h"
#include "common/text.h"
#include "core/extract_package.h"
#include "core/package_copy.h"
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
    // Created first, so that a temporary folder that takes no file stops the
    // install before anything is extracted.
    UniqueFile packageFile = CreatePayloadFile(state::PackageTempPath());
    if (!packageFile) {
        failure = "Cannot write " + state::PackageTempPath();
        return false;
    }
    // The package is extracted straight from the image while its copy is
    // written; the copy is complete and closed before any result is reported.
    PackageCopy copy(std::move(packageFile), *package);
    // The library is closed at once: the loader cannot open a file that is
    // open for writing. ExtractPackage reopens it locked and checks its hash.
    if (!SaveResourceToFile("7zip_library", state::LibraryTempPath())) {  // the copy is waited for
        failure = "Cannot write " + state::LibraryTempPath();
        return false;
    }
    TracePhase("library-written");
    const bool extracted = ExtractPackage(state::InstallDir(), package->data, package->size,
                                          [this](double fraction) { host_.QueueProgress(fraction); }, &failure);
    TracePhase("unloaded");
    const bool copied = copy.Wait();
    if (extracted && !copied) failure = "Cannot write " + state::PackageTempPath();
    return extracted && copied;
}

void TInstallThread::Execute() {
    try {
        host_.Synchronize([] { state::SetInstalling(true); });
        TracePhase("worker");
        state::SetExtractSucceeded(true);
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
