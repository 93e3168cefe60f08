#include "ui/install_flow.h"

#include "app/application.h"
#include "common/scoped_count.h"
#include "common/text.h"

namespace tovarin::ui {

InstallFlow::InstallFlow(TDownloadForm::WorkerStart workerStart)
    : workerStart_(std::move(workerStart)),
      makeDialog_([](HWND reference) { return TCloseDialogForm::Create(reference); }),
      messageBox_([](HWND owner, const std::wstring& text, UINT flags) {
          return MessageBoxW(owner, text.c_str(), Widen(app::Title()).c_str(), flags);
      }) {}

// The windows go before the flow they report to.
InstallFlow::~InstallFlow() {
    main_.reset();
    progress_.reset();
}

bool InstallFlow::Begin() { return ShowFreshMainForm(); }

bool InstallFlow::ShowFreshMainForm() {
    main_.reset();
    main_ = TMainForm::Create(*this);
    if (!main_) return false;
    main_->Show();
    return true;
}

bool InstallFlow::InstallBlocked() const { return dialogsOpen_ > 0 || (progress_ && !progress_->WorkerEnded()); }

bool InstallFlow::StartInstall() {
    if (InstallBlocked()) return false;
    // Its worker is done: the window of an earlier, failed attempt can go.
    progress_.reset();
    progress_ = TDownloadForm::Create(*this, workerStart_);
    if (!progress_) return false;
    progress_->Show();
    if (main_) main_->Hide();
    return true;
}

std::optional<DialogAnswer> InstallFlow::ShowDialog(HWND reference, state::DialogKind kind,
                                                    const std::string& message,
                                                    const std::function<void()>& sendEvent) {
    const ScopedCount open(dialogsOpen_);
    std::unique_ptr<TCloseDialogForm> dialog = makeDialog_(reference);
    if (dialog) dialog->ExitButtonImage().ShowState("");
    // The event goes out before the dialog shows, whatever the user then does.
    if (sendEvent) sendEvent();
    if (!dialog) return std::nullopt;
    dialog->Configure(kind, message);
    return dialog->ShowModal([] { return app::Terminated(); });
}

DialogAnswer InstallFlow::FallBackToMessageBox(HWND reference, state::DialogKind kind, const std::string& message) {
    const ScopedCount open(dialogsOpen_);
    const std::wstring text = Widen(message.empty() ? DefaultDialogMessage() : message);
    if (kind == state::DialogKind::Exit) {
        state::SetCurrentDialogKind(state::DialogKind::Exit);
        const int chosen = messageBox_(reference, text, MB_OKCANCEL | MB_ICONWARNING);
        return chosen == IDOK ? DialogAnswer::Exit : DialogAnswer::Continue;
    }
    state::SetCurrentDialogKind(state::DialogKind::Error);
    messageBox_(reference, text, MB_OK | MB_ICONERROR);
    return DialogAnswer::Continue;
}

DialogAnswer InstallFlow::Ask(HWND reference, state::DialogKind kind, const std::string& message,
                              const std::function<void()>& sendEvent) {
    if (std::optional<DialogAnswer> answer = ShowDialog(reference, kind, message, sendEvent)) return *answer;
    return FallBackToMessageBox(reference, kind, message);
}

void InstallFlow::ShowFailure(const std::string& message) {
    const HWND reference = progress_ ? progress_->Handle() : nullptr;
    const std::optional<DialogAnswer> answer = ShowDialog(reference, state::DialogKind::Error, message, {});
    if (!answer) {
        // No dialog, so no road back to the main window: the user is told, and the installer ends.
        FallBackToMessageBox(reference, state::DialogKind::Error, message);
        Exit();
        return;
    }
    if (*answer == DialogAnswer::Exit) {
        Exit();
        return;
    }
    Retry();
}

void InstallFlow::Retry() {
    // The progress window stays, hidden, until the next Install replaces it.
    if (progress_) progress_->Hide();
    // Without a main window nothing would be left on screen.
    if (!ShowFreshMainForm()) Exit();
}

void InstallFlow::Exit() { app::Terminate(); }

}  // namespace tovarin::ui
