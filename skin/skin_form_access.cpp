// The keyboard and the screen reader's side of a skinned form.
#include "skin/skin_form.h"

#include "common/text.h"

namespace tovarin::skin {
namespace {

// lParam: the item's index. Posted, so that an action asked for by a screen
// reader (which may open a modal dialog) never runs inside its call.
constexpr UINT kDefaultActionMessage = WM_APP + 2;

LONG RoleOf(ControlRole role) {
    switch (role) {
    case ControlRole::CheckBox: return ROLE_SYSTEM_CHECKBUTTON;
    case ControlRole::Link: return ROLE_SYSTEM_LINK;
    case ControlRole::Edit: return ROLE_SYSTEM_TEXT;
    case ControlRole::ProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
    case ControlRole::Text: return ROLE_SYSTEM_STATICTEXT;
    default: return ROLE_SYSTEM_PUSHBUTTON;
    }
}

const wchar_t* ActionOf(ControlRole role, const ControlFacts& facts) {
    switch (role) {
    case ControlRole::Button: return L"按下";
    case ControlRole::CheckBox: return facts.checked ? L"清除" : L"选中";
    case ControlRole::Link: return L"跳转";
    case ControlRole::Toggle: return facts.expanded ? L"折叠" : L"展开";
    default: return L"";
    }
}

}  // namespace

std::vector<AccessibleItem> SkinForm::Items() const {
    std::vector<AccessibleItem> items;
    const int focused = focus_.Focused();
    for (const AccessControl& c : focus_.Controls()) {
        const ControlFacts facts = FactsOf(c.control);
        AccessibleItem item;
        // A drawn button is named by its caption, a drawn bar tells its percentage.
        const TextButton* button = FindButton(c.control);
        const FillBar* bar = FindBar(c.control);
        std::string name = !facts.name.empty() ? facts.name : c.label;
        if (name.empty() && button) name = button->Caption();
        item.name = Widen(name);
        item.role = RoleOf(c.role);
        // A text the form draws itself has neither: it shows with the form.
        const bool visible = c.child ? IsWindowVisible(c.child) != FALSE : c.image ? c.image->Visible() : true;
        if (!visible) item.state |= STATE_SYSTEM_INVISIBLE;
        if (c.order) item.state |= STATE_SYSTEM_FOCUSABLE;
        if (focused >= 0 && &focus_.Controls()[static_cast<std::size_t>(focused)] == &c) item.state |= STATE_SYSTEM_FOCUSED;
        if (facts.checked) item.state |= STATE_SYSTEM_CHECKED;
        if (c.role == ControlRole::Toggle) item.state |= facts.expanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
        if (facts.unavailable) item.state |= STATE_SYSTEM_UNAVAILABLE;
        if (c.role == ControlRole::Link) item.state |= STATE_SYSTEM_LINKED;
        if (c.role == ControlRole::ProgressBar || c.role == ControlRole::Text) item.state |= STATE_SYSTEM_READONLY;
        item.hasValue = c.role == ControlRole::Edit || c.role == ControlRole::ProgressBar;
        item.value = Widen(facts.value.empty() && bar ? bar->PercentText() : facts.value);
        if (c.child) {
            GetWindowRect(c.child, &item.bounds);
            MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&item.bounds), 2);
        } else if (c.image) {
            item.bounds = c.image->Bounds();
        }
        if (c.image && c.image->OnClick) item.action = ActionOf(c.role, facts);
        items.push_back(std::move(item));
    }
    return items;
}

void SkinForm::Click(THighlightImage& image) {
    if (!image.OnClick) return;
    const std::vector<AccessibleItem> before = Items();
    const auto alive = alive_;
    image.OnClick(image);
    if (!*alive || !hwnd_) return;
    const std::vector<AccessibleItem> after = Items();
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i].state != after[i].state) NotifyItem(EVENT_OBJECT_STATECHANGE, hwnd_, static_cast<int>(i));
    }
}

void SkinForm::AccessibleValueChanged(const std::string& control) {
    const std::vector<AccessControl>& controls = focus_.Controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].control == control) NotifyItem(EVENT_OBJECT_VALUECHANGE, hwnd_, static_cast<int>(i));
    }
}

void SkinForm::DoDefaultAction(int index) { PostMessageW(hwnd_, kDefaultActionMessage, 0, index); }

bool SkinForm::HandleAccessMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    switch (msg) {
    case WM_KEYDOWN:
        return focus_.KeyDown(wp);
    case WM_SETFOCUS:
        focus_.FormFocused();
        return true;
    case WM_GETOBJECT:
        return accessible_.Answer(wp, lp, result);
    case kDefaultActionMessage: {
        const std::vector<AccessControl>& controls = focus_.Controls();
        const auto index = static_cast<std::size_t>(lp);
        if (index < controls.size() && controls[index].image && IsWindowEnabled(hwnd_)) Click(*controls[index].image);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace tovarin::skin
