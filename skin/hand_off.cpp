#include "skin/hand_off.h"

namespace tovarin::skin {
namespace {

constexpr wchar_t kClassName[] = L"TovarinHandOff";
constexpr UINT kRunMessage = WM_APP + 1;  // lParam: a new'd std::function<void()>

using Task = std::function<void()>;

bool RegisterHandOffClass(WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::shared_ptr<HandOff> HandOff::Create() {
    if (!RegisterHandOffClass(WindowProc)) return nullptr;
    std::shared_ptr<HandOff> handOff(new HandOff());
    handOff->uiThread_ = GetCurrentThreadId();
    handOff->closed_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // A message-only window: never shown, never listed among the top-level windows.
    handOff->window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    if (!handOff->closed_ || !handOff->window_) return nullptr;
    return handOff;
}

HandOff::~HandOff() {
    // A window goes only with its own thread; after Close this one is gone already.
    if (window_ && OnUiThread()) DestroyWindow(window_);
}

bool HandOff::Post(std::function<void()> call) {
    if (WaitForSingleObject(closed_.get(), 0) == WAIT_OBJECT_0) return false;
    auto task = std::make_unique<Task>(std::move(call));
    if (!PostMessageW(window_, kRunMessage, 0, reinterpret_cast<LPARAM>(task.get()))) return false;
    task.release();  // the window procedure, or Close, frees it
    return true;
}

void HandOff::Call(const std::function<void()>& call) {
    if (OnUiThread()) {
        call();
        return;
    }
    // Shared with the task: the waiter may go on (closed) before the task lets go.
    auto done = std::make_shared<UniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!*done) return;
    if (!Post([call, done] {
            try {
                call();
            } catch (...) {
                // The caller goes on all the same.
            }
            SetEvent(done->get());
        })) {
        return;
    }
    const HANDLE waits[] = {done->get(), closed_.get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

void HandOff::Close() {
    SetEvent(closed_.get());
    MSG msg;
    while (PeekMessageW(&msg, window_, kRunMessage, kRunMessage, PM_REMOVE)) {
        delete reinterpret_cast<Task*>(msg.lParam);
    }
    DestroyWindow(window_);  // posts that slip in before this go with the window
}

LRESULT CALLBACK HandOff::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != kRunMessage) return DefWindowProcW(hwnd, msg, wp, lp);
    const std::unique_ptr<Task> task(reinterpret_cast<Task*>(lp));
    // Nothing may leave a window procedure.
    try {
        (*task)();
    } catch (...) {
    }
    return 0;
}

}  // namespace tovarin::skin
