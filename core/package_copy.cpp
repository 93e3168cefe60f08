#include "core/package_copy.h"

#include "common/phase_trace.h"

namespace tovarin::core {

PackageCopy::PackageCopy(UniqueFile file, ResourceBytes bytes) : file_(std::move(file)), bytes_(bytes) {
    thread_.reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
    if (!thread_) Write();
}

DWORD WINAPI PackageCopy::Run(void* self) {
    static_cast<PackageCopy*>(self)->Write();
    return 0;
}

void PackageCopy::Write() {
    written_ = WriteWhole(file_.get(), bytes_);
    file_.reset();
    TracePhase("package-written");
}

bool PackageCopy::Wait() {
    if (thread_) {
        ::WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    return written_;
}

}  // namespace tovarin::core
