#include "core/payload_files.h"

#include "common/environment.h"
#include "common/file_queries.h"
#include "common/resource_data.h"
#include "common/text.h"

namespace tovarin::core {
std::optional<ResourceBytes> FindResourceBytes(const std::string& resourceName) {
    // The resource stays mapped with the image; no copy is made.
    const std::string_view resource = RawResource(nullptr, Widen(resourceName).c_str());
    if (!resource.data()) return std::nullopt;
    return ResourceBytes{resource.data(), static_cast<DWORD>(resource.size())};
}

UniqueFile CreatePayloadFile(const std::string& filePath) {
    // Opened without truncating, so a planted link is seen before anything is
    // written through it.
    UniqueFile file(::CreateFileW(Widen(filePath).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !IsPlainFile(file.get())) return {};
    if (!::SetEndOfFile(file.get())) return {};
    return file;
}

bool WriteWhole(HANDLE file, const ResourceBytes& bytes) {
    DWORD written = 0;
    return bytes.size == 0 || (::WriteFile(file, bytes.data, bytes.size, &written, nullptr) && written == bytes.size);
}

UniqueFile SaveResourceToFile(const std::string& resourceName, const std::string& filePath) {
    const std::optional<ResourceBytes> bytes = FindResourceBytes(resourceName);
    if (!bytes) return {};
    UniqueFile file = CreatePayloadFile(filePath);
    if (!file || !WriteWhole(file.get(), *bytes)) return {};
    return file;
}

UniqueFile OpenVerifiedFile(const std::string& filePath, const Sha256& expected, std::uint64_t size) {
    // Sharing reads only: fails while anyone holds the file open for writing,
    // and keeps it from being changed, renamed or deleted while we hold it.
    UniqueFile file(::CreateFileW(Widen(filePath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !IsPlainFile(file.get())) return {};
    LARGE_INTEGER actual{};
    if (!::GetFileSizeEx(file.get(), &actual) || static_cast<std::uint64_t>(actual.QuadPart) != size) return {};
    const std::optional<Sha256> digest = HashFile(file.get());
    if (!digest || *digest != expected) return {};
    return file;
}

}  // namespace tovarin::core

namespace tovarin::core {

PayloadPaths PayloadTempPaths() {
    const std::string base = Narrow(EnvironmentVariable(L"TEMP"));
    return {base + "/tovarin.7z", base + "/7z.dll"};
}

}  // namespace tovarin::core
