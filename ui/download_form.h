#pragma once
// TDownloadForm: the progress window. Creating it fixes the two temporary
// paths and starts the extraction worker. It draws the worker's progress
// reports as a bar and a percentage, hands the result to the completion step
// and reports a failure to the install flow.
#include <functional>
#include <memory>
#include <string>

#include "app/install_state.h"
#include "common/handles.h"
#include "core/install_thread.h"
#include "skin/skin_form.h"

namespace tovarin::ui {

class DownloadHost;
class InstallFlow;

class TDownloadForm final : public skin::SkinForm {
public:
    using WorkerStart = std::function<void(core::InstallHost&)>;

    // A fresh, hidden window centred at its designed height, with the temporary
    // paths set and the worker started through startWorker (the real worker by
    // default). Null, with no worker started, when the system refuses the window
    // or its hand-off.
    static std::unique_ptr<TDownloadForm> Create(InstallFlow& flow, const WorkerStart& startWorker = {});
    ~TDownloadForm() override;

    // One progress report: the fraction of the extraction done.
    void updateProgress(double fraction);
    // The error dialog over this window, through the install flow; the
    // progress window sends no event.
    void popDialog(state::DialogKind kind, const std::string& message);
    // The worker has returned from its last call into this window's host
    // (or none was started).
    bool WorkerEnded() const;

    const std::string& ProgressText() const { return text_; }
    int LastPercent() const { return lastPercent_; }
    int FillOffset() const { return fillOffset_; }
    // The fill's width as last drawn; 0 before the first drawn report.
    int FillWidth() const { return fillWidth_; }

protected:
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void PaintOverControls(HDC dc) override;
    void DpiChanged() override;
    // The install cannot be stopped from its windows: Alt+F4 does nothing.
    void CloseRequested() override {}
    skin::ControlFacts FactsOf(const std::string& control) const override;

private:
    explicit TDownloadForm(InstallFlow& flow) : flow_(flow) {}
    bool Build();
    // The percentage's place and font at the form's DPI.
    void LayOutText();
    bool FormCreate(const WorkerStart& startWorker);
    void CMShowingChanged();
    void SetProgressText(const std::string& text);
    RECT TextRect() const;
    void PaintFill(HDC dc) const;
    void Finish(bool succeeded);

    friend class DownloadHost;

    InstallFlow& flow_;
    skin::THighlightImage* head_ = nullptr;
    skin::THighlightImage* tail_ = nullptr;
    RECT track_{};  // as laid out (96 DPI): the fill's arithmetic works there
    COLORREF fillTopColour_ = 0;
    COLORREF fillBodyColour_ = 0;
    POINT textOrigin_{0, 0};
    int textCell_ = 0;
    COLORREF textColour_ = 0;
    UniqueFont textFont_;
    std::string text_;
    SIZE textSize_{0, 0};
    int lastPercent_ = 0;
    int fillOffset_ = 3;
    int fillWidth_ = 0;
    DownloadHost* host_ = nullptr;  // not owned: hosts outlive their windows

    // The user-interface thread runs above the library's decoding threads
    // while this window is up: with as many of them as processors it would
    // otherwise wait its turn behind them for every redraw and message.
    class UiThreadAhead {
    public:
        UiThreadAhead() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }
        ~UiThreadAhead() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL); }
        UiThreadAhead(const UiThreadAhead&) = delete;
        UiThreadAhead& operator=(const UiThreadAhead&) = delete;
    };
    UiThreadAhead ahead_;
};

}  // namespace tovarin::ui
