#include "ui/download_form.h"

#include <atomic>
#include <vector>

#include "common/scoped_count.h"
#include "common/text.h"
#include "core/finish_install.h"
#include "core/payload_files.h"
#include "skin/font_choice.h"
#include "skin/hand_off.h"
#include "ui/install_flow.h"
#include "ui/progress_mailbox.h"
#include "ui/progress_math.h"

namespace tovarin::ui {
namespace {

constexpr char kLayout[] = "PROGRESSWINDOWLAYOUT";

// What the completion step needs of the progress window.
class FormCompletion final : public core::CompletionWindow {
public:
    FormCompletion(TDownloadForm& form, InstallFlow& flow) : form_(form), flow_(flow) {}
    HWND LaunchOwner() const override { return form_.Handle(); }
    void HideWindow() override { form_.Hide(); }
    void popDialog(state::DialogKind kind, const std::string& message) override { form_.popDialog(kind, message); }
    void EndApplication() override { flow_.Exit(); }

private:
    TDownloadForm& form_;
    InstallFlow& flow_;
};

}  // namespace

// The worker's view of one progress window: its calls and reports go through
// the window's hand-off, in one queue, so they keep their order. A worker is
// never waited for, so its host must outlive it: hosts are kept until the
// process ends, and a host whose window has gone lets its worker run to its
// end without touching anything of the user interface.
class DownloadHost final : public core::InstallHost {
public:
    // User-interface thread, before the worker starts. Null when no hand-off
    // can be made.
    static DownloadHost* New(TDownloadForm& form) {
        std::shared_ptr<skin::HandOff> handOff = skin::HandOff::Create();
        if (!handOff) return nullptr;
        // Never destroyed: a worker may still hold its host while the process ends.
        static auto& hosts = *new std::vector<std::unique_ptr<DownloadHost>>();
        hosts.push_back(std::unique_ptr<DownloadHost>(new DownloadHost(form, std::move(handOff))));
        return hosts.back().get();
    }

    // User-interface thread: the window is going away.
    void Detach() {
        form_ = nullptr;
        handOff_->Close();
    }

    void Synchronize(const std::function<void()>& call) override {
        if (handOff_->OnUiThread()) {
            call();
            return;
        }
        handOff_->Call([this, &call] {
            const ScopedCount inside(synchronizing_);
            call();
        });
    }

    void QueueProgress(double fraction) override {
        // A report for a window that has gone has nobody to draw it.
        // One report waits at a time; newer ones replace it (see ProgressMailbox).
        if (progress_.Put(fraction)) {
            handOff_->Post([this] {
                if (form_) form_->updateProgress(progress_.Take());
            });
        }
    }

    void WorkerEnded() override { ended_ = true; }
    // Any thread.
    bool Ended() const { return ended_; }

    // User-interface thread: inside a synchronised call, or (no worker thread
    // could be started) during the window's creation.
    void FinishInstall(bool succeeded) override {
        if (!form_) return;
        if (synchronizing_ > 0) {
            form_->Finish(succeeded);
        } else {
            // Not yet shown: the result is shown once the window is.
            handOff_->Post([this, succeeded] {
                if (form_) form_->Finish(succeeded);
            });
        }
    }

private:
    DownloadHost(TDownloadForm& form, std::shared_ptr<skin::HandOff> handOff)
        : form_(&form), handOff_(std::move(handOff)) {}

    ProgressMailbox progress_;
    std::atomic<bool> ended_{false};
    // User-interface thread only.
    TDownloadForm* form_;
    int synchronizing_ = 0;
    // Made before the worker starts, constant afterwards.
    const std::shared_ptr<skin::HandOff> handOff_;
};

std::unique_ptr<TDownloadForm> TDownloadForm::Create(InstallFlow& flow, const WorkerStart& startWorker) {
    std::unique_ptr<TDownloadForm> form(new TDownloadForm(flow));
    if (!form->Build()) return nullptr;
    form->CenterOnScreen();
    if (!form->FormCreate(startWorker)) return nullptr;
    return form;
}

TDownloadForm::~TDownloadForm() {
    if (host_) host_->Detach();
}

bool TDownloadForm::Build() {
    if (!CreateFromLayout(kLayout, nullptr)) return false;
    const skin::Layout& layout = FormLayout();
    head_ = FindImage("ProgressBarHeadImage");
    tail_ = FindImage("ProgressBarTailImage");
    const skin::LayoutControl* track = layout.Find("ProgressBarImage");
    const skin::LayoutControl* text = layout.Find("ProgressBarText");
    if (!head_ || !tail_ || !track || !text || !layout.Find("BackgroundImage")) return false;
    track_ = layout.LaidOut(*track);
    fillTopColour_ = track->Colour("filltop", fillTopColour_);
    fillBodyColour_ = track->Colour("fillbody", fillBodyColour_);
    textColour_ = text->Colour("colour", textColour_);
    text_ = text->Text("text");
    LayOutText();
    return true;
}

void TDownloadForm::LayOutText() {
    const skin::Layout& layout = FormLayout();
    const skin::LayoutControl& text = *layout.Find("ProgressBarText");
    const RECT textBox = layout.Bounds(text);
    textOrigin_ = {textBox.left, textBox.top};
    textCell_ = layout.FontCell(text);
    textFont_ = LayoutFont(text);
    SetProgressText(text_);
}

void TDownloadForm::DpiChanged() {
    LayOutText();
    const skin::Layout& layout = FormLayout();
    SetClientSize(LaidOutWidth(), IsShown() ? layout.Bounds("BackgroundImage").bottom : LaidOutHeight());
}

bool TDownloadForm::FormCreate(const WorkerStart& startWorker) {
    fillOffset_ = kFillOffset;
    lastPercent_ = 0;
    const core::PayloadPaths paths = core::PayloadTempPaths();
    state::SetTempPaths(paths.package, paths.library);
    host_ = DownloadHost::New(*this);
    if (!host_) return false;
    if (startWorker) {
        startWorker(*host_);
    } else {
        core::StartInstallThread(*host_);
    }
    return true;
}

void TDownloadForm::CMShowingChanged() {
    // Cut to the bottom of the background picture.
    SetClientSize(LaidOutWidth(), FormLayout().Bounds("BackgroundImage").bottom);
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
    if (const WindowDC dc = WindowDC::Client(Handle())) PaintFill(dc.get());
}

// The completion step asks for one kind only: the failed extraction.
void TDownloadForm::popDialog(state::DialogKind, const std::string& message) {
    flow_.ShowFailure(message);
}

bool TDownloadForm::WorkerEnded() const { return !host_ || host_->Ended(); }

void TDownloadForm::Finish(bool succeeded) {
    FormCompletion completion(*this, flow_);
    core::FinishInstall(succeeded, completion);
}

RECT TDownloadForm::TextRect() const {
    return {textOrigin_.x, textOrigin_.y, textOrigin_.x + textSize_.cx, textOrigin_.y + textSize_.cy};
}

void TDownloadForm::SetProgressText(const std::string& text) {
    const RECT before = TextRect();
    const bool changed = text != text_;
    text_ = text;
    const std::wstring wide = Widen(text_);
    textSize_ = skin::TextExtent(Handle(), textFont_.get(), wide, {0, textCell_});
    // The label keeps its left edge: the old and the new extent are repainted.
    InvalidateArea(before);
    InvalidateArea(TextRect());
    // Announced once a percent: "Complete..." is set again at every late report.
    if (changed) AccessibleValueChanged("ProgressBarImage");
}

skin::ControlFacts TDownloadForm::FactsOf(const std::string& control) const {
    skin::ControlFacts facts;
    if (control == "ProgressBarImage") facts.value = text_;
    return facts;
}

void TDownloadForm::PaintFill(HDC dc) const {
    if (fillWidth_ <= 0) return;
    // The fill's arithmetic is the layout's; its pixels are the display's.
    const FillRects laidOut = FillRectsFor(track_, fillWidth_);
    const FillRects rects{FormLayout().Scale(laidOut.top), FormLayout().Scale(laidOut.body)};
    SetDCBrushColor(dc, fillTopColour_);
    FillRect(dc, &rects.top, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, fillBodyColour_);
    FillRect(dc, &rects.body, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void TDownloadForm::PaintOverControls(HDC dc) {
    PaintFill(dc);
    const std::wstring wide = Widen(text_);
    const Selection font(dc, textFont_ ? HGDIOBJ(textFont_.get()) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour_);
    TextOutW(dc, textOrigin_.x, textOrigin_.y, wide.c_str(), static_cast<int>(wide.size()));
}

bool TDownloadForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg != WM_WINDOWPOSCHANGED || !(reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW)) return false;
    // Standard handling first (size and move notifications), then ours.
    result = DefWindowProcW(Handle(), msg, wp, lp);
    CMShowingChanged();
    return true;
}

}  // namespace tovarin::ui
