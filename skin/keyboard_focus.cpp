#include "skin/keyboard_focus.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "common/system_library.h"
#include "common/text.h"
#include "skin/accessible_form.h"
#include "skin/skin_form.h"

namespace tovarin::skin {
namespace {

// The last input on any form came from the keyboard (user-interface thread only).
bool lastInputKeyboard = false;

constexpr UINT_PTR kFormKeysSubclass = 1;
// The mark lies this far outside the control, so it never covers its picture.
constexpr int kMarkGap = 2;

std::optional<ControlRole> RoleNamed(const std::string& name) {
    static const std::pair<const char*, ControlRole> kRoles[] = {
        {"button", ControlRole::Button},     {"checkbox", ControlRole::CheckBox},
        {"link", ControlRole::Link},         {"edit", ControlRole::Edit},
        {"toggle", ControlRole::Toggle},     {"progressbar", ControlRole::ProgressBar},
        {"text", ControlRole::Text},
    };
    for (const auto& [text, role] : kRoles) {
        if (name == text) return role;
    }
    return std::nullopt;
}

bool FormKey(WPARAM key) { return key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE; }

// A child window's Tab, Return and Escape belong to its form; the character
// messages they make are swallowed, so the edit does not beep. Installed only
// once the subclassing helpers are bound.
LRESULT CALLBACK ForwardFormKeys(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    const ComCtlFunctions& comctl = *ComCtl();
    if (msg == WM_KEYDOWN && FormKey(wp)) {
        SendMessageW(GetParent(hwnd), msg, wp, lp);
        return 0;
    }
    if (msg == WM_CHAR && (wp == L'\t' || wp == L'\r' || wp == 0x1B)) return 0;
    if (msg == WM_NCDESTROY) {
        UnnameChildWindow(hwnd);
        comctl.RemoveWindowSubclass(hwnd, ForwardFormKeys, id);
    }
    return comctl.DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

bool KeyboardFocus::Build(const Layout& layout) {
    controls_.clear();
    cues_ = lastInputKeyboard;
    for (const LayoutControl* c : layout.Controls()) {
        if (!c->Has("role")) continue;
        const std::optional<ControlRole> role = RoleNamed(c->Text("role"));
        if (!role) return false;
        AccessControl a;
        a.control = c->name;
        a.label = c->Has("label") ? c->Text("label") : c->Text("text");
        a.role = *role;
        a.order = c->Number("focus", 0);
        a.image = form_.FindImage(c->name);
        controls_.push_back(std::move(a));
    }
    // Reachable ones first, in their order; the rest keep stacking order.
    std::stable_sort(controls_.begin(), controls_.end(), [](const AccessControl& a, const AccessControl& b) {
        return (a.order ? a.order : INT_MAX) < (b.order ? b.order : INT_MAX);
    });
    const LayoutControl& window = layout.Window();
    default_ = Named(window.Text("default"));
    cancel_ = Named(window.Text("cancel"));
    if (THighlightImage* first = Named(window.Text("firstfocus"))) {
        for (std::size_t i = 0; i < controls_.size(); ++i) {
            if (controls_[i].image == first) focused_ = static_cast<int>(i);
        }
    }
    return true;
}

void KeyboardFocus::AttachChild(const std::string& control, HWND child) {
    for (AccessControl& c : controls_) {
        if (c.control != control) continue;
        c.child = child;
        if (child && c.role == ControlRole::Edit) NameChildWindow(child, Widen(c.label));
    }
    // Without the helpers (no comctl32) the child keeps its own keys.
    const ComCtlFunctions* comctl = ComCtl();
    if (child && comctl) comctl->SetWindowSubclass(child, ForwardFormKeys, kFormKeysSubclass, 0);
}

THighlightImage* KeyboardFocus::Named(const std::string& control) const {
    return control.empty() ? nullptr : form_.FindImage(control);
}

bool KeyboardFocus::Live(const AccessControl& c) const {
    if (c.order == 0) return false;
    if (c.child) return IsWindowVisible(c.child) && IsWindowEnabled(c.child);
    return c.image && c.image->Visible();
}

int KeyboardFocus::Focused() const {
    const HWND focus = GetFocus();
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].child && controls_[i].child == focus) return static_cast<int>(i);
    }
    if (focused_ < 0 || focus != form_.Handle()) return -1;
    const AccessControl& c = controls_[static_cast<std::size_t>(focused_)];
    return !c.child && Live(c) ? focused_ : -1;
}

bool KeyboardFocus::ShowsLook(const THighlightImage* image) const {
    return cues_ && image && focused_ >= 0 && controls_[static_cast<std::size_t>(focused_)].image == image &&
           Live(controls_[static_cast<std::size_t>(focused_)]);
}

bool KeyboardFocus::KeyDown(WPARAM key) {
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (key != VK_TAB && key != VK_SPACE && key != VK_RETURN && key != VK_ESCAPE) return false;
    lastInputKeyboard = true;
    if (!cues_) {
        cues_ = true;
        RefreshLook();
    }
    const int focused = Focused();
    THighlightImage* image = focused >= 0 ? controls_[static_cast<std::size_t>(focused)].image : nullptr;
    switch (key) {
    case VK_TAB:
        Move(!shift);
        break;
    case VK_SPACE:
        if (image) Activate(image);
        break;
    case VK_RETURN:
        // A focused edit has no action of its own: Return is the default,
        // unless the window has hidden that control for now.
        if (image) {
            Activate(image);
        } else if (default_ && default_->Visible()) {
            Activate(default_);
        }
        break;
    default:
        if (cancel_ && cancel_->Visible()) Activate(cancel_);
        break;
    }
    return true;
}

void KeyboardFocus::Move(bool forward) {
    const int count = static_cast<int>(controls_.size());
    const int from = Focused() >= 0 ? Focused() : focused_;
    for (int step = 1; step <= count; ++step) {
        int i = from < 0 ? (forward ? step - 1 : count - step) : (from + (forward ? step : -step) + count) % count;
        if (Live(controls_[static_cast<std::size_t>(i)])) {
            FocusOn(i);
            return;
        }
    }
}

void KeyboardFocus::FocusOn(int index) {
    const int old = focused_;
    focused_ = index;
    if (old >= 0 && old != index) {
        if (THighlightImage* was = controls_[static_cast<std::size_t>(old)].image) {
            form_.InvalidateArea(MarkRect(*was));
            if (!form_.IsHovered(was)) was->MouseLeave();
        }
    }
    const AccessControl& now = controls_[static_cast<std::size_t>(index)];
    if (now.child) {
        SetFocus(now.child);
        SendMessageW(now.child, EM_SETSEL, 0, -1);
    } else {
        if (GetFocus() != form_.Handle()) SetFocus(form_.Handle());
        RefreshLook();
    }
    NotifyItem(EVENT_OBJECT_FOCUS, form_.Handle(), index);
}

void KeyboardFocus::FocusControl(const std::string& control) {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].control != control || !Live(controls_[i])) continue;
        // A hidden form only remembers it: the focus goes there once it shows.
        if (IsWindowVisible(form_.Handle())) {
            FocusOn(static_cast<int>(i));
        } else {
            focused_ = static_cast<int>(i);
        }
        return;
    }
}

void KeyboardFocus::MouseUsed() { lastInputKeyboard = false; }

void KeyboardFocus::FormFocused() {
    if (focused_ < 0) return;
    const AccessControl& c = controls_[static_cast<std::size_t>(focused_)];
    if (c.child && Live(c)) SetFocus(c.child);
}

void KeyboardFocus::Activate(THighlightImage* image) {
    if (!image) return;
    const auto alive = form_.AliveFlag();
    form_.Click(*image);
    if (*alive) RefreshLook();
}

void KeyboardFocus::RefreshLook() {
    if (focused_ < 0 || !cues_ || !IsWindowVisible(form_.Handle())) return;
    THighlightImage* image = controls_[static_cast<std::size_t>(focused_)].image;
    if (!ShowsLook(image)) return;
    image->MouseEnter();
    form_.InvalidateArea(MarkRect(*image));
}

RECT KeyboardFocus::MarkRect(const THighlightImage& image) const {
    RECT r = image.Bounds();
    InflateRect(&r, kMarkGap, kMarkGap);
    return r;
}

void KeyboardFocus::PaintMark(HDC dc) const {
    if (focused_ < 0) return;
    const THighlightImage* image = controls_[static_cast<std::size_t>(focused_)].image;
    if (!ShowsLook(image)) return;
    const RECT r = MarkRect(*image);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
    DrawFocusRect(dc, &r);
}

}  // namespace tovarin::skin
