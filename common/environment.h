#pragma once
// The process environment.
#include <string>

namespace tovarin {

// The value of the environment variable `name`; empty when it is unset.
std::wstring EnvironmentVariable(const wchar_t* name);

}  // namespace tovarin
