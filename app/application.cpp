#include "app/application.h"

#include <atomic>

namespace tovarin::app {
namespace {

std::string& TitleStorage() {
    static std::string title;
    return title;
}

std::atomic<DWORD> uiThread{0};
std::atomic<bool> terminated{false};

}  // namespace

void Initialize(std::string title) {
    TitleStorage() = std::move(title);
    uiThread = GetCurrentThreadId();
    terminated = false;
}

const std::string& Title() { return TitleStorage(); }

int RunMessageLoop() {
    MSG msg;
    while (!terminated) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

void Terminate() {
    terminated = true;
    const DWORD ui = uiThread;
    if (ui == 0 || ui == GetCurrentThreadId()) {
        PostQuitMessage(0);
    } else {
        PostThreadMessageW(ui, WM_QUIT, 0, 0);
    }
}

bool Terminated() { return terminated; }

}  // namespace tovarin::app
