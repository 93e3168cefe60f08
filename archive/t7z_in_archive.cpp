#include "archive/t7z_in_archive.h"

#include "archive/item_path.h"
#include "common/handles.h"
#include "common/last_error.h"
#include "common/text.h"

#include <limits>
#include <utility>
#include <new>

namespace tovarin::archive {
namespace {

constexpr UInt64 kMaxSignatureOffset = 0x100000;
constexpr UInt32 kAllItems = 0xFFFFFFFF;


std::int64_t ToSigned(std::uint64_t value) {
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(value > kMax ? kMax : value);
}

void RaiseIfFailed(HRESULT result) {
    if (result != S_OK) throw ArchiveError(ResultMessage(result));
}

struct PropVariant : PROPVARIANT {
    PropVariant() { ::PropVariantInit(this); }
    ~PropVariant() { ::PropVariantClear(this); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
};

const char* DamageKind(Int32 result) {
    switch (result) {
    case kOpResultUnsupportedMethod: return "unsupported compression method";
    case kOpResultDataError: return "data error";
    case kOpResultCrcError: return "checksum error";
    case kOpResultUnavailable: return "data unavailable";
    case kOpResultUnexpectedEnd: return "unexpected end of data";
    case kOpResultDataAfterEnd: return "data after the end";
    case kOpResultIsNotArc: return "not an archive";
    case kOpResultHeadersError: return "headers error";
    case kOpResultWrongPassword: return "wrong or missing password";
    default: return "unknown damage";
    }
}

}  // namespace

ComPtr<T7zInArchive> T7zInArchive::Create(const std::string& libraryPath) {
    return ComPtr<T7zInArchive>::Attach(new T7zInArchive(libraryPath));
}

T7zInArchive::T7zInArchive(const std::string& libraryPath) : T7zArchive(libraryPath) {}

// The library's object goes first: its code lives in the module.
T7zInArchive::~T7zInArchive() { archive_.reset(); }

HRESULT T7zInArchive::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown || iid == IID_I7zArchiveReader) {
        found = static_cast<I7zArchiveReader*>(this);
    } else if (iid == IID_IArchiveOpenSetSubArchiveName7z) {
        found = static_cast<IArchiveOpenSetSubArchiveName*>(this);
    } else if (iid == IID_IArchiveOpenVolumeCallback7z) {
        found = static_cast<IArchiveOpenVolumeCallback*>(this);
    } else if (iid == IID_ICryptoGetTextPassword7z) {
        found = static_cast<ICryptoGetTextPassword*>(this);
    } else if (iid == IID_IArchiveExtractCallback7z || iid == IID_IProgress7z) {
        found = static_cast<IArchiveExtractCallback*>(this);
    } else if (iid == IID_IArchiveOpenCallback7z) {
        found = static_cast<IArchiveOpenCallback*>(this);
    }
    return AnswerQuery(found, object);
}

ULONG T7zInArchive::AddRef() { return references_.Add(); }

ULONG T7zInArchive::Release() { return references_.Release(this); }

// ---- I7zArchiveReader ------------------------------------------------------

void T7zInArchive::OpenArchiveFile(const std::string& path) {
    UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw ArchiveError("Cannot open " + path + ": " + ResultMessage(LastErrorResult()));
    ComPtr<T7zStream> stream = T7zStream::Owning(std::make_unique<FileByteStream>(std::move(file)));
    OpenArchiveStream(static_cast<IInStream*>(stream.get()));
}

void T7zInArchive::OpenArchiveStream(IInStream* stream) {
    ComPtr<IInArchive> archive = LibraryArchive();
    const UInt64 maxCheck = kMaxSignatureOffset;
    RaiseIfFailed(archive->Open(stream, &maxCheck, static_cast<IArchiveOpenCallback*>(this)));
}

void T7zInArchive::CloseArchive() {
    passwordDefined_ = false;
    subArchive_ = false;
    if (archive_) archive_->Close();
    archive_.reset();
}

std::uint32_t T7zInArchive::ItemCount() {
    UInt32 count = 0;
    RaiseIfFailed(LibraryArchive()->GetNumberOfItems(&count));
    return count;
}

void T7zInArchive::ReadProperty(std::uint32_t index, PROPID id, PROPVARIANT& value) {
    // The library's answer code is not looked at: an unknown property reads as empty.
    LibraryArchive()->GetProperty(index, id, &value);
}

std::wstring T7zInArchive::ItemPathWide(std::uint32_t index) {
    PropVariant value;
    ReadProperty(index, kpidPath, value);
    if (value.vt == VT_BSTR && value.bstrVal) return std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal));
    return {};
}

std::string T7zInArchive::ItemPath(std::uint32_t index) { return Narrow(ItemPathWide(index)); }

std::string T7zInArchive::ItemName(std::uint32_t index) {
    PropVariant value;
    ReadProperty(index, kpidName, value);
    if (value.vt == VT_BSTR && value.bstrVal) return Narrow(std::wstring_view(value.bstrVal, ::SysStringLen(value.bstrVal)));
    return {};
}

std::int32_t T7zInArchive::ItemSize(std::uint32_t index) {
    PropVariant value;
    ReadProperty(index, kpidSize, value);
    std::uint64_t size = 0;
    switch (value.vt) {
    case VT_EMPTY: break;
    case VT_UI8: size = value.uhVal.QuadPart; break;
    case VT_UI4: size = value.ulVal; break;
    case VT_I8:
        if (value.hVal.QuadPart < 0) throw ArchiveError("Item size is negative");
        size = static_cast<std::uint64_t>(value.hVal.QuadPart);
        break;
    default: throw ArchiveError("Item size has an unknown type");
    }
    if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw ArchiveError("Item size does not fit in 32 bits");
    return static_cast<std::int32_t>(size);
}

bool T7zInArchive::ItemIsFolder(std::uint32_t index) {
    PropVariant value;
    ReadProperty(index, kpidIsDir, value);
    return value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
}

ComPtr<IInArchive> T7zInArchive::LibraryArchive() {
    if (!archive_) {
        ComPtr<IInArchive> created;
        const HRESULT result = createObject_(&classId_, &IID_IInArchive7z, created.put_void());
        if (FAILED(result)) throw ArchiveError(ResultMessage(result));
        if (!created) throw ArchiveError(ResultMessage(E_NOINTERFACE));
        archive_ = std::move(created);
    }
    return archive_;
}

void T7zInArchive::RunExtract(const UInt32* indices, UInt32 count, bool test) {
    written_ = 0;
    lastReported_ = 0;
    damage_.clear();
    const HRESULT result =
        LibraryArchive()->Extract(indices, count, test ? 1 : 0, static_cast<IArchiveExtractCallback*>(this));
    if (!damage_.empty()) throw ArchiveError(std::exchange(damage_, {}));
    RaiseIfFailed(result);
}

void T7zInArchive::ExtractItem(std::uint32_t index, ByteStream& stream, bool test) {
    singleTarget_ = &stream;
    try {
        const UInt32 indices[1] = {index};
        RunExtract(indices, 1, test);
    } catch (...) {
        singleTarget_ = nullptr;
        throw;
    }
    singleTarget_ = nullptr;
}

void T7zInArchive::ExtractItems(const std::uint32_t* indices, std::uint32_t count, bool test, void* sender,
                                ItemStreamCallback callback) {
    itemStreamCallback_ = callback;
    itemStreamSender_ = sender;
    try {
        RunExtract(indices, count, test);
    } catch (...) {
        itemStreamCallback_ = nullptr;
        itemStreamSender_ = nullptr;
        throw;
    }
    itemStreamCallback_ = nullptr;
    itemStreamSender_ = nullptr;
}

void T7zInArchive::ExtractAll(bool test, void* sender, ItemStreamCallback callback) {
    ExtractItems(nullptr, kAllItems, test, sender, callback);
}

void T7zInArchive::ExtractTo(const std::string& directory) {
    targetDirectory_ = Widen(directory);
    if (targetDirectory_.empty() || !IsSeparator(targetDirectory_.back())) targetDirectory_ += L'\\';
    knownFolder_.clear();
    try {
        RunExtract(nullptr, kAllItems, false);
    } catch (...) {
        targetDirectory_.clear();
        throw;
    }
    targetDirectory_.clear();
}

void T7zInArchive::SetPasswordCallback(void* sender, PasswordCallback callback) {
    passwordSender_ = sender;
    passwordCallback_ = callback;
}

void T7zInArchive::SetPassword(const std::wstring& password) {
    password_ = password;
    passwordDefined_ = !password.empty();
}

void T7zInArchive::SetProgressCallback(void* sender, ProgressCallback callback) {
    progressSender_ = sender;
    progressCallback_ = callback;
}

void T7zInArchive::SetClassId(const GUID& classId) { classId_ = classId; }

GUID T7zInArchive::ClassId() { return classId_; }

// ---- callbacks of the library: nothing may be thrown past them ---------------

HRESULT T7zInArchive::SetSubArchiveName(const wchar_t* name) {
    try {
        subArchive_ = true;
        subArchiveName_ = name ? name : L"";
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT T7zInArchive::GetProperty(PROPID, PROPVARIANT*) { return S_OK; }

HRESULT T7zInArchive::GetStream(const wchar_t*, IInStream** inStream) {
    if (inStream) *inStream = nullptr;
    return S_OK;
}

HRESULT T7zInArchive::CryptoGetTextPassword(BSTR* password) {
    if (!password) return E_POINTER;
    *password = nullptr;
    try {
        if (!passwordDefined_) {
            if (!passwordCallback_) return S_FALSE;
            std::wstring answer;
            const HRESULT result = passwordCallback_(passwordSender_, answer);
            if (result != S_OK) return result;
            password_ = std::move(answer);
            passwordDefined_ = true;
        }
        *password = ::SysAllocStringLen(password_.data(), static_cast<UINT>(password_.size()));
        return *password ? S_OK : E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zInArchive::SetTotal(UInt64 total) {
    if (!progressCallback_) return S_OK;
    try {
        return progressCallback_(progressSender_, true, ToSigned(total));
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zInArchive::SetCompleted(const UInt64* completeValue) {
    if (!completeValue) return S_OK;
    return ReportCompleted(*completeValue, true);
}

HRESULT T7zInArchive::BytesWritten(std::uint32_t count) {
    written_ += count;  // 64-bit: cannot wrap within any archive
    return ReportCompleted(written_, false);
}

// One monotonic series out of two sources: the library's reports and the bytes
// written so far. The library with BCJ2 reports only every 16 MiB of output.
HRESULT T7zInArchive::ReportCompleted(std::uint64_t value, bool fromLibrary) {
    if (!progressCallback_) return S_OK;
    if (value < lastReported_ || (!fromLibrary && value == lastReported_)) return S_OK;
    lastReported_ = value;
    try {
        return progressCallback_(progressSender_, false, ToSigned(value));
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zInArchive::GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode) {
    if (!outStream) return E_POINTER;
    *outStream = nullptr;
    currentItem_ = index;
    if (askExtractMode != kAskExtract) return S_OK;
    try {
        if (singleTarget_) {
            ComPtr<T7zStream> stream = T7zStream::Borrowing(*singleTarget_);
            stream->ReportWritesTo(this, ComPtr<IUnknown>::Copy(static_cast<I7zArchiveReader*>(this)));
            *outStream = static_cast<IOutStream*>(stream.detach());
            return S_OK;
        }
        if (itemStreamCallback_) return itemStreamCallback_(itemStreamSender_, index, outStream);
        if (!targetDirectory_.empty() && !ItemIsFolder(index)) return CreateOutputFile(index, outStream);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zInArchive::CreateOutputFile(UInt32 index, ISequentialOutStream** outStream) {
    const std::wstring itemPath = ItemPathWide(index);
    if (!IsSafeItemPath(itemPath)) return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
    std::wstring path = targetDirectory_ + itemPath;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    path = ExtendedLengthPath(path);

    // Parents first. Failures here surface when the file cannot be created.
    const std::size_t lastSeparator = path.find_last_of(L'\\');
    const std::wstring_view folder(path.data(), lastSeparator);
    if (folder != knownFolder_) {
        for (std::size_t i = 1; i <= folder.size(); ++i) {
            if (i == folder.size() || folder[i] == L'\\') {
                if (folder[i - 1] == L'\\' || folder[i - 1] == L':') continue;
                const std::wstring prefix(folder.substr(0, i));
                if (i <= knownFolder_.size() && knownFolder_.compare(0, i, prefix) == 0 &&
                    (i == knownFolder_.size() || knownFolder_[i] == L'\\'))
                    continue;
                ::CreateDirectoryW(prefix.c_str(), nullptr);
            }
        }
    }

    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LastErrorResult();
    knownFolder_.assign(folder);

    ComPtr<T7zStream> stream = T7zStream::Owning(std::make_unique<FileByteStream>(std::move(file)));
    stream->ReportWritesTo(this, ComPtr<IUnknown>::Copy(static_cast<I7zArchiveReader*>(this)));
    *outStream = static_cast<IOutStream*>(stream.detach());
    return S_OK;
}

HRESULT T7zInArchive::PrepareOperation(Int32) { return S_OK; }

// Anything but a sound item ends the extraction there: an install that
// reports success has every byte right. What was written before it stays.
HRESULT T7zInArchive::SetOperationResult(Int32 opRes) {
    if (opRes == kOpResultOk) return S_OK;
    try {
        damage_ = "Item " + std::to_string(currentItem_) + " (" + ItemPath(currentItem_) + "): " + DamageKind(opRes);
    } catch (...) {
        damage_ = "Damaged item";
    }
    return E_ABORT;
}

HRESULT T7zInArchive::SetTotal(const UInt64*, const UInt64*) { return S_OK; }

HRESULT T7zInArchive::SetCompleted(const UInt64*, const UInt64*) { return S_OK; }

// ---- entry points ----------------------------------------------------------

ComPtr<I7zArchiveReader> CreateArchiveReader(const GUID& classId, const std::string& libraryPath) {
    ComPtr<T7zInArchive> archive = T7zInArchive::Create(libraryPath);
    ComPtr<I7zArchiveReader> reader = archive.query<I7zArchiveReader>(IID_I7zArchiveReader);
    reader->SetClassId(classId);
    return reader;
}

std::string ResultMessage(HRESULT code) {
    // Win32 errors wrapped as results are looked up by their plain number.
    const DWORD id = HRESULT_FACILITY(code) == FACILITY_WIN32 && FAILED(code) ? HRESULT_CODE(code)
                                                                            : static_cast<DWORD>(code);
    UniqueLocal<wchar_t> buffer;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        id, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    std::wstring text;
    if (length && buffer) text.assign(buffer.get(), length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    wchar_t hex[16];
    ::wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
    return Narrow(text.empty() ? std::wstring(L"Error ") + hex : text + L" (" + hex + L")");
}

}  // namespace tovarin::archive
