#include "common/sha256.h"

#include "common/system_library.h"

#include <vector>

namespace tovarin {

Sha256Hasher::Sha256Hasher() {
    const BCryptFunctions* bcrypt = BCrypt();
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    failed_ = !bcrypt ||
              !BCRYPT_SUCCESS(bcrypt->BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    algorithm_ = algorithm;
    if (!failed_) failed_ = !BCRYPT_SUCCESS(bcrypt->BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    hash_ = hash;
}

Sha256Hasher::~Sha256Hasher() {
    if (hash_) BCrypt()->BCryptDestroyHash(hash_);
    if (algorithm_) BCrypt()->BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Sha256Hasher::Add(const void* data, std::size_t size) {
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
    while (!failed_ && size > 0) {
        const ULONG piece = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
        failed_ = !BCRYPT_SUCCESS(BCrypt()->BCryptHashData(hash_, bytes, piece, 0));
        bytes += piece;
        size -= piece;
    }
}

std::optional<Sha256> Sha256Hasher::Finish() {
    Sha256 digest{};
    if (failed_ || !BCRYPT_SUCCESS(BCrypt()->BCryptFinishHash(hash_, digest.data(), digest.size(), 0)))
        return std::nullopt;
    failed_ = true;  // a hash finishes once
    return digest;
}

std::optional<Sha256> HashBytes(std::string_view bytes) {
    Sha256Hasher hasher;
    hasher.Add(bytes.data(), bytes.size());
    return hasher.Finish();
}

std::optional<Sha256> HashFile(HANDLE file) {
    Sha256Hasher hasher;
    std::vector<std::uint8_t> buffer(1 << 16);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return std::nullopt;
        if (read == 0) break;
        hasher.Add(buffer.data(), read);
    }
    return hasher.Finish();
}

std::string HexDigest(const Sha256& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

}  // namespace tovarin
