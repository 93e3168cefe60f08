#pragma once
// The hand-off onto the user-interface thread: other threads post callables
// that the user-interface thread runs in the order they were posted, from
// whatever message loop it is in (modal ones included). Post returns at once;
// Call, the blocking form, returns once its callable has run.
#include <windows.h>

#include <functional>
#include <memory>

#include "common/handles.h"

namespace tovarin::skin {

class HandOff {
public:
    // On the user-interface thread. Null when the system refuses the window
    // the calls are posted to.
    static std::shared_ptr<HandOff> Create();
    ~HandOff();
    HandOff(const HandOff&) = delete;
    HandOff& operator=(const HandOff&) = delete;

    bool OnUiThread() const { return GetCurrentThreadId() == uiThread_; }

    // Any thread. False, with nothing run, once the hand-off is closed.
    bool Post(std::function<void()> call);
    // Any thread: runs call on the user-interface thread and returns once it
    // has run, or at once when the hand-off is or becomes closed (then it
    // never runs). On the user-interface thread it runs at once.
    void Call(const std::function<void()>& call);

    // User-interface thread: calls not run yet are dropped, waiting callers
    // go on, and later posts are refused.
    void Close();

private:
    HandOff() = default;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    DWORD uiThread_ = 0;
    HWND window_ = nullptr;  // written before the hand-off is shared, constant afterwards (also once destroyed)
    UniqueHandle closed_;
};

}  // namespace tovarin::skin
