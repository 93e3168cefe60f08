#pragma once
// The archive binding's public face: a reader over 7-Zip's library, loaded at
// run time from a file. Every failure is raised as ArchiveError.
#include "archive/byte_stream.h"
#include "archive/sevenzip_interfaces.h"
#include "common/handles.h"

#include <cstdint>
#include <exception>
#include <string>

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

// {022CF785-3ECE-46EF-9755-291FA84CC6C9}
inline constexpr GUID IID_I7zArchiveReader = {0x022CF785, 0x3ECE, 0x46EF, {0x97, 0x55, 0x29, 0x1F, 0xA8, 0x4C, 0xC6, 0xC9}};

// Paths are UTF-8. A reader is used by one thread at a time.
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
    virtual void ExtractItems(const std::uint32_t* indices, std::uint32_t count, bool test, void* sender,
                              ItemStreamCallback callback) = 0;
    virtual void ExtractAll(bool test, void* sender, ItemStreamCallback callback) = 0;
    // Writes every file item under directory. Items whose path would leave it
    // (absolute, drive, UNC, stream or ".." parts) fail the extraction, and so
    // does the first item the library reports as not sound (checksum or data
    // error, unsupported method, password, ...), naming the item and the damage.
    virtual void ExtractTo(const std::string& directory) = 0;
    virtual void SetPasswordCallback(void* sender, PasswordCallback callback) = 0;
    virtual void SetPassword(const std::wstring& password) = 0;
    // Besides the library's own reports, the bytes written to output streams
    // the reader creates are reported (isTotal false) whenever their running
    // total passes the last value reported; reported values never go down.
    virtual void SetProgressCallback(void* sender, ProgressCallback callback) = 0;
    virtual void SetClassId(const GUID& classId) = 0;
    virtual GUID ClassId() = 0;
};

// Loads the library at libraryPath and binds a reader to its format classId.
ComPtr<I7zArchiveReader> CreateArchiveReader(const GUID& classId, const std::string& libraryPath);

// The system's text for a failing result code, naming the code.
std::string ResultMessage(HRESULT code);

}  // namespace tovarin::archive
