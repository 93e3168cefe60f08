#include "telemetry/identity_probes.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace tovarin::telemetry {
namespace {

constexpr DWORD kEthernet = 6, kLoopback = 24, kWireless = 71;

MIB_IFROW Row(DWORD type, std::initializer_list<BYTE> address) {
    MIB_IFROW row{};
    row.dwType = type;
    row.dwPhysAddrLen = static_cast<DWORD>(address.size());
    std::memcpy(row.bPhysAddr, address.begin(), address.size() < 8 ? address.size() : 8);
    return row;
}

// An interface table held in memory, answering with GetIfTable's contract.
class FakeTable : public InterfaceTableQuery {
public:
    explicit FakeTable(std::vector<MIB_IFROW> rows) : rows_(std::move(rows)) {
        bytes_.resize(offsetof(MIB_IFTABLE, table) + rows_.size() * sizeof(MIB_IFROW));
        const auto count = static_cast<DWORD>(rows_.size());
        std::memcpy(bytes_.data(), &count, sizeof count);
        if (!rows_.empty())
            std::memcpy(bytes_.data() + offsetof(MIB_IFTABLE, table), rows_.data(), rows_.size() * sizeof(MIB_IFROW));
        reportedSize = static_cast<ULONG>(bytes_.size());
    }

    DWORD GetIfTable(MIB_IFTABLE* table, ULONG* size, BOOL sorted) override {
        ++calls;
        EXPECT_TRUE(sorted);
        if (!table || *size < reportedSize) {
            *size = reportedSize;
            return ERROR_INSUFFICIENT_BUFFER;
        }
        if (failSecondCall) return ERROR_NOT_SUPPORTED;
        std::memcpy(table, bytes_.data(), reportedSize < bytes_.size() ? reportedSize : bytes_.size());
        return NO_ERROR;
    }

    // Makes the table claim more rows than it holds.
    void ClaimRows(DWORD count) { std::memcpy(bytes_.data(), &count, sizeof count); }

    ULONG reportedSize = 0;
    bool failSecondCall = false;
    int calls = 0;

private:
    std::vector<MIB_IFROW> rows_;
    std::vector<unsigned char> bytes_;
};

using Addresses = std::vector<std::string>;

TEST(TMac, FormatsEthernetAddressesInTableOrder) {
    FakeTable one({Row(kEthernet, {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF})});
    EXPECT_EQ(TMac(one).Addresses(), Addresses{"00-0C-29-AB-CD-EF"});

    FakeTable two({Row(kLoopback, {}), Row(kEthernet, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}),
                   Row(kEthernet, {0x02, 0, 0, 0, 0, 0x01})});
    EXPECT_EQ(JoinAddresses(TMac(two).Addresses()), "00-1A-2B-3C-4D-5E,02-00-00-00-00-01");
}

TEST(TMac, DropsDuplicatesEmptyAddressesAndOtherTypes) {
    FakeTable table({Row(kEthernet, {1, 2, 3, 4, 5, 6}), Row(kWireless, {9, 9, 9, 9, 9, 9}),
                     Row(kEthernet, {}), Row(kEthernet, {1, 2, 3, 4, 5, 6}), Row(kEthernet, {0xA, 0xB})});
    EXPECT_EQ(TMac(table).Addresses(), (Addresses{"01-02-03-04-05-06", "0A-0B"}));

    FakeTable none({Row(kLoopback, {}), Row(kWireless, {1, 2, 3, 4, 5, 6})});
    EXPECT_TRUE(TMac(none).Addresses().empty());
}

TEST(TMac, EightByteAddressGivesEightGroups) {
    FakeTable table({Row(kEthernet, {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x11, 0x22, 0xFF})});
    EXPECT_EQ(TMac(table).Addresses(), Addresses{"DE-AD-BE-EF-00-11-22-FF"});
}

TEST(TMac, MalformedRowEndsTheWalkKeepingEarlierAddresses) {
    MIB_IFROW bad = Row(kEthernet, {1, 1, 1, 1, 1, 1});
    bad.dwPhysAddrLen = 9;  // longer than the row's address field
    FakeTable table({Row(kEthernet, {1, 2, 3, 4, 5, 6}), bad, Row(kEthernet, {7, 7, 7, 7, 7, 7})});
    EXPECT_EQ(TMac(table).Addresses(), Addresses{"01-02-03-04-05-06"});
}

TEST(TMac, SizeBelowOneRowOrFailedQueryGivesNothing) {
    FakeTable small({Row(kEthernet, {1, 2, 3, 4, 5, 6})});
    small.reportedSize = offsetof(MIB_IFTABLE, table) + sizeof(MIB_IFROW) - 1;
    EXPECT_TRUE(TMac(small).Addresses().empty());
    EXPECT_EQ(small.calls, 1);  // no second call

    FakeTable failing({Row(kEthernet, {1, 2, 3, 4, 5, 6})});
    failing.failSecondCall = true;
    EXPECT_TRUE(TMac(failing).Addresses().empty());
    EXPECT_EQ(failing.calls, 2);
}

TEST(TMac, RowCountBeyondTheBufferIsNotFollowed) {
    FakeTable table({Row(kEthernet, {1, 2, 3, 4, 5, 6})});
    table.ClaimRows(1000);
    EXPECT_EQ(TMac(table).Addresses(), Addresses{"01-02-03-04-05-06"});
}

TEST(GetMacText, KeepsTheFirstNonEmptyTextOnly) {
    FakeTable empty({Row(kLoopback, {})});
    KeptText kept;
    EXPECT_EQ(GetMacText(empty, kept), "");
    EXPECT_EQ(GetMacText(empty, kept), "");
    EXPECT_EQ(empty.calls, 4);  // an empty text is not kept: asked again

    FakeTable gained({Row(kEthernet, {1, 2, 3, 4, 5, 6})});
    EXPECT_EQ(GetMacText(gained, kept), "01-02-03-04-05-06");
    FakeTable changed({Row(kEthernet, {6, 5, 4, 3, 2, 1})});
    EXPECT_EQ(GetMacText(changed, kept), "01-02-03-04-05-06");
    EXPECT_EQ(changed.calls, 0);
}

TEST(GetMacText, ThreadsRacingToStoreAllSeeOneText) {
    KeptText kept;
    std::vector<std::string> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] {
            FakeTable own({Row(kEthernet, {static_cast<BYTE>(i), 0, 0, 0, 0, 0})});
            GetMacText(own, kept);
            seen[i] = GetMacText(own, kept);
        });
    }
    for (auto& t : threads) t.join();
    for (const std::string& s : seen) EXPECT_EQ(s, seen[0]);
}

TEST(IdentityProbes, OsNameIsReadAnewEachTime) {
    SetEnvironmentVariableW(L"OS", L"Windows_NT");
    EXPECT_EQ(GetOsName(), "Windows_NT");
    const std::wstring longName(300, L'x');
    SetEnvironmentVariableW(L"OS", (L"Win \"新\" " + longName).c_str());
    EXPECT_EQ(GetOsName(), "Win \"新\" " + std::string(300, 'x'));
    SetEnvironmentVariableW(L"OS", nullptr);
    EXPECT_EQ(GetOsName(), "");
}

TEST(IdentityProbes, VersionTextIsMajorDotMinorAndStable) {
    const std::string text = GetOsVersionText();
    unsigned major = 0, minor = 0;
    char rest = 0;
    EXPECT_EQ(std::sscanf(text.c_str(), "%u.%u%c", &major, &minor, &rest), 2) << text;
    EXPECT_EQ(GetOsVersionText(), text);
}

}  // namespace
}  // namespace tovarin::telemetry
