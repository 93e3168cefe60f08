#include "archive/t7z_plugin.h"

#include "archive/archive_reader.h"
#include "common/system_library.h"
#include "common/text.h"

#include <vector>

namespace tovarin::archive {
namespace {

// The library depends on system modules only, so they are looked up in the
// system folder alone: nothing planted next to it (the temporary folder) loads.
HMODULE LoadModule(const std::wstring& path) {
    std::wstring full = path;
    if (DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr)) {
        std::vector<wchar_t> buffer(length);
        if (::GetFullPathNameW(path.c_str(), length, buffer.data(), nullptr) < length) full = buffer.data();
    }
    // Systems without the search flags: the process-wide search order applies.
    return LoadModuleQuietly(full, LOAD_LIBRARY_SEARCH_SYSTEM32, full, 0);
}

std::string Format(const char* pattern, const std::string& path) {
    std::string text = pattern;
    text.replace(text.find("%s"), 2, path);
    return text;
}

}  // namespace

T7zPlugin::T7zPlugin(const std::string& libraryPath) {
    module_.reset(LoadModule(Widen(libraryPath)));
    if (!module_) throw ArchiveError(Format("Error loading library %s", libraryPath));
    createObject_ = reinterpret_cast<CreateObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "CreateObject")));
    if (!createObject_) Unload(Format("%s is not a 7z library", libraryPath));
}

void T7zPlugin::Unload(const std::string& message) {
    createObject_ = nullptr;
    module_.reset();
    throw ArchiveError(message);
}

T7zArchive::T7zArchive(const std::string& libraryPath) : T7zPlugin(libraryPath) {
    getHandlerProperty_ = reinterpret_cast<GetHandlerPropertyFn>(
        reinterpret_cast<void*>(::GetProcAddress(Module(), "GetHandlerProperty")));
    if (!getHandlerProperty_) Unload(Format("%s is not a Format library", libraryPath));
}

}  // namespace tovarin::archive
