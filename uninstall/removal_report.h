#pragma once
// What one run of the uninstaller came to; the quiet run's exit code.
#include <functional>
#include <string>

namespace tovarin::uninstall {

enum class RemovalOutcome {
    Removed = 0,  // everything the record lists is gone
    Refused = 1,  // the product runs; nothing was removed
    Failed = 2,   // anything else; a second run finishes the job
};

struct RemovalReport {
    RemovalOutcome outcome = RemovalOutcome::Failed;
    // The install directory stays because it holds what the record does not
    // list, or files changed since the install.
    bool installDirKept = false;
    // What the final message says (one of uninstall_texts.h).
    std::string userText;
    // Why, for Refused and Failed, in detail (not shown to the user).
    std::string failure;
};

// The removal itself, run on a worker thread; progress (0..1) may be called
// from that thread.
using RemovalWork = std::function<RemovalReport(const std::function<void(double)>& progress)>;

}  // namespace tovarin::uninstall
