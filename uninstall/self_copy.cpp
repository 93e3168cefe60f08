#include "uninstall/self_copy.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "common/checked_handles.h"
#include "common/file_queries.h"
#include "common/install_record.h"
#include "common/private_folder.h"

namespace tovarin::uninstall {
namespace {

constexpr wchar_t kCopySwitch[] = L"--copy";
constexpr int kOtherFailure = static_cast<int>(RemovalOutcome::Failed);

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

bool IsQuietSwitch(const wchar_t* arg) { return std::wcscmp(arg, L"/S") == 0 || std::wcscmp(arg, L"/s") == 0; }

// The running image, read through one handle to it, written as a new file.
bool CopyImage(const std::wstring& to) {
    const UniqueFile from = OpenUnfollowed(ModulePath(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    if (!from || !IsPlainFile(from.get())) return false;
    const UniqueFile out(
        ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0, written = 0;
        if (!::ReadFile(from.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) return true;
        if (!::WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read) return false;
    }
}

struct DeleteAttributeListFn {
    void operator()(LPPROC_THREAD_ATTRIBUTE_LIST list) const { ::DeleteProcThreadAttributeList(list); }
};

// Starts the copy with exactly the two handles inheritable in the list.
UniqueHandle StartCopy(const std::wstring& exe, const std::wstring& folder, std::wstring commandLine,
                       HANDLE original, HANDLE pipe) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> storage(size);
    auto* raw = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!::InitializeProcThreadAttributeList(raw, 1, 0, &size)) return {};
    const UniqueResource<LPPROC_THREAD_ATTRIBUTE_LIST, nullptr, DeleteAttributeListFn> list(raw);
    HANDLE inherited[] = {original, pipe};
    if (!::UpdateProcThreadAttribute(list.get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                     nullptr, nullptr))
        return {};
    STARTUPINFOEXW info{};
    info.StartupInfo.cb = sizeof info;
    info.lpAttributeList = list.get();
    PROCESS_INFORMATION started{};
    // The copy's current folder is its own, so nothing holds the install directory.
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT,
                          nullptr, folder.c_str(), &info.StartupInfo, &started))
        return {};
    ::CloseHandle(started.hThread);
    // The copy shows the window the user is waiting for.
    ::AllowSetForegroundWindow(started.dwProcessId);
    return UniqueHandle(started.hProcess);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The folder as the registration names it: long names, even when the
// uninstaller was started through a short (8.3) path.
std::wstring LongFolderOf(const std::wstring& path) {
    const std::wstring folder = FolderOf(path);
    std::wstring longer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetLongPathNameW(folder.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
        if (n == 0) return folder;
        if (n < longer.size()) {
            longer.resize(n);
            return longer;
        }
        longer.resize(n);
    }
}

}  // namespace

std::optional<CopyArguments> CopyArgumentsFrom(const wchar_t* commandLine, bool& quiet) {
    int count = 0;
    const UniqueLocal<wchar_t*> args(::CommandLineToArgvW(commandLine, &count));
    quiet = false;
    if (!args) return std::nullopt;
    for (int i = 1; i < count; ++i) quiet = quiet || IsQuietSwitch(args.get()[i]);
    // <copy> --copy <dir> <original process> <pipe> [/S]
    if (count < 5 || std::wcscmp(args.get()[1], kCopySwitch) != 0) return std::nullopt;
    CopyArguments out;
    out.installDir = args.get()[2];
    out.quiet = quiet;
    out.original.reset(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::wcstoull(args.get()[3], nullptr, 10))));
    out.resultPipe.reset(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::wcstoull(args.get()[4], nullptr, 10))));
    return out;
}

int RunAsOriginal(bool quiet) {
    const std::wstring self = ModulePath();
    const std::wstring installDir = LongFolderOf(self);
    std::string failure;
    std::optional<PrivateFolder> folder = PrivateFolder::Create(failure);
    if (installDir.empty() || !folder) return kOtherFailure;
    const std::wstring copy = folder->Path() + L"\\" + kUninstallerFileName;
    if (!CopyImage(copy)) return kOtherFailure;

    HANDLE rawOriginal = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &rawOriginal,
                           SYNCHRONIZE, TRUE, 0))
        return kOtherFailure;
    const UniqueHandle original(rawOriginal);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE rawRead = nullptr, rawWrite = nullptr;
    if (!::CreatePipe(&rawRead, &rawWrite, &inheritable, 0)) return kOtherFailure;
    const UniqueHandle readEnd(rawRead);
    UniqueHandle writeEnd(rawWrite);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = Quoted(copy) + L" " + kCopySwitch + L" " + Quoted(installDir) + L" " +
                               std::to_wstring(reinterpret_cast<std::uintptr_t>(original.get())) + L" " +
                               std::to_wstring(reinterpret_cast<std::uintptr_t>(writeEnd.get()));
    if (quiet) commandLine += L" /S";
    const UniqueHandle process = StartCopy(copy, folder->Path(), std::move(commandLine), original.get(), writeEnd.get());
    if (!process) return kOtherFailure;
    // From here the copy owns its folder; it schedules it for removal.
    std::move(*folder).Keep();
    // Only the copy holds the write end now: its end breaks the pipe.
    writeEnd.reset();
    unsigned char result = kOtherFailure;
    DWORD read = 0;
    if (!::ReadFile(readEnd.get(), &result, 1, &read, nullptr) || read != 1 || result > kOtherFailure)
        return kOtherFailure;
    return result;
}

void SendResult(CopyArguments& arguments, RemovalOutcome outcome) {
    const unsigned char result = static_cast<unsigned char>(outcome);
    DWORD written = 0;
    if (arguments.resultPipe) ::WriteFile(arguments.resultPipe.get(), &result, 1, &written, nullptr);
    arguments.resultPipe.reset();
}

void ScheduleOwnRemoval() {
    const std::wstring self = ModulePath();
    // The file first: the folder can go only once it is empty.
    ::MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    ::MoveFileExW(FolderOf(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace tovarin::uninstall
