#include <windows.h>

#include "startup/process_hardening.h"
#include "startup/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tovarin::app::RestrictDllSearchPath();  // first: before anything loads a DLL
    tovarin::app::RefuseUntrustedRedirections();  // before the installer opens a file of its own
    return tovarin::RunInstaller();
}
