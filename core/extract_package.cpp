#include "core/extract_package.h"

#include "app/install_state.h"
#include "archive/archive_reader.h"
#include "archive/memory_stream.h"
#include "archive/t7z_stream.h"
#include "common/phase_trace.h"
#include "common/private_folder.h"
#include "common/text.h"
#include "core/payload_files.h"
#include "library_hash.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace tovarin::core {

// The package's LZMA2 blocks are decoded one per thread, each into a buffer
// of its own beside its packed input, so memory grows with the threads.
// At most this many, whatever the machine has: the installer's peak private
// memory stays within 128 MiB.
constexpr std::uint32_t kMaxDecodingThreads = 3;
// What the decoders may take by the library's own budget, 8.25 times the
// dictionary plus 320 KiB a thread: three threads for a package packed as
// ours (4 MiB dictionary, 16 MiB blocks), fewer for one with a larger
// dictionary, whose blocks may be that much larger.
constexpr std::uint64_t kDecodingMemory = 100ull << 20;

archive::DecodingLimits DecodingLimitsFor(std::uint32_t processors) {
    return {std::clamp<std::uint32_t>(processors, 1, kMaxDecodingThreads), kDecodingMemory};
}

namespace {

// The processors this process may run on, as the library itself counts them.
std::uint32_t UsableProcessors() {
    DWORD_PTR process = 0, system = 0;
    if (!::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) || process == 0) return 1;
    std::uint32_t count = 0;
    for (; process; process &= process - 1) ++count;
    return count;
}

}  // namespace

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

namespace {

bool Extract(const std::string& targetDir, const std::function<void(archive::I7zArchiveReader&)>& open,
             const std::function<void(double)>& updateProgress, std::string* failure, ExtractedPackage* extracted) {
    // The copy in TEMP is the user's to re-point at any moment, so the module
    // is loaded from a copy of its own in a folder only administrators can
    // change; that folder goes when the reader has unloaded the module.
    std::string why;
    const std::optional<PrivateFolder> folder = PrivateFolder::Create(why);
    if (!folder) {
        if (failure) *failure = why;
        return false;
    }
    const std::string libraryPath = Narrow(folder->Path() + L"\\7z.dll");
    if (!SaveResourceToFile("7zip_library", libraryPath)) {  // closed: the loader needs it unwritten
        if (failure) *failure = "Cannot write " + libraryPath;
        return false;
    }
    Sha256 expected{};
    std::copy(std::begin(kLibrarySha256), std::end(kLibrarySha256), expected.begin());
    // Held until the module is unloaded (the reader goes first, below).
    const UniqueFile libraryLock = OpenVerifiedFile(libraryPath, expected, kLibrarySize);
    if (!libraryLock) {
        if (failure) *failure = libraryPath + " is not the archive library this installer carries";
        return false;
    }
    TracePhase("library-checked");
    // The mark a listener can hold the install at, between check and load.
    TracePhase("library-load");
    try {
        ExtractionProgress progress{0, updateProgress};
        ComPtr<archive::I7zArchiveReader> reader = archive::CreateArchiveReader(archive::kClassId7zFormat, libraryPath);
        reader->SetProgressCallback(&progress, ExtractProgress);
        reader->SetDecoding(DecodingLimitsFor(UsableProcessors()));
        open(*reader.get());
        const std::uint32_t count = reader->ItemCount();
        for (std::uint32_t index = 0; index < count; ++index) {
            if (!reader->ItemIsFolder(index)) progress.total += reader->ItemSize(index);
        }
        TracePhase("opened");
        reader->ExtractTo(targetDir);
        TracePhase("extracted");
        if (extracted) *extracted = {reader->LastWritten(), static_cast<std::uint64_t>(progress.total)};
        reader->CloseArchive();
        return true;
    } catch (const std::exception& error) {
        if (failure) *failure = error.what();
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool ExtractPackage(const std::string& targetDir, const std::string& archivePath,
                    const std::function<void(double)>& updateProgress, std::string* failure,
                    ExtractedPackage* extracted) {
    return Extract(
        targetDir, [&](archive::I7zArchiveReader& reader) { reader.OpenArchiveFile(archivePath); }, updateProgress,
        failure, extracted);
}

bool ExtractPackage(const std::string& targetDir, const void* package, std::uint64_t size,
                    const std::function<void(double)>& updateProgress, std::string* failure,
                    ExtractedPackage* extracted) {
    return Extract(
        targetDir,
        [&](archive::I7zArchiveReader& reader) {
            const ComPtr<archive::T7zStream> stream =
                archive::T7zStream::Owning(std::make_unique<archive::MemoryByteStream>(package, size));
            reader.OpenArchiveStream(static_cast<archive::IInStream*>(stream.get()));
        },
        updateProgress, failure, extracted);
}

}  // namespace tovarin::core
