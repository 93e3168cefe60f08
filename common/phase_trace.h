#pragma once
// Marks along the install's road for the benchmark (bench/run) to read: each
// is one debugger string "tovarin-phase NAME TICKS", TICKS the performance
// counter. Without a debugger or a debug-output listener a mark costs a few
// microseconds and nothing sees it, so the installer that ships is the one
// that is measured; no separate build.
namespace tovarin {

void TracePhase(const char* name);

}  // namespace tovarin
