#include "archive/t7z_in_archive.h"

#include "archive/item_path.h"
#include "archive/written_file.h"
#include "common/handles.h"
#include "common/last_error.h"
#include "common/text.h"

#include <limits>
#include <mutex>
#include <new>
#include <utility>

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

void T7zInArchive::ApplyDecodingLimits() {
    if (!decoding_) return;
    // A library built without threads has no such properties and decodes on one.
    const ComPtr<ISetProperties> properties = LibraryArchive().query<ISetProperties>(IID_ISetProperties7z);
    if (!properties) return;
    const wchar_t* names[] = {L"mt", L"memuse"};
    PROPVARIANT values[2];
    values[0].vt = VT_UI4;
    values[0].ulVal = decoding_->threads;
    values[1].vt = VT_UI8;
    values[1].uhVal.QuadPart = decoding_->memory;
    RaiseIfFailed(properties->SetProperties(names, values, 2));
}

void T7zInArchive::RunExtract(const UInt32* indices, UInt32 count, bool test) {
    ApplyDecodingLimits();
    // No thread of the library runs before Extract or after it returns; the
    // locks order these resets and reads all the same.
    {
        const std::lock_guard<SlimLock> lock(progressLock_);
        written_ = 0;
        lastReported_ = 0;
    }
    {
        const std::lock_guard<SlimLock> lock(itemLock_);
        damage_.clear();
    }
    const HRESULT result =
        LibraryArchive()->Extract(indices, count, test ? 1 : 0, static_cast<IArchiveExtractCallback*>(this));
    std::string damage;
    {
        const std::lock_guard<SlimLock> lock(itemLock_);
        damage = std::exchange(damage_, {});
    }
    if (!damage.empty()) throw ArchiveError(std::move(damage));
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
    {
        const std::lock_guard<SlimLock> lock(itemLock_);
        outputTree_.emplace(targetDirectory_);
    }
    {
        const std::lock_guard<SlimLock> lock(writtenLock_);
        writtenItems_ = {};
        writtenIndex_.clear();
    }
    // The library's threads have ended, and with them every output stream.
    const auto finish = [this] {
        targetDirectory_.clear();
        std::vector<std::wstring> folders = outputTree_->CreatedFolders();
        outputTree_.reset();
        const std::lock_guard<SlimLock> lock(writtenLock_);
        writtenItems_.createdFolders = std::move(folders);
    };
    try {
        RunExtract(nullptr, kAllItems, false);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

WrittenItems T7zInArchive::LastWritten() {
    const std::lock_guard<SlimLock> lock(writtenLock_);
    return writtenItems_;
}

void T7zInArchive::FileWritten(RecordedFile file) {
    std::wstring key = file.path;
    ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    const std::lock_guard<SlimLock> lock(writtenLock_);
    const auto [found, added] = writtenIndex_.emplace(std::move(key), writtenItems_.files.size());
    if (added) {
        writtenItems_.files.push_back(std::move(file));
    } else {
        writtenItems_.files[found->second] = std::move(file);
    }
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

void T7zInArchive::SetDecoding(const DecodingLimits& limits) { decoding_ = limits; }

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
    const std::lock_guard<SlimLock> lock(progressLock_);
    try {
        return progressCallback_(progressSender_, true, ToSigned(total));
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT T7zInArchive::SetCompleted(const UInt64* completeValue) {
    if (!completeValue) return S_OK;
    const std::lock_guard<SlimLock> lock(progressLock_);
    return ReportCompleted(*completeValue, true);
}

HRESULT T7zInArchive::BytesWritten(std::uint32_t count) {
    const std::lock_guard<SlimLock> lock(progressLock_);
    written_ += count;  // 64-bit: cannot wrap within any archive
    return ReportCompleted(written_, false);
}

// One monotonic series out of two sources: the library's reports and the bytes
// written so far. The library with BCJ2 reports only every 16 MiB of output;
// with LZMA2 its decoders report what they decoded, ahead of the writes.
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
    // The library asks for one item at a time; the lock orders the item state
    // between the threads it asks from (a folder's filter thread, then the
    // extracting thread for the items after it).
    const std::lock_guard<SlimLock> lock(itemLock_);
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
    std::wstring itemPath = ItemPathWide(index);
    if (!IsSafeItemPath(itemPath)) return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
    if (!outputTree_) return E_UNEXPECTED;
    UniqueFile file;
    const HRESULT created = outputTree_->CreateItemFile(itemPath, file);
    if (FAILED(created)) return created;

    for (wchar_t& c : itemPath) {
        if (c == L'/') c = L'\\';
    }
    // Taken when the library lets go of the stream, after its last write;
    // the stream's reference to this reader keeps it alive until then.
    auto closing = [this, path = std::move(itemPath)](HANDLE handle) {
        if (const std::optional<WrittenState> state = PinWrittenState(handle))
            FileWritten(RecordedFile{path, state->size, state->lastWrite});
    };
    ComPtr<T7zStream> stream =
        T7zStream::Owning(std::make_unique<FileByteStream>(std::move(file), std::move(closing)));
    stream->ReportWritesTo(this, ComPtr<IUnknown>::Copy(static_cast<I7zArchiveReader*>(this)));
    *outStream = static_cast<IOutStream*>(stream.detach());
    return S_OK;
}

HRESULT T7zInArchive::PrepareOperation(Int32) { return S_OK; }

// Anything but a sound item ends the extraction there: an install that
// reports success has every byte right. What was written before it stays.
HRESULT T7zInArchive::SetOperationResult(Int32 opRes) {
    if (opRes == kOpResultOk) return S_OK;
    const std::lock_guard<SlimLock> lock(itemLock_);
    if (!damage_.empty()) return E_ABORT;  // the first damaged item is the one named
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
