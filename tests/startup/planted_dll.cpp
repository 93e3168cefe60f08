// A DLL put next to a program, as an attacker would next to the installer.
// Loaded, it leaves "<its file name>.loaded" beside itself, so one build of it
// serves under any name.
#include <windows.h>

extern "C" __declspec(dllexport) int Planted() { return 42; }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatW(path, L".loaded");
            CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
    return TRUE;
}
