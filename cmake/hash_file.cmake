# Writes a header with the SHA-256 of INPUT as a byte array, so the installer can
# check that the library it loads is the one it carries.
file(SHA256 "${INPUT}" hex)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(SIZE "${INPUT}" size)
file(WRITE "${OUTPUT}.tmp" "#pragma once\n// Generated: SHA-256 of the embedded archive library.\n#include <cstdint>\ninline constexpr std::uint8_t kLibrarySha256[32] = {${bytes}};\ninline constexpr std::uint32_t kLibrarySize = ${size}u;\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
