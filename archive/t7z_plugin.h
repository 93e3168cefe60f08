#pragma once
// T7zPlugin loads 7-Zip's library module and finds its entry points;
// T7zArchive adds the format library check and the format class id.
#include "archive/sevenzip_interfaces.h"
#include "common/handles.h"

#include <string>

namespace tovarin::archive {

class T7zPlugin {
public:
    // Raises "Error loading library %s" or "%s is not a 7z library".
    explicit T7zPlugin(const std::string& libraryPath);
    T7zPlugin(const T7zPlugin&) = delete;
    T7zPlugin& operator=(const T7zPlugin&) = delete;
    virtual ~T7zPlugin() = default;

protected:
    HMODULE Module() const { return module_.get(); }
    // Unloads the module before raising the caller's error.
    [[noreturn]] void Unload(const std::string& message);

    UniqueModule module_;
    CreateObjectFn createObject_ = nullptr;
};

class T7zArchive : public T7zPlugin {
public:
    // Also raises "%s is not a Format library".
    explicit T7zArchive(const std::string& libraryPath);

protected:
    GetHandlerPropertyFn getHandlerProperty_ = nullptr;  // looked up, never called
    GUID classId_{};
};

}  // namespace tovarin::archive
