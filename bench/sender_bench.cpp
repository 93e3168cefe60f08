// Caller's cost of one telemetry event, against the bare start of a thread:
// SendInstallerEvent should cost little more than CreateThread itself.
//   sender_bench [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "telemetry/event_sender.h"
#include "telemetry/installer_events.h"

namespace {

DWORD WINAPI Empty(void*) { return 0; }

double Now() {
    static const double perUs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perUs;
}

struct Stats {
    double median, p90;
};

Stats Summarise(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 9 / 10]};
}

template <typename F>
void Time(std::vector<double>& into, F call) {
    const double t = Now();
    call();
    into.push_back(Now() - t);
    Sleep(1);  // let the thread end, so no run piles up threads
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::wstring type = L"安装器-打开";
    const std::wstring body =
        L"{\"版本\":\"3.1.1\",\"MAC\":\"00-0C-29-AB-CD-EF\",\"操作系统名称\":\"Windows_NT\",\"操作系统版本\":\"6.1\"}";
    tovarin::telemetry::SendAppOpened();  // fills the kept identity texts, as start-up does
    Sleep(200);

    // Interleaved, so a busy machine weighs on all three alike.
    std::vector<double> threadUs, sendUs, siteUs;
    for (int i = 0; i < rounds; ++i) {
        Time(threadUs, [] { CloseHandle(CreateThread(nullptr, 0, Empty, nullptr, 0, nullptr)); });
        Time(sendUs, [&] { tovarin::telemetry::SendInstallerEvent(type, body); });
        Time(siteUs, [] { tovarin::telemetry::SendAppOpened(); });
    }
    const Stats thread = Summarise(threadUs), send = Summarise(sendUs), site = Summarise(siteUs);

    std::printf("%-44s %10s %10s %8s\n", "caller's cost, microseconds", "median", "p90", "ratio");
    std::printf("%-44s %10.1f %10.1f %8s\n", "CreateThread + CloseHandle (floor)", thread.median, thread.p90, "1.00");
    std::printf("%-44s %10.1f %10.1f %8.2f\n", "SendInstallerEvent", send.median, send.p90, send.median / thread.median);
    std::printf("%-44s %10.1f %10.1f %8.2f\n", "SendAppOpened (body built + sent)", site.median, site.p90,
                site.median / thread.median);
    std::printf("%d rounds each\n", rounds);
    return 0;
}
