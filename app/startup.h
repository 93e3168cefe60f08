#pragma once
#include <windows.h>

namespace tovarin {

// The installer's whole run; returns the process exit code.
int RunInstaller(HINSTANCE instance);

}  // namespace tovarin
