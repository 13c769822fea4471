// The Windows network stack behind CNetUtil: the IP helper API. Every change is read back
// from the table it changed, because a call that reports success without effect (as
// some emulations do) must not be passed on as success.
#include "platform/windows_api.h"
// Order matters: winsock2 and ws2tcpip (ws2ipdef) first, or iphlpapi leaves out the
// version 6 route and interface calls.
#include <winsock2.h>
#include <ws2tcpip.h>
// (separate block: keep after the two above)
#include <iphlpapi.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "nvutil/ip_address.h"
#include "nvutil/net_stack.h"

namespace nvutil {
namespace {

// The IP helper tables come in caller-sized buffers: ask, grow, ask again (bounded).
class TableBuffer {
 public:
  template <typename Call>
  DWORD Fill(Call call) {
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < 5; ++attempt) {
      m_storage.assign((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG), 0);
      m_size = static_cast<ULONG>(m_storage.size() * sizeof(ULONGLONG));
      ULONG wanted = m_size;
      const DWORD err = call(data(), &wanted);
      if (err != ERROR_INSUFFICIENT_BUFFER && err != ERROR_BUFFER_OVERFLOW) return err;
      if (wanted <= m_size || wanted > 64u * 1024 * 1024) return ERROR_INVALID_DATA;
      size = wanted;
    }
    return ERROR_INSUFFICIENT_BUFFER;
  }
  [[nodiscard]] BYTE* data() { return reinterpret_cast<BYTE*>(m_storage.data()); }
  [[nodiscard]] ULONG size() const { return m_size; }
  // The table's header count, trusted only as far as the buffer reaches.
  template <typename Table, typename Row>
  DWORD Rows(DWORD count) const {
    const std::size_t room = (m_size - offsetof(Table, table)) / sizeof(Row);
    return count <= room ? count : static_cast<DWORD>(room);
  }

 private:
  std::vector<ULONGLONG> m_storage;
  ULONG m_size = 0;
};

DWORD ToWire(std::uint32_t address) {
  const auto bytes = ToWireBytes(address);
  DWORD wire;
  std::memcpy(&wire, bytes.data(), sizeof wire);
  return wire;
}

Outcome Fail(DWORD code, std::string note) {
  Outcome outcome;
  outcome.code = code;
  outcome.note = std::move(note);
  return outcome;
}

// Each function the stand-in may find missing is looked up at run time, so that the
// program still starts where the IP helper library lacks it.
template <typename Fn>
Fn IpHelperFunction(const char* name) {
  HMODULE module = ::GetModuleHandleW(L"iphlpapi.dll");
  if (!module) module = ::LoadLibraryW(L"iphlpapi.dll");
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

bool IsDefaultRouteMatch(const MIB_IPFORWARDROW& row, std::uint32_t destination) {
  return row.dwForwardDest == ToWire(destination) && (destination != 0 || row.dwForwardMask == 0);
}

class IpHelperNetStack : public NetStack {
 public:
  Outcome DeleteRoutesTo(std::uint32_t destination) override {
    std::vector<MIB_IPFORWARDROW> rows;
    if (const DWORD err = ReadRoutes(rows)) return Fail(err, "reading the route table");
    Outcome outcome;
    unsigned matched = 0;
    for (MIB_IPFORWARDROW& row : rows) {
      if (!IsDefaultRouteMatch(row, destination)) continue;
      ++matched;
      if (const DWORD err = ::DeleteIpForwardEntry(&row)) outcome.code = err;
    }
    if (matched == 0) return Fail(ERROR_NOT_FOUND, "no route to " + FormatDotted(destination));
    if (const DWORD err = ReadRoutes(rows)) return Fail(err, "reading the route table back");
    unsigned left = 0;
    for (const MIB_IPFORWARDROW& row : rows) left += IsDefaultRouteMatch(row, destination) ? 1 : 0;
    outcome.count = matched > left ? matched - left : 0;
    outcome.note =
        "removed " + std::to_string(outcome.count) + " of " + std::to_string(matched) + " route(s)";
    if (outcome.ok() && left > 0) {
      outcome.code = ERROR_CALL_NOT_IMPLEMENTED;
      outcome.note += "; DeleteIpForwardEntry reported success but the route table still holds them";
    }
    return outcome;
  }

  Outcome AddRoute(const NewRoute& wanted, RouteApi api) override {
    DWORD index = wanted.interfaceNumber;
    if (index == 0) {
      if (const DWORD err = ::GetBestInterface(ToWire(wanted.gateway), &index))
        return Fail(err, "no interface reaches " + FormatDotted(wanted.gateway));
    } else {
      MIB_IFROW ifRow{};
      ifRow.dwIndex = index;
      if (const DWORD err = ::GetIfEntry(&ifRow)) return Fail(err, "no interface " + std::to_string(index));
    }
    Outcome outcome = api == RouteApi::Vista ? CreateVista(wanted, index) : CreateClassic(wanted, index);
    if (!outcome.ok()) return outcome;
    std::vector<MIB_IPFORWARDROW> rows;
    if (const DWORD err = ReadRoutes(rows)) return Fail(err, "reading the route table back");
    for (const MIB_IPFORWARDROW& row : rows) {
      if (row.dwForwardDest == ToWire(wanted.destination) && row.dwForwardMask == ToWire(wanted.mask) &&
          row.dwForwardNextHop == ToWire(wanted.gateway) && row.dwForwardIfIndex == index) {
        outcome.count = 1;
        return outcome;
      }
    }
    outcome.code = ERROR_CALL_NOT_IMPLEMENTED;
    outcome.note += (outcome.note.empty() ? "" : "; ") +
                    std::string("the call reported success but the route is not in the route table");
    return outcome;
  }

  Outcome DeleteNeighbour(std::uint32_t address, std::uint32_t interfaceNumber) override {
    std::vector<MIB_IPNETROW> rows;
    if (const DWORD err = ReadNeighbours(rows)) return Fail(err, "reading the ARP table");
    const auto matches = [&](const MIB_IPNETROW& row) {
      return row.dwAddr == ToWire(address) && (interfaceNumber == 0 || row.dwIndex == interfaceNumber) &&
             row.dwType != MIB_IPNET_TYPE_INVALID;
    };
    Outcome outcome;
    unsigned matched = 0;
    for (MIB_IPNETROW& row : rows) {
      if (!matches(row)) continue;
      ++matched;
      if (const DWORD err = ::DeleteIpNetEntry(&row)) outcome.code = err;
    }
    if (matched == 0) return Fail(ERROR_NOT_FOUND, "no ARP entry for " + FormatDotted(address));
    if (const DWORD err = ReadNeighbours(rows)) return Fail(err, "reading the ARP table back");
    unsigned left = 0;
    for (const MIB_IPNETROW& row : rows) left += matches(row) ? 1 : 0;
    outcome.count = matched > left ? matched - left : 0;
    outcome.note = "removed " + std::to_string(outcome.count) + " of " + std::to_string(matched) + " entries";
    if (outcome.ok() && left > 0) {
      outcome.code = ERROR_CALL_NOT_IMPLEMENTED;
      outcome.note += "; DeleteIpNetEntry reported success but the ARP table still holds them";
    }
    return outcome;
  }

  Outcome FindInterfaceByMac(const MacAddress& mac) override {
    TableBuffer buffer;
    const DWORD err = buffer.Fill([](BYTE* data, ULONG* size) {
      return ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(data), size);
    });
    if (err == ERROR_NO_DATA) return Fail(ERROR_NOT_FOUND, "no adapters");
    if (err) return Fail(err, "listing the adapters");
    int guard = 0;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); a && guard < 4096;
         a = a->Next, ++guard) {
      if (a->AddressLength == mac.size() && std::memcmp(a->Address, mac.data(), mac.size()) == 0) {
        Outcome outcome;
        outcome.value = a->Index;
        outcome.count = 1;
        outcome.note = std::string(a->AdapterName) + " is interface " + std::to_string(a->Index);
        return outcome;
      }
    }
    return Fail(ERROR_NOT_FOUND, "no adapter has this address");
  }

  Outcome Lease(std::uint32_t interfaceNumber, LeaseAction action) override {
    TableBuffer buffer;
    const DWORD err = buffer.Fill([](BYTE* data, ULONG* size) {
      return ::GetInterfaceInfo(reinterpret_cast<IP_INTERFACE_INFO*>(data), size);
    });
    if (err == ERROR_NO_DATA) return Fail(ERROR_NOT_FOUND, "no IPv4 adapters");
    if (err) return Fail(err, "listing the IPv4 adapters");
    const auto* info = reinterpret_cast<const IP_INTERFACE_INFO*>(buffer.data());
    const std::size_t room =
        (buffer.size() - offsetof(IP_INTERFACE_INFO, Adapter)) / sizeof(IP_ADAPTER_INDEX_MAP);
    const std::size_t count = info->NumAdapters < 0 ? 0 : std::min<std::size_t>(info->NumAdapters, room);
    for (std::size_t i = 0; i < count; ++i) {
      if (info->Adapter[i].Index != interfaceNumber) continue;
      IP_ADAPTER_INDEX_MAP adapter = info->Adapter[i];
      const bool renew = action == LeaseAction::Renew;
      const DWORD result = renew ? ::IpRenewAddress(&adapter) : ::IpReleaseAddress(&adapter);
      Outcome outcome;
      outcome.code = result;
      outcome.count = result == NO_ERROR ? 1 : 0;
      outcome.note = std::string(renew ? "IpRenewAddress" : "IpReleaseAddress") + " on interface " +
                     std::to_string(interfaceNumber);
      return outcome;
    }
    return Fail(ERROR_NOT_FOUND, "interface " + std::to_string(interfaceNumber) + " is no IPv4 adapter");
  }

  Outcome ReadAdapter(std::uint32_t interfaceNumber, AdapterSnapshot& out) override {
    out = {};
    std::vector<MIB_IPADDRROW> addresses;
    if (const DWORD err = ReadTable<MIB_IPADDRTABLE>(::GetIpAddrTable, addresses))
      return Fail(err, "reading the address table");
    for (const MIB_IPADDRROW& row : addresses) {
      if (row.dwIndex != interfaceNumber || row.dwAddr == 0) continue;  // 0.0.0.0: no address held
      out.addresses.push_back({FromWire(row.dwAddr), MaskToPrefixLength(FromWire(row.dwMask)).value_or(32)});
    }
    std::vector<MIB_IPFORWARDROW> routes;
    if (const DWORD err = ReadRoutes(routes)) return Fail(err, "reading the route table");
    for (const MIB_IPFORWARDROW& row : routes) {
      if (row.dwForwardIfIndex != interfaceNumber) continue;
      // Older systems name the interface's own address as next hop of an on-link route.
      const bool viaGateway = row.dwForwardType == MIB_IPROUTE_TYPE_INDIRECT;
      out.routes.push_back({FromWire(row.dwForwardDest),
                            MaskToPrefixLength(FromWire(row.dwForwardMask)).value_or(32),
                            viaGateway ? FromWire(row.dwForwardNextHop) : 0});
    }
    std::vector<MIB_IPNETROW> neighbours;
    if (const DWORD err = ReadNeighbours(neighbours)) return Fail(err, "reading the ARP table");
    for (const MIB_IPNETROW& row : neighbours) {
      if (row.dwIndex == interfaceNumber && row.dwType != MIB_IPNET_TYPE_INVALID)
        out.neighbours.push_back(FromWire(row.dwAddr));
    }
    const Outcome servers = ReadNameServers(interfaceNumber, out.nameServers);
    if (!servers.ok()) return servers;
    ReadItems(interfaceNumber, addresses, routes, neighbours, out);
    return servers;
  }

  // IPv4 through the classic tables (present everywhere); IPv6, and IPv4 addresses the DHCP
  // release did not take, through the version 6 calls where the system has them.
  Outcome ClearAdapter(std::uint32_t index) override {
    MIB_IFROW ifRow{};
    ifRow.dwIndex = index;
    if (const DWORD err = ::GetIfEntry(&ifRow)) return Fail(err, "no interface " + std::to_string(index));
    Outcome outcome;
    std::string missing, failures;
    const auto failed = [&](DWORD err, const std::string& what) {
      if (err == NO_ERROR || err == ERROR_NOT_FOUND || err == ERROR_FILE_NOT_FOUND) return false;
      outcome.code = err;
      if (failures.size() < 200)
        failures += (failures.empty() ? "" : ", ") + what + " (" + std::to_string(err) + ")";
      return true;
    };
    unsigned routes = 0, addresses = 0;
    std::vector<MIB_IPFORWARDROW> rows;
    if (const DWORD err = ReadRoutes(rows)) return Fail(err, "reading the route table");
    for (MIB_IPFORWARDROW& row : rows)
      if (ClassicNetworkRoute(row, index) &&
          !failed(::DeleteIpForwardEntry(&row), "route to " + FormatDotted(FromWire(row.dwForwardDest))))
        ++routes;
    failed(::FlushIpNetTable(index), "ARP table");

    using GetAddrsFn = decltype(&::GetUnicastIpAddressTable);
    using DelAddrFn = decltype(&::DeleteUnicastIpAddressEntry);
    using GetRoutesFn = decltype(&::GetIpForwardTable2);
    using DelRouteFn = decltype(&::DeleteIpForwardEntry2);
    using FlushFn = decltype(&::FlushIpNetTable2);
    using FreeFn = decltype(&::FreeMibTable);
    const auto getAddrs = IpHelperFunction<GetAddrsFn>("GetUnicastIpAddressTable");
    const auto delAddr = IpHelperFunction<DelAddrFn>("DeleteUnicastIpAddressEntry");
    const auto getRoutes = IpHelperFunction<GetRoutesFn>("GetIpForwardTable2");
    const auto delRoute = IpHelperFunction<DelRouteFn>("DeleteIpForwardEntry2");
    const auto flush2 = IpHelperFunction<FlushFn>("FlushIpNetTable2");
    const auto freeTable = IpHelperFunction<FreeFn>("FreeMibTable");
    const auto lacks = [&](const void* fn, const char* name) {
      if (fn == nullptr) missing += std::string(missing.empty() ? "" : ", ") + name;
      return fn == nullptr;
    };
    if (!lacks(reinterpret_cast<const void*>(getRoutes), "GetIpForwardTable2") &&
        !lacks(reinterpret_cast<const void*>(delRoute), "DeleteIpForwardEntry2") &&
        !lacks(reinterpret_cast<const void*>(freeTable), "FreeMibTable")) {
      MIB_IPFORWARD_TABLE2* table = nullptr;
      if (!failed(getRoutes(AF_INET6, &table), "reading the IPv6 routes") && table) {
        for (ULONG i = 0; i < table->NumEntries; ++i) {
          MIB_IPFORWARD_ROW2& row = table->Table[i];
          if (row.InterfaceIndex != index || !NetworkPrefix(row.DestinationPrefix)) continue;
          if (!failed(delRoute(&row), "IPv6 route")) ++routes;
        }
      }
      if (table) freeTable(table);
    }
    if (!lacks(reinterpret_cast<const void*>(getAddrs), "GetUnicastIpAddressTable") &&
        !lacks(reinterpret_cast<const void*>(delAddr), "DeleteUnicastIpAddressEntry") && freeTable) {
      MIB_UNICASTIPADDRESS_TABLE* table = nullptr;
      if (!failed(getAddrs(AF_UNSPEC, &table), "reading the addresses") && table) {
        for (ULONG i = 0; i < table->NumEntries; ++i) {
          MIB_UNICASTIPADDRESS_ROW& row = table->Table[i];
          if (row.InterfaceIndex != index || !NetworkAddress(row.Address)) continue;
          if (!failed(delAddr(&row), "address")) ++addresses;
        }
      }
      if (table) freeTable(table);
    }
    if (!lacks(reinterpret_cast<const void*>(flush2), "FlushIpNetTable2"))
      failed(flush2(AF_INET6, index), "IPv6 neighbours");

    // Read back what the classic tables show: a call that said yes without effect is a failure.
    std::vector<MIB_IPADDRROW> leftAddrs;
    unsigned left = 0;
    if (ReadTable<MIB_IPADDRTABLE>(::GetIpAddrTable, leftAddrs) == NO_ERROR)
      for (const MIB_IPADDRROW& row : leftAddrs)
        left += row.dwIndex == index && row.dwAddr != 0 && !IpAddress::V4(FromWire(row.dwAddr)).linkLocal()
                    ? 1
                    : 0;
    if (ReadRoutes(rows) == NO_ERROR)
      for (const MIB_IPFORWARDROW& row : rows)
        left += ClassicNetworkRoute(row, index) && row.dwForwardType == MIB_IPROUTE_TYPE_INDIRECT ? 1 : 0;
    if (left > 0 && outcome.ok()) {
      outcome.code = ERROR_CALL_NOT_IMPLEMENTED;
      failures += (failures.empty() ? "" : ", ") + std::to_string(left) +
                  " IPv4 address(es) or route(s) still in the tables";
    }
    outcome.count = routes + addresses;
    outcome.note = "removed " + std::to_string(routes) + " route(s), " + std::to_string(addresses) +
                   " address(es)" + (failures.empty() ? "" : "; not removed: " + failures) +
                   (missing.empty() ? "" : "; IPv6 not cleared, the system lacks " + missing);
    if (!missing.empty() && outcome.ok()) outcome.code = ERROR_CALL_NOT_IMPLEMENTED;
    return outcome;
  }

 private:
  using Item = AdapterSnapshot::Item;

  // Everything the interface holds: IPv4 from the classic tables, IPv6 and both families' name
  // servers through calls looked up at run time; what the system lacks is named in `unread`.
  static void ReadItems(std::uint32_t index, const std::vector<MIB_IPADDRROW>& addresses,
                        const std::vector<MIB_IPFORWARDROW>& routes,
                        const std::vector<MIB_IPNETROW>& neighbours, AdapterSnapshot& out) {
    for (const MIB_IPADDRROW& row : addresses) {
      if (row.dwIndex != index || row.dwAddr == 0) continue;
      Item item;
      item.address = IpAddress::V4(FromWire(row.dwAddr));
      item.prefixLength = MaskToPrefixLength(FromWire(row.dwMask)).value_or(32);
      out.items.push_back(item);
    }
    for (const MIB_IPFORWARDROW& row : routes) {
      if (row.dwForwardIfIndex != index || row.dwForwardProto == MIB_IPPROTO_LOCAL) continue;
      Item item;
      item.kind = Item::Kind::Route;
      const std::uint32_t dest = FromWire(row.dwForwardDest);
      if (dest != 0) item.address = IpAddress::V4(dest);
      if (item.address.multicast() || dest == 0xFFFFFFFFu) continue;
      item.prefixLength = MaskToPrefixLength(FromWire(row.dwForwardMask)).value_or(32);
      if (row.dwForwardType == MIB_IPROUTE_TYPE_INDIRECT)
        item.gateway = IpAddress::V4(FromWire(row.dwForwardNextHop));
      out.items.push_back(item);
    }
    for (const MIB_IPNETROW& row : neighbours) {
      if (row.dwIndex != index || row.dwType == MIB_IPNET_TYPE_INVALID) continue;
      // Windows keeps static entries for multicast groups and the broadcast address on every
      // interface, whatever network it is on: they are no network's.
      const IpAddress neighbour = IpAddress::V4(FromWire(row.dwAddr));
      if (neighbour.multicast() || neighbour.v4() == 0xFFFFFFFFu) continue;
      Item item;
      item.kind = Item::Kind::Neighbour;
      item.address = neighbour;
      out.items.push_back(item);
    }
    using FreeFn = decltype(&::FreeMibTable);
    const auto freeTable = IpHelperFunction<FreeFn>("FreeMibTable");
    const auto missing = [&](const char* part, const char* call) {
      out.unread.push_back(std::string(part) + ": " + call + " is missing");
    };
    using GetAddrsFn = decltype(&::GetUnicastIpAddressTable);
    const auto getAddrs = IpHelperFunction<GetAddrsFn>("GetUnicastIpAddressTable");
    MIB_UNICASTIPADDRESS_TABLE* addrTable = nullptr;
    if (!getAddrs || !freeTable) {
      missing("IPv6 addresses", getAddrs ? "FreeMibTable" : "GetUnicastIpAddressTable");
    } else if (const DWORD err = getAddrs(AF_INET6, &addrTable); err != NO_ERROR && err != ERROR_NOT_FOUND) {
      out.unread.push_back("IPv6 addresses: error " + std::to_string(err));
    } else if (addrTable) {
      for (ULONG i = 0; i < addrTable->NumEntries; ++i) {
        const MIB_UNICASTIPADDRESS_ROW& row = addrTable->Table[i];
        const auto ip = FromSockaddr(row.Address);
        if (row.InterfaceIndex != index || !ip) continue;
        Item item;
        item.family = 6;
        item.address = *ip;
        item.prefixLength = row.OnLinkPrefixLength;
        out.items.push_back(item);
      }
    }
    if (addrTable) freeTable(addrTable);
    using GetRoutesFn = decltype(&::GetIpForwardTable2);
    const auto getRoutes = IpHelperFunction<GetRoutesFn>("GetIpForwardTable2");
    MIB_IPFORWARD_TABLE2* routeTable = nullptr;
    if (!getRoutes || !freeTable) {
      missing("IPv6 routes", getRoutes ? "FreeMibTable" : "GetIpForwardTable2");
    } else if (const DWORD err = getRoutes(AF_INET6, &routeTable);
               err != NO_ERROR && err != ERROR_NOT_FOUND) {
      out.unread.push_back("IPv6 routes: error " + std::to_string(err));
    } else if (routeTable) {
      for (ULONG i = 0; i < routeTable->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = routeTable->Table[i];
        const auto dest = FromSockaddr(row.DestinationPrefix.Prefix);
        if (row.InterfaceIndex != index || !dest || dest->multicast()) continue;
        Item item;
        item.kind = Item::Kind::Route;
        item.family = 6;
        if (!dest->unspecified()) item.address = *dest;
        item.prefixLength = row.DestinationPrefix.PrefixLength;
        if (const auto hop = FromSockaddr(row.NextHop); hop && !hop->unspecified()) item.gateway = *hop;
        out.items.push_back(item);
      }
    }
    if (routeTable) freeTable(routeTable);
    using GetNeighFn = decltype(&::GetIpNetTable2);
    const auto getNeigh = IpHelperFunction<GetNeighFn>("GetIpNetTable2");
    MIB_IPNET_TABLE2* neighTable = nullptr;
    if (!getNeigh || !freeTable) {
      missing("IPv6 neighbour entries", getNeigh ? "FreeMibTable" : "GetIpNetTable2");
    } else if (const DWORD err = getNeigh(AF_INET6, &neighTable); err != NO_ERROR && err != ERROR_NOT_FOUND) {
      out.unread.push_back("IPv6 neighbour entries: error " + std::to_string(err));
    } else if (neighTable) {
      for (ULONG i = 0; i < neighTable->NumEntries; ++i) {
        const MIB_IPNET_ROW2& row = neighTable->Table[i];
        const auto ip = FromSockaddr(row.Address);
        if (row.InterfaceIndex != index || !ip || ip->multicast() || row.State == NlnsUnreachable ||
            row.State == NlnsIncomplete)
          continue;
        Item item;
        item.kind = Item::Kind::Neighbour;
        item.family = 6;
        item.address = *ip;
        out.items.push_back(item);
      }
    }
    if (neighTable) freeTable(neighTable);
    ReadAllNameServers(index, out);
  }

  // Both families' name servers of the adapter (GetAdaptersAddresses).
  static void ReadAllNameServers(std::uint32_t index, AdapterSnapshot& out) {
    using GetFn = decltype(&::GetAdaptersAddresses);
    const auto get = IpHelperFunction<GetFn>("GetAdaptersAddresses");
    if (!get) {
      out.unread.push_back("IPv6 name servers: GetAdaptersAddresses is missing");
      return;
    }
    TableBuffer buffer;
    const DWORD err = buffer.Fill([&](BYTE* data, ULONG* size) {
      return get(AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(data), size);
    });
    if (err == ERROR_NO_DATA) return;
    if (err) {
      out.unread.push_back("IPv6 name servers: error " + std::to_string(err));
      return;
    }
    int guard = 0;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a && guard < 4096;
         a = a->Next, ++guard) {
      if (a->IfIndex != index) continue;
      for (const IP_ADAPTER_DNS_SERVER_ADDRESS* d = a->FirstDnsServerAddress; d && guard < 8192;
           d = d->Next, ++guard) {
        if (!d->Address.lpSockaddr) continue;
        SOCKADDR_INET any{};
        std::memcpy(&any, d->Address.lpSockaddr,
                    std::min<std::size_t>(sizeof any, static_cast<std::size_t>(d->Address.iSockaddrLength)));
        const auto ip = FromSockaddr(any);
        if (!ip || ip->unspecified()) continue;
        Item item;
        item.kind = Item::Kind::NameServer;
        item.family = ip->version;
        item.address = *ip;
        out.items.push_back(item);
      }
    }
  }

  // A route of the interface that names a network: not the link-local, multicast or broadcast
  // ones, not those the system keeps for the interface's own addresses.
  static bool ClassicNetworkRoute(const MIB_IPFORWARDROW& row, std::uint32_t index) {
    if (row.dwForwardIfIndex != index || row.dwForwardProto == MIB_IPPROTO_LOCAL) return false;
    const IpAddress dest = IpAddress::V4(FromWire(row.dwForwardDest));
    const int length = MaskToPrefixLength(FromWire(row.dwForwardMask)).value_or(32);
    if (dest.multicast() || dest.v4() == 0xFFFFFFFFu) return false;
    return !(dest.linkLocal() && length >= 16);
  }
  static std::optional<IpAddress> FromSockaddr(const SOCKADDR_INET& a) {
    if (a.si_family == AF_INET6)
      return IpAddress::FromBytes(reinterpret_cast<const std::uint8_t*>(&a.Ipv6.sin6_addr), 16);
    if (a.si_family == AF_INET)
      return IpAddress::FromBytes(reinterpret_cast<const std::uint8_t*>(&a.Ipv4.sin_addr), 4);
    return std::nullopt;
  }
  static bool NetworkAddress(const SOCKADDR_INET& a) {
    const auto ip = FromSockaddr(a);
    return ip && !ip->linkLocal() && !ip->unspecified();
  }
  static bool NetworkPrefix(const IP_ADDRESS_PREFIX& p) {
    const auto ip = FromSockaddr(p.Prefix);
    if (!ip || ip->multicast()) return false;
    return !(ip->linkLocal() && p.PrefixLength >= 10);
  }

  static std::uint32_t FromWire(DWORD wire) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &wire, sizeof bytes);
    return FromWireBytes(bytes);
  }

  static Outcome ReadNameServers(std::uint32_t interfaceNumber, std::vector<std::uint32_t>& servers) {
    using GetPerAdapterInfoFn = decltype(&::GetPerAdapterInfo);
    const auto getInfo = IpHelperFunction<GetPerAdapterInfoFn>("GetPerAdapterInfo");
    if (!getInfo) return Fail(ERROR_CALL_NOT_IMPLEMENTED, "GetPerAdapterInfo is not available");
    TableBuffer buffer;
    const DWORD err = buffer.Fill([&](BYTE* data, ULONG* size) {
      return getInfo(interfaceNumber, reinterpret_cast<IP_PER_ADAPTER_INFO*>(data), size);
    });
    if (err) return Fail(err, "reading the adapter's name servers");
    const auto* info = reinterpret_cast<const IP_PER_ADAPTER_INFO*>(buffer.data());
    int guard = 0;
    for (const IP_ADDR_STRING* s = &info->DnsServerList; s && guard < 64; s = s->Next, ++guard) {
      char text[sizeof s->IpAddress.String + 1] = {};
      std::memcpy(text, s->IpAddress.String, sizeof s->IpAddress.String);
      if (const auto address = ParseDotted(text); address && *address != 0) servers.push_back(*address);
    }
    Outcome outcome;
    outcome.count = 1;
    return outcome;
  }

  // Reads a GetIpForwardTable/GetIpNetTable style table (count, then rows); empty is no error.
  template <typename Table, typename Row, typename GetTable>
  static DWORD ReadTable(GetTable getTable, std::vector<Row>& rows) {
    rows.clear();
    TableBuffer buffer;
    const DWORD err = buffer.Fill(
        [&](BYTE* data, ULONG* size) { return getTable(reinterpret_cast<Table*>(data), size, FALSE); });
    if (err == ERROR_NO_DATA) return NO_ERROR;
    if (err) return err;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    const DWORD n = buffer.Rows<Table, Row>(table->dwNumEntries);
    rows.assign(table->table, table->table + n);
    return NO_ERROR;
  }
  static DWORD ReadRoutes(std::vector<MIB_IPFORWARDROW>& rows) {
    return ReadTable<MIB_IPFORWARDTABLE>(::GetIpForwardTable, rows);
  }
  static DWORD ReadNeighbours(std::vector<MIB_IPNETROW>& rows) {
    return ReadTable<MIB_IPNETTABLE>(::GetIpNetTable, rows);
  }

  // From version 6 on, Windows refuses a classic route whose metric is below the
  // interface's own metric; such a metric is counted on top of the interface metric.
  static Outcome CreateClassic(const NewRoute& wanted, DWORD index) {
    MIB_IPFORWARDROW row{};
    row.dwForwardDest = ToWire(wanted.destination);
    row.dwForwardMask = ToWire(wanted.mask);
    row.dwForwardNextHop = ToWire(wanted.gateway);
    row.dwForwardIfIndex = index;
    row.dwForwardType = MIB_IPROUTE_TYPE_INDIRECT;
    row.dwForwardProto = MIB_IPPROTO_NETMGMT;
    row.dwForwardMetric1 = wanted.metric;
    row.dwForwardMetric2 = row.dwForwardMetric3 = row.dwForwardMetric4 = row.dwForwardMetric5 =
        MIB_IPROUTE_METRIC_UNUSED;
    Outcome outcome;
    using GetInterfaceEntryFn = decltype(&::GetIpInterfaceEntry);
    using InitInterfaceEntryFn = decltype(&::InitializeIpInterfaceEntry);
    const auto getEntry = IpHelperFunction<GetInterfaceEntryFn>("GetIpInterfaceEntry");
    const auto initEntry = IpHelperFunction<InitInterfaceEntryFn>("InitializeIpInterfaceEntry");
    if (getEntry && initEntry) {
      MIB_IPINTERFACE_ROW ifRow;
      initEntry(&ifRow);
      ifRow.Family = AF_INET;
      ifRow.InterfaceIndex = index;
      if (getEntry(&ifRow) == NO_ERROR && row.dwForwardMetric1 < ifRow.Metric) {
        row.dwForwardMetric1 = ifRow.Metric + wanted.metric;
        outcome.note = "metric " + std::to_string(row.dwForwardMetric1) + " (interface metric " +
                       std::to_string(ifRow.Metric) + " + " + std::to_string(wanted.metric) + ")";
      }
    }
    outcome.code = ::CreateIpForwardEntry(&row);
    return outcome;
  }

  static Outcome CreateVista(const NewRoute& wanted, DWORD index) {
    using InitFn = decltype(&::InitializeIpForwardEntry);
    using CreateFn = decltype(&::CreateIpForwardEntry2);
    const auto init = IpHelperFunction<InitFn>("InitializeIpForwardEntry");
    const auto create = IpHelperFunction<CreateFn>("CreateIpForwardEntry2");
    if (!init || !create) return Fail(ERROR_CALL_NOT_IMPLEMENTED, "CreateIpForwardEntry2 is not available");
    MIB_IPFORWARD_ROW2 row;
    init(&row);
    row.InterfaceIndex = index;
    row.DestinationPrefix.Prefix.si_family = AF_INET;
    row.DestinationPrefix.Prefix.Ipv4.sin_family = AF_INET;
    row.DestinationPrefix.Prefix.Ipv4.sin_addr.s_addr = ToWire(wanted.destination);
    row.DestinationPrefix.PrefixLength = static_cast<UINT8>(MaskToPrefixLength(wanted.mask).value_or(32));
    row.NextHop.si_family = AF_INET;
    row.NextHop.Ipv4.sin_family = AF_INET;
    row.NextHop.Ipv4.sin_addr.s_addr = ToWire(wanted.gateway);
    row.Metric = wanted.metric;  // added to the interface metric by the system
    row.Protocol = static_cast<NL_ROUTE_PROTOCOL>(MIB_IPPROTO_NETMGMT);
    Outcome outcome;
    outcome.code = create(&row);
    return outcome;
  }
};

}  // namespace

std::unique_ptr<NetStack> MakeSystemNetStack() { return std::make_unique<IpHelperNetStack>(); }

}  // namespace nvutil
