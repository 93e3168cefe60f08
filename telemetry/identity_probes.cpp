#include "telemetry/identity_probes.h"

#include <cstddef>
#include <cstdint>

#include "common/environment.h"
#include "common/system_library.h"
#include "common/text.h"

namespace tovarin::telemetry {
namespace {

constexpr DWORD kEthernet = 6;  // IF_TYPE_ETHERNET_CSMACD
// The table's row count and room for one row: anything smaller holds no row.
constexpr ULONG kOneRowTable = offsetof(MIB_IFTABLE, table) + sizeof(MIB_IFROW);

std::string FormatAddress(const BYTE* bytes, DWORD length) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 3);
    for (DWORD i = 0; i < length; ++i) {
        if (i) text += '-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

void ReadAddresses(InterfaceTableQuery& query, std::vector<std::string>& out) {
    ULONG size = 0;
    query.GetIfTable(nullptr, &size, TRUE);  // only the size it reports counts
    if (size < kOneRowTable) return;
    // DWORD-aligned, as the table's members need.
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* table = reinterpret_cast<MIB_IFTABLE*>(buffer.data());
    ULONG filled = size;
    if (query.GetIfTable(table, &filled, TRUE) != NO_ERROR) return;
    // Never walk past the buffer, whatever count the table claims.
    const std::size_t fits = (size - offsetof(MIB_IFTABLE, table)) / sizeof(MIB_IFROW);
    const std::size_t rows = table->dwNumEntries < fits ? table->dwNumEntries : fits;
    for (std::size_t i = 0; i < rows; ++i) {
        const MIB_IFROW& row = table->table[i];
        if (row.dwType != kEthernet) continue;
        if (row.dwPhysAddrLen > MAXLEN_PHYSADDR) return;  // malformed row: keep what we have
        std::string text = FormatAddress(row.bPhysAddr, row.dwPhysAddrLen);
        if (text.empty()) continue;
        bool seen = false;
        for (const std::string& known : out) seen = seen || known == text;
        if (!seen) out.push_back(std::move(text));
    }
}

// Never destroyed: a worker may still build an event while the process ends.
KeptText& ProcessMacText() {
    static KeptText& kept = *new KeptText;
    return kept;
}

KeptText& ProcessVersionText() {
    static KeptText& kept = *new KeptText;
    return kept;
}

}  // namespace

DWORD SystemInterfaceTable::GetIfTable(MIB_IFTABLE* table, ULONG* size, BOOL sorted) {
    const IpHelperFunctions* ipHelper = IpHelper();
    return ipHelper ? ipHelper->GetIfTable(table, size, sorted) : ERROR_PROC_NOT_FOUND;
}

TMac::TMac(InterfaceTableQuery& query) {
    try {
        ReadAddresses(query, addresses_);
    } catch (...) {
        // Out of memory while reading: the addresses found so far stand.
    }
}

std::string KeptText::Keep(std::string text) {
    auto fresh = std::make_unique<const std::string>(std::move(text));
    const std::string* expected = nullptr;
    if (kept_.compare_exchange_strong(expected, fresh.get(), std::memory_order_acq_rel,
                                      std::memory_order_acquire)) {
        owned_ = std::move(fresh);
        return *owned_;
    }
    return *expected;  // another thread stored first; its text is the one kept
}

std::string JoinAddresses(const std::vector<std::string>& addresses) {
    std::string joined;
    for (const std::string& a : addresses) {
        if (!joined.empty()) joined += ',';
        joined += a;
    }
    return joined;
}

std::string GetMacText(InterfaceTableQuery& query, KeptText& kept) {
    return kept.GetOr([&] { return JoinAddresses(TMac(query).Addresses()); });
}

std::string GetMacText() {
    static SystemInterfaceTable system;  // stateless
    return GetMacText(system, ProcessMacText());
}

std::string GetOsName() { return Narrow(EnvironmentVariable(L"OS")); }

std::string GetOsVersionText() {
    return ProcessVersionText().GetOr([] {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExW(&info)) return std::string();
#pragma GCC diagnostic pop
        return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
    });
}

}  // namespace tovarin::telemetry
