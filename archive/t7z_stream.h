#pragma once
// T7zStream: presents a ByteStream of the installer as the library's stream
// interfaces, optionally owning it. Streams the reader creates for output also
// tell it how many bytes went out, so progress can follow the actual writes.
// A stream holds its position unguarded: the library reads an archive from
// several threads only in turn (its LZMA2 decoder threads hand reading on
// one to the next; folders with several packed streams read through its
// locked stream, which seeks and reads under one lock), and each output
// stream is written by one thread.
#include "archive/byte_stream.h"
#include "archive/com_object.h"
#include "archive/sevenzip_interfaces.h"
#include "common/handles.h"

#include <atomic>
#include <memory>

namespace tovarin::archive {

class WriteObserver {
public:
    virtual HRESULT BytesWritten(std::uint32_t count) = 0;

protected:
    ~WriteObserver() = default;
};

class T7zStream final : public IOutStreamFlush, public IOutStream, public IInStream, public IStreamGetSize {
public:
    static ComPtr<T7zStream> Owning(std::unique_ptr<ByteStream> stream);
    static ComPtr<T7zStream> Borrowing(ByteStream& stream);

    // Writes are reported to observer; owner keeps it alive while this stream lives.
    void ReportWritesTo(WriteObserver* observer, ComPtr<IUnknown> owner);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE Read(void* data, UInt32 size, UInt32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Write(const void* data, UInt32 size, UInt32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(UInt64 newSize) override;
    HRESULT STDMETHODCALLTYPE GetSize(UInt64* size) override;

private:
    T7zStream(ByteStream* stream, std::unique_ptr<ByteStream> owned);
    ~T7zStream();
    friend class ReferenceCount;  // deletes it with its last reference

    ReferenceCount references_;
    ByteStream* stream_;
    std::unique_ptr<ByteStream> owned_;  // set when the adapter owns the stream
    WriteObserver* observer_ = nullptr;
    ComPtr<IUnknown> observerOwner_;
};

}  // namespace tovarin::archive
