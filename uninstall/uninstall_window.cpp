#include "uninstall/uninstall_window.h"

#include "uninstall/uninstall_form.h"

namespace tovarin::uninstall {

std::optional<RemovalReport> RunUninstallWindow(const std::function<bool()>& productRunning,
                                                const RemovalWork& work) {
    const std::unique_ptr<TUninstallForm> form = TUninstallForm::Create(productRunning, work);
    if (!form) {
        // No window: the user cannot be asked, so nothing is removed.
        RemovalReport report;
        report.outcome = RemovalOutcome::Failed;
        report.failure = "the uninstaller's window could not be made";
        return report;
    }
    form->RunModal();
    return form->Finish();
}

void ShowUninstallMessage(const std::string& text) {
    if (const std::unique_ptr<TUninstallForm> form = TUninstallForm::CreateMessage(text)) form->RunModal();
}

}  // namespace tovarin::uninstall
