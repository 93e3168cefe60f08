#include "common/resource_data.h"

namespace tovarin {

std::string_view RawResource(HMODULE module, const wchar_t* name) {
    HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, info);
    // An empty resource is still one: not-null data of no size.
    if (!data) return size == 0 ? std::string_view("", 0) : std::string_view();
    return {static_cast<const char*>(data), size};
}

}  // namespace tovarin
