#include "archive/relative_open.h"

#include <winternl.h>

#include <algorithm>
#include <vector>

namespace tovarin::archive {
namespace {

struct NtFunctions {
    decltype(::NtCreateFile)* NtCreateFile;
    decltype(::NtSetInformationFile)* NtSetInformationFile;
    decltype(::RtlNtStatusToDosError)* RtlNtStatusToDosError;
};

template <typename Fn>
void Bind(HMODULE module, Fn*& fn, const char* name) {
    fn = reinterpret_cast<Fn*>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Bound at run time, as every DLL outside the known ones is; ntdll is mapped
// into every process before anything else, so nothing is looked up on disk.
const NtFunctions* Nt() {
    static const NtFunctions table = [] {
        NtFunctions f{};
        if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
            Bind(ntdll, f.NtCreateFile, "NtCreateFile");
            Bind(ntdll, f.NtSetInformationFile, "NtSetInformationFile");
            Bind(ntdll, f.RtlNtStatusToDosError, "RtlNtStatusToDosError");
        }
        return f;
    }();
    return table.NtCreateFile && table.NtSetInformationFile && table.RtlNtStatusToDosError ? &table : nullptr;
}

HRESULT Open(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share, ULONG disposition,
             ULONG options, UniqueFile& entry, bool* created) {
    const NtFunctions* nt = Nt();
    if (!nt) return E_NOTIMPL;
    if (name.empty() || name.size() > 255) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name.data());
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    // Case-insensitive, as every Win32 open is.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status = nt->NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                                             FILE_ATTRIBUTE_NORMAL, share, disposition,
                                             options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
                                             nullptr, 0);
    if (status < 0) {
        const ULONG error = nt->RtlNtStatusToDosError(status);
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    entry.reset(handle);
    if (created) *created = io.Information == FILE_CREATED;
    return S_OK;
}

}  // namespace

HRESULT OpenEntry(HANDLE folder, std::wstring_view name, EntryKind kind, UniqueFile& entry, bool* created) {
    const bool isFolder = kind == EntryKind::Folder;
    const ACCESS_MASK access =
        isFolder ? FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES : GENERIC_READ | GENERIC_WRITE;
    const ULONG share = isFolder ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    return Open(folder, name, access, share, FILE_OPEN_IF, isFolder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE,
                entry, created);
}

HRESULT OpenFileEntry(HANDLE folder, std::wstring_view name, FileOpen how, ACCESS_MASK access, UniqueFile& entry) {
    return Open(folder, name, access, 0, how == FileOpen::New ? FILE_CREATE : FILE_OPEN, FILE_NON_DIRECTORY_FILE,
                entry, nullptr);
}

HRESULT OpenExistingEntry(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share, UniqueFile& entry) {
    return Open(folder, name, access, share, FILE_OPEN, 0, entry, nullptr);
}

HRESULT RenameInto(HANDLE entry, HANDLE folder, std::wstring_view name) {
    const NtFunctions* nt = Nt();
    if (!nt) return E_NOTIMPL;
    if (name.empty() || name.size() > 255) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    // The kernel's own form: the name relative to RootDirectory (the Win32
    // call would take it for a path of the current directory).
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = folder;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = nt->NtSetInformationFile(entry, &io, info, static_cast<ULONG>(buffer.size()),
                                                     FileRenameInformation);
    if (status < 0) {
        const ULONG error = nt->RtlNtStatusToDosError(status);
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return S_OK;
}

std::optional<std::wstring> ResolvedPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
        if (length == 0) return std::nullopt;
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);  // the length asked for counts the terminating null
    }
    return std::nullopt;
}

}  // namespace tovarin::archive
