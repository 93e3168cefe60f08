#include "core/desktop_open.h"

namespace tovarin::core {

OpenRoad ChooseOpenRoad(const ShellReach& reach) {
    if (!reach.dispatchHeld) return OpenRoad::Direct;
    switch (reach.process) {
    case ShellProcess::Unelevated:
    // Over the shoulder: an administrator elevated this process for a standard
    // user, whose shell this one may not query. Opening through that shell runs
    // the product as the desktop's user, which is the point.
    case ShellProcess::Foreign:
        return OpenRoad::DesktopShell;
    case ShellProcess::Elevated:  // the shell would give it this same token
    case ShellProcess::Unknown:
        break;
    }
    return OpenRoad::Direct;
}

void OpenAsDesktopUser(const OpenRequest& request, DesktopShell& shell) {
    if (ChooseOpenRoad(shell.Reach()) == OpenRoad::DesktopShell) {
        // A failure here may come after the shell has already started it: no second try.
        shell.OpenThroughShell(request);
        return;
    }
    shell.OpenDirect(request);
}

}  // namespace tovarin::core
