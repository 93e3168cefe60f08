#pragma once

namespace tovarin::app {

// Keeps DLLs from being loaded out of the installer's own folder (a download
// folder full of planted files), and binds the DLLs the installer loads at
// run time from System32. Must run before anything else loads a DLL.
void RestrictDllSearchPath();

}  // namespace tovarin::app
