// Times the installer's own steps on a large package: the resource written to
// a file, and ExtractPackage. Prints one line per measurement.
//   extract_bench save TEMPDIR     writes PACKAGE and 7ZIP_LIBRARY to TEMPDIR
//   extract_bench extract TEMPDIR OUTDIR
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/install_state.h"
#include "core/extract_package.h"
#include "core/payload_files.h"

using namespace tovarin;

namespace {

double Seconds(LARGE_INTEGER from) {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Committed private memory now, walked region by region (Wine's process
// counters leave out much of what the library allocates).
double PrivateMiB() {
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; ::VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < at) break;
    }
    return double(total) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string temp = argv[2];
    state::SetTempPaths(temp + "/tovarin.7z", temp + "/7z.dll");
    LARGE_INTEGER start;
    if (std::strcmp(argv[1], "save") == 0) {
        HRSRC info = ::FindResourceW(nullptr, L"PACKAGE", MAKEINTRESOURCEW(10));
        const double megabytes = ::SizeofResource(nullptr, info) / 1e6;
        ::QueryPerformanceCounter(&start);
        const bool ok = static_cast<bool>(core::SaveResourceToFile("package", state::PackageTempPath()));
        const double seconds = Seconds(start);
        if (!ok || !core::SaveResourceToFile("7zip_library", state::LibraryTempPath())) return 1;
        std::printf("save %.1f MB %.3f s %.0f MB/s\n", megabytes, seconds, megabytes / seconds);
        return 0;
    }
    if (std::strcmp(argv[1], "extract") == 0 && argc >= 4) {
        long reports = 0;
        ::QueryPerformanceCounter(&start);
        const bool ok = core::ExtractPackage(argv[3], state::PackageTempPath(), [&](double) { ++reports; });
        const double seconds = Seconds(start);
        std::printf("extract %s %.3f s, %ld progress reports\n", ok ? "ok" : "FAILED", seconds, reports);
        return ok ? 0 : 1;
    }
    if (std::strcmp(argv[1], "memory") == 0 && argc >= 4) {
        // Samples at every progress report; slower, so timed runs do not do it.
        const double before = PrivateMiB();
        double peak = before;
        const bool ok = core::ExtractPackage(argv[3], state::PackageTempPath(), [&](double) {
            const double now = PrivateMiB();
            if (now > peak) peak = now;
        });
        std::printf("memory %s: peak committed private %.1f MiB, %.1f MiB before extraction\n", ok ? "ok" : "FAILED",
                    peak, before);
        return ok ? 0 : 1;
    }
    return 2;
}
