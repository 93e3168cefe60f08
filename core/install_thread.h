#pragma once
// The extraction worker: writes the package and the archive library to the
// temporary folder, extracts the package into the install directory and hands
// the result to the completion step on the user-interface thread.
#include <functional>
#include <string>

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
    // The worker's last word: it has returned from its last call into the host
    // and touches it no more. Any thread.
    virtual void WorkerEnded() {}
};

// TInstallThread: started running, never waited for. Reads InstallDir and the temp paths from tovarin::state.
void StartInstallThread(InstallHost& host);

// What a failed attempt hands on: why it failed (the binding's message; for
// tests and a debugger, never shown or sent).
using FailureReport = std::function<void(const std::string& why)>;

// The same, with the failure event replaced (tests observe it this way).
void StartInstallThread(InstallHost& host, FailureReport reportFailure);

class TInstallThread {
public:
    TInstallThread(InstallHost& host, FailureReport reportFailure);
    // The worker body, on the calling thread. Never throws.
    void Execute();

private:
    bool WritePayloadAndExtract(std::string& failure);

    InstallHost& host_;
    FailureReport reportFailure_;
};

}  // namespace tovarin::core
