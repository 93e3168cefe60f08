#pragma once
// Raw-data (RCDATA) resources of a loaded module.
#include <windows.h>

#include <string_view>

namespace tovarin {

// The bytes of the raw-data resource `name`; they stay mapped as long as the
// module does, so nothing is copied. Null data when there is no such resource.
std::string_view RawResource(HMODULE module, const wchar_t* name);

}  // namespace tovarin
