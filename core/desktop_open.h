#pragma once
// Opens a program or a web page as the user at the desktop, not with this
// process's administrator token: the desktop shell (Explorer) is asked to run
// its own ShellExecute, so what starts is the shell's child with the shell's
// token. When that road is not there, or would give nothing but this same
// token, the file is opened from here, as before.
#include <windows.h>

#include <string>

namespace tovarin::core {

struct OpenRequest {
    HWND owner = nullptr;     // used on the direct road only; the shell has its own desktop
    std::string file;         // program path or URL
    std::string directory;    // working directory; empty: none given
};

// Who runs the desktop shell that was reached.
enum class ShellProcess {
    Unknown,     // no process found behind its window, or a query failed otherwise
    Unelevated,  // a standard token: the desktop user's rights
    Elevated,    // a full administrator token, like this process's own
    Foreign,     // its process or token refused this administrator: another account's shell
};

struct ShellReach {
    bool dispatchHeld = false;  // every step up to the shell's dispatch object succeeded
    ShellProcess process = ShellProcess::Unknown;
};

enum class OpenRoad { DesktopShell, Direct };

// Chosen before anything is started, so the file is opened once.
OpenRoad ChooseOpenRoad(const ShellReach& reach);

// The desktop shell and the direct call, narrow so the choice can be tested.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // Walks from the shell windows to the desktop's dispatch object and
    // looks at the process behind the desktop's window.
    virtual ShellReach Reach() = 0;
    // The shell's own ShellExecute on the dispatch object Reach held.
    virtual HRESULT OpenThroughShell(const OpenRequest& request) = 0;
    // ShellExecuteW from this process.
    virtual void OpenDirect(const OpenRequest& request) = 0;
};

// The verb "Open", the show command SW_SHOWNORMAL; the result is not looked at.
void OpenAsDesktopUser(const OpenRequest& request, DesktopShell& shell);
// With the real shell (COM initialised single-threaded on this thread).
void OpenAsDesktopUser(const OpenRequest& request);

}  // namespace tovarin::core
