#pragma once
// T7zInArchive: the read side of the binding. It is the reader the caller
// holds and, at the same time, every callback object the library calls back.
#include "archive/archive_reader.h"
#include "archive/output_tree.h"
#include "archive/t7z_plugin.h"
#include "archive/t7z_stream.h"
#include "common/slim_lock.h"

#include <atomic>
#include <map>
#include <optional>

namespace tovarin::archive {

class T7zInArchive final : public T7zArchive,
                           public IArchiveOpenSetSubArchiveName,
                           public IArchiveOpenVolumeCallback,
                           public ICryptoGetTextPassword,
                           public IArchiveExtractCallback,
                           public IArchiveOpenCallback,
                           public I7zArchiveReader,
                           private WriteObserver {
public:
    // Loads the module; the reader starts with one reference, owned by the result.
    static ComPtr<T7zInArchive> Create(const std::string& libraryPath);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // I7zArchiveReader
    void OpenArchiveFile(const std::string& path) override;
    void OpenArchiveStream(IInStream* stream) override;
    void CloseArchive() override;
    std::uint32_t ItemCount() override;
    std::string ItemPath(std::uint32_t index) override;
    std::string ItemName(std::uint32_t index) override;
    std::int32_t ItemSize(std::uint32_t index) override;
    bool ItemIsFolder(std::uint32_t index) override;
    ComPtr<IInArchive> LibraryArchive() override;
    void ExtractItem(std::uint32_t index, ByteStream& stream, bool test) override;
    void ExtractItems(const std::uint32_t* indices, std::uint32_t count, bool test, void* sender,
                      ItemStreamCallback callback) override;
    void ExtractAll(bool test, void* sender, ItemStreamCallback callback) override;
    void ExtractTo(const std::string& directory) override;
    WrittenItems LastWritten() override;
    void SetPasswordCallback(void* sender, PasswordCallback callback) override;
    void SetPassword(const std::wstring& password) override;
    void SetProgressCallback(void* sender, ProgressCallback callback) override;
    void SetClassId(const GUID& classId) override;
    GUID ClassId() override;
    void SetDecoding(const DecodingLimits& limits) override;

    // IArchiveOpenSetSubArchiveName
    HRESULT STDMETHODCALLTYPE SetSubArchiveName(const wchar_t* name) override;
    // IArchiveOpenVolumeCallback
    HRESULT STDMETHODCALLTYPE GetProperty(PROPID propID, PROPVARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetStream(const wchar_t* name, IInStream** inStream) override;
    // ICryptoGetTextPassword
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override;
    // IArchiveExtractCallback and IProgress
    HRESULT STDMETHODCALLTYPE SetTotal(UInt64 total) override;
    HRESULT STDMETHODCALLTYPE SetCompleted(const UInt64* completeValue) override;
    HRESULT STDMETHODCALLTYPE GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode) override;
    HRESULT STDMETHODCALLTYPE PrepareOperation(Int32 askExtractMode) override;
    HRESULT STDMETHODCALLTYPE SetOperationResult(Int32 opRes) override;
    // IArchiveOpenCallback
    HRESULT STDMETHODCALLTYPE SetTotal(const UInt64* files, const UInt64* bytes) override;
    HRESULT STDMETHODCALLTYPE SetCompleted(const UInt64* files, const UInt64* bytes) override;

private:
    explicit T7zInArchive(const std::string& libraryPath);
    ~T7zInArchive() override;
    friend class ReferenceCount;  // deletes it with its last reference

    HRESULT BytesWritten(std::uint32_t count) override;
    // Caller holds progressLock_.
    HRESULT ReportCompleted(std::uint64_t value, bool fromLibrary);
    void ApplyDecodingLimits();
    void RunExtract(const UInt32* indices, UInt32 count, bool test);
    HRESULT CreateOutputFile(UInt32 index, ISequentialOutStream** outStream);
    void FileWritten(RecordedFile file);
    // Reads one item property into value (empty on any failure); caller clears it.
    void ReadProperty(std::uint32_t index, PROPID id, PROPVARIANT& value);
    std::wstring ItemPathWide(std::uint32_t index);

    ReferenceCount references_;

    // Fields in the order of the design of the reader.
    ComPtr<IInArchive> archive_;
    PasswordCallback passwordCallback_ = nullptr;
    void* passwordSender_ = nullptr;
    ProgressCallback progressCallback_ = nullptr;
    void* progressSender_ = nullptr;
    ByteStream* singleTarget_ = nullptr;
    bool passwordDefined_ = false;
    std::wstring password_;
    bool subArchive_ = false;
    std::wstring subArchiveName_;
    ItemStreamCallback itemStreamCallback_ = nullptr;
    void* itemStreamSender_ = nullptr;
    std::wstring targetDirectory_;  // with a trailing separator while ExtractTo runs

    std::optional<DecodingLimits> decoding_;

    // The library calls back from its own threads while Extract runs: a
    // folder's progress from its decoder threads, its items (GetStream,
    // SetOperationResult) and their writes from the thread of its last
    // filter. Each lock below guards the fields after it; neither is taken
    // while the other is held.

    // Held across every call of the progress callback, so reports reach it
    // one at a time and in rising order. Progress of the running extraction:
    // bytes written to our own output streams and the highest value handed
    // to the progress callback.
    SlimLock progressLock_;
    std::uint64_t written_ = 0;
    std::uint64_t lastReported_ = 0;

    SlimLock itemLock_;
    // The folders ExtractTo writes into, held while it runs.
    std::optional<OutputTree> outputTree_;
    // The item the library works on (its last GetStream) and the first item
    // it reported damaged, which ends the running extraction.
    std::uint32_t currentItem_ = 0;
    std::string damage_;

    // What ExtractTo wrote: each file as its stream closes (on whichever
    // thread the library lets go of it), the folders from the tree as the
    // extraction ends. This lock may be taken while itemLock_ is held,
    // never the other way round.
    SlimLock writtenLock_;
    WrittenItems writtenItems_;
    // Index into writtenItems_.files by the path folded to upper case: an item
    // written twice is listed once, as it was last written.
    std::map<std::wstring, std::size_t> writtenIndex_;
};

}  // namespace tovarin::archive
