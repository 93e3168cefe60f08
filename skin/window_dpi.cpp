#include "skin/window_dpi.h"

#include "common/handles.h"
#include "skin/layout.h"

namespace tovarin::skin {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// user32 is loaded in every GUI process; nothing is loaded here.
GetDpiForWindowFn DpiForWindowFunction() {
    static const auto fn = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return fn;
}

int SystemDpi() {
    const WindowDC screen = WindowDC::Client(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : kLayoutDpi;
}

}  // namespace

int WindowDpi(HWND window) {
    if (window) {
        if (const GetDpiForWindowFn fn = DpiForWindowFunction()) {
            if (const UINT dpi = fn(window)) return static_cast<int>(dpi);
        }
    }
    return SystemDpi();
}

}  // namespace tovarin::skin
