#pragma once
namespace tovarin {

// The installer's whole run; returns the process exit code.
int RunInstaller();

}  // namespace tovarin
