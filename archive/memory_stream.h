#pragma once
// A read-only ByteStream over bytes that stay mapped for the stream's life,
// such as a resource of the running executable.
#include "archive/byte_stream.h"

#include <cstdint>

namespace tovarin::archive {

class MemoryByteStream final : public ByteStream {
public:
    MemoryByteStream(const void* data, std::uint64_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    HRESULT Read(void* data, std::uint32_t size, std::uint32_t& processed) override;
    // Writing and resizing are refused.
    HRESULT Write(const void* data, std::uint32_t size, std::uint32_t& processed) override;
    HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) override;
    HRESULT SetSize(std::uint64_t size) override;
    HRESULT GetSize(std::uint64_t& size) override;

private:
    const std::uint8_t* data_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
};

}  // namespace tovarin::archive
