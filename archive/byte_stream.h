#pragma once
// A seekable byte stream of the installer, as T7zStream presents it to the
// library. Methods return 0 on success or a failure code.
#include "common/handles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tovarin::archive {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    virtual HRESULT Read(void* data, std::uint32_t size, std::uint32_t& processed) = 0;
    virtual HRESULT Write(const void* data, std::uint32_t size, std::uint32_t& processed) = 0;
    // origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) = 0;
    virtual HRESULT SetSize(std::uint64_t size) = 0;
    virtual HRESULT GetSize(std::uint64_t& size) = 0;
};

// A stream over an open Win32 file, which it owns. closing, when given, is
// handed the file's handle just before the stream closes it.
class FileByteStream final : public ByteStream {
public:
    using Closing = std::function<void(HANDLE file)>;
    explicit FileByteStream(UniqueFile file, Closing closing = {})
        : file_(std::move(file)), closing_(std::move(closing)) {}
    ~FileByteStream() override;
    FileByteStream(const FileByteStream&) = delete;
    FileByteStream& operator=(const FileByteStream&) = delete;
    HRESULT Read(void* data, std::uint32_t size, std::uint32_t& processed) override;
    HRESULT Write(const void* data, std::uint32_t size, std::uint32_t& processed) override;
    HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t& newPosition) override;
    HRESULT SetSize(std::uint64_t size) override;
    HRESULT GetSize(std::uint64_t& size) override;

private:
    UniqueFile file_;
    Closing closing_;
};

}  // namespace tovarin::archive
