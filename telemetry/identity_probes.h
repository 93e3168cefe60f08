#pragma once
// The three probes that identify the machine in every event: the MAC text of
// the Ethernet interfaces, the "OS" variable and the system version.
#include <windows.h>
#include <iphlpapi.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tovarin::telemetry {

// The interface-table query, with GetIfTable's contract (tests fake it).
class InterfaceTableQuery {
public:
    virtual ~InterfaceTableQuery() = default;
    virtual DWORD GetIfTable(MIB_IFTABLE* table, ULONG* size, BOOL sorted) = 0;
};

// IP helper's real table.
class SystemInterfaceTable final : public InterfaceTableQuery {
public:
    DWORD GetIfTable(MIB_IFTABLE* table, ULONG* size, BOOL sorted) override;
};

// The distinct addresses of the Ethernet rows, in table order, each as
// upper-case hex bytes joined by "-". Never fails: what cannot be read is
// simply not in the list.
class TMac {
public:
    explicit TMac(InterfaceTableQuery& query);
    const std::vector<std::string>& Addresses() const { return addresses_; }

private:
    std::vector<std::string> addresses_;
};

// A text kept for the rest of the run once a non-empty one has been made.
// Lock-free: any thread may store the first text while others read; the first
// store wins and later ones are dropped.
class KeptText {
public:
    KeptText() = default;
    KeptText(const KeptText&) = delete;
    KeptText& operator=(const KeptText&) = delete;

    template <typename Make>
    std::string GetOr(Make make) {
        if (const std::string* kept = kept_.load(std::memory_order_acquire)) return *kept;
        std::string text = make();
        if (text.empty()) return text;
        return Keep(std::move(text));
    }

private:
    std::string Keep(std::string text);

    std::atomic<const std::string*> kept_{nullptr};
    std::unique_ptr<const std::string> owned_;  // written only by the winning store
};

// The addresses joined by ","; empty without Ethernet or when the query fails.
std::string JoinAddresses(const std::vector<std::string>& addresses);

// The MAC text through a given query and keeper (tests).
std::string GetMacText(InterfaceTableQuery& query, KeptText& kept);
// The machine's MAC text, kept after the first non-empty result.
std::string GetMacText();

// The value of "OS", read anew each time; empty when unset.
std::string GetOsName();

// "major.minor" of the system version, kept after the first call that works.
std::string GetOsVersionText();

}  // namespace tovarin::telemetry
