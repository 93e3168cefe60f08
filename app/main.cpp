#include <windows.h>

#include "app/process_hardening.h"
#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    tovarin::app::RestrictDllSearchPath();  // first: before anything loads a DLL
    return tovarin::RunInstaller(instance);
}
