#include "archive/memory_stream.h"

#include <cstring>

namespace tovarin::archive {

HRESULT MemoryByteStream::Read(void* data, std::uint32_t size, std::uint32_t& processed) {
    const std::uint64_t left = position_ < size_ ? size_ - position_ : 0;
    processed = static_cast<std::uint32_t>(size < left ? size : left);
    if (processed != 0) std::memcpy(data, data_ + position_, processed);
    position_ += processed;
    return S_OK;
}

HRESULT MemoryByteStream::Write(const void*, std::uint32_t, std::uint32_t& processed) {
    processed = 0;
    return STG_E_ACCESSDENIED;
}

HRESULT MemoryByteStream::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) {
    std::int64_t base = 0;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = static_cast<std::int64_t>(position_); break;
    case 2: base = static_cast<std::int64_t>(size_); break;
    default: return STG_E_INVALIDFUNCTION;
    }
    // Past the end is allowed (reads there give nothing); before the start is not.
    if (offset < 0 ? base < -offset : offset > INT64_MAX - base) return HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK);
    position_ = static_cast<std::uint64_t>(base + offset);
    newPosition = position_;
    return S_OK;
}

HRESULT MemoryByteStream::SetSize(std::uint64_t) { return STG_E_ACCESSDENIED; }

HRESULT MemoryByteStream::GetSize(std::uint64_t& size) {
    size = size_;
    return S_OK;
}

}  // namespace tovarin::archive
