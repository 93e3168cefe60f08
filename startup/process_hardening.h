#pragma once

namespace tovarin::app {

// Keeps DLLs from being loaded out of the installer's own folder (a download
// folder full of planted files), and binds the DLLs the installer loads at
// run time from System32. Must run before anything else loads a DLL.
void RestrictDllSearchPath();

// Where the system offers it, makes every open of this process refuse to
// pass a junction or symbolic link that someone without administrator rights
// made (ERROR_UNTRUSTED_MOUNT_POINT): a folder the user re-pointed fails the
// step that uses it instead of sending the elevated installer elsewhere.
// A linked install directory of the user's own making then fails as well.
void RefuseUntrustedRedirections();

}  // namespace tovarin::app
