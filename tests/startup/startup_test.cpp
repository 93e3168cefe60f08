#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "app/application.h"
#include "startup/process_hardening.h"
#include "startup/single_instance.h"
#include "common/system_library.h"

namespace tovarin::app {
namespace {

TEST(DefaultTitle, BaseNameCutAtTheFirstDotWithTheRestLowerCased) {
    EXPECT_EQ(DefaultTitleFromPath(L"C:\\Users\\me\\Downloads\\TovarinSetup.exe"), L"Tovarinsetup");
    EXPECT_EQ(DefaultTitleFromPath(L"Z:/build/TovarinSetup.exe"), L"Tovarinsetup");
    EXPECT_EQ(DefaultTitleFromPath(L"C:\\x\\tovarin.Setup.v2.EXE"), L"tovarin");
    EXPECT_EQ(DefaultTitleFromPath(L"C:\\v1.2\\SETUP"), L"Setup");
    EXPECT_EQ(DefaultTitleFromPath(L"C:\\x\\安装ABC程序.exe"), L"安装abc程序");
    EXPECT_EQ(DefaultTitleFromPath(L"C:\\x\\ÉCOLE.exe"), L"École");
    EXPECT_EQ(DefaultTitleFromPath(L"C:\\x\\.hidden.exe"), L"");
    EXPECT_EQ(DefaultTitleFromPath(L""), L"");
}

std::wstring UniqueName(const wchar_t* what) {
    return std::wstring(L"TovarinTest-") + what + L"-" + std::to_wstring(GetCurrentProcessId());
}

TEST(InstanceMutex, SecondHolderIsRefusedUntilEveryHandleIsGone) {
    const std::wstring name = UniqueName(L"second");
    {
        InstanceMutex first(name);
        EXPECT_FALSE(first.AlreadyRunning());
        InstanceMutex second(name);
        EXPECT_TRUE(second.AlreadyRunning());
    }
    InstanceMutex again(name);
    EXPECT_FALSE(again.AlreadyRunning());
}

TEST(InstanceMutex, OwnershipIsReleasedWhenTheRunUnwinds) {
    const std::wstring name = UniqueName(L"unwind");
    HANDLE keep = nullptr;
    std::thread([&] {
        try {
            InstanceMutex owner(name);
            // Keeps the mutex object alive after the owning thread is gone.
            keep = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
            throw std::runtime_error("window creation failed");
        } catch (const std::exception&) {
        }
    }).join();
    ASSERT_NE(keep, nullptr);
    // Released properly, not abandoned by a thread that died holding it.
    EXPECT_EQ(WaitForSingleObject(keep, 0), WAIT_OBJECT_0);
    ReleaseMutex(keep);
    CloseHandle(keep);
}

// The loop waits in GetMessage when another thread ends the run: the flag
// alone would leave it waiting, the wake-up must reach it.
TEST(Application, TerminateFromAnotherThreadWakesTheWaitingLoop) {
    Initialize("Tovarin安装程序");
    EXPECT_EQ(Title(), "Tovarin安装程序");
    EXPECT_FALSE(Terminated());
    const DWORD uiThread = GetCurrentThreadId();
    // A message sent to a window of this thread is answered only from inside the loop's wait.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    HANDLE loopEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool woken = true;
    std::thread worker([&] {
        SendMessageW(window, WM_NULL, 0, 0);
        Terminate();
        if (WaitForSingleObject(loopEnded, 5000) == WAIT_TIMEOUT) {
            woken = false;
            PostThreadMessageW(uiThread, WM_NULL, 0, 0);  // let the loop go, to report
        }
    });
    EXPECT_EQ(RunMessageLoop(), 0);
    SetEvent(loopEnded);
    worker.join();
    EXPECT_TRUE(woken);
    EXPECT_TRUE(Terminated());
    CloseHandle(loopEnded);
    DestroyWindow(window);
}

TEST(ProcessHardening, NothingIsLoadedFromTheProgramsFolder) {
    // The test program's folder holds planted_dll.dll, as a download folder
    // might hold a planted system DLL name next to the installer.
    HMODULE before = LoadLibraryW(L"planted_dll.dll");
    ASSERT_NE(before, nullptr) << "the planted DLL must be found before hardening";
    FreeLibrary(before);
    RestrictDllSearchPath();
    HMODULE after = LoadLibraryW(L"planted_dll.dll");
    EXPECT_EQ(after, nullptr);
    if (after) FreeLibrary(after);
    EXPECT_NE(LoadLibraryW(L"version.dll"), nullptr);  // system DLLs still load
}

TEST(SystemLibrary, BindsFromTheSystemFolderOnlyAndMissingMeansNull) {
    // Found beside the test program by an ordinary load (test above), never here.
    int (*planted)() = nullptr;
    EXPECT_FALSE(SystemLibrary(L"planted_dll.dll").Bind(planted, "Planted"));
    EXPECT_EQ(planted, nullptr);
    const SystemLibrary version(L"version.dll");
    DWORD(WINAPI * size)(LPCWSTR, LPDWORD) = nullptr;
    EXPECT_TRUE(version.Bind(size, "GetFileVersionInfoSizeW"));
    EXPECT_FALSE(version.Bind(size, "NoSuchFunction"));
    EXPECT_EQ(size, nullptr);
    // Every name in the tables is a real export (one wrong name would leave the whole table out).
    EXPECT_NE(WinHttp(), nullptr);
    EXPECT_NE(BCrypt(), nullptr);
    EXPECT_NE(IpHelper(), nullptr);
    EXPECT_NE(ComCtl(), nullptr);
}

}  // namespace
}  // namespace tovarin::app
