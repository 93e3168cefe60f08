#pragma once
// A folder of the elevated installer's own, for files it must run or load
// that the user's session must not be able to swap: under the system's
// temporary folder (%SystemRoot%\Temp, where users may create folders but not
// see or change others'), under a fresh unpredictable name, created
// exclusively with an access list only administrators and the system pass,
// its owner and place checked after creation.
#include "common/handles.h"

#include <optional>
#include <string>

namespace tovarin {

class PrivateFolder {
public:
    // nullopt when no such folder could be made; failure then says why.
    static std::optional<PrivateFolder> Create(std::string& failure);

    PrivateFolder(PrivateFolder&& other) noexcept;
    PrivateFolder& operator=(PrivateFolder&&) = delete;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    // Removes the folder with what is in it. A file still in use (a module
    // not yet unloaded) stays, and the folder with it.
    ~PrivateFolder();

    // Hands the folder over to another process that removes it later (the
    // uninstaller's copy): it stays when this object goes. Its path.
    std::wstring Keep() &&;

    // The folder's full path, without a trailing separator.
    const std::wstring& Path() const { return path_; }

private:
    PrivateFolder(std::wstring path, UniqueFile pin);

    std::wstring path_;
    // Held without delete sharing: nobody renames or removes the folder
    // while it is in use.
    UniqueFile pin_;
};

}  // namespace tovarin
