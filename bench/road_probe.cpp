// Watches one install from outside the installer, for bench/road.py.
//   road_probe install EXE     starts EXE, clicks Install once the main window is
//                              up, and prints the installer's phase marks and
//                              when the progress window went; then closes the
//                              product it started
//   road_probe latency EXE     the same, and also the progress window's message
//                              round trips, one every 10 ms; those load the
//                              machine, so the timed rounds go without them
//   road_probe window EXE CLASS  starts EXE, prints when its first visible
//                              window of CLASS came, and ends it there
//   road_probe run COMMAND...  runs a program and prints how long it ran
//   road_probe verbatim EXE ARGS...  the same, with ARGS passed unquoted (an
//                              NSIS installer's /S and /D=DIR must be)
// Every time is a performance-counter reading in seconds: all processes of one
// Wine (or one Windows) share that clock, so marks and samples line up.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Frequency() {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return double(f.QuadPart);
}

double Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) / Frequency();
}

// The debug-output listener protocol (what DebugView speaks): the writer waits
// for BUFFER_READY, fills the buffer, sets DATA_READY.
struct DebugListener {
    HANDLE bufferReady = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    HANDLE dataReady = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    struct Buffer {
        DWORD pid;
        char text[4096 - sizeof(DWORD)];
    }* buffer = static_cast<Buffer*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4096));
    std::atomic<bool> stop{false};
    std::vector<std::string> lines;  // listener thread until stop, then main
    // Set when the installer's own mark says the progress window is hidden:
    // waiting on it costs nothing, where polling the window from here would
    // be a Wine-server trip every time, on the cores the installer runs on.
    HANDLE hidden = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

    static DWORD WINAPI Run(void* self) {
        auto& l = *static_cast<DebugListener*>(self);
        // The buffer is offered again only once its text is read: offering it
        // after every timeout let a second writer overwrite a mark unread.
        ::SetEvent(l.bufferReady);
        while (!l.stop) {
            if (::WaitForSingleObject(l.dataReady, 50) != WAIT_OBJECT_0) continue;
            const char* text = l.buffer->text;
            if (std::strncmp(text, "tovarin-phase ", 14) == 0) {
                l.lines.emplace_back(text + 14);
                if (std::strncmp(text + 14, "hidden ", 7) == 0) ::SetEvent(l.hidden);
            }
            ::SetEvent(l.bufferReady);
        }
        return 0;
    }
};

struct Found {
    DWORD pid;
    const wchar_t* cls;
    HWND hwnd;
};

BOOL CALLBACK FindVisible(HWND w, LPARAM p) {
    auto& f = *reinterpret_cast<Found*>(p);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    wchar_t cls[64] = {};
    ::GetClassNameW(w, cls, 64);
    if ((f.pid == 0 || pid == f.pid) && ::IsWindowVisible(w) && std::wcscmp(cls, f.cls) == 0) {
        f.hwnd = w;
        return FALSE;
    }
    return TRUE;
}

HWND VisibleWindow(DWORD pid, const wchar_t* cls) {
    Found f{pid, cls, nullptr};
    ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&f));
    return f.hwnd;
}

HWND WaitVisible(DWORD pid, const wchar_t* cls, double seconds) {
    const double end = Now() + seconds;
    while (Now() < end) {
        if (HWND w = VisibleWindow(pid, cls)) return w;
        ::Sleep(2);
    }
    return nullptr;
}

struct Trips {
    HWND window;
    std::atomic<bool> stop{false};
    std::vector<std::pair<double, double>> samples;  // sent at, round trip

    static DWORD WINAPI Run(void* self) {
        auto& t = *static_cast<Trips*>(self);
        while (!t.stop) {
            const double sent = Now();
            DWORD_PTR answer = 0;
            if (!::SendMessageTimeoutW(t.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) break;
            if (!t.stop) t.samples.emplace_back(sent, Now() - sent);
            const double next = sent + 0.010;
            while (!t.stop && Now() < next) ::Sleep(1);
        }
        return 0;
    }
};

std::wstring Quoted(const wchar_t* text) { return L"\"" + std::wstring(text) + L"\""; }

bool Start(std::wstring command, PROCESS_INFORMATION& pi) {
    STARTUPINFOW si{sizeof si};
    return ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != FALSE;
}

int Install(const wchar_t* exe, bool probeLatency) {
    DebugListener listener;
    if (!listener.buffer) return 3;
    HANDLE listen = ::CreateThread(nullptr, 0, DebugListener::Run, &listener, 0, nullptr);

    PROCESS_INFORMATION pi{};
    const double started = Now();
    if (!Start(Quoted(exe), pi)) return 3;
    std::printf("started %.6f\n", started);
    HWND main = WaitVisible(pi.dwProcessId, L"TMainForm", 60);
    if (!main) return 4;
    std::printf("first-window %.6f\n", Now());
    ::Sleep(1000);  // let start-up settle: its telemetry, the first paint

    // Install sits at 245, 230 (260 x 71) in the main window's client area.
    const LPARAM at = MAKELPARAM(245 + 130, 230 + 35);
    std::printf("click %.6f\n", Now());
    ::PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(main, WM_LBUTTONUP, 0, at);

    HWND progress = WaitVisible(pi.dwProcessId, L"TDownloadForm", 30);
    if (!progress) return 5;
    std::printf("progress-shown %.6f\n", Now());
    // One message round trip every 10 ms on a thread of its own, so that a
    // blocked window does not delay noticing that it has gone.
    Trips trips{progress};
    HANDLE tripper = probeLatency ? ::CreateThread(nullptr, 0, Trips::Run, &trips, 0, nullptr) : nullptr;
    const HANDLE ends[2] = {listener.hidden, pi.hProcess};
    const bool hid = ::WaitForMultipleObjects(2, ends, FALSE, 300000) == WAIT_OBJECT_0;
    trips.stop = true;
    if (!hid) return 6;
    std::printf("gone %.6f\n", Now());
    ::WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    std::printf("exit %.6f %lu\n", Now(), code);
    if (HWND product = WaitVisible(0, L"TovarinProduct", 10)) ::PostMessageW(product, WM_CLOSE, 0, 0);

    listener.stop = true;
    ::WaitForSingleObject(listen, 5000);
    const double frequency = Frequency();
    for (const std::string& line : listener.lines) {
        const std::size_t space = line.rfind(' ');
        std::printf("phase %s %.6f\n", line.substr(0, space).c_str(), std::stod(line.substr(space + 1)) / frequency);
    }
    if (tripper) ::WaitForSingleObject(tripper, 15000);
    for (const auto& [sent, trip] : trips.samples) std::printf("trip %.6f %.6f\n", sent, trip);
    return 0;
}

int Run(int argc, wchar_t** argv, bool verbatim) {
    std::wstring command;
    for (int i = 2; i < argc; ++i) command += (i > 2 ? L" " : L"") + (verbatim && i > 2 ? argv[i] : Quoted(argv[i]));
    PROCESS_INFORMATION pi{};
    const double started = Now();
    if (!Start(command, pi)) return 3;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    const double ended = Now();
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    std::printf("run %.6f %.6f %lu\n", started, ended, code);
    return code == 0 ? 0 : 1;
}

int Window(const wchar_t* exe, const wchar_t* cls) {
    PROCESS_INFORMATION pi{};
    const double started = Now();
    if (!Start(Quoted(exe), pi)) return 3;
    const HWND shown = WaitVisible(pi.dwProcessId, cls, 60);
    const double at = Now();
    ::TerminateProcess(pi.hProcess, 0);
    ::WaitForSingleObject(pi.hProcess, 10000);
    if (!shown) return 4;
    std::printf("window %.6f %.6f\n", started, at);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"install") == 0) return Install(argv[2], false);
    if (argc >= 3 && std::wcscmp(argv[1], L"latency") == 0) return Install(argv[2], true);
    if (argc >= 4 && std::wcscmp(argv[1], L"window") == 0) return Window(argv[2], argv[3]);
    if (argc >= 3 && std::wcscmp(argv[1], L"run") == 0) return Run(argc, argv, false);
    if (argc >= 3 && std::wcscmp(argv[1], L"verbatim") == 0) return Run(argc, argv, true);
    return 2;
}
