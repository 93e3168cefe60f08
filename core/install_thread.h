#pragma once
// The extraction worker: writes the package and the archive library to the
// temporary folder, extracts the package into the install directory and hands
// the result to the completion step on the user-interface thread.
#include <functional>

namespace tovarin::core {

// What the worker needs of the progress window and the completion step.
class InstallHost {
public:
    virtual ~InstallHost() = default;
    // Runs call on the user-interface thread and returns once it has run.
    virtual void Synchronize(const std::function<void()>& call) = 0;
    // Hands one fraction to updateProgress on the user-interface thread; reports keep their order.
    virtual void QueueProgress(double fraction) = 0;
    // The completion step, called by the worker inside Synchronize.
    virtual void FinishInstall(bool succeeded) = 0;
};

// TInstallThread: started running, never waited for. Reads InstallDir and the temp paths from tovarin::state.
void StartInstallThread(InstallHost& host);

// The same, with the failure event replaced (tests observe it this way).
void StartInstallThread(InstallHost& host, std::function<void()> reportFailure);

class TInstallThread {
public:
    TInstallThread(InstallHost& host, std::function<void()> reportFailure);
    // The worker body, on the calling thread. Never throws.
    void Execute();

private:
    bool WritePayloadAndExtract();

    InstallHost& host_;
    std::function<void()> reportFailure_;
};

}  // namespace tovarin::core
