#include "ui/download_form.h"

#include <atomic>
#include <vector>

#include "app/application.h"
#include "common/text.h"
#include "core/finish_install.h"
#include "core/payload_files.h"
#include "ui/app_windows.h"
#include "ui/close_dialog.h"
#include "ui/font_choice.h"
#include "ui/main_form.h"
#include "ui/progress_mailbox.h"
#include "ui/progress_math.h"
#include "ui/progress_window.h"

namespace tovarin::ui {
namespace {

constexpr int kWidth = 750;
constexpr int kLaidOutHeight = 540;
constexpr int kShownHeight = kLaidOutHeight - 40;  // ends at the bottom of the background
constexpr int kTextLeft = 362;
constexpr int kTextTop = 248;
constexpr int kTextCell = 16;
constexpr COLORREF kTextColour = RGB(0x88, 0x88, 0x88);

// The worker's hand-overs, posted to the window: one queue, so they keep
// their order.
constexpr UINT kSyncMessage = WM_APP + 1;      // wParam: host serial, lParam: new'd PendingCall holder
constexpr UINT kProgressMessage = WM_APP + 2;  // the host's latest fraction is waiting
constexpr UINT kDeferredFinish = WM_APP + 3;   // wParam: succeeded

constexpr char kBackgroundPicture[] = "DOWNLOADBACKGROUND";
constexpr char kTrackPicture[] = "PROGRESSBAR";
constexpr char kHeadPicture[] = "PROGRESSBARHEAD";
constexpr char kTailPicture[] = "PROGRESSBARTAIL";

// A synchronised call: shared by the worker, which waits for it, and the
// window, which runs it; whichever lets go last frees it.
struct PendingCall {
    std::function<void()> call;
    UniqueHandle done;
};
using PendingHolder = std::shared_ptr<PendingCall>;

// What the completion step needs of the progress window.
class FormCompletion final : public core::CompletionWindow {
public:
    explicit FormCompletion(TDownloadForm& form) : form_(form) {}
    HWND LaunchOwner() const override { return form_.Handle(); }
    void HideWindow() override { form_.Hide(); }
    void popDialog(state::DialogKind kind, const std::string& message) override { form_.popDialog(kind, message); }
    void EndApplication() override { app::Terminate(); }

private:
    TDownloadForm& form_;
};

}  // namespace

// The worker's view of one progress window. A worker is never waited for, so
// its host must outlive it: hosts are kept until the process ends, and a host
// whose window has gone lets its worker run to its end without touching
// anything of the user interface.
class DownloadHost final : public core::InstallHost {
public:
    static DownloadHost& New() {
        // Never destroyed: a worker may still hold its host while the process ends.
        static auto& hosts = *new std::vector<std::unique_ptr<DownloadHost>>();
        static WPARAM serials = 0;
        hosts.push_back(std::unique_ptr<DownloadHost>(new DownloadHost(++serials)));
        return *hosts.back();
    }

    // User-interface thread, before the worker starts.
    void Attach(TDownloadForm& form) {
        form_ = &form;
        window_ = form.Handle();
        uiThread_ = GetCurrentThreadId();
    }
    // User-interface thread: the window is going away.
    void Detach() {
        form_ = nullptr;
        SetEvent(gone_.get());
    }

    void Synchronize(const std::function<void()>& call) override {
        if (GetCurrentThreadId() == uiThread_) {
            call();
            return;
        }
        if (WaitForSingleObject(gone_.get(), 0) == WAIT_OBJECT_0) return;
        auto pending = std::make_shared<PendingCall>();
        pending->call = call;
        pending->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!pending->done) return;
        auto holder = std::make_unique<PendingHolder>(pending);
        if (!PostMessageW(window_, kSyncMessage, serial_, reinterpret_cast<LPARAM>(holder.get()))) return;
        holder.release();  // the window's handler frees it
        const HANDLE waits[] = {pending->done.get(), gone_.get()};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }

    void QueueProgress(double fraction) override {
        // A report for a window that has gone has nobody to draw it.
        if (progress_.Put(fraction)) PostMessageW(window_, kProgressMessage, 0, 0);
    }
    // The window's handler of kProgressMessage.
    double TakeProgress() { return progress_.Take(); }

    // User-interface thread: inside a synchronised call, or (no worker thread
    // could be started) during the window's creation.
    void FinishInstall(bool succeeded) override {
        if (!form_) return;
        if (synchronizing_ > 0) {
            form_->Finish(succeeded);
        } else {
            // Not yet shown: the result is shown once the window is.
            PostMessageW(window_, kDeferredFinish, succeeded ? 1 : 0, 0);
        }
    }

    // The window's handler of kSyncMessage.
    void RunPending(WPARAM serial, LPARAM lp) {
        const std::unique_ptr<PendingHolder> holder(reinterpret_cast<PendingHolder*>(lp));
        if (!holder || serial != serial_) return;
        const PendingHolder pending = *holder;
        ++synchronizing_;
        try {
            pending->call();
        } catch (...) {
            // Nothing may leave a window procedure; the worker goes on.
        }
        --synchronizing_;
        SetEvent(pending->done.get());
    }

private:
    explicit DownloadHost(WPARAM serial) : serial_(serial), gone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    const WPARAM serial_;
    UniqueHandle gone_;
    ProgressMailbox progress_;
    // Written before the worker starts, constant afterwards.
    HWND window_ = nullptr;
    DWORD uiThread_ = 0;
    // User-interface thread only.
    TDownloadForm* form_ = nullptr;
    int synchronizing_ = 0;
};

std::unique_ptr<TDownloadForm> TDownloadForm::Create(const WorkerStart& startWorker) {
    std::unique_ptr<TDownloadForm> form(new TDownloadForm());
    if (!form->Build()) return nullptr;
    form->CenterOnScreen();
    form->FormCreate(startWorker);
    return form;
}

TDownloadForm::~TDownloadForm() {
    if (host_) host_->Detach();
}

bool TDownloadForm::Build() {
    if (!CreateWindowOf(ApplicationWindowStyle("TDownloadForm", kWidth, kLaidOutHeight), nullptr)) return false;

    AddImage("BackgroundImage", 0, 0, 750, 500).SetPicture(LoadLayoutPicture(kBackgroundPicture), kBackgroundPicture);
    AddImage("ProgressBarImage", kTrackLeft, kTrackTop, kTrackWidth, kTrackHeight).ShowBitmap(kTrackPicture);
    head_ = &AddImage("ProgressBarHeadImage", kTrackLeft, kTrackTop, 3, kTrackHeight);
    head_->ShowBitmap(kHeadPicture);
    head_->SetVisible(false);
    tail_ = &AddImage("ProgressBarTailImage", 644, kTrackTop, 3, kTrackHeight);
    tail_->ShowBitmap(kTailPicture);
    tail_->SetVisible(false);

    struct Area {
        int left, top, width, height;
    };
    const Area dragAreas[] = {{0, 0, 689, 222}, {0, 248, 673, 249}, {656, 64, 89, 385}, {0, 216, 97, 33}};
    for (int i = 0; i < 4; ++i) {
        const Area& a = dragAreas[i];
        THighlightImage& area = AddImage("DragArea" + std::to_string(i), a.left, a.top, a.width, a.height);
        area.OnMouseDown = [this](THighlightImage&, MouseButton) { DragAreaMouseDown(); };
    }

    textFont_ = CreateCellFont({L"Arial"}, kTextCell);
    SetProgressText(kPrepareText);
    return true;
}

void TDownloadForm::FormCreate(const WorkerStart& startWorker) {
    fillOffset_ = kFillOffset;
    lastPercent_ = 0;
    const core::PayloadPaths paths = core::PayloadTempPaths();
    state::SetTempPaths(paths.package, paths.library);
    DownloadHost& host = DownloadHost::New();
    host.Attach(*this);
    host_ = &host;
    if (startWorker) {
        startWorker(host);
    } else {
        core::StartInstallThread(host);
    }
}

void TDownloadForm::CMShowingChanged() {
    SetClientSize(kWidth, kShownHeight);
    if (TMainForm* main = MainForm()) main->Hide();
}

void TDownloadForm::updateProgress(double fraction) {
    const ProgressStep step = ComputeProgressStep(fraction, lastPercent_);
    if (!step.draw) return;
    if (step.caption) SetProgressText(*step.caption);
    lastPercent_ = step.percent;
    head_->SetVisible(true);
    if (step.showTail) tail_->SetVisible(true);
    fillWidth_ = step.width;
    // Straight onto the window at once; kept for repaints as well.
    if (HDC dc = GetDC(Handle())) {
        PaintFill(dc);
        ReleaseDC(Handle(), dc);
    }
}

void TDownloadForm::popDialog(state::DialogKind kind, const std::string& message) {
    ShowCloseDialog(kind, message);
}

void TDownloadForm::DragAreaMouseDown() { StartWindowMove(Handle()); }

void TDownloadForm::Finish(bool succeeded) {
    FormCompletion completion(*this);
    core::FinishInstall(succeeded, completion);
}

RECT TDownloadForm::TextRect() const {
    return {kTextLeft, kTextTop, kTextLeft + textSize_.cx, kTextTop + textSize_.cy};
}

void TDownloadForm::SetProgressText(const std::string& text) {
    const RECT before = TextRect();
    text_ = text;
    const std::wstring wide = Widen(text_);
    textSize_ = {0, kTextCell};
    if (HDC dc = GetDC(Handle())) {
        HGDIOBJ old = SelectObject(dc, textFont_ ? HGDIOBJ(textFont_.get()) : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &textSize_);
        SelectObject(dc, old);
        ReleaseDC(Handle(), dc);
    }
    // The label keeps its left edge: the old and the new extent are repainted.
    InvalidateArea(before);
    InvalidateArea(TextRect());
}

void TDownloadForm::PaintFill(HDC dc) const {
    if (fillWidth_ <= 0) return;
    const FillRects rects = FillRectsFor(fillWidth_);
    SetDCBrushColor(dc, kFillTopColour);
    FillRect(dc, &rects.top, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, kFillBodyColour);
    FillRect(dc, &rects.body, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void TDownloadForm::PaintOverControls(HDC dc) {
    PaintFill(dc);
    const std::wstring wide = Widen(text_);
    HGDIOBJ old = SelectObject(dc, textFont_ ? HGDIOBJ(textFont_.get()) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColour);
    TextOutW(dc, kTextLeft, kTextTop, wide.c_str(), static_cast<int>(wide.size()));
    SelectObject(dc, old);
}

bool TDownloadForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_WINDOWPOSCHANGED:
        if (reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW) {
            // Standard handling first (size and move notifications), then ours.
            result = DefWindowProcW(Handle(), msg, wp, lp);
            CMShowingChanged();
            return true;
        }
        return false;
    case kProgressMessage:
        if (host_) updateProgress(host_->TakeProgress());
        result = 0;
        return true;
    case kSyncMessage:
        if (host_) {
            host_->RunPending(wp, lp);
        } else {
            delete reinterpret_cast<PendingHolder*>(lp);
        }
        result = 0;
        return true;
    case kDeferredFinish:
        Finish(wp != 0);
        result = 0;
        return true;
    default:
        return false;
    }
}

// The application's progress window.
namespace {

std::unique_ptr<TDownloadForm>& ProgressSlot() {
    static std::unique_ptr<TDownloadForm> form;
    return form;
}

}  // namespace

TDownloadForm* ProgressForm() { return ProgressSlot().get(); }

TDownloadForm* ReplaceProgressForm(const TDownloadForm::WorkerStart& startWorker) {
    // The hidden window of an earlier, failed attempt goes first.
    ProgressSlot().reset();
    ProgressSlot() = TDownloadForm::Create(startWorker);
    if (ProgressSlot()) ProgressSlot()->Show();
    return ProgressSlot().get();
}

void ShowProgressWindow() { ReplaceProgressForm(); }

HWND ProgressWindowHandle() { return ProgressSlot() ? ProgressSlot()->Handle() : nullptr; }

void CloseProgressWindow() {
    if (ProgressSlot()) ProgressSlot()->Hide();
}

}  // namespace tovarin::ui
