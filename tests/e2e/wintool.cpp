// Test helper run under Wine: X cannot see what Wine's controls say, this can.
//   wintool windows             visible top-level windows: hwnd pid class [x y w h] cw ch "title"
//   wintool children HWND       child windows of one window, same format
//   wintool close HWND          posts WM_CLOSE
//   wintool version             the system's own version "major.minor" (RtlGetVersion, no manifest rules)
//   wintool env NAME            the value of an environment variable as this process sees it
//   wintool setres EXE NAME FILE  replaces the raw-data resource NAME (language 2052) of EXE with FILE
//   wintool run NAME=VALUE... EXE [ARGS]  starts EXE with those variables set (Wine would reset TEMP and
//                               PROGRAMFILES from its registry for a process started from Linux),
//                               waits for it and returns its exit code
//   wintool hold FILE           creates or opens FILE and keeps it open for writing (shared) until killed
//   wintool overwrite FILE SRC  rewrites FILE with SRC's bytes whenever it can, until killed
//   wintool access HWND         the window's client object as the system's accessibility library
//                               sees it, then each child, a line each, tab-separated: id, role and
//                               state (hex), name, value (a missing name or value prints as -),
//                               place on screen "left top width height"
//   wintool values CLASS ID SECONDS  "ready", then waits for a top-level window of CLASS and prints
//                               each new value of its child ID until the window goes (or the time)
//   wintool watch CLASS SECONDS  "ready"; "shown" once a visible top-level window of CLASS is up;
//                               "gone" once it no longer is (or nothing, at the time)
//   wintool events PID SECONDS  the focus, state-change and value-change events of one process
//                               for that long, a line each: event (hex), hwnd, object id, child id
//   wintool keys KEY...         types keys into the foreground window: tab, shift+tab, space,
//                               return, escape
//   wintool pause MARK FILE SECONDS  "ready", then listens to debugger strings: prints each
//                               installer phase mark; once MARK was read it prints "held" and
//                               withholds the buffer, so the next mark's writer waits (up to
//                               10 s), until FILE exists; then "released". Ends after SECONDS.
//   wintool limited EXE [ARGS]  starts EXE with the limited token linked to this process's own
//                               (the token a desktop shell has on Windows), waits until it idles
//                               for input, prints "ready PID" and stays until it ends: Wine closes
//                               a desktop whose last user besides its shell has gone
//   wintool desktop             the pid of the process that owns the desktop window (its shell)
//   wintool processes           every process, a line each: pid, parent pid, elevated (1, 0, or -
//                               when its token cannot be read), "exe"
// Window handles are printed and taken in decimal. Output is UTF-8.
#include <windows.h>

#include <oleacc.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void Out(const std::string& s) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written, nullptr);
}

void Describe(HWND w) {
    wchar_t cls[256] = {};
    GetClassNameW(w, cls, 256);
    const int len = GetWindowTextLengthW(w);
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    GetWindowTextW(w, text.data(), len + 1);
    text.resize(static_cast<size_t>(len));
    RECT r{}, c{};
    GetWindowRect(w, &r);
    GetClientRect(w, &c);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char buf[256];
    std::snprintf(buf, sizeof buf, "%lu %lu %s %ld %ld %ld %ld %ld %ld %d ", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)),
                  static_cast<unsigned long>(pid), Utf8(cls).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                  c.right, c.bottom, IsWindowVisible(w) ? 1 : 0);
    Out(buf + Utf8(L"\"" + text + L"\"\n"));
}

bool ReadWhole(const wchar_t* path, std::string& data) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    data.assign(size, '\0');
    DWORD read = 0;
    const BOOL ok = ReadFile(file, data.data(), size, &read, nullptr);
    CloseHandle(file);
    return ok && read == size;
}

std::string Text(BSTR text, HRESULT hr) {
    std::string out = hr == S_OK && text ? Utf8(std::wstring(text, SysStringLen(text))) : "-";
    SysFreeString(text);
    return out;
}

void DescribeAccessible(IAccessible* object, LONG id) {
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = id;
    VARIANT role{}, state{};
    object->get_accRole(child, &role);
    object->get_accState(child, &state);
    BSTR name = nullptr, value = nullptr;
    const HRESULT nameResult = object->get_accName(child, &name);
    const HRESULT valueResult = object->get_accValue(child, &value);
    LONG left = 0, top = 0, width = 0, height = 0;
    object->accLocation(&left, &top, &width, &height, child);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%ld\t%lx\t%lx\t", id, role.vt == VT_I4 ? role.lVal : -1L,
                  state.vt == VT_I4 ? state.lVal : -1L);
    char place[64];
    std::snprintf(place, sizeof place, "\t%ld %ld %ld %ld\n", left, top, width, height);
    Out(buf + Text(name, nameResult) + "\t" + Text(value, valueResult) + place);
}

IAccessible* ClientObject(HWND w) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(w, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    return object;
}

int Values(HWND w, LONG id, DWORD seconds) {
    IAccessible* object = ClientObject(w);
    if (!object) return 1;
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = id;
    std::string last = "-";
    const DWORD end = GetTickCount() + seconds * 1000;
    while (GetTickCount() < end) {
        BSTR value = nullptr;
        const HRESULT hr = object->get_accValue(child, &value);
        if (FAILED(hr)) break;  // the window, or its process, is gone
        const std::string now = Text(value, hr);
        if (now != last) Out(now + "\n");
        last = now;
        Sleep(10);
    }
    object->Release();
    return 0;
}

int Access(HWND w) {
    IAccessible* object = ClientObject(w);
    if (!object) return 1;
    DescribeAccessible(object, CHILDID_SELF);
    LONG count = 0;
    object->get_accChildCount(&count);
    std::vector<VARIANT> children(static_cast<size_t>(count > 0 ? count : 0));
    LONG got = 0;
    if (count > 0 && SUCCEEDED(AccessibleChildren(object, 0, count, children.data(), &got))) {
        for (LONG i = 0; i < got; ++i) {
            if (children[i].vt == VT_I4) DescribeAccessible(object, children[i].lVal);
            VariantClear(&children[i]);
        }
    }
    object->Release();
    return 0;
}

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND w, LONG object, LONG child, DWORD, DWORD) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%lx %lu %ld %ld\n", event, static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)),
                  object, child);
    Out(buf);
}

int Events(DWORD pid, DWORD seconds) {
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent, pid, 0,
                                         WINEVENT_OUTOFCONTEXT);
    if (!hook) return 1;
    Out("ready\n");
    const DWORD end = GetTickCount() + seconds * 1000;
    while (GetTickCount() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    UnhookWinEvent(hook);
    return 0;
}

bool Key(const std::wstring& name) {
    WORD key = 0;
    bool shift = false;
    if (name == L"tab") key = VK_TAB;
    if (name == L"shift+tab") key = VK_TAB, shift = true;
    if (name == L"space") key = VK_SPACE;
    if (name == L"return") key = VK_RETURN;
    if (name == L"escape") key = VK_ESCAPE;
    if (!key) return false;
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    if (shift) add(VK_SHIFT, false);
    add(key, false);
    add(key, true);
    if (shift) add(VK_SHIFT, true);
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// The debug-output listener protocol (what DebugView speaks): a writer waits
// for BUFFER_READY, fills the buffer, sets DATA_READY.
int Pause(const std::wstring& mark, const wchar_t* release, DWORD seconds) {
    HANDLE bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    HANDLE dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    const char* buffer = mapping ? static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4096)) : nullptr;
    if (!bufferReady || !dataReady || !buffer) return 1;
    const std::string wanted = "tovarin-phase " + Utf8(mark) + " ";
    Out("ready\n");
    const DWORD end = GetTickCount() + seconds * 1000;
    SetEvent(bufferReady);
    while (GetTickCount() < end) {
        if (WaitForSingleObject(dataReady, 50) != WAIT_OBJECT_0) continue;
        const std::string text(buffer + sizeof(DWORD), strnlen(buffer + sizeof(DWORD), 4096 - sizeof(DWORD)));
        if (text.compare(0, 14, "tovarin-phase ") == 0) Out(text.substr(14, text.rfind(' ') - 14) + "\n");
        if (text.compare(0, wanted.size(), wanted) == 0) {
            Out("held\n");
            while (GetFileAttributesW(release) == INVALID_FILE_ATTRIBUTES && GetTickCount() < end) Sleep(5);
            Out("released\n");
        }
        SetEvent(bufferReady);
    }
    return 0;
}

const char* Elevated(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return "-";
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool read = OpenProcessToken(process, TOKEN_QUERY, &token) &&
                      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    if (token) CloseHandle(token);
    CloseHandle(process);
    return read ? (elevation.TokenIsElevated ? "1" : "0") : "-";
}

int StartLimited(int argc, wchar_t** argv) {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &own)) return 1;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    const BOOL gotLinked = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size);
    CloseHandle(own);
    if (!gotLinked) return 1;
    HANDLE primary = nullptr;
    const BOOL duplicated =
        DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &primary);
    CloseHandle(linked.LinkedToken);
    if (!duplicated) return 1;
    std::wstring line;
    for (int i = 2; i < argc; ++i) line += (i > 2 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessAsUserW(primary, argv[2], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(primary);
    if (!started) return 1;
    WaitForInputIdle(pi.hProcess, 60000);
    char buf[32];
    std::snprintf(buf, sizeof buf, "ready %lu\n", static_cast<unsigned long>(pi.dwProcessId));
    Out(buf);
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    return 0;
}

int Processes() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 1;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%lu %lu %s ", static_cast<unsigned long>(entry.th32ProcessID),
                      static_cast<unsigned long>(entry.th32ParentProcessID), Elevated(entry.th32ProcessID));
        Out(buf + Utf8(L"\"" + std::wstring(entry.szExeFile) + L"\"\n"));
    }
    CloseHandle(snapshot);
    return 0;
}

BOOL CALLBACK EachTop(HWND w, LPARAM) {
    if (IsWindowVisible(w)) Describe(w);
    return TRUE;
}

BOOL CALLBACK EachChild(HWND w, LPARAM parent) {
    if (GetParent(w) == reinterpret_cast<HWND>(parent)) Describe(w);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring cmd = argv[1];
    if (cmd == L"windows") {
        EnumWindows(EachTop, 0);
        return 0;
    }
    if (cmd == L"processes") return Processes();
    if (cmd == L"desktop") {
        DWORD pid = 0;
        GetWindowThreadProcessId(GetDesktopWindow(), &pid);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lu\n", static_cast<unsigned long>(pid));
        Out(buf);
        return pid ? 0 : 1;
    }
    if (cmd == L"version") {
        using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
        const auto get = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!get || get(&info) != 0) return 1;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%lu.%lu\n", info.dwMajorVersion, info.dwMinorVersion);
        Out(buf);
        return 0;
    }
    if (argc < 3) return 2;
    if (cmd == L"limited") return StartLimited(argc, argv);
    if (cmd == L"run") {
        int i = 2;
        for (; i + 1 < argc; ++i) {
            std::wstring pair = argv[i];
            const size_t eq = pair.find(L'=');
            if (eq == std::wstring::npos) break;
            SetEnvironmentVariableW(pair.substr(0, eq).c_str(), eq + 1 < pair.size() ? pair.c_str() + eq + 1 : nullptr);
        }
        std::wstring line;
        for (int j = i; j < argc; ++j) line += (j > i ? L" \"" : L"\"") + std::wstring(argv[j]) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(argv[i], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 255;
        CloseHandle(pi.hThread);
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 255;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        return static_cast<int>(code);
    }
    if (cmd == L"events" && argc == 4) return Events(std::wcstoul(argv[2], nullptr, 10), std::wcstoul(argv[3], nullptr, 10));
    if (cmd == L"keys") {
        for (int i = 2; i < argc; ++i) {
            if (!Key(argv[i])) return 1;
            Sleep(150);  // each key is handled before the next arrives
        }
        return 0;
    }
    if (cmd == L"env") {
        wchar_t value[32768];
        const DWORD n = GetEnvironmentVariableW(argv[2], value, 32768);
        if (n == 0 || n >= 32768) return 1;
        Out(Utf8(std::wstring(value, n)) + "\n");
        return 0;
    }
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (cmd == L"hold") {
        HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        Sleep(INFINITE);
    }
    if (cmd == L"setres" && argc == 5) {
        std::string data;
        if (!ReadWhole(argv[4], data)) return 1;
        const DWORD size = static_cast<DWORD>(data.size());
        HANDLE update = BeginUpdateResourceW(argv[2], FALSE);
        if (!update) return 1;
        if (!UpdateResourceW(update, MAKEINTRESOURCEW(10), argv[3], MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
                             data.data(), size)) {
            EndUpdateResourceW(update, TRUE);
            return 1;
        }
        return EndUpdateResourceW(update, FALSE) ? 0 : 1;
    }
    if (cmd == L"overwrite" && argc == 4) {
        std::string data;
        if (!ReadWhole(argv[3], data)) return 1;
        for (;;) {
            HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                DWORD written = 0;
                WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
                SetEndOfFile(file);
                CloseHandle(file);
            }
            Sleep(0);
        }
    }
    if (cmd == L"watch" && argc == 4) {
        // Looked at from inside one process: every look from Linux is a Wine
        // start, a second or more on an emulated machine.
        Out("ready\n");
        const DWORD end = GetTickCount() + std::wcstoul(argv[3], nullptr, 10) * 1000;
        const auto shown = [&] {
            HWND w = FindWindowW(argv[2], nullptr);
            return w && IsWindowVisible(w);
        };
        while (!shown()) {
            if (GetTickCount() >= end) return 1;
            Sleep(5);
        }
        Out("shown\n");
        while (shown()) {
            if (GetTickCount() >= end) return 1;
            Sleep(5);
        }
        Out("gone\n");
        return 0;
    }
    if (cmd == L"pause" && argc == 5) return Pause(argv[2], argv[3], std::wcstoul(argv[4], nullptr, 10));
    if (cmd == L"values" && argc == 5) {
        // Started before the window exists, so that a short install is not
        // over before a slow machine has this tool running.
        Out("ready\n");
        const DWORD seconds = std::wcstoul(argv[4], nullptr, 10);
        const DWORD end = GetTickCount() + seconds * 1000;
        HWND w = nullptr;
        while (!(w = FindWindowW(argv[2], nullptr)) && GetTickCount() < end) Sleep(5);
        if (!w) return 1;
        CoInitialize(nullptr);
        const int result = Values(w, std::wcstol(argv[3], nullptr, 10), (end - GetTickCount()) / 1000 + 1);
        CoUninitialize();
        return result;
    }
    HWND w = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoul(argv[2], nullptr, 10)));
    if (!IsWindow(w)) return 1;
    if (cmd == L"children") {
        EnumChildWindows(w, EachChild, reinterpret_cast<LPARAM>(w));
        return 0;
    }
    if (cmd == L"close") return PostMessageW(w, WM_CLOSE, 0, 0) ? 0 : 1;
    if (cmd == L"access") {
        CoInitialize(nullptr);
        const int result = Access(w);
        CoUninitialize();
        return result;
    }
    return 2;
}
