#include "skin/skin_form.h"

#include <windowsx.h>

#include <set>

#include "common/product_info.h"
#include "common/text.h"
#include "skin/font_choice.h"
#include "skin/window_dpi.h"

namespace tovarin::skin {
namespace {

// The frame drawn around the client area, in 96-DPI pixels.
constexpr int kFrame = 1;
constexpr WPARAM kMoveByCaption = 0xF012;  // SC_MOVE | HTCAPTION

bool RegisterFormClass(const std::wstring& name, WNDPROC proc) {
    static std::set<std::wstring> registered;
    if (registered.count(name)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(wc.hInstance, L"MAINICON");
    wc.lpszClassName = name.c_str();
    // No background brush: every pixel is painted in WM_PAINT, nothing is erased first.
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    registered.insert(name);
    return true;
}

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

MouseButton ButtonOf(UINT msg) {
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) return MouseButton::Left;
    return msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP ? MouseButton::Right : MouseButton::Middle;
}

struct DisableContext {
    HWND except;
    std::vector<HWND>* disabled;
};

// Nothing may be thrown through user32: a window that cannot be remembered
// (no memory) is left enabled, and the enumeration stops.
BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lp) noexcept {
    auto* ctx = reinterpret_cast<DisableContext*>(lp);
    if (hwnd != ctx->except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        try {
            ctx->disabled->push_back(hwnd);
        } catch (...) {
            return FALSE;
        }
        EnableWindow(hwnd, FALSE);
    }
    return TRUE;
}

}  // namespace

ThreadWindowsDisabled::ThreadWindowsDisabled(HWND except) {
    DisableContext ctx{except, &disabled_};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&ctx));
}

ThreadWindowsDisabled::~ThreadWindowsDisabled() {
    for (HWND w : disabled_) {
        if (IsWindow(w)) EnableWindow(w, TRUE);
    }
}

SkinForm::~SkinForm() {
    *alive_ = false;
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool SkinForm::CreateWindowOf(const FormStyle& style, HWND owner) {
    const std::wstring cls = Widen(style.className);
    if (!RegisterFormClass(cls, WindowProc)) return false;
    frameColour_ = style.frameColour;
    backgroundColour_ = style.backgroundColour;
    const DWORD exStyle = style.taskbarButton ? WS_EX_APPWINDOW : 0;
    // WS_CLIPCHILDREN: the child controls (the path edit) are never painted over.
    CreateWindowExW(exStyle, cls.c_str(), Widen(style.title).c_str(), WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU, 0, 0,
                    style.clientWidth + 2 * frame_, style.clientHeight + 2 * frame_, owner, nullptr,
                    GetModuleHandleW(nullptr), this);
    return hwnd_ != nullptr;
}

bool SkinForm::CreateFromLayout(const char* layoutName, HWND owner) {
    layout_ = LoadLayout(layoutName);
    if (!layout_) return false;
    layout_->SetDpi(WindowDpi(owner));
    frame_ = layout_->Scale(kFrame);
    const LayoutControl& window = layout_->Window();
    FormStyle style;
    style.className = window.name;
    const bool application = window.Has("application");
    style.title = application ? std::string(kApplicationTitle) : window.Text("title");
    style.taskbarButton = application;
    const RECT client = layout_->Bounds(window);
    style.clientWidth = Width(client);
    style.clientHeight = Height(client);
    style.frameColour = window.Colour("frame", style.frameColour);
    style.backgroundColour = window.Colour("background", style.backgroundColour);
    if (!CreateWindowOf(style, owner)) return false;
    // Per monitor, the window's own monitor may differ from the system DPI.
    if (const int dpi = WindowDpi(hwnd_); dpi != layout_->Dpi()) {
        layout_->SetDpi(dpi);
        frame_ = layout_->Scale(kFrame);
        SetClientSize(LaidOutWidth(), LaidOutHeight());
    }

    for (const LayoutControl* c : layout_->Controls()) {
        if (c->kind != "image" && c->kind != "drag" && c->kind != "line" && c->kind != "button" && c->kind != "bar")
            continue;
        const RECT r = layout_->Bounds(*c);
        THighlightImage& image = AddImage(c->name, r.left, r.top, Width(r), Height(r));
        if (c->Has("picture")) {
            const std::string picture = c->Text("picture");
            image.SetPicture(LoadPictureFor(picture, Dpi(), LoadLayoutPicture), picture);
        }
        image.SetStateBase(c->Text("states"));
        if (c->Text("cursor") == "hand") image.SetCursor(IDC_HAND);
        // A drawn control's fill= is its own colour, not the control's ground.
        const bool drawn = c->kind == "button" || c->kind == "bar";
        if (c->Has("fill") && !drawn) image.SetFill(c->Colour("fill", 0));
        const LayoutControl* parent = layout_->Find(c->Text("parent"));
        if (c->Has("hidden") || (parent && parent->Has("hidden"))) image.SetVisible(false);
        for (const std::string& handler : c->List("on")) {
            if (!BindHandler(image, *c, handler)) return false;
        }
        // After the handlers: a button keeps them and adds its own looks.
        if (c->kind == "button") buttons_.push_back(std::make_unique<TextButton>(image, *c));
        if (c->kind == "bar") bars_.push_back(std::make_unique<FillBar>(image, *c));
    }
    ScaleButtons();
    return focus_.Build(*layout_);
}

// A handler is named after its control and the event: CloseImage + Click.
bool SkinForm::BindHandler(THighlightImage& image, const LayoutControl& control, const std::string& handler) {
    if (handler.compare(0, control.name.size(), control.name) != 0) return false;
    const std::string event = handler.substr(control.name.size());
    std::function<void()> run = Handler(handler);
    if (!run) return false;
    if (event == "Click") {
        image.OnClick = [run](THighlightImage&) { run(); };
    } else if (event == "MouseDown") {
        image.OnMouseDown = [run](THighlightImage&, MouseButton) { run(); };
    } else if (event == "MouseEnter") {
        image.OnMouseEnter = [run](THighlightImage&) { run(); };
    } else if (event == "MouseLeave") {
        image.OnMouseLeave = [run](THighlightImage&) { run(); };
    } else {
        return false;
    }
    return true;
}

std::function<void()> SkinForm::Handler(const std::string& name) {
    // DragArea0MouseDown .. DragArea3MouseDown: the one drag mechanism.
    const std::string prefix = "DragArea", suffix = "MouseDown";
    if (name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        return [this] { DragAreaMouseDown(); };
    }
    return {};
}

UniqueFont SkinForm::LayoutFont(const LayoutControl& control) const {
    std::vector<std::wstring> faces;
    for (const std::string& face : control.List("font")) faces.push_back(Widen(face));
    return CreateCellFont(faces, layout_->FontCell(control));
}

void SkinForm::Show() {
    if (!hwnd_) return;
    BeforeShow();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);
}

void SkinForm::Hide() {
    if (!hwnd_) return;
    hovered_ = nullptr;
    ShowWindow(hwnd_, SW_HIDE);
}

void SkinForm::ShowModal(const std::function<bool()>& ended) {
    if (!hwnd_) return;
    auto disabled = std::make_unique<ThreadWindowsDisabled>(hwnd_);
    modalDone_ = false;
    const auto alive = alive_;
    Show();
    MSG msg;
    while (*alive && !modalDone_ && !(ended && ended())) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
            break;
        }
        if (got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Enable the owners first, so that activation returns to them.
    disabled.reset();
    if (*alive) Hide();
}

SIZE SkinForm::ClientSize() const {
    RECT r{};
    if (hwnd_) GetClientRect(hwnd_, &r);
    return {r.right, r.bottom};
}

void SkinForm::SetClientSize(int width, int height) {
    if (!hwnd_) return;
    SetWindowPos(hwnd_, nullptr, 0, 0, width + 2 * frame_, height + 2 * frame_,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void SkinForm::CenterOnScreen() {
    if (!hwnd_) return;
    RECT r{};
    GetWindowRect(hwnd_, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    MoveTo((GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
}

void SkinForm::MoveTo(int left, int top) {
    if (hwnd_) SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

THighlightImage& SkinForm::AddImage(std::string name, int left, int top, int width, int height) {
    controls_.push_back(
        std::make_unique<THighlightImage>(*this, std::move(name), RECT{left, top, left + width, top + height}));
    InvalidateArea(controls_.back()->Bounds());
    return *controls_.back();
}

THighlightImage* SkinForm::FindImage(const std::string& name) {
    for (auto& c : controls_) {
        if (c->Name() == name) return c.get();
    }
    return nullptr;
}

namespace {

template <typename Control>
Control* Named(const std::vector<std::unique_ptr<Control>>& controls, const std::string& name) {
    for (const auto& c : controls) {
        if (c->Name() == name) return c.get();
    }
    return nullptr;
}

}  // namespace

TextButton* SkinForm::FindButton(const std::string& name) { return Named(buttons_, name); }
const TextButton* SkinForm::FindButton(const std::string& name) const { return Named(buttons_, name); }
FillBar* SkinForm::FindBar(const std::string& name) { return Named(bars_, name); }
const FillBar* SkinForm::FindBar(const std::string& name) const { return Named(bars_, name); }

void SkinForm::ScaleButtons() {
    for (const auto& b : buttons_) {
        if (const LayoutControl* c = layout_->Find(b->Name())) {
            b->SetScale(LayoutFont(*c), layout_->Scale(c->Number("corner", 0)), layout_->Scale(1));
        }
    }
}

void SkinForm::InvalidateArea(const RECT& area) {
    if (hwnd_) InvalidateRect(hwnd_, &area, FALSE);
}

void SkinForm::StartWindowMove(HWND hwnd) {
    ReleaseCapture();
    SendMessageW(hwnd, WM_SYSCOMMAND, kMoveByCaption, 0);
}

void SkinForm::ApplyDpi(int dpi, const RECT& suggested) {
    layout_->SetDpi(dpi);
    frame_ = layout_->Scale(kFrame);
    for (const auto& c : controls_) {
        if (const LayoutControl* laidOut = layout_->Find(c->Name())) c->Rescale(layout_->Bounds(*laidOut));
    }
    ScaleButtons();
    DpiChanged();
    // The system's rectangle keeps the window where the user dropped it; the
    // size is the layout's, which the system's can miss by a rounding.
    MoveTo(suggested.left, suggested.top);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void SkinForm::PaintBackground(HDC dc, const RECT& client) {
    SetDCBrushColor(dc, backgroundColour_);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

bool SkinForm::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT CALLBACK SkinForm::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* form = static_cast<SkinForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<SkinForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
    // No exception may leave a window procedure.
    try {
        return form->Dispatch(msg, wp, lp);
    } catch (...) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT SkinForm::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCALCSIZE: {
        RECT* r = wp ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : reinterpret_cast<RECT*>(lp);
        InflateRect(r, -frame_, -frame_);
        return 0;
    }
    case WM_NCPAINT:
        PaintFrame();
        return 0;
    case WM_NCACTIVATE:
        PaintFrame();
        return TRUE;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_MOUSEMOVE:
        if (!trackingLeave_) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd_, 0};
            trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
        }
        TrackHover(PointOf(lp));
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        if (!pressed_) SetHovered(nullptr);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        ButtonDown(ButtonOf(msg), PointOf(lp));
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        ButtonUp(ButtonOf(msg), PointOf(lp));
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) != hwnd_) pressed_ = nullptr;
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd_) {
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(hwnd_, &p);
            const THighlightImage* c = ControlAt(p);
            ::SetCursor(LoadCursorW(nullptr, c ? c->Cursor() : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        CloseRequested();
        return 0;
    case WM_DPICHANGED:
        if (layout_ && lp) ApplyDpi(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return 0;
    default:
        break;
    }
    LRESULT result = 0;
    if (HandleAccessMessage(msg, wp, lp, result)) return result;
    if (HandleMessage(msg, wp, lp, result)) return result;
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

void SkinForm::Paint() {
    const PaintDC paint(hwnd_);
    const HDC dc = paint.get();
    if (!dc) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Everything is composed off screen and copied in one go: no flicker.
    // Only the invalid area is composed (a new caption is a few hundred
    // pixels, not the whole window); the buffer's origin is moved onto it.
    const RECT& area = paint.Dirty();
    const UniqueMemoryDC memory(CreateCompatibleDC(dc));
    const UniqueBitmap buffer(memory && area.right > area.left && area.bottom > area.top
                                  ? CreateCompatibleBitmap(dc, area.right - area.left, area.bottom - area.top)
                                  : nullptr);
    const Selection selected(buffer ? memory.get() : nullptr, buffer.get());
    const HDC target = buffer ? memory.get() : dc;
    if (buffer) SetViewportOrgEx(target, -area.left, -area.top, nullptr);
    PaintBackground(target, client);
    for (const auto& c : controls_) c->Paint(target);
    PaintOverControls(target);
    focus_.PaintMark(target);
    if (buffer) {
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.get(), area.left,
               area.top, SRCCOPY);
    }
}

void SkinForm::PaintFrame() {
    const WindowDC dc = WindowDC::Whole(hwnd_);
    if (!dc) return;
    RECT r{};
    GetWindowRect(hwnd_, &r);
    OffsetRect(&r, -r.left, -r.top);
    SetDCBrushColor(dc.get(), frameColour_);
    for (int i = 0; i < frame_; ++i) {
        FrameRect(dc.get(), &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        InflateRect(&r, -1, -1);
    }
}

THighlightImage* SkinForm::ControlAt(POINT client) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        if ((*it)->HitTest(client)) return it->get();
    }
    return nullptr;
}

void SkinForm::TrackHover(POINT client) { SetHovered(ControlAt(client)); }

void SkinForm::SetHovered(THighlightImage* control) {
    if (control == hovered_) return;
    THighlightImage* old = hovered_;
    hovered_ = control;
    const auto alive = alive_;
    // The focused control keeps its hover picture.
    if (old && !focus_.ShowsLook(old)) old->MouseLeave();
    if (*alive && control && hovered_ == control) control->MouseEnter();
}

void SkinForm::ButtonDown(MouseButton button, POINT client) {
    KeyboardFocus::MouseUsed();
    THighlightImage* c = ControlAt(client);
    if (!c) return;
    SetCapture(hwnd_);
    pressed_ = c;
    pressedButton_ = button;
    if (c->OnMouseDown) c->OnMouseDown(*c, button);
}

void SkinForm::ButtonUp(MouseButton button, POINT client) {
    THighlightImage* c = pressed_;
    if (!c) return;
    const MouseButton down = pressedButton_;
    pressed_ = nullptr;
    if (GetCapture() == hwnd_) ReleaseCapture();
    const auto alive = alive_;
    // A click is a left press and release on the same control.
    if (button == MouseButton::Left && down == MouseButton::Left && c->HitTest(client) && c->OnClick) {
        Click(*c);
    }
    if (!*alive || !hwnd_) return;
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(hwnd_, &p);
    RECT r{};
    GetClientRect(hwnd_, &r);
    if (IsWindowVisible(hwnd_) && PtInRect(&r, p)) TrackHover(p);
}

}  // namespace tovarin::skin
