#include "uninstall/uninstall_form.h"

#include <atomic>
#include <exception>
#include <system_error>

#include "common/text.h"
#include "skin/rounded_panel.h"
#include "uninstall/uninstall_texts.h"

namespace tovarin::uninstall {
namespace {

constexpr char kLayout[] = "UNINSTALLWINDOWLAYOUT";
// The lines of the message stand this far above the buttons at most (96 DPI).
constexpr int kMessageGap = 4;
// The bar moves in thousandths: reports within one are not handed over.
constexpr int kProgressSteps = 1000;

// The final message when the work gave none.
std::string TextFor(const RemovalReport& report) {
    switch (report.outcome) {
    case RemovalOutcome::Removed: return report.installDirKept ? kRemovedDirKeptText : kRemovedText;
    case RemovalOutcome::Refused: return kProductRunningText;
    default: return kFailedText;
    }
}

RemovalReport FailedReport(std::string failure) {
    RemovalReport report;
    report.outcome = RemovalOutcome::Failed;
    report.userText = kFailedText;
    report.failure = std::move(failure);
    return report;
}

}  // namespace

std::unique_ptr<TUninstallForm> TUninstallForm::Create(std::function<bool()> productRunning, RemovalWork work) {
    std::unique_ptr<TUninstallForm> form(new TUninstallForm());
    form->productRunning_ = std::move(productRunning);
    form->work_ = std::move(work);
    if (!form->Build()) return nullptr;
    return form;
}

std::unique_ptr<TUninstallForm> TUninstallForm::CreateMessage(const std::string& text) {
    std::unique_ptr<TUninstallForm> form(new TUninstallForm());
    if (!form->Build()) return nullptr;
    RemovalReport report;
    report.userText = text;
    form->ShowEnd(std::move(report));
    return form;
}

TUninstallForm::~TUninstallForm() { Finish(); }

std::function<void()> TUninstallForm::Handler(const std::string& name) {
    if (name == "UninstallButtonClick") return [this] { UninstallButtonClick(); };
    if (name == "CancelButtonClick") return [this] { CancelButtonClick(); };
    if (name == "CloseButtonClick") return [this] { CloseButtonClick(); };
    return skin::SkinForm::Handler(name);
}

bool TUninstallForm::Build() {
    handOff_ = skin::HandOff::Create();
    if (!handOff_ || !CreateFromLayout(kLayout, nullptr)) return false;
    const skin::Layout& layout = FormLayout();
    icon_ = FindImage("IconImage");
    bar_ = FindBar("ProgressBar");
    uninstall_ = FindButton("UninstallButton");
    cancel_ = FindButton("CancelButton");
    close_ = FindButton("CloseButton");
    const skin::LayoutControl* panel = layout.Find("BackgroundPanel");
    const skin::LayoutControl* message = layout.Find("Message");
    if (!icon_ || !bar_ || !uninstall_ || !cancel_ || !close_ || !panel || !message) return false;
    SetWindowTextW(Handle(), Widen(kUninstallTitle).c_str());
    windowCorner_ = layout.Window().Number("corner", 0);
    panelCorner_ = panel->Number("corner", 0);
    panelColour_ = panel->Colour("colour", panelColour_);
    bevelColour_ = panel->Colour("bevel", bevelColour_);
    messageColour_ = message->Colour("colour", 0);
    uninstall_->SetCaption(kUninstallButton);
    cancel_->SetCaption(kCancelButton);
    close_->SetCaption(kCloseButton);
    icon_->ShowBitmap("exclamatory");
    message_ = kConfirmText;
    LayOutScaled();
    return true;
}

// What the form draws itself, at its DPI: the message's font, the product's icon.
void TUninstallForm::LayOutScaled() {
    const skin::Layout& layout = FormLayout();
    messageFont_ = LayoutFont(*layout.Find("Message"));
    const RECT icon = icon_->Bounds();
    productIcon_.reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON,
                                                     skin::Width(icon), skin::Height(icon), LR_DEFAULTCOLOR)));
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TUninstallForm::DpiChanged() {
    SetClientSize(LaidOutWidth(), LaidOutHeight());
    LayOutScaled();
    skin::RoundWindow(Handle(), FormLayout().Scale(windowCorner_));
}

void TUninstallForm::BeforeShow() {
    CenterOnScreen();
    skin::RoundWindow(Handle(), FormLayout().Scale(windowCorner_));
}

void TUninstallForm::RunModal() { ShowModal(); }

void TUninstallForm::UninstallButtonClick() {
    if (stage_ != Stage::Confirm) return;
    // The product's lock is looked at now, not when the window opened: the
    // user may have closed it while the question stood.
    if (productRunning_ && productRunning_()) {
        RemovalReport report;
        report.outcome = RemovalOutcome::Refused;
        report.userText = kProductRunningText;
        report.failure = "the product runs";
        ShowEnd(std::move(report));
        return;
    }
    StartWork();
}

void TUninstallForm::CancelButtonClick() {
    if (stage_ == Stage::Confirm) CloseModal();
}

void TUninstallForm::CloseButtonClick() {
    if (stage_ == Stage::Done) CloseModal();
}

// Alt+F4 and the taskbar's close: declines the question, closes the final
// message, and is ignored while the work runs (stopped half way, it would
// leave the install neither here nor gone).
void TUninstallForm::CloseRequested() {
    if (stage_ == Stage::Working) return;
    CloseModal();
}

void TUninstallForm::StartWork() {
    stage_ = Stage::Working;
    uninstall_->Image().SetVisible(false);
    cancel_->Image().SetVisible(false);
    bar_->SetFraction(0);
    bar_->Image().SetVisible(true);
    SetMessage(kProgressText);
    const std::shared_ptr<skin::HandOff> handOff = handOff_;
    auto last = std::make_shared<std::atomic<int>>(0);
    // Only reports that move the bar are handed over.
    std::function<void(double)> progress = [this, handOff, last](double fraction) {
        const int step = skin::FillWidth(fraction, kProgressSteps);
        if (last->exchange(step) != step) handOff->Post([this, fraction] { ShowProgress(fraction); });
    };
    try {
        worker_ = std::thread([this, handOff, progress = std::move(progress)] {
            RemovalReport report;
            try {
                report = work_ ? work_(progress) : FailedReport("no removal to run");
            } catch (const std::exception& e) {
                report = FailedReport(std::string("the removal threw: ") + e.what());
            } catch (...) {
                report = FailedReport("the removal threw");
            }
            workReport_ = report;
            handOff->Post([this, report] { ShowEnd(report); });
        });
    } catch (const std::system_error& e) {
        ShowEnd(FailedReport(std::string("no worker thread: ") + e.what()));
    }
}

void TUninstallForm::ShowProgress(double fraction) {
    if (stage_ != Stage::Working) return;
    const std::string before = bar_->PercentText();
    bar_->SetFraction(fraction);
    if (bar_->PercentText() != before) AccessibleValueChanged("ProgressBar");
}

void TUninstallForm::ShowEnd(RemovalReport report) {
    stage_ = Stage::Done;
    if (report.userText.empty()) report.userText = TextFor(report);
    succeeded_ = report.outcome == RemovalOutcome::Removed && productIcon_;
    // The product's own icon once it is gone; the error sign for the rest.
    icon_->SetVisible(!succeeded_);
    if (report.outcome != RemovalOutcome::Removed) icon_->ShowBitmap("error");
    bar_->Image().SetVisible(false);
    uninstall_->Image().SetVisible(false);
    cancel_->Image().SetVisible(false);
    close_->Image().SetVisible(true);
    Keyboard().SetDefault(&close_->Image());
    Keyboard().SetCancel(&close_->Image());
    SetMessage(report.userText);
    shown_ = std::move(report);
    Keyboard().FocusControl("CloseButton");
}

std::optional<RemovalReport> TUninstallForm::Finish() {
    // Calls not run yet are dropped; the worker's last post is refused.
    if (handOff_) handOff_->Close();
    if (worker_.joinable()) worker_.join();
    if (shown_) return shown_;
    return workReport_;
}

void TUninstallForm::SetMessage(std::string text) {
    InvalidateArea(MessageArea());
    message_ = std::move(text);
    InvalidateArea(MessageArea());
    NameChanged("Message");
}

void TUninstallForm::NameChanged(const std::string& control) {
    const auto& controls = Keyboard().Controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].control == control) skin::NotifyItem(EVENT_OBJECT_NAMECHANGE, Handle(), static_cast<int>(i));
    }
}

// The box the message may fill: the layout's, down to just above the buttons.
RECT TUninstallForm::MessageArea() const {
    const skin::Layout& layout = FormLayout();
    RECT r = layout.Bounds("Message");
    r.bottom = layout.Bounds("CancelButton").top - layout.Scale(kMessageGap);
    return r;
}

void TUninstallForm::PaintBackground(HDC dc, const RECT& client) {
    skin::SkinForm::PaintBackground(dc, client);
    skin::PaintPanel(dc, client,
                     {panelColour_, bevelColour_, FormLayout().Scale(panelCorner_), FormLayout().Scale(1)});
}

void TUninstallForm::PaintOverControls(HDC dc) {
    if (succeeded_) {
        const RECT r = icon_->Bounds();
        DrawIconEx(dc, r.left, r.top, productIcon_.get(), skin::Width(r), skin::Height(r), 0, nullptr, DI_NORMAL);
    }
    // The lines wrap inside the laid-out box and stand centred on its middle
    // (the icon's); a longer text runs on downwards.
    const std::wstring text = Widen(message_);
    const Selection font(dc, messageFont_ ? HGDIOBJ(messageFont_.get()) : GetStockObject(DEFAULT_GUI_FONT));
    const UINT format = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
    const RECT box = FormLayout().Bounds("Message");
    RECT measured = box;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, format | DT_CALCRECT);
    RECT area = MessageArea();
    const int height = skin::Height(measured);
    if (height < skin::Height(box)) area.top = box.top + (skin::Height(box) - height) / 2;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, messageColour_);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

skin::ControlFacts TUninstallForm::FactsOf(const std::string& control) const {
    skin::ControlFacts facts;
    if (control == "Message") facts.name = message_;
    if (control == "ProgressBar") facts.name = kProgressText;
    return facts;
}

}  // namespace tovarin::uninstall
