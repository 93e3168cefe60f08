#include "archive/t7z_stream.h"

#include <new>

namespace tovarin::archive {

T7zStream::T7zStream(ByteStream* stream, std::unique_ptr<ByteStream> owned)
    : stream_(stream), owned_(std::move(owned)) {}

// The stream first: closing it may still report to the observer that
// observerOwner_ keeps alive.
T7zStream::~T7zStream() { owned_.reset(); }

ComPtr<T7zStream> T7zStream::Owning(std::unique_ptr<ByteStream> stream) {
    ByteStream* raw = stream.get();
    return ComPtr<T7zStream>::Attach(new T7zStream(raw, std::move(stream)));
}

ComPtr<T7zStream> T7zStream::Borrowing(ByteStream& stream) {
    return ComPtr<T7zStream>::Attach(new T7zStream(&stream, nullptr));
}

void T7zStream::ReportWritesTo(WriteObserver* observer, ComPtr<IUnknown> owner) {
    observer_ = observer;
    observerOwner_ = std::move(owner);
}

HRESULT T7zStream::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOutStream7z || iid == IID_ISequentialOutStream7z) {
        found = static_cast<IOutStream*>(this);
    } else if (iid == IID_IInStream7z || iid == IID_ISequentialInStream7z) {
        found = static_cast<IInStream*>(this);
    } else if (iid == IID_IStreamGetSize7z) {
        found = static_cast<IStreamGetSize*>(this);
    } else if (iid == IID_IOutStreamFlush7z) {
        found = static_cast<IOutStreamFlush*>(this);
    }
    return AnswerQuery(found, object);
}

ULONG T7zStream::AddRef() { return references_.Add(); }

ULONG T7zStream::Release() { return references_.Release(this); }

HRESULT T7zStream::Flush() { return S_OK; }

// The wrapped stream may be the caller's own; nothing it throws may reach the library.
HRESULT T7zStream::Read(void* data, UInt32 size, UInt32* processedSize) {
    if (processedSize) *processedSize = 0;
    try {
        std::uint32_t done = 0;
        const HRESULT result = stream_->Read(data, size, done);
        if (processedSize) *processedSize = done;
        return result;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zStream::Write(const void* data, UInt32 size, UInt32* processedSize) {
    if (processedSize) *processedSize = 0;
    try {
        std::uint32_t done = 0;
        HRESULT result = stream_->Write(data, size, done);
        if (processedSize) *processedSize = done;
        if (observer_ && done != 0) {
            const HRESULT reported = observer_->BytesWritten(done);
            if (result == S_OK) result = reported;
        }
        return result;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) {
    try {
        std::uint64_t position = 0;
        const HRESULT result = stream_->Seek(offset, seekOrigin, position);
        if (newPosition && result == S_OK) *newPosition = position;
        return result;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zStream::SetSize(UInt64 newSize) {
    try {
        return stream_->SetSize(newSize);
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zStream::GetSize(UInt64* size) {
    try {
        std::uint64_t value = 0;
        const HRESULT result = stream_->GetSize(value);
        if (size && result == S_OK) *size = value;
        return result;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace tovarin::archive
