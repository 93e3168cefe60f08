#include "archive/byte_stream.h"

#include "common/last_error.h"

namespace tovarin::archive {

FileByteStream::~FileByteStream() {
    if (!closing_ || !file_) return;
    try {
        closing_(file_.get());
    } catch (...) {
        // Runs wherever the library lets go of the stream.
    }
}

HRESULT FileByteStream::Read(void* data, std::uint32_t size, std::uint32_t& processed) {
    DWORD done = 0;
    const BOOL ok = ::ReadFile(file_.get(), data, size, &done, nullptr);
    processed = done;
    return ok ? S_OK : LastErrorResult();
}

HRESULT FileByteStream::Write(const void* data, std::uint32_t size, std::uint32_t& processed) {
    DWORD done = 0;
    const BOOL ok = ::WriteFile(file_.get(), data, size, &done, nullptr);
    processed = done;
    return ok ? S_OK : LastErrorResult();
}

HRESULT FileByteStream::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) {
    if (origin > FILE_END) return STG_E_INVALIDFUNCTION;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(file_.get(), distance, &position, origin)) return LastErrorResult();
    newPosition = static_cast<std::uint64_t>(position.QuadPart);
    return S_OK;
}

HRESULT FileByteStream::SetSize(std::uint64_t size) {
    if (size > static_cast<std::uint64_t>(INT64_MAX)) return E_INVALIDARG;
    LARGE_INTEGER current{};
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file_.get(), zero, &current, FILE_CURRENT)) return LastErrorResult();
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file_.get())) {
        const HRESULT failure = LastErrorResult();
        ::SetFilePointerEx(file_.get(), current, nullptr, FILE_BEGIN);
        return failure;
    }
    return ::SetFilePointerEx(file_.get(), current, nullptr, FILE_BEGIN) ? S_OK : LastErrorResult();
}

HRESULT FileByteStream::GetSize(std::uint64_t& size) {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(file_.get(), &value)) return LastErrorResult();
    size = static_cast<std::uint64_t>(value.QuadPart);
    return S_OK;
}

}  // namespace tovarin::archive
