#include "core/uninstall_files.h"

#include <windows.h>
#include <aclapi.h>

#include "archive/relative_open.h"
#include "archive/written_file.h"
#include "common/checked_handles.h"
#include "common/file_queries.h"
#include "common/folder_access.h"
#include "common/last_error.h"
#include "common/text.h"
#include "common/uninstall_registration.h"
#include "core/dir_platform.h"
#include "core/payload_files.h"
#include "core/uninstall_entry.h"

namespace tovarin::core {
namespace {

using archive::FileOpen;
using archive::OpenFileEntry;

// Far more than any record of this product; a larger file is not ours.
constexpr std::uint64_t kMaxRecordBytes = 16ull << 20;
// FILETIME units in two seconds, the coarsest time a file system keeps.
constexpr std::uint64_t kTwoSeconds = 20'000'000;

bool SameName(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The folder is where its path says: its final path is the full path as
// named, so no link on the way led elsewhere.
bool ReachedAsNamed(HANDLE folder, const std::wstring& dir) {
    const std::optional<std::wstring> final = FinalPath(folder);
    std::wstring full(32768, L'\0');
    const DWORD length = ::GetFullPathNameW(dir.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (!final || length == 0 || length >= full.size()) return false;
    full.resize(length);
    if (full.size() > 3 && full.back() == L'\\') full.pop_back();
    const std::wstring expected =
        full.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
    return SameName(*final, expected);
}

// Administrators own it and alone change it; children inherit that.
// ERROR_SUCCESS, or why not.
DWORD GiveProductAccess(HANDLE folder) {
    const UniqueLocal<void> sd = SecurityDescriptorFromText((std::wstring(L"O:BA") + kProductFolderAccess).c_str());
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!sd || !::GetSecurityDescriptorOwner(sd.get(), &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted) || !present)
        return ERROR_INVALID_SECURITY_DESCR;
    // Not read back: what the system accepted is the list given (Wine keeps
    // no owner where the file system holds no extended attributes).
    return ::SetSecurityInfo(folder, SE_FILE_OBJECT,
                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                 PROTECTED_DACL_SECURITY_INFORMATION,
                             owner, nullptr, dacl, nullptr);
}

// <dir>\Uninstall.dat as it is, if it is a plain file of one name.
std::optional<std::string> ReadRecordFile(HANDLE folder) {
    UniqueFile file;
    if (FAILED(OpenFileEntry(folder, kRecordFileName, FileOpen::Existing, GENERIC_READ, file))) return std::nullopt;
    LARGE_INTEGER size{};
    if (!IsPlainFile(file.get()) || !::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxRecordBytes)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr) ||
            read == 0)
            return std::nullopt;
        done += read;
    }
    return bytes;
}

// A new plain file of one name at name in folder. Whatever had the name goes
// first, deleted as itself (a link, not what it points at): a file of an
// earlier install, or one an ordinary user put there, and with it any access
// list or owner that user gave it.
HRESULT CreateFresh(HANDLE folder, const wchar_t* name, UniqueFile& file, ACCESS_MASK extra = 0) {
    UniqueFile old;
    if (SUCCEEDED(OpenFileEntry(folder, name, FileOpen::Existing, DELETE | FILE_READ_ATTRIBUTES, old))) {
        if (!DeleteThrough(old.get())) return LastErrorResult();
        old.reset();
    }
    const HRESULT created = OpenFileEntry(folder, name, FileOpen::New, GENERIC_READ | GENERIC_WRITE | extra, file);
    if (FAILED(created)) return created;
    return IsPlainFile(file.get()) ? S_OK : HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME);
}

std::string Describe(const wchar_t* name, HRESULT result) {
    return Narrow(name) + ": error 0x" + [result] {
        char hex[9];
        ::wsprintfA(hex, "%08X", static_cast<unsigned>(result));
        return std::string(hex);
    }();
}

std::uint64_t NowToTwoSeconds() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t value = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return value - value % kTwoSeconds;
}

}  // namespace

std::optional<std::string> WriteUninstallFiles(const std::wstring& dir, InstallRecord thisInstall,
                                               std::string& failure) {
    const UniqueFile folder =
        OpenFolder(dir,
                   READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE |
                       FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                   FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!folder) {
        failure = "Cannot open the install directory: " + Describe(dir.c_str(), LastErrorResult());
        return std::nullopt;
    }
    if (!MadeAsProductFolder(folder.get()) && UsersMayChange(folder.get())) {
        // Whoever can change the folder could swap the uninstaller an
        // administrator will run. One this installer made is protected
        // already (see MakeProductFolder).
        if (!ReachedAsNamed(folder.get(), dir)) {
            failure = "Others may change the install directory, reached through a link: left as it is";
            return std::nullopt;
        }
        if (const DWORD error = GiveProductAccess(folder.get()); error != ERROR_SUCCESS) {
            failure = "Cannot protect the install directory: " + Describe(dir.c_str(), HRESULT_FROM_WIN32(error));
            return std::nullopt;
        }
    }

    // Read before anything of its own is replaced.
    const std::optional<Registration> registration = ReadRegistration();
    std::optional<std::string> earlierBytes;
    if (registration && NamesInstallDir(registration->installLocation, dir)) earlierBytes = ReadRecordFile(folder.get());
    const std::optional<InstallRecord> earlier = TrustedEarlierRecord(registration, dir, earlierBytes);

    const std::optional<ResourceBytes> uninstaller = FindResourceBytes(kUninstallerResource);
    if (!uninstaller) {
        failure = "The installer carries no uninstaller";
        return std::nullopt;
    }
    UniqueFile exe;
    HRESULT result = CreateFresh(folder.get(), kUninstallerFileName, exe);
    if (FAILED(result) || !WriteWhole(exe.get(), *uninstaller)) {
        failure = Describe(kUninstallerFileName, FAILED(result) ? result : LastErrorResult());
        return std::nullopt;
    }
    const std::optional<archive::WrittenState> exeState = archive::PinWrittenState(exe.get());
    exe.reset();
    if (!exeState) {
        failure = Describe(kUninstallerFileName, LastErrorResult());
        return std::nullopt;
    }

    thisInstall.installDir = dir;
    thisInstall.files.push_back(RecordedFile{kUninstallerFileName, exeState->size, exeState->lastWrite});
    InstallRecord record = earlier ? MergeRecords(*earlier, thisInstall) : std::move(thisInstall);
    record.installDir = dir;
    // The record's own time is chosen before it is written, so it can list it.
    const std::uint64_t recordTime = NowToTwoSeconds();
    const std::string text = SerializeWithOwnEntry(record, recordTime);
    // One the uninstaller would refuse (a drive's root as the install
    // directory) is not written, and nothing is registered.
    std::string why;
    if (!ParseRecord(text, why)) {
        failure = "The install cannot be recorded: " + why;
        return std::nullopt;
    }
    const std::string hash = RecordHash(text);
    if (hash.empty()) {
        failure = "Cannot hash the install record";
        return std::nullopt;
    }
    // Written whole under a passing name, then renamed over the earlier
    // record: that one stays as it was, matching its registration, unless
    // the new one is complete.
    const std::wstring passing = std::wstring(kRecordFileName) + L".new";
    UniqueFile dat;
    result = CreateFresh(folder.get(), passing.c_str(), dat, DELETE);
    if (FAILED(result)) {
        failure = Describe(passing.c_str(), result);
        return std::nullopt;
    }
    const ResourceBytes bytes{text.data(), static_cast<DWORD>(text.size())};
    FILE_BASIC_INFO times{};
    times.LastWriteTime.QuadPart = static_cast<LONGLONG>(recordTime);
    if (!WriteWhole(dat.get(), bytes) ||
        !::SetFileInformationByHandle(dat.get(), FileBasicInfo, &times, sizeof times) ||
        FAILED(result = archive::RenameInto(dat.get(), folder.get(), kRecordFileName))) {
        failure = Describe(kRecordFileName, FAILED(result) ? result : LastErrorResult());
        DeleteThrough(dat.get());
        return std::nullopt;
    }
    return hash;
}

}  // namespace tovarin::core
