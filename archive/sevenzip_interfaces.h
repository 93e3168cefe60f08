#pragma once
// 7-Zip's component interfaces as the library (7-Zip 26) publishes them in
// IArchive.h, IStream.h, IProgress.h and IPassword.h. Only the vtable layout
// matters: methods in the published order, __stdcall, 7-Zip's integer types.
#include <windows.h>
#include <propidl.h>
#include <unknwn.h>

#include <cstdint>

namespace tovarin::archive {

using UInt32 = std::uint32_t;
using Int32 = std::int32_t;
using UInt64 = std::uint64_t;
using Int64 = std::int64_t;

#define TOVARIN_7Z_METHOD(name) virtual HRESULT STDMETHODCALLTYPE name

// {23170F69-40C1-278A-0000-00gg00ss0000}: group gg, sub-id ss.
constexpr GUID SevenZipIid(unsigned char group, unsigned char sub) {
    return GUID{0x23170F69, 0x40C1, 0x278A, {0, 0, 0, group, 0, sub, 0, 0}};
}

inline constexpr GUID kClassId7zFormat = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};

inline constexpr GUID IID_ISequentialInStream7z = SevenZipIid(3, 0x01);
inline constexpr GUID IID_ISequentialOutStream7z = SevenZipIid(3, 0x02);
inline constexpr GUID IID_IInStream7z = SevenZipIid(3, 0x03);
inline constexpr GUID IID_IOutStream7z = SevenZipIid(3, 0x04);
inline constexpr GUID IID_IStreamGetSize7z = SevenZipIid(3, 0x06);
inline constexpr GUID IID_IOutStreamFlush7z = SevenZipIid(3, 0x07);
inline constexpr GUID IID_IProgress7z = SevenZipIid(0, 0x05);
inline constexpr GUID IID_ICryptoGetTextPassword7z = SevenZipIid(5, 0x10);
inline constexpr GUID IID_IArchiveOpenCallback7z = SevenZipIid(6, 0x10);
inline constexpr GUID IID_IArchiveExtractCallback7z = SevenZipIid(6, 0x20);
inline constexpr GUID IID_IArchiveOpenVolumeCallback7z = SevenZipIid(6, 0x30);
inline constexpr GUID IID_IArchiveOpenSetSubArchiveName7z = SevenZipIid(6, 0x50);
inline constexpr GUID IID_IInArchive7z = SevenZipIid(6, 0x60);
inline constexpr GUID IID_ISetProperties7z = SevenZipIid(6, 0x03);

// Item property ids.
enum : PROPID { kpidPath = 3, kpidName = 4, kpidIsDir = 6, kpidSize = 7 };

// Ask modes of IArchiveExtractCallback.
enum : Int32 { kAskExtract = 0, kAskTest = 1, kAskSkip = 2 };

// Operation results of one item, as SetOperationResult receives them.
enum : Int32 {
    kOpResultOk = 0,
    kOpResultUnsupportedMethod = 1,
    kOpResultDataError = 2,
    kOpResultCrcError = 3,
    kOpResultUnavailable = 4,
    kOpResultUnexpectedEnd = 5,
    kOpResultDataAfterEnd = 6,
    kOpResultIsNotArc = 7,
    kOpResultHeadersError = 8,
    kOpResultWrongPassword = 9,
};

struct ISequentialInStream : IUnknown {
    TOVARIN_7Z_METHOD(Read)(void* data, UInt32 size, UInt32* processedSize) = 0;
};

struct ISequentialOutStream : IUnknown {
    TOVARIN_7Z_METHOD(Write)(const void* data, UInt32 size, UInt32* processedSize) = 0;
};

struct IInStream : ISequentialInStream {
    TOVARIN_7Z_METHOD(Seek)(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) = 0;
};

struct IOutStream : ISequentialOutStream {
    TOVARIN_7Z_METHOD(Seek)(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) = 0;
    TOVARIN_7Z_METHOD(SetSize)(UInt64 newSize) = 0;
};

struct IStreamGetSize : IUnknown {
    TOVARIN_7Z_METHOD(GetSize)(UInt64* size) = 0;
};

// Sub-id 7 of the stream group: "Flush" in old releases, "OutStreamFinish"
// in 7-Zip 26; one method either way.
struct IOutStreamFlush : IUnknown {
    TOVARIN_7Z_METHOD(Flush)() = 0;
};

struct IProgress : IUnknown {
    TOVARIN_7Z_METHOD(SetTotal)(UInt64 total) = 0;
    TOVARIN_7Z_METHOD(SetCompleted)(const UInt64* completeValue) = 0;
};

struct ICryptoGetTextPassword : IUnknown {
    TOVARIN_7Z_METHOD(CryptoGetTextPassword)(BSTR* password) = 0;
};

struct IArchiveOpenCallback : IUnknown {
    TOVARIN_7Z_METHOD(SetTotal)(const UInt64* files, const UInt64* bytes) = 0;
    TOVARIN_7Z_METHOD(SetCompleted)(const UInt64* files, const UInt64* bytes) = 0;
};

struct IArchiveExtractCallback : IProgress {
    TOVARIN_7Z_METHOD(GetStream)(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode) = 0;
    TOVARIN_7Z_METHOD(PrepareOperation)(Int32 askExtractMode) = 0;
    TOVARIN_7Z_METHOD(SetOperationResult)(Int32 opRes) = 0;
};

struct IArchiveOpenVolumeCallback : IUnknown {
    TOVARIN_7Z_METHOD(GetProperty)(PROPID propID, PROPVARIANT* value) = 0;
    TOVARIN_7Z_METHOD(GetStream)(const wchar_t* name, IInStream** inStream) = 0;
};

struct IArchiveOpenSetSubArchiveName : IUnknown {
    TOVARIN_7Z_METHOD(SetSubArchiveName)(const wchar_t* name) = 0;
};

struct IInArchive : IUnknown {
    TOVARIN_7Z_METHOD(Open)(IInStream* stream, const UInt64* maxCheckStartPosition,
                            IArchiveOpenCallback* openCallback) = 0;
    TOVARIN_7Z_METHOD(Close)() = 0;
    TOVARIN_7Z_METHOD(GetNumberOfItems)(UInt32* numItems) = 0;
    TOVARIN_7Z_METHOD(GetProperty)(UInt32 index, PROPID propID, PROPVARIANT* value) = 0;
    TOVARIN_7Z_METHOD(Extract)(const UInt32* indices, UInt32 numItems, Int32 testMode,
                               IArchiveExtractCallback* extractCallback) = 0;
    TOVARIN_7Z_METHOD(GetArchiveProperty)(PROPID propID, PROPVARIANT* value) = 0;
    TOVARIN_7Z_METHOD(GetNumberOfProperties)(UInt32* numProps) = 0;
    TOVARIN_7Z_METHOD(GetPropertyInfo)(UInt32 index, BSTR* name, PROPID* propID, VARTYPE* varType) = 0;
    TOVARIN_7Z_METHOD(GetNumberOfArchiveProperties)(UInt32* numProps) = 0;
    TOVARIN_7Z_METHOD(GetArchivePropertyInfo)(UInt32 index, BSTR* name, PROPID* propID, VARTYPE* varType) = 0;
};

// The handler's settings by name ("mt": decoding threads, "memuse": the
// memory its thread budget is figured against); values VT_UI4 or VT_UI8.
struct ISetProperties : IUnknown {
    TOVARIN_7Z_METHOD(SetProperties)(const wchar_t* const* names, const PROPVARIANT* values, UInt32 numProps) = 0;
};

#undef TOVARIN_7Z_METHOD

// The module's entry points.
using CreateObjectFn = HRESULT(WINAPI*)(const GUID* classId, const GUID* iid, void** outObject);
using GetHandlerPropertyFn = HRESULT(WINAPI*)(PROPID propID, PROPVARIANT* value);

}  // namespace tovarin::archive
