#pragma once
// Extraction of the package through the archive binding, with progress.
#include "archive/archive_reader.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tovarin::core {

// The sender that ExtractPackage registers with ExtractProgress.
struct ExtractionProgress {
    // Bytes of every item that is not a folder, summed before extraction
    // (so before the library starts the threads that report). 64-bit, so no
    // package can make it wrap.
    std::int64_t total = 0;
    // updateProgress of the progress window (through the host's queue).
    std::function<void(double)> update;
};

// How the library may decode on a machine with this many processors (see
// the constants in extract_package.cpp for why).
archive::DecodingLimits DecodingLimitsFor(std::uint32_t processors);

// The progress callback, called on the library's threads one report at a
// time: hands value / total to update when both are positive; totals (isTotal true) draw nothing. Always 0: never cancels.
HRESULT ExtractProgress(void* sender, bool isTotal, std::int64_t value);

// What an extraction put into the target: the reader's account of it and
// the package's unpacked total (every item that is not a folder).
struct ExtractedPackage {
    archive::WrittenItems written;
    std::uint64_t unpackedBytes = 0;
};

// Extracts every item of the archive at archivePath into targetDir with the
// archive library this installer carries, written afresh into a private
// folder (see PrivateFolder), checked byte for byte there and kept locked
// until it is unloaded; the folder is removed afterwards. The copy at
// LibraryTempPath is never loaded. False when any step fails; failure, when
// given, then receives why. extracted, when given, receives what was written.
bool ExtractPackage(const std::string& targetDir, const std::string& archivePath,
                    const std::function<void(double)>& updateProgress, std::string* failure = nullptr,
                    ExtractedPackage* extracted = nullptr);

// The same for a package held in memory that stays mapped until this returns.
bool ExtractPackage(const std::string& targetDir, const void* package, std::uint64_t size,
                    const std::function<void(double)>& updateProgress, std::string* failure = nullptr,
                    ExtractedPackage* extracted = nullptr);

}  // namespace tovarin::core
