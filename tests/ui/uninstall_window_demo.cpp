// The uninstaller's window over a removal that only pretends, to look at and
// click through by hand under Wine. Arguments: "running" (the product runs),
// "kept" (the install directory stays), "failed", "message" (the window with
// text and the close button only), "slow" (ten times longer). Exits with the
// report's outcome, 3 when the user declined.
#include <windows.h>

#include <shellapi.h>

#include <set>
#include <string>

#include "uninstall/uninstall_texts.h"
#include "uninstall/uninstall_window.h"

using namespace tovarin::uninstall;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::set<std::wstring> args;
    int argc = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        for (int i = 1; i < argc; ++i) args.insert(argv[i]);
        LocalFree(argv);
    }
    if (args.count(L"message")) {
        ShowUninstallMessage(kRecordInvalidText);
        return 2;
    }
    const DWORD pause = args.count(L"slow") ? 300 : 30;
    const bool kept = args.count(L"kept") != 0, failed = args.count(L"failed") != 0;
    const auto report = RunUninstallWindow([&] { return args.count(L"running") != 0; },
                                           [=](const std::function<void(double)>& progress) {
                                               for (int i = 0; i <= 100; ++i) {
                                                   progress(i / 100.0);
                                                   Sleep(pause);
                                               }
                                               RemovalReport r;
                                               r.outcome = failed ? RemovalOutcome::Failed : RemovalOutcome::Removed;
                                               r.installDirKept = kept;
                                               r.userText = failed ? kFailedText : kept ? kRemovedDirKeptText : kRemovedText;
                                               return r;
                                           });
    return report ? static_cast<int>(report->outcome) : 3;
}
