#pragma once
// What a screen reader sees of a skinned form: the window's client object
// (IAccessible, answered from WM_GETOBJECT) with one simple element per
// control that the form describes. The system's accessibility library
// (oleacc) is not a known DLL, so it is loaded from the system folder at run
// time; without it the form simply answers nothing.
#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace tovarin::skin {

struct AccessibleItem {
    std::wstring name;
    LONG role = 0;   // ROLE_SYSTEM_*
    LONG state = 0;  // STATE_SYSTEM_*
    bool hasValue = false;
    std::wstring value;
    RECT bounds{};  // in the client area
    std::wstring action;  // the default action's name; empty: none
};

// The form a client object describes; asked afresh at every call.
class AccessibleSource {
public:
    virtual HWND Window() const = 0;
    virtual LONG WindowRole() const = 0;
    virtual std::vector<AccessibleItem> Items() const = 0;
    // The focused item's index; -1 for none.
    virtual int FocusedItem() const = 0;
    // Carries out an item's default action later, never inside the call.
    virtual void DoDefaultAction(int index) = 0;

protected:
    ~AccessibleSource() = default;
};

class FormAccessible {
public:
    explicit FormAccessible(AccessibleSource& source) : source_(source) {}
    // Clients that still hold the object get "disconnected" from then on.
    ~FormAccessible();
    FormAccessible(const FormAccessible&) = delete;
    FormAccessible& operator=(const FormAccessible&) = delete;

    // WM_GETOBJECT: true, with the answer, when the client object was asked for.
    bool Answer(WPARAM wp, LPARAM lp, LRESULT& result);

private:
    AccessibleSource& source_;
    ComPtr<IAccessible> object_;
};

// The accessible name of a real child window whose own proxy finds none (an
// edit without a label window), through the system's annotation service;
// false when the service is missing. Unname before the window goes.
bool NameChildWindow(HWND child, const std::wstring& name);
void UnnameChildWindow(HWND child);

// Announces a change of the item at `index` (-1: the window's client object).
void NotifyItem(DWORD event, HWND window, int index);

}  // namespace tovarin::skin
