#include "common/phase_trace.h"

#include <windows.h>

namespace tovarin {

void TracePhase(const char* name) {
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    char text[96] = "tovarin-phase ";
    std::size_t at = 14;
    while (*name && at < 64) text[at++] = *name++;
    text[at++] = ' ';
    char digits[24];
    int count = 0;
    unsigned long long ticks = static_cast<unsigned long long>(now.QuadPart);
    do {
        digits[count++] = static_cast<char>('0' + ticks % 10);
        ticks /= 10;
    } while (ticks != 0);
    while (count > 0) text[at++] = digits[--count];
    text[at] = '\0';
    ::OutputDebugStringA(text);
}

}  // namespace tovarin
