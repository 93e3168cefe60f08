// The uninstaller's window, driven through its own message loop by keys and
// close commands queued before it runs.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "uninstall/uninstall_form.h"
#include "uninstall/uninstall_texts.h"

namespace tovarin::uninstall {
namespace {

// Once the window shows its end, Escape (its close button) is pressed.
TUninstallForm* watched = nullptr;
void CALLBACK CloseAtTheEnd(HWND, UINT, UINT_PTR, DWORD) {
    if (watched && watched->CurrentStage() == TUninstallForm::Stage::Done) {
        PostMessageW(watched->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    }
}

struct WindowRun {
    std::optional<RemovalReport> report;
    TUninstallForm::Stage stage;
    std::string message;
};

WindowRun RunWith(const std::vector<UINT>& queued, bool productRunning, const RemovalWork& work) {
    const auto form = TUninstallForm::Create([productRunning] { return productRunning; }, work);
    EXPECT_TRUE(form);
    if (!form) return {};
    for (UINT message : queued) {
        if (message == WM_CLOSE) {
            PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
        } else {
            PostMessageW(form->Handle(), WM_KEYDOWN, message, 0);
        }
    }
    watched = form.get();
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, CloseAtTheEnd);
    form->RunModal();
    KillTimer(nullptr, timer);
    watched = nullptr;
    WindowRun run{std::nullopt, form->CurrentStage(), form->MessageText()};
    run.report = form->Finish();
    return run;
}

TEST(UninstallWindow, AskingEndsByKeyWithoutRunningTheRemovalUnlessConfirmedAndTheProductIsClosed) {
    struct Row {
        const char* what;
        std::vector<UINT> keys;
        bool productRunning;
        bool workRuns;
        std::optional<RemovalOutcome> outcome;
        std::string message;
    };
    const Row rows[] = {
        {"Escape declines", {VK_ESCAPE}, false, false, std::nullopt, kConfirmText},
        {"the close command declines", {WM_CLOSE}, false, false, std::nullopt, kConfirmText},
        {"Tab onto cancel, Space", {VK_TAB, VK_SPACE}, false, false, std::nullopt, kConfirmText},
        {"Return with the product running", {VK_RETURN}, true, false, RemovalOutcome::Refused, kProductRunningText},
        {"Return confirms", {VK_RETURN}, false, true, RemovalOutcome::Removed, kRemovedText},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::atomic<bool> ran{false};
        const WindowRun run = RunWith(row.keys, row.productRunning, [&](const std::function<void(double)>&) {
            ran = true;
            RemovalReport r;
            r.outcome = RemovalOutcome::Removed;
            return r;
        });
        EXPECT_EQ(ran, row.workRuns);
        ASSERT_EQ(run.report.has_value(), row.outcome.has_value());
        if (row.outcome) {
            EXPECT_EQ(run.report->outcome, *row.outcome);
        }
        EXPECT_EQ(run.message, row.message);
    }
}

TEST(UninstallWindow, CloseAndEscapeAreRefusedWhileTheWorkRunsAndTheEndShowsItsReport) {
    std::vector<double> reported;
    const WindowRun run = RunWith({VK_RETURN, WM_CLOSE, VK_ESCAPE, VK_RETURN}, false,
                            [&](const std::function<void(double)>& progress) {
                                for (double f : {0.25, 0.25, 0.5, 1.0}) {
                                    progress(f);
                                    reported.push_back(f);
                                    Sleep(100);
                                }
                                RemovalReport r;
                                r.outcome = RemovalOutcome::Removed;
                                r.installDirKept = true;
                                return r;
                            });
    EXPECT_EQ(reported.size(), 4u);
    EXPECT_EQ(run.stage, TUninstallForm::Stage::Done);
    ASSERT_TRUE(run.report);
    EXPECT_EQ(run.report->outcome, RemovalOutcome::Removed);
    // No text from the work: the one for its outcome.
    EXPECT_EQ(run.report->userText, kRemovedDirKeptText);
    EXPECT_EQ(run.message, kRemovedDirKeptText);
}

}  // namespace
}  // namespace tovarin::uninstall
