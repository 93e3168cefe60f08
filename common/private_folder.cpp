#include "common/private_folder.h"

#include "common/checked_handles.h"
#include "common/folder_access.h"
#include "common/system_library.h"
#include "common/text.h"

#include <utility>

namespace tovarin {
namespace {

std::string Why(const char* step, DWORD error) { return std::string(step) + " (error " + std::to_string(error) + ")"; }

// 128 random bits: a name nobody can create ahead of us.
std::optional<std::wstring> RandomName() {
    const BCryptFunctions* bcrypt = BCrypt();
    unsigned char bytes[16];
    if (!bcrypt ||
        !BCRYPT_SUCCESS(bcrypt->BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return std::nullopt;
    std::wstring name = L"tovarin-";
    for (unsigned char b : bytes) {
        name += L"0123456789abcdef"[b >> 4];
        name += L"0123456789abcdef"[b & 15];
    }
    return name;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(find.get(), &found));
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::optional<PrivateFolder> PrivateFolder::Create(std::string& failure) {
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        failure = Why("No system folder", ::GetLastError());
        return std::nullopt;
    }
    const std::wstring base = std::wstring(windows, length) + L"\\Temp";
    const std::optional<std::wstring> name = RandomName();
    const UniqueLocal<void> access = SecurityDescriptorFromText(kPrivateFolderAccess);
    if (!name || !access) {
        failure = Why("Cannot name a private folder", ::GetLastError());
        return std::nullopt;
    }
    const std::wstring path = base + L"\\" + *name;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, access.get(), FALSE};
    // Fails when anything of that name is there already.
    if (!::CreateDirectoryW(path.c_str(), &attributes)) {
        failure = Why(("Cannot create " + Narrow(path)).c_str(), ::GetLastError());
        return std::nullopt;
    }
    UniqueFile pin = OpenUnfollowed(path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    const UniqueFile parent =
        OpenFolder(base, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    const std::optional<DWORD> kind = pin ? HandleAttributes(pin.get()) : std::nullopt;
    const std::optional<std::wstring> final = pin ? FinalPath(pin.get()) : std::nullopt;
    const std::optional<std::wstring> parentFinal = parent ? FinalPath(parent.get()) : std::nullopt;
    // What was made is a real folder of the administrators', where we made
    // it. (Wine stores no owners: it reports the same one for every file,
    // the system's temporary folder included.)
    if (!kind || (*kind & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != FILE_ATTRIBUTE_DIRECTORY ||
        !parent || !OwnedAsTrusted(pin.get(), parent.get()) || !final || !parentFinal ||
        !FinalPathIs(*final, *parentFinal, *name)) {
        // Left alone: it may not be ours to remove.
        failure = Narrow(path) + " is not the private folder that was created";
        return std::nullopt;
    }
    return PrivateFolder(path, std::move(pin));
}

PrivateFolder::PrivateFolder(std::wstring path, UniqueFile pin) : path_(std::move(path)), pin_(std::move(pin)) {}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept
    : path_(std::exchange(other.path_, std::wstring())), pin_(std::move(other.pin_)) {}

std::wstring PrivateFolder::Keep() && {
    pin_.reset();
    return std::exchange(path_, std::wstring());
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    pin_.reset();
    RemoveTree(path_);
}

}  // namespace tovarin
