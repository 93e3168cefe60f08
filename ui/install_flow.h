#pragma once
// The road of one install, owned in one place: the main window, the progress
// window and where the dialog's answers lead. The windows report here and
// never act on each other.
//
//   Begin ─▶ main window ─ Install ─▶ StartInstall ─▶ progress window + worker
//   worker's result ─▶ success: the completion step ends the installer
//                   └▶ failure: ShowFailure ─ retry ─▶ fresh main window
//                                           └ exit ──▶ Exit
// One install at a time: from StartInstall until the worker has returned from
// its last synchronised call no other starts, and a progress window is only
// replaced once its worker is done with it.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/install_state.h"
#include "ui/close_dialog.h"
#include "ui/download_form.h"
#include "ui/main_form.h"

namespace tovarin::ui {

class InstallFlow {
public:
    using DialogMaker = std::function<std::unique_ptr<TCloseDialogForm>(HWND reference)>;
    using MessageBoxShow = std::function<int(HWND owner, const std::wstring& text, UINT flags)>;

    // workerStart: how a progress window starts its worker (the real one when empty).
    explicit InstallFlow(TDownloadForm::WorkerStart workerStart = {});
    ~InstallFlow();
    InstallFlow(const InstallFlow&) = delete;
    InstallFlow& operator=(const InstallFlow&) = delete;

    // Start-up: the first main window, shown. False when the system refuses it.
    bool Begin();

    TMainForm* MainForm() const { return main_.get(); }
    TDownloadForm* ProgressForm() const { return progress_.get(); }

    // True while Install may not start anything: an install runs (until its
    // worker has returned from its last synchronised call) or a dialog is up.
    bool InstallBlocked() const;

    // Install pressed, its checks passed: a new progress window, whose creation
    // starts the worker, takes the main window's place. False, with nothing
    // changed, while Install is blocked or when the system refuses the window.
    bool StartInstall();

    // The dialog of `kind` over `reference`, `sendEvent` (the caller's
    // telemetry) sent before it shows; the user's answer. When no dialog can be
    // made the system's message box asks instead, with the same text.
    DialogAnswer Ask(HWND reference, state::DialogKind kind, const std::string& message,
                     const std::function<void()>& sendEvent = {});

    // A failed extraction, over the progress window: retry leads to a fresh
    // main window, exit ends the installer. Without a dialog the message box
    // tells the user and the installer ends.
    void ShowFailure(const std::string& message);

    // Ends the installer: the message loop stops, the exit code is 0.
    void Exit();

    // Tests: how dialogs and message boxes are made.
    void SetDialogMaker(DialogMaker maker) { makeDialog_ = std::move(maker); }
    void SetMessageBox(MessageBoxShow show) { messageBox_ = std::move(show); }

private:
    // Nothing when no dialog could be made.
    std::optional<DialogAnswer> ShowDialog(HWND reference, state::DialogKind kind, const std::string& message,
                                           const std::function<void()>& sendEvent);
    DialogAnswer FallBackToMessageBox(HWND reference, state::DialogKind kind, const std::string& message);
    // A fresh main window, shown; false when the system refuses it.
    bool ShowFreshMainForm();
    void Retry();

    TDownloadForm::WorkerStart workerStart_;
    DialogMaker makeDialog_;
    MessageBoxShow messageBox_;
    std::unique_ptr<TMainForm> main_;
    std::unique_ptr<TDownloadForm> progress_;
    int dialogsOpen_ = 0;
};

}  // namespace tovarin::ui
