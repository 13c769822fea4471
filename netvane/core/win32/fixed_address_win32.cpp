// The fixed-settings step's calls on Windows: the IP helper API. Calls that came with Windows
// Vista (the ...UnicastIpAddressEntry and ...IpForwardEntry2 families) and with Windows 10 2004
// (SetInterfaceDnsSettings) are looked up at run time, so the program starts where they are
// missing, and fall back to the older calls (AddIPAddress/DeleteIPAddress, CreateIpForwardEntry,
// the interface's "NameServer" value). Whether Windows keeps them across a restart is not relied
// on: the record in IPCfg is what the next start undoes.
#include "platform/windows_api.h"
// Order matters: winsock2 and ws2tcpip first, or iphlpapi leaves out the version 6 calls.
#include <winsock2.h>
#include <ws2tcpip.h>
// (separate block: keep after the two above)
#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "netvane/fixed_address.h"
#include "nvutil/ipv4.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv::core {
namespace {

using Status = PlatformCall::Status;

template <typename Fn>
Fn IpHelper(const char* name) {
  HMODULE module = ::GetModuleHandleW(L"iphlpapi.dll");
  if (!module) module = ::LoadLibraryW(L"iphlpapi.dll");
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

// Declared here: older SDK headers lack them, and they are only ever reached through GetProcAddress.
using InitializeUnicastFn = VOID(WINAPI*)(MIB_UNICASTIPADDRESS_ROW*);
using UnicastRowFn = DWORD(WINAPI*)(const MIB_UNICASTIPADDRESS_ROW*);
using InitializeForwardFn = VOID(WINAPI*)(MIB_IPFORWARD_ROW2*);
using ForwardRowFn = DWORD(WINAPI*)(const MIB_IPFORWARD_ROW2*);
struct DnsInterfaceSettings {  // DNS_INTERFACE_SETTINGS, version 1
  ULONG Version;
  ULONG64 Flags;
  PWSTR Domain;
  PWSTR NameServer;
  PWSTR SearchList;
  ULONG RegistrationEnabled;
  ULONG RegisterAdapterName;
  ULONG EnableLLMNR;
  ULONG QueryAdapterName;
  PWSTR ProfileNameServer;
};
using SetDnsFn = DWORD(WINAPI*)(GUID, const DnsInterfaceSettings*);
constexpr ULONG kDnsSettingsVersion1 = 1;
constexpr ULONG64 kDnsSettingNameServer = 0x0002;

PlatformCall Answer(const std::string& call, Status status, DWORD code = 0, std::string note = {}) {
  PlatformCall r;
  r.call = call;
  r.status = status;
  r.code = code;
  r.note = std::move(note);
  return r;
}
PlatformCall FromCode(const std::string& call, DWORD code, std::string note = {}) {
  if (code == NO_ERROR) return PlatformCall::Done(call, std::move(note));
  return Answer(call, code == ERROR_NOT_FOUND ? Status::NotFound : Status::Refused, code, std::move(note));
}

DWORD ToWire(uint32_t address) {
  const auto bytes = nvutil::ToWireBytes(address);
  DWORD wire;
  std::memcpy(&wire, bytes.data(), sizeof wire);
  return wire;
}
uint32_t FromWire(DWORD wire) {
  uint8_t bytes[4];
  std::memcpy(bytes, &wire, sizeof bytes);
  return nvutil::FromWireBytes(bytes);
}

// Caller-sized IP helper tables: ask, grow, ask again (bounded).
template <typename Call>
DWORD FillTable(std::vector<ULONGLONG>& storage, Call call) {
  ULONG size = 16 * 1024;
  for (int attempt = 0; attempt < 5; ++attempt) {
    storage.assign((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG), 0);
    ULONG wanted = static_cast<ULONG>(storage.size() * sizeof(ULONGLONG));
    const DWORD err = call(reinterpret_cast<BYTE*>(storage.data()), &wanted);
    if (err != ERROR_INSUFFICIENT_BUFFER && err != ERROR_BUFFER_OVERFLOW) return err;
    if (wanted > 64u * 1024 * 1024) return ERROR_INVALID_DATA;
    size = wanted;
  }
  return ERROR_INSUFFICIENT_BUFFER;
}

// Walks GetAdaptersInfo's list; `visit` returns true to stop.
template <typename Visit>
DWORD ForEachAdapter(Visit visit) {
  std::vector<ULONGLONG> storage;
  const DWORD err = FillTable(storage, [](BYTE* data, ULONG* size) {
    return ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(data), size);
  });
  if (err == ERROR_NO_DATA) return NO_ERROR;
  if (err) return err;
  int guard = 0;
  for (auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(storage.data()); a && guard < 4096;
       a = a->Next, ++guard)
    if (visit(*a)) break;
  return NO_ERROR;
}

DWORD ReadAddressRows(std::vector<MIB_IPADDRROW>& rows) {
  std::vector<ULONGLONG> storage;
  const DWORD err = FillTable(storage, [](BYTE* data, ULONG* size) {
    return ::GetIpAddrTable(reinterpret_cast<MIB_IPADDRTABLE*>(data), size, FALSE);
  });
  if (err) return err;
  const auto* table = reinterpret_cast<const MIB_IPADDRTABLE*>(storage.data());
  const std::size_t room =
      (storage.size() * sizeof(ULONGLONG) - offsetof(MIB_IPADDRTABLE, table)) / sizeof(MIB_IPADDRROW);
  rows.assign(table->table, table->table + std::min<std::size_t>(table->dwNumEntries, room));
  return NO_ERROR;
}

DWORD ReadRouteRows(std::vector<MIB_IPFORWARDROW>& rows) {
  std::vector<ULONGLONG> storage;
  const DWORD err = FillTable(storage, [](BYTE* data, ULONG* size) {
    return ::GetIpForwardTable(reinterpret_cast<MIB_IPFORWARDTABLE*>(data), size, FALSE);
  });
  if (err == ERROR_NO_DATA) {
    rows.clear();
    return NO_ERROR;
  }
  if (err) return err;
  const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(storage.data());
  const std::size_t room =
      (storage.size() * sizeof(ULONGLONG) - offsetof(MIB_IPFORWARDTABLE, table)) / sizeof(MIB_IPFORWARDROW);
  rows.assign(table->table, table->table + std::min<std::size_t>(table->dwNumEntries, room));
  return NO_ERROR;
}

bool IsOurDefaultRoute(const MIB_IPFORWARDROW& row, const AdapterRef& adapter, uint32_t gateway) {
  return row.dwForwardDest == 0 && row.dwForwardMask == 0 && row.dwForwardIfIndex == adapter.index &&
         row.dwForwardNextHop == ToWire(gateway);
}

bool ParseGuid(const std::string& text, GUID& out) {
  unsigned long d1 = 0;
  unsigned d2 = 0, d3 = 0, b[8] = {};
  char end = 0;
  if (std::sscanf(text.c_str(), "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &d1, &d2, &d3, &b[0], &b[1],
                  &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &end) != 12 ||
      end != '}')
    return false;
  out.Data1 = d1;
  out.Data2 = static_cast<unsigned short>(d2);
  out.Data3 = static_cast<unsigned short>(d3);
  for (int i = 0; i < 8; ++i) out.Data4[i] = static_cast<unsigned char>(b[i]);
  return true;
}

std::string InterfaceKey(const AdapterRef& adapter) {
  return "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + adapter.name;
}

class IpHelperFixedAddress : public IFixedAddressPlatform {
 public:
  PlatformCall FindAdapterByMac(const std::array<uint8_t, 6>& mac, AdapterRef& out) override {
    return Find(
        [&](const IP_ADAPTER_INFO& a) {
          return a.AddressLength == mac.size() && std::memcmp(a.Address, mac.data(), mac.size()) == 0;
        },
        out);
  }
  PlatformCall FindAdapterByName(const std::string& name, AdapterRef& out) override {
    return Find([&](const IP_ADAPTER_INFO& a) { return nv::text::EqualsNoCase(a.AdapterName, name); }, out);
  }

  PlatformCall ReleaseLease(const AdapterRef& adapter) override { return Lease(adapter, false); }
  PlatformCall RenewLease(const AdapterRef& adapter) override { return Lease(adapter, true); }

  PlatformCall AddAddress(const AdapterRef& adapter, uint32_t address, uint32_t mask) override {
    const auto prefix = nvutil::MaskToPrefixLength(mask);
    if (!prefix)
      return Answer("AddAddress", Status::Refused, ERROR_INVALID_PARAMETER, "the mask is not contiguous");
    const auto initialize = IpHelper<InitializeUnicastFn>("InitializeUnicastIpAddressEntry");
    const auto create = IpHelper<UnicastRowFn>("CreateUnicastIpAddressEntry");
    if (initialize && create) {
      MIB_UNICASTIPADDRESS_ROW row;
      initialize(&row);
      row.Address.si_family = AF_INET;
      row.Address.Ipv4.sin_family = AF_INET;
      row.Address.Ipv4.sin_addr.s_addr = ToWire(address);
      row.InterfaceIndex = adapter.index;
      row.OnLinkPrefixLength = static_cast<UINT8>(*prefix);
      row.PrefixOrigin = IpPrefixOriginManual;  // as set in the adapter's dialog; the read-back tells
      row.SuffixOrigin = IpSuffixOriginManual;
      row.DadState = IpDadStatePreferred;
      const DWORD err = create(&row);
      // Already there (a change that died after this call): the read-back decides.
      return FromCode("CreateUnicastIpAddressEntry", err == ERROR_OBJECT_ALREADY_EXISTS ? NO_ERROR : err);
    }
    const std::string missing =
        initialize ? "CreateUnicastIpAddressEntry" : "InitializeUnicastIpAddressEntry";
    const auto add = IpHelper<decltype(&::AddIPAddress)>("AddIPAddress");
    if (!add) return Answer(missing, Status::Missing, ERROR_PROC_NOT_FOUND, "and there is no AddIPAddress");
    ULONG context = 0, instance = 0;
    const DWORD err = add(ToWire(address), ToWire(mask), adapter.index, &context, &instance);
    return FromCode("AddIPAddress", err, missing + " is not available on this system");
  }

  PlatformCall AddDefaultRoute(const AdapterRef& adapter, uint32_t gateway) override {
    const auto initialize = IpHelper<InitializeForwardFn>("InitializeIpForwardEntry");
    const auto create = IpHelper<ForwardRowFn>("CreateIpForwardEntry2");
    if (initialize && create) {
      MIB_IPFORWARD_ROW2 row;
      initialize(&row);
      row.InterfaceIndex = adapter.index;
      row.DestinationPrefix.Prefix.si_family = AF_INET;
      row.DestinationPrefix.PrefixLength = 0;
      row.NextHop.si_family = AF_INET;
      row.NextHop.Ipv4.sin_family = AF_INET;
      row.NextHop.Ipv4.sin_addr.s_addr = ToWire(gateway);
      row.Protocol = static_cast<NL_ROUTE_PROTOCOL>(MIB_IPPROTO_NETMGMT);
      row.Metric = 0;  // added to the interface's own metric, as for a gateway set in the dialog
      const DWORD err = create(&row);
      return FromCode("CreateIpForwardEntry2", err == ERROR_OBJECT_ALREADY_EXISTS ? NO_ERROR : err);
    }
    MIB_IPFORWARDROW row{};
    row.dwForwardNextHop = ToWire(gateway);
    row.dwForwardIfIndex = adapter.index;
    row.dwForwardType = MIB_IPROUTE_TYPE_INDIRECT;
    row.dwForwardProto = MIB_IPPROTO_NETMGMT;
    row.dwForwardMetric1 = 1;
    const DWORD err = ::CreateIpForwardEntry(&row);
    return FromCode("CreateIpForwardEntry", err,
                    std::string(initialize ? "CreateIpForwardEntry2" : "InitializeIpForwardEntry") +
                        " is not available on this system");
  }

  PlatformCall SetNameServers(const AdapterRef& adapter, const std::vector<uint32_t>& servers) override {
    std::string list;
    for (uint32_t server : servers) list += (list.empty() ? "" : ",") + nvutil::FormatDotted(server);
    return NameServers(adapter, list);
  }
  PlatformCall ClearNameServers(const AdapterRef& adapter) override { return NameServers(adapter, ""); }

  PlatformCall ReadAddresses(const AdapterRef& adapter, AdapterAddressView& out) override {
    out = {};
    const PlatformCall addresses = ReadUnicastTable(adapter, out);
    if (!addresses.ok()) return addresses;
    std::vector<MIB_IPFORWARDROW> routes;
    if (const DWORD err = ReadRouteRows(routes)) return FromCode("GetIpForwardTable", err);
    for (const MIB_IPFORWARDROW& row : routes)
      if (row.dwForwardDest == 0 && row.dwForwardMask == 0 && row.dwForwardIfIndex == adapter.index)
        out.gateways.push_back(FromWire(row.dwForwardNextHop));
    return addresses;
  }

  // Where the table of version 6 exists it also tells how an address came (by hand or by DHCP)
  // and whether it is usable yet (duplicate address detection): only preferred ones count.
  PlatformCall ReadUnicastTable(const AdapterRef& adapter, AdapterAddressView& out) {
    using GetTableFn = DWORD(WINAPI*)(ADDRESS_FAMILY, MIB_UNICASTIPADDRESS_TABLE**);
    using FreeFn = VOID(WINAPI*)(PVOID);
    const auto getTable = IpHelper<GetTableFn>("GetUnicastIpAddressTable");
    const auto freeTable = IpHelper<FreeFn>("FreeMibTable");
    if (getTable && freeTable) {
      MIB_UNICASTIPADDRESS_TABLE* table = nullptr;
      if (const DWORD err = getTable(AF_INET, &table)) return FromCode("GetUnicastIpAddressTable", err);
      for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_UNICASTIPADDRESS_ROW& row = table->Table[i];
        if (row.InterfaceIndex != adapter.index || row.DadState != IpDadStatePreferred) continue;
        out.addresses.push_back({FromWire(row.Address.Ipv4.sin_addr.s_addr),
                                 nvutil::PrefixLengthToMask(row.OnLinkPrefixLength),
                                 row.PrefixOrigin == IpPrefixOriginManual});
      }
      freeTable(table);
      return PlatformCall::Done("GetUnicastIpAddressTable");
    }
    std::vector<MIB_IPADDRROW> addresses;
    if (const DWORD err = ReadAddressRows(addresses)) return FromCode("GetIpAddrTable", err);
    for (const MIB_IPADDRROW& row : addresses)
      if (row.dwIndex == adapter.index && row.dwAddr != 0)
        out.addresses.push_back({FromWire(row.dwAddr), FromWire(row.dwMask), true});
    return PlatformCall::Done("GetIpAddrTable");
  }

  PlatformCall RemoveAddress(const AdapterRef& adapter, uint32_t address) override {
    std::vector<MIB_IPADDRROW> rows;
    if (const DWORD err = ReadAddressRows(rows)) return FromCode("GetIpAddrTable", err);
    const bool held = std::any_of(rows.begin(), rows.end(), [&](const MIB_IPADDRROW& row) {
      return row.dwIndex == adapter.index && row.dwAddr == ToWire(address);
    });
    if (!held) return Answer("GetIpAddrTable", Status::NotFound);
    if (const auto remove = IpHelper<UnicastRowFn>("DeleteUnicastIpAddressEntry")) {
      MIB_UNICASTIPADDRESS_ROW row{};
      row.Address.si_family = AF_INET;
      row.Address.Ipv4.sin_family = AF_INET;
      row.Address.Ipv4.sin_addr.s_addr = ToWire(address);
      row.InterfaceIndex = adapter.index;
      return FromCode("DeleteUnicastIpAddressEntry", remove(&row));
    }
    // The older call needs the address's context, which only the adapter list tells.
    ULONG context = 0;
    bool found = false;
    const DWORD err = ForEachAdapter([&](const IP_ADAPTER_INFO& a) {
      if (a.Index != adapter.index) return false;
      int guard = 0;
      for (const IP_ADDR_STRING* s = &a.IpAddressList; s && guard < 256; s = s->Next, ++guard) {
        char text[sizeof s->IpAddress.String + 1] = {};
        std::memcpy(text, s->IpAddress.String, sizeof s->IpAddress.String);
        if (nvutil::ParseDotted(text) == address) {
          context = s->Context;
          found = true;
        }
      }
      return true;
    });
    if (err) return FromCode("GetAdaptersInfo", err);
    if (!found) return Answer("GetAdaptersInfo", Status::NotFound);
    return FromCode("DeleteIPAddress", ::DeleteIPAddress(context),
                    "DeleteUnicastIpAddressEntry is not available on this system");
  }

  PlatformCall RemoveDefaultRoute(const AdapterRef& adapter, uint32_t gateway) override {
    std::vector<MIB_IPFORWARDROW> rows;
    if (const DWORD err = ReadRouteRows(rows)) return FromCode("GetIpForwardTable", err);
    PlatformCall result = Answer("GetIpForwardTable", Status::NotFound);
    for (MIB_IPFORWARDROW& row : rows) {
      if (!IsOurDefaultRoute(row, adapter, gateway)) continue;
      result = FromCode("DeleteIpForwardEntry", ::DeleteIpForwardEntry(&row));
      if (!result.ok()) return result;
    }
    if (!result.ok()) return result;
    // Some stacks answer success without effect: only the table says it is gone.
    if (const DWORD err = ReadRouteRows(rows)) return FromCode("GetIpForwardTable", err);
    for (const MIB_IPFORWARDROW& row : rows)
      if (IsOurDefaultRoute(row, adapter, gateway))
        return Answer("DeleteIpForwardEntry", Status::Refused, ERROR_CALL_NOT_IMPLEMENTED,
                      "reported success but the route is still in the table");
    return result;
  }

  void Sleep(uint32_t ms) override { ::Sleep(ms); }

 private:
  template <typename Match>
  PlatformCall Find(Match match, AdapterRef& out) {
    bool found = false;
    const DWORD err = ForEachAdapter([&](const IP_ADAPTER_INFO& a) {
      if (!match(a)) return false;
      out = {a.AdapterName, a.Index};
      found = true;
      return true;
    });
    if (err) return FromCode("GetAdaptersInfo", err);
    return found ? PlatformCall::Done("GetAdaptersInfo") : Answer("GetAdaptersInfo", Status::NotFound);
  }

  PlatformCall Lease(const AdapterRef& adapter, bool renew) {
    const char* call = renew ? "IpRenewAddress" : "IpReleaseAddress";
    std::vector<ULONGLONG> storage;
    const DWORD err = FillTable(storage, [](BYTE* data, ULONG* size) {
      return ::GetInterfaceInfo(reinterpret_cast<IP_INTERFACE_INFO*>(data), size);
    });
    if (err == ERROR_NO_DATA) return Answer(call, Status::NotFound);
    if (err) return FromCode("GetInterfaceInfo", err);
    const auto* info = reinterpret_cast<const IP_INTERFACE_INFO*>(storage.data());
    const std::size_t room = (storage.size() * sizeof(ULONGLONG) - offsetof(IP_INTERFACE_INFO, Adapter)) /
                             sizeof(IP_ADAPTER_INDEX_MAP);
    const std::size_t count = info->NumAdapters < 0 ? 0 : std::min<std::size_t>(info->NumAdapters, room);
    for (std::size_t i = 0; i < count; ++i) {
      if (info->Adapter[i].Index != adapter.index) continue;
      IP_ADAPTER_INDEX_MAP map = info->Adapter[i];
      return FromCode(call, renew ? ::IpRenewAddress(&map) : ::IpReleaseAddress(&map));
    }
    return Answer(call, Status::NotFound);
  }

  // An empty list gives the adapter back its name servers from DHCP.
  PlatformCall NameServers(const AdapterRef& adapter, const std::string& list) {
    if (const auto set = IpHelper<SetDnsFn>("SetInterfaceDnsSettings")) {
      GUID guid;
      if (!ParseGuid(adapter.name, guid))
        return Answer("SetInterfaceDnsSettings", Status::Refused, ERROR_INVALID_PARAMETER,
                      "the adapter name " + adapter.name + " is no GUID");
      std::wstring servers = nv::text::Widen(list);
      DnsInterfaceSettings settings{};
      settings.Version = kDnsSettingsVersion1;
      settings.Flags = kDnsSettingNameServer;
      settings.NameServer = servers.data();
      return FromCode("SetInterfaceDnsSettings", set(guid, &settings));
    }
    // Before Windows 10 2004: the interface's own value, as the adapter's dialog writes it.
    const std::wstring key = nv::text::Widen(InterfaceKey(adapter));
    HKEY opened = nullptr;
    LSTATUS err = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &opened);
    const nv::win32::UniqueKey handle(opened);
    if (err == ERROR_FILE_NOT_FOUND && list.empty()) return Answer("RegOpenKeyExW", Status::NotFound);
    if (err != ERROR_SUCCESS)
      return Answer("RegOpenKeyExW", Status::Refused, static_cast<DWORD>(err),
                    InterfaceKey(adapter) + " (SetInterfaceDnsSettings is not available on this system)");
    const std::wstring value = nv::text::Widen(list);
    err =
        ::RegSetValueExW(handle.get(), L"NameServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return FromCode("RegSetValueExW", static_cast<DWORD>(err), "NameServer of " + InterfaceKey(adapter));
  }
};

}  // namespace

std::unique_ptr<IFixedAddressPlatform> MakeSystemFixedAddressPlatform() {
  return std::make_unique<IpHelperFixedAddress>();
}

}  // namespace nv::core
