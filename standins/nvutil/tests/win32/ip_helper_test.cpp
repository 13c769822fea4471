// CNetUtil on the IP helper API of the system it runs on (Wine here). Outside a network
// namespace of our own only read-only or certainly failing calls are made: the host's
// routes, ARP entries and leases are never touched.
#include <gtest/gtest.h>

#include "platform/windows_api.h"
// Order matters: winsock2 before the IP helper headers, which expect its types.
#include <winsock2.h>
// (separate block: keep after the one above)
#include <iphlpapi.h>

#include <cstring>
#include <vector>

#include "nvutil/net_util.h"

namespace {

struct Adapter {
  nvutil::MacAddress mac{};
  DWORD index = 0;
  std::string name;
};

std::vector<Adapter> ListAdapters() {
  std::vector<Adapter> out;
  ULONG size = 0;
  if (::GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return out;
  std::vector<ULONGLONG> buffer(size / sizeof(ULONGLONG) + 1);
  auto* info = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
  if (::GetAdaptersInfo(info, &size) != NO_ERROR) return out;
  for (auto* a = info; a; a = a->Next) {
    if (a->AddressLength != 6) continue;
    Adapter adapter;
    std::copy(a->Address, a->Address + 6, adapter.mac.begin());
    adapter.index = a->Index;
    adapter.name = a->AdapterName;
    if (!nvutil::IsZeroMac(adapter.mac)) out.push_back(adapter);
  }
  return out;
}

template <typename Table, typename Row, typename GetTable>
std::vector<Row> ReadTable(GetTable getTable) {
  ULONG size = 0;
  getTable(nullptr, &size, FALSE);
  std::vector<ULONGLONG> buffer(size / sizeof(ULONGLONG) + 64);  // room for entries added meanwhile
  size = static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG));
  auto* table = reinterpret_cast<Table*>(buffer.data());
  if (getTable(table, &size, FALSE) != NO_ERROR) return {};
  return {table->table, table->table + table->dwNumEntries};
}
std::vector<MIB_IPFORWARDROW> Routes() {
  return ReadTable<MIB_IPFORWARDTABLE, MIB_IPFORWARDROW>(::GetIpForwardTable);
}
std::vector<MIB_IPNETROW> ArpEntries() { return ReadTable<MIB_IPNETTABLE, MIB_IPNETROW>(::GetIpNetTable); }

// An address that is neither a route destination, a gateway nor in the ARP table here, read
// from the tables themselves: no fixed address is safe, the host may use any range.
std::string AbsentAddress() {
  const auto routes = Routes();
  const auto arp = ArpEntries();
  for (std::uint32_t candidate = 0xCB007101u; candidate < 0xCB0071FFu; ++candidate) {  // 203.0.113.x
    const auto bytes = nvutil::ToWireBytes(candidate);
    DWORD wire;
    std::memcpy(&wire, bytes.data(), sizeof wire);
    bool used = false;
    for (const auto& r : routes) used |= r.dwForwardDest == wire || r.dwForwardNextHop == wire;
    for (const auto& a : arp) used |= a.dwAddr == wire;
    if (!used) return nvutil::FormatDotted(candidate);
  }
  return {};
}

class IpHelperTest : public ::testing::Test {
 protected:
  IpHelperTest() {
    util.SetTraceSink([this](const std::string& line) { traces += line; });
  }
  CNetUtil util;
  std::string traces;
};

}  // namespace

TEST_F(IpHelperTest, InterfaceNumberOfEveryListedAdapterIsFoundByItsMac) {
  const auto adapters = ListAdapters();
  if (adapters.empty()) GTEST_SKIP() << "the system lists no adapter with a hardware address";
  for (const Adapter& adapter : adapters) {
    SCOPED_TRACE(adapter.name);
    EXPECT_EQ(util.GetInterfaceNum(adapter.mac), adapter.index) << traces;
    EXPECT_EQ(util.LastError(), 0u);
  }
}

TEST_F(IpHelperTest, UnknownOrZeroMacGivesZero) {
  // Locally administered and odd enough not to be any adapter here.
  const nvutil::MacAddress unknown{0x02, 0x4e, 0x56, 0x55, 0x54, 0x4c};
  for (const Adapter& adapter : ListAdapters()) ASSERT_NE(adapter.mac, unknown);
  EXPECT_EQ(util.GetInterfaceNum(unknown), 0u);
  EXPECT_EQ(util.LastError(), static_cast<std::uint32_t>(ERROR_NOT_FOUND));
  EXPECT_EQ(util.GetInterfaceNum(nvutil::MacAddress{}), 0u);
  EXPECT_EQ(util.LastError(), static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
}

TEST_F(IpHelperTest, LeaseOnAnInterfaceThatIsNoAdapterFailsWithoutSideEffects) {
  EXPECT_EQ(util.LeaseIP(0x7FFFFFF0u, 1), 0);
  EXPECT_EQ(util.LastError(), static_cast<std::uint32_t>(ERROR_NOT_FOUND));
  EXPECT_NE(traces.find("is no IPv4 adapter"), std::string::npos) << traces;
  EXPECT_EQ(util.LeaseIP(0x7FFFFFF0u, 0), 0);
}

TEST_F(IpHelperTest, DeletingWhatIsNotThereOnlyReadsTheTables) {
  const std::string absent = AbsentAddress();
  ASSERT_FALSE(absent.empty());
  const std::size_t routesBefore = Routes().size();
  EXPECT_EQ(util.DelArpEnt(absent.c_str(), nullptr), 0);
  EXPECT_EQ(util.LastError(), static_cast<std::uint32_t>(ERROR_NOT_FOUND)) << traces;
  EXPECT_EQ(util.DelGWEntry(absent.c_str()), 0);
  EXPECT_EQ(util.LastError(), static_cast<std::uint32_t>(ERROR_NOT_FOUND)) << traces;
  EXPECT_EQ(Routes().size(), routesBefore);
}

TEST_F(IpHelperTest, RouteOnAnInterfaceThatDoesNotExistIsRefusedBeforeAnyChange) {
  const std::string absent = AbsentAddress();
  ASSERT_FALSE(absent.empty());
  const std::size_t routesBefore = Routes().size();
  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", absent.c_str(), "4000000000", 1), 0);
  EXPECT_NE(traces.find("no interface 4000000000"), std::string::npos) << traces;
  EXPECT_EQ(util.AddGWEntryVista("0.0.0.0", "0.0.0.0", absent.c_str(), "4000000000", 1), 0);
  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", "203.0.113.1.7", nullptr, 1), 0);
  EXPECT_EQ(util.LastError(), static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Routes().size(), routesBefore);
}

TEST_F(IpHelperTest, AdapterSnapshotHoldsTheAdaptersOwnAddressesAndRoutes) {
  const auto adapters = ListAdapters();
  if (adapters.empty()) GTEST_SKIP() << "the system lists no adapter with a hardware address";
  const auto routes = Routes();
  for (const Adapter& adapter : adapters) {
    SCOPED_TRACE(adapter.name);
    nvutil::AdapterSnapshot snapshot;
    ASSERT_EQ(util.GetAdapterSnapshot(adapter.mac, snapshot), 1) << traces;
    // Every route of the table through this interface is in the snapshot, and no other.
    size_t own = 0;
    for (const auto& r : routes) own += r.dwForwardIfIndex == adapter.index ? 1 : 0;
    EXPECT_EQ(snapshot.routes.size(), own);
    for (const auto& a : snapshot.addresses) {
      EXPECT_NE(a.address, 0u);
      EXPECT_GE(a.prefixLength, 0);
      EXPECT_LE(a.prefixLength, 32);
    }
    // The static entries for multicast groups and the broadcast address (on every interface, and
    // in the host's table as Wine shows it) name no network: a check would call them leftovers.
    for (const auto& item : snapshot.items) {
      if (item.kind != nvutil::AdapterSnapshot::Item::Kind::Neighbour) continue;
      EXPECT_FALSE(item.address.multicast()) << item.Text();
      EXPECT_FALSE(item.family == 4 && item.address.v4() == 0xFFFFFFFFu) << item.Text();
    }
  }
  nvutil::AdapterSnapshot none;
  EXPECT_EQ(util.GetAdapterSnapshot(nvutil::MacAddress{2, 0, 0, 0x5e, 0x7a, 0x11}, none), 0);
}
