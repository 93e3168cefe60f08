// The progress window in-process: what its creation sets, what showing it
// does to the windows, and how the worker's hand-overs reach it, with a fake
// worker on a thread of its own.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/install_state.h"
#include "common/handles.h"
#include "common/text.h"
#include "core/install_dir.h"
#include "ui/close_dialog.h"
#include "ui/download_form.h"
#include "ui/install_flow.h"
#include "ui/main_form.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

// Runs `body` on a thread of its own while this thread handles messages,
// as the user-interface thread does during an install.
DWORD WINAPI WorkerMain(void* body) {
    (*static_cast<const std::function<void()>*>(body))();
    return 0;
}

void RunWorker(const std::function<void()>& body) {
    UniqueHandle thread(CreateThread(nullptr, 0, WorkerMain, const_cast<std::function<void()>*>(&body), 0, nullptr));
    ASSERT_TRUE(thread);
    const HANDLE handle = thread.get();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, 20000, QS_ALLINPUT);
        ASSERT_NE(woke, static_cast<DWORD>(WAIT_TIMEOUT)) << "worker stuck";
        if (woke == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Answers the error dialog with its left button (the system close command
// does the same) once it is up.
std::vector<std::string> answeredDialogs;
void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(L"TCloseDialogForm", nullptr);
    if (!dialog || !IsWindowVisible(dialog)) return;
    wchar_t text[256] = {};
    if (HWND label = FindWindowExW(dialog, nullptr, L"STATIC", nullptr)) GetWindowTextW(label, text, 256);
    answeredDialogs.push_back(Narrow(text));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

class DownloadFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        state::ResetForTesting();
        app::Initialize("test");
        SetEnvironmentVariableW(L"TEMP", L"C:\\Temp");
        form_ = TDownloadForm::Create(flow_, [this](core::InstallHost& host) {
            ++starts_;
            host_ = &host;
        });
        ASSERT_NE(form_, nullptr);
    }
    void TearDown() override {
        form_.reset();
        Pump();
    }

    InstallFlow flow_;
    std::unique_ptr<TDownloadForm> form_;
    core::InstallHost* host_ = nullptr;
    int starts_ = 0;
};

TEST_F(DownloadFormTest, CreationSetsTheTemporaryPathsAndStartsOneWorker) {
    EXPECT_EQ(state::PackageTempPath(), "C:\\Temp/tovarin.7z");
    EXPECT_EQ(state::LibraryTempPath(), "C:\\Temp/7z.dll");
    EXPECT_EQ(starts_, 1);
    EXPECT_NE(host_, nullptr);
    EXPECT_FALSE(form_->IsShown());
    EXPECT_EQ(form_->ClientSize().cy, 540);
    EXPECT_EQ(form_->ProgressText(), "Prepare...");
    EXPECT_EQ(form_->LastPercent(), 0);
    EXPECT_EQ(form_->FillOffset(), 3);
    EXPECT_FALSE(form_->FindImage("ProgressBarHeadImage")->Visible());
    EXPECT_FALSE(form_->FindImage("ProgressBarTailImage")->Visible());
}

TEST_F(DownloadFormTest, ShowingCutsFortyPixels) {
    RECT before{};
    GetWindowRect(form_->Handle(), &before);
    EXPECT_EQ(before.top, (GetSystemMetrics(SM_CYSCREEN) - 542) / 2);  // centred as laid out
    form_->Show();
    RECT after{};
    GetWindowRect(form_->Handle(), &after);
    EXPECT_EQ(form_->ClientSize().cx, 750);
    EXPECT_EQ(form_->ClientSize().cy, 500);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
}

TEST_F(DownloadFormTest, ReportsFromTheWorkerAreDrawnInOrderBeforeLaterHandOvers) {
    form_->Show();
    std::vector<std::string> seen;
    DWORD ranOn = 0;
    RunWorker([&] {
        for (double f : {0.01, 0.02, 0.5, 0.302, 0.298}) host_->QueueProgress(f);
        // The synchronised call sees every report before it applied.
        host_->Synchronize([&] {
            ranOn = GetCurrentThreadId();
            seen.push_back(form_->ProgressText());
        });
    });
    EXPECT_EQ(ranOn, GetCurrentThreadId());
    EXPECT_EQ(seen, std::vector<std::string>{"30%"});
    EXPECT_EQ(form_->LastPercent(), 30);
    EXPECT_EQ(form_->FillWidth(), 162);  // 544 x 0.298 = 162.1
    EXPECT_TRUE(form_->FindImage("ProgressBarHeadImage")->Visible());
    EXPECT_FALSE(form_->FindImage("ProgressBarTailImage")->Visible());

    RunWorker([&] { host_->QueueProgress(1.7); });
    EXPECT_EQ(form_->ProgressText(), "Complete...");
    EXPECT_EQ(form_->FillWidth(), 541);
    EXPECT_TRUE(form_->FindImage("ProgressBarTailImage")->Visible());
}

TEST_F(DownloadFormTest, TheFillSurvivesAFullRepaint) {
    form_->Show();
    form_->updateProgress(0.5);  // width 272: x 107 to 375
    // Everything is painted anew, as after another window covered this one.
    RedrawWindow(form_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(form_->Handle());
    ASSERT_NE(dc, nullptr);
    const COLORREF top = GetPixel(dc, 107, 230);
    const COLORREF body[] = {GetPixel(dc, 107, 231), GetPixel(dc, 375, 239)};
    const COLORREF beyond = GetPixel(dc, 376, 235);
    ReleaseDC(form_->Handle(), dc);
    EXPECT_EQ(top, RGB(0xA3, 0xD3, 0xE3));
    EXPECT_EQ(body[0], RGB(0xB7, 0xED, 0xFF));
    EXPECT_EQ(body[1], RGB(0xB7, 0xED, 0xFF));
    EXPECT_NE(beyond, RGB(0xB7, 0xED, 0xFF));
}

TEST_F(DownloadFormTest, TooSmallReportsLeavePrepare) {
    form_->updateProgress(0.01);
    form_->updateProgress(0);
    form_->updateProgress(-1);
    EXPECT_EQ(form_->ProgressText(), "Prepare...");
    EXPECT_EQ(form_->FillWidth(), 0);
    EXPECT_FALSE(form_->FindImage("ProgressBarHeadImage")->Visible());
}

TEST_F(DownloadFormTest, AWorkerOutlivingItsWindowIsNotHeldUp) {
    core::InstallHost& host = *host_;
    form_.reset();
    bool ran = false;
    RunWorker([&] {
        host.QueueProgress(0.5);
        host.Synchronize([&] { ran = true; });
    });
    EXPECT_FALSE(ran);
}

// The whole road through the install flow, with a stand-in worker that the
// test drives step by step.
class InstallRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        state::ResetForTesting();
        app::Initialize("test");
        answeredDialogs.clear();
        ASSERT_TRUE(flow.Begin());
        timer_ = SetTimer(nullptr, 0, 30, AnswerDialog);
    }
    void TearDown() override {
        KillTimer(nullptr, timer_);
        Pump();
    }

    // A failed attempt up to the worker's last synchronised call, which is
    // left to the test.
    void FailUntilTheLastCall(core::InstallHost& host) {
        RunWorker([&] {
            host.Synchronize([] { state::SetInstalling(true); });
            host.QueueProgress(0.4);
            host.Synchronize([&] { host.FinishInstall(false); });
        });
    }

    std::vector<core::InstallHost*> hosts;
    InstallFlow flow{[this](core::InstallHost& h) { hosts.push_back(&h); }};
    UINT_PTR timer_ = 0;
};

TEST_F(InstallRoadTest, FailedExtractionRetriesIntoAFreshMainWindowAndASecondInstallReplacesIt) {
    TMainForm* main = flow.MainForm();
    ASSERT_NE(main, nullptr);
    state::SetInstallDir("C:\\somewhere\\else");
    state::SetCreateDesktopShortcut(false);
    state::SetOpenAfterInstall(false);
    ASSERT_TRUE(flow.StartInstall());
    TDownloadForm* form = flow.ProgressForm();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_TRUE(form->IsShown());
    EXPECT_FALSE(main->IsShown());

    core::InstallHost& host = *hosts[0];
    FailUntilTheLastCall(host);
    EXPECT_EQ(answeredDialogs, std::vector<std::string>{"安装失败，请检查安装路径是否正确"});
    EXPECT_EQ(state::CurrentDialogKind(), state::DialogKind::Error);
    // Hidden, with the bar where it stopped, until the next Install.
    EXPECT_EQ(flow.ProgressForm(), form);
    EXPECT_FALSE(form->IsShown());
    EXPECT_EQ(form->ProgressText(), "40%");
    TMainForm* fresh = flow.MainForm();
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->IsShown());
    EXPECT_NE(state::InstallDir(), "C:\\somewhere\\else");
    EXPECT_TRUE(state::CreateDesktopShortcut());
    EXPECT_TRUE(state::OpenAfterInstall());
    EXPECT_FALSE(state::Installing());
    RunWorker([&] {
        host.Synchronize([] { state::SetInstalling(false); });
        host.WorkerEnded();
    });

    // The next Install: a new window and a new worker, starting from "Prepare...".
    ASSERT_TRUE(flow.StartInstall());
    ASSERT_EQ(hosts.size(), 2u);
    TDownloadForm* next = flow.ProgressForm();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(hosts[1], &host);
    EXPECT_EQ(next->ProgressText(), "Prepare...");
    EXPECT_FALSE(fresh->IsShown());
    // The old worker's host no longer reaches any window.
    bool ran = false;
    RunWorker([&] { host.Synchronize([&] { ran = true; }); });
    EXPECT_FALSE(ran);
}

// From Install until the worker has returned from its last synchronised call
// no second install starts, by any road: not while the main window is hidden,
// nor in the gap after a retry while the worker still finishes.
TEST_F(InstallRoadTest, OneInstallAtATime) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    ASSERT_TRUE(flow.StartInstall());
    TDownloadForm* first = flow.ProgressForm();
    core::InstallHost& host = *hosts.at(0);
    // The hidden main window's Install, asked for from outside.
    state::SetInstallDir(Narrow(temp) + "TovarinGuard");  // passes every check
    flow.MainForm()->InstallImageClick();
    EXPECT_FALSE(flow.StartInstall());
    EXPECT_EQ(hosts.size(), 1u);

    FailUntilTheLastCall(host);
    ASSERT_TRUE(flow.MainForm()->IsShown());  // the retry's fresh window, the worker not yet done
    state::SetInstallDir(Narrow(temp) + "TovarinGuard");
    flow.MainForm()->InstallImageClick();
    EXPECT_FALSE(flow.StartInstall());
    EXPECT_EQ(hosts.size(), 1u);
    EXPECT_EQ(flow.ProgressForm(), first);  // never destroyed under its worker
    EXPECT_TRUE(flow.MainForm()->IsShown());

    host.WorkerEnded();
    flow.MainForm()->InstallImageClick();
    EXPECT_EQ(hosts.size(), 2u);
    EXPECT_TRUE(flow.ProgressForm()->IsShown());
    RemoveDirectoryW((std::wstring(temp) + L"TovarinGuard").c_str());
}

}  // namespace
}  // namespace tovarin::ui
