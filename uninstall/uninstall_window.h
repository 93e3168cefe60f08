#pragma once
// The uninstaller's one skinned window, in the installer's style: the
// confirmation, then a short progress, then the final message.
#include <functional>
#include <optional>
#include <string>

#include "uninstall/removal_report.h"

namespace tovarin::uninstall {

// Asks; when the user confirms, runs work on a worker thread behind a
// progress bar, then shows report.userText until the user closes the window.
// productRunning is asked when the user confirms (the installer's lock rule):
// when it says so, the window shows kProductRunningText, runs nothing and
// returns a Refused report. nullopt when the user declined or closed the
// window before anything ran.
std::optional<RemovalReport> RunUninstallWindow(const std::function<bool()>& productRunning,
                                                const RemovalWork& work);

// The same window showing only text and the close button (a refusal found
// before anything could be asked: no registration, an invalid record).
void ShowUninstallMessage(const std::string& text);

}  // namespace tovarin::uninstall
