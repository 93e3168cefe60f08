#include "uninstall/shell_link_target.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "common/com_apartment.h"
#include "common/handles.h"

namespace tovarin::uninstall {

std::optional<std::wstring> ShellLinkTarget(const std::string& bytes) {
    const ComApartment com;  // the window's worker thread has none yet
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return std::nullopt;
    ULONG written = 0;
    if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) || written != bytes.size())
        return std::nullopt;
    if (FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr))) return std::nullopt;
    ComPtr<IPersistStream> persist;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStream,
                                  persist.put_void())) ||
        FAILED(persist->Load(stream.get())))
        return std::nullopt;
    const ComPtr<IShellLinkW> link = persist.query<IShellLinkW>(IID_IShellLinkW);
    wchar_t path[MAX_PATH + 1] = {};
    // As stored: no search for a moved target, no environment expansion.
    if (!link || link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK) return std::nullopt;
    return std::wstring(path);
}

}  // namespace tovarin::uninstall
