#include "core/extract_package.h"

#include "app/install_state.h"
#include "archive/archive_reader.h"
#include "common/phase_trace.h"
#include "core/payload_files.h"
#include "library_hash.h"

#include <algorithm>

namespace tovarin::core {

HRESULT ExtractProgress(void* sender, bool isTotal, std::int64_t value) {
    auto* progress = static_cast<ExtractionProgress*>(sender);
    if (isTotal || !progress || value <= 0 || progress->total <= 0 || !progress->update) return 0;
    try {
        progress->update(static_cast<double>(value) / static_cast<double>(progress->total));
    } catch (...) {
        // A lost redraw must not stop the extraction.
    }
    return 0;
}

bool ExtractPackage(const std::string& targetDir, const std::string& archivePath,
                    const std::function<void(double)>& updateProgress) {
    const std::string& libraryPath = state::LibraryTempPath();
    Sha256 expected{};
    std::copy(std::begin(kLibrarySha256), std::end(kLibrarySha256), expected.begin());
    // Held until the module is unloaded (the reader goes first, below).
    const UniqueFile libraryLock = OpenVerifiedFile(libraryPath, expected, kLibrarySize);
    if (!libraryLock) return false;
    TracePhase("library-checked");
    try {
        ExtractionProgress progress{0, updateProgress};
        ComPtr<archive::I7zArchiveReader> reader = archive::CreateArchiveReader(archive::kClassId7zFormat, libraryPath);
        reader->SetProgressCallback(&progress, ExtractProgress);
        reader->OpenArchiveFile(archivePath);
        const std::uint32_t count = reader->ItemCount();
        for (std::uint32_t index = 0; index < count; ++index) {
            if (!reader->ItemIsFolder(index)) progress.total += reader->ItemSize(index);
        }
        TracePhase("opened");
        reader->ExtractTo(targetDir);
        TracePhase("extracted");
        reader->CloseArchive();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace tovarin::core
