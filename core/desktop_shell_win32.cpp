// The desktop shell reached through its shell-windows object: the desktop's
// browser, its active view, the view's background dispatch object and that
// object's application, whose ShellExecute runs inside the shell's process.
#include <windows.h>
#include <shellapi.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <servprov.h>

#include "common/handles.h"
#include "common/text.h"
#include "core/desktop_open.h"

namespace tovarin::core {
namespace {

constexpr const wchar_t* kVerb = L"Open";

UniqueBstr Bstr(const std::string& utf8) {
    const std::wstring wide = Widen(utf8);
    return UniqueBstr(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

ShellProcess QueryFailure() {
    return GetLastError() == ERROR_ACCESS_DENIED ? ShellProcess::Foreign : ShellProcess::Unknown;
}

ShellProcess ProcessBehind(HWND window) {
    DWORD pid = 0;
    if (!window || !GetWindowThreadProcessId(window, &pid) || pid == 0) return ShellProcess::Unknown;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return QueryFailure();
    UniqueHandle token;
    if (!OpenProcessToken(process.get(), TOKEN_QUERY, token.put())) return QueryFailure();
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return ShellProcess::Unknown;
    }
    return elevation.TokenIsElevated ? ShellProcess::Elevated : ShellProcess::Unelevated;
}

class SystemDesktopShell final : public DesktopShell {
public:
    ShellReach Reach() override {
        HWND window = nullptr;
        dispatch_ = Walk(window);
        if (!dispatch_) return {};
        // The window FindWindowSW named belongs to the shell that answered.
        if (!window) window = GetShellWindow();
        return {true, ProcessBehind(window)};
    }

    HRESULT OpenThroughShell(const OpenRequest& request) override {
        if (!dispatch_) return E_UNEXPECTED;
        const UniqueBstr file = Bstr(request.file);
        if (!file) return E_OUTOFMEMORY;
        UniqueVariant none;
        UniqueVariant directory =
            request.directory.empty() ? UniqueVariant() : UniqueVariant::String(Bstr(request.directory));
        UniqueVariant verb = UniqueVariant::String(UniqueBstr(SysAllocString(kVerb)));
        UniqueVariant show = UniqueVariant::Int(SW_SHOWNORMAL);
        return dispatch_->ShellExecute(file.get(), none.get(), directory.get(), verb.get(), show.get());
    }

    void OpenDirect(const OpenRequest& request) override {
        const std::wstring file = Widen(request.file);
        const std::wstring directory = Widen(request.directory);
        ShellExecuteW(request.owner, kVerb, file.c_str(), nullptr, directory.empty() ? nullptr : directory.c_str(),
                      SW_SHOWNORMAL);
    }

private:
    static ComPtr<IShellDispatch2> Walk(HWND& window) {
        ComPtr<IShellWindows> windows;
        if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                    windows.put_void()))) {
            return {};
        }
        UniqueVariant desktop = UniqueVariant::Int(CSIDL_DESKTOP);
        UniqueVariant root;
        long handle = 0;
        ComPtr<IDispatch> found;
        // S_FALSE, with nothing, when there is no desktop window.
        if (windows->FindWindowSW(desktop.ptr(), root.ptr(), SWC_DESKTOP, &handle, SWFO_NEEDDISPATCH, found.put()) !=
                S_OK ||
            !found) {
            return {};
        }
        window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
        const auto services = found.query<IServiceProvider>(IID_IServiceProvider);
        ComPtr<IShellBrowser> browser;
        if (!services || FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void())) ||
            !browser) {
            return {};
        }
        ComPtr<IShellView> view;
        if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return {};
        ComPtr<IDispatch> background;
        if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) || !background) {
            return {};
        }
        const auto folderView = background.query<IShellFolderViewDual>(IID_IShellFolderViewDual);
        ComPtr<IDispatch> application;
        if (!folderView || FAILED(folderView->get_Application(application.put())) || !application) return {};
        return application.query<IShellDispatch2>(IID_IShellDispatch2);
    }

    ComPtr<IShellDispatch2> dispatch_;
};

}  // namespace

void OpenAsDesktopUser(const OpenRequest& request) {
    SystemDesktopShell shell;
    OpenAsDesktopUser(request, shell);
}

}  // namespace tovarin::core
