#pragma once
// How the uninstaller removes itself: the one started from the install
// directory (the original) copies itself into a private folder and runs the
// copy, which does the work, hands its result back through a pipe, waits for
// the original to exit and then removes Uninstall.exe. The copy and its
// folder go at the next start.
#include <windows.h>

#include <optional>
#include <string>

#include "common/handles.h"
#include "uninstall/removal_report.h"

namespace tovarin::uninstall {

// What the original hands its copy.
struct CopyArguments {
    std::wstring installDir;  // the original's folder
    bool quiet = false;
    UniqueHandle original;    // the original's process (to wait for its end)
    UniqueHandle resultPipe;  // the write end of the result pipe
};

// The copy's arguments when this process is the copy; nullopt for the original.
std::optional<CopyArguments> CopyArgumentsFrom(const wchar_t* commandLine, bool& quiet);

// The original's whole run: the copy's result as the exit code; 2 when no
// copy could be started or it ended without a result.
int RunAsOriginal(bool quiet);

// The copy: the result to the waiting original, which then exits.
void SendResult(CopyArguments& arguments, RemovalOutcome outcome);

// The copy, at its end: its own file and folder, deleted at the next start.
void ScheduleOwnRemoval();

}  // namespace tovarin::uninstall
