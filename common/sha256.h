#pragma once
// SHA-256 through the system's bcrypt (bound at run time): the one home for
// the installer's and the uninstaller's hashing.
#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovarin {

using Sha256 = std::array<std::uint8_t, 32>;

// Bytes added in pieces; nullopt from Finish when any step failed.
class Sha256Hasher {
public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher&) = delete;
    Sha256Hasher& operator=(const Sha256Hasher&) = delete;
    void Add(const void* data, std::size_t size);
    std::optional<Sha256> Finish();

private:
    void* algorithm_ = nullptr;
    void* hash_ = nullptr;
    bool failed_ = false;
};

std::optional<Sha256> HashBytes(std::string_view bytes);
// Reads the file from its current position to its end.
std::optional<Sha256> HashFile(HANDLE file);
std::string HexDigest(const Sha256& digest);

}  // namespace tovarin
