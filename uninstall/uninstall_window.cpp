#include "uninstall/uninstall_window.h"

#include "common/text.h"
#include "uninstall/uninstall_form.h"
#include "uninstall/uninstall_texts.h"

namespace tovarin::uninstall {

std::optional<RemovalReport> RunUninstallWindow(const std::function<bool()>& productRunning,
                                                const RemovalWork& work) {
    const std::unique_ptr<TUninstallForm> form = TUninstallForm::Create(productRunning, work);
    if (!form) {
        // No window: the user cannot be asked, so nothing is removed.
        RemovalReport report;
        report.outcome = RemovalOutcome::Failed;
        report.failure = "the uninstaller's window could not be made";
        report.userText = kFailedText;
        return report;
    }
    form->RunModal();
    return form->Finish();
}

void ShowUninstallMessage(const std::string& text) {
    if (const std::unique_ptr<TUninstallForm> form = TUninstallForm::CreateMessage(text)) {
        form->RunModal();
        return;
    }
    // Without the skinned window the user is still told.
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(kUninstallTitle).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace tovarin::uninstall
