#pragma once
// The archive binding's public face: a reader over 7-Zip's library, loaded at
// run time from a file. Every failure is raised as ArchiveError.
#include "archive/byte_stream.h"
#include "archive/sevenzip_interfaces.h"
#include "common/handles.h"
#include "common/install_record.h"

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace tovarin::archive {

class ArchiveError : public std::exception {
public:
    explicit ArchiveError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Callbacks take the sender registered with them; 0 means success.
// isTotal: value is the total about to be processed; else the amount done.
using ProgressCallback = HRESULT (*)(void* sender, bool isTotal, std::int64_t value);
// Supplies the output stream of one item (ExtractItems, ExtractAll); may leave it null.
using ItemStreamCallback = HRESULT (*)(void* sender, std::uint32_t index, ISequentialOutStream** stream);
using PasswordCallback = HRESULT (*)(void* sender, std::wstring& password);

// How many threads the library's LZMA2 decoder may use, and the memory its
// thread budget is figured against. The library runs one thread per block of
// a folder that memory allows by its own budget, up to threads: per thread
// 8.25 times the dictionary (4 times, at least 1 MiB, for the output block,
// and as much again and a sixteenth for its input) plus 320 KiB.
struct DecodingLimits {
    std::uint32_t threads = 1;
    std::uint64_t memory = 0;
};

// What ExtractTo put below its directory, paths relative to it, "\"
// separated: the folders it created (not found there), each after its
// parent, and every file it wrote, as the file was when its stream closed.
struct WrittenItems {
    std::vector<std::wstring> createdFolders;
    std::vector<RecordedFile> files;
};

// {022CF785-3ECE-46EF-9755-291FA84CC6C9}
inline constexpr GUID IID_I7zArchiveReader = {0x022CF785, 0x3ECE, 0x46EF, {0x97, 0x55, 0x29, 0x1F, 0xA8, 0x4C, 0xC6, 0xC9}};

// Paths are UTF-8. A reader is used by one thread at a time; while it
// extracts, the library calls back from threads of its own (see
// SetProgressCallback and ExtractItems).
struct I7zArchiveReader : IUnknown {
    virtual void OpenArchiveFile(const std::string& path) = 0;
    virtual void OpenArchiveStream(IInStream* stream) = 0;
    virtual void CloseArchive() = 0;
    virtual std::uint32_t ItemCount() = 0;
    virtual std::string ItemPath(std::uint32_t index) = 0;
    virtual std::string ItemName(std::uint32_t index) = 0;
    virtual std::int32_t ItemSize(std::uint32_t index) = 0;
    virtual bool ItemIsFolder(std::uint32_t index) = 0;
    virtual ComPtr<IInArchive> LibraryArchive() = 0;
    virtual void ExtractItem(std::uint32_t index, ByteStream& stream, bool test) = 0;
    // The callback runs on whichever thread the library writes the item's
    // folder from, one call at a time.
    virtual void ExtractItems(const std::uint32_t* indices, std::uint32_t count, bool test, void* sender,
                              ItemStreamCallback callback) = 0;
    virtual void ExtractAll(bool test, void* sender, ItemStreamCallback callback) = 0;
    // Writes every file item under directory. Items whose path would leave it
    // (absolute, drive, UNC, stream or ".." parts) fail the extraction, and so
    // does the first item the library reports as not sound (checksum or data
    // error, unsupported method, password, ...), naming the item and the damage.
    virtual void ExtractTo(const std::string& directory) = 0;
    // What the last ExtractTo wrote, also when it failed part way.
    virtual WrittenItems LastWritten() = 0;
    virtual void SetPasswordCallback(void* sender, PasswordCallback callback) = 0;
    virtual void SetPassword(const std::wstring& password) = 0;
    // Besides the library's own reports, the bytes written to output streams
    // the reader creates are reported (isTotal false) whenever their running
    // total passes the last value reported; reported values never go down.
    // The callback runs on the library's decoding and writing threads, never
    // two calls at once, each report after the one before it returned.
    virtual void SetProgressCallback(void* sender, ProgressCallback callback) = 0;
    virtual void SetClassId(const GUID& classId) = 0;
    virtual GUID ClassId() = 0;
    // Applied to every later extraction. Without it the library picks one
    // thread per processor within a share of the machine's memory.
    virtual void SetDecoding(const DecodingLimits& limits) = 0;
};

// Loads the library at libraryPath and binds a reader to its format classId.
ComPtr<I7zArchiveReader> CreateArchiveReader(const GUID& classId, const std::string& libraryPath);

// The system's text for a failing result code, naming the code.
std::string ResultMessage(HRESULT code);

}  // namespace tovarin::archive
