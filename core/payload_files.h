#pragma once
// The two payload files the worker writes to the temporary folder: the package
// and the archive library. The installer runs elevated and that folder belongs
// to the unelevated user, so what gets read back must be what was written.
#include "common/handles.h"
#include "common/sha256.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tovarin::core {

using tovarin::Sha256;
using tovarin::HashFile;

// An RCDATA resource of the running executable, mapped with its image for the
// life of the process.
struct ResourceBytes {
    const void* data;
    DWORD size;
};
std::optional<ResourceBytes> FindResourceBytes(const std::string& resourceName);

// Creates filePath empty, or empties the file there, for writing; never
// through a link (see SaveResourceToFile). An empty handle on any failure.
UniqueFile CreatePayloadFile(const std::string& filePath);

// Writes all of bytes at the file's position in one write.
bool WriteWhole(HANDLE file, const ResourceBytes& bytes);

// Writes the RCDATA resource resourceName of the running executable to
// filePath in one write, straight from the loaded image. An existing file is
// replaced, but never through a link: a reparse point or a file with more than
// one name is refused. Returns the written file still open, with others denied
// writing and deleting it; an empty handle on any failure.
UniqueFile SaveResourceToFile(const std::string& resourceName, const std::string& filePath);

// Opens filePath for reading, denying others writing and deleting it, and
// checks that it holds exactly size bytes with the given SHA-256. Fails (empty
// handle) when the file is a link, is open for writing elsewhere or differs.
UniqueFile OpenVerifiedFile(const std::string& filePath, const Sha256& expected, std::uint64_t size);


}  // namespace tovarin::core

namespace tovarin::core {

// Where the two payload files go: the value of "TEMP" followed by
// "/tovarin.7z" and "/7z.dll", joined as they stand; "TEMP" unset gives
// "/tovarin.7z" and "/7z.dll".
struct PayloadPaths {
    std::string package;
    std::string library;
};
PayloadPaths PayloadTempPaths();

}  // namespace tovarin::core
