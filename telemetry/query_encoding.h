#pragma once
#include <string>
#include <string_view>

namespace tovarin::telemetry {

// Form encoding of one query value: letters, digits and !$'()*-.@_ are copied,
// a space becomes "+", every other byte "%XX" (upper-case hex). Stops at the
// first zero byte.
std::string EncodeQueryValue(std::string_view bytes);

}  // namespace tovarin::telemetry
