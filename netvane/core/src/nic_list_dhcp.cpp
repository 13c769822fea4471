// CNicList::SetAdapterDhcp: switches the chosen adapter to automatic addressing with no fixed
// address, gateway or name servers, and records the changed key paths in the product key (the
// uninstaller reads them back).  Each key is opened without creating it; a step whose key does
// not open is traced and the next step runs all the same.
#include <cstdint>
#include <string>
#include <vector>

#include "corekit/debug.h"
#include "corekit/registry.h"
#include "netvane/nic_descriptors.h"
#include "netvane/nic_list.h"
#include "netvane/product_key.h"
#include "nic_registry_paths.h"

namespace paths = nv::core::nic_paths;

namespace {

constexpr char kNoAddress[] = "0.0.0.0";

}  // namespace

void CNicList::OpenForWrite(CRegistry& reg, const std::string& path) const noexcept {
  // The writes go on regardless; into a key that did not open they fail without effect.
  if (!OpenKey(reg, path))
    CDebug::dprintf("SetAdapterDhcp: %s not opened (%d)\n", path.c_str(), reg.GetErrorCode());
}

bool CNicList::SetAdapterDhcp(int index) noexcept {
  const Entry* entry = At(index);
  // A 95/98 binding without TCP/IP information names no key to change.
  if (entry == nullptr || entry->adapterName.empty()) return false;
  try {
    if (m_family == nv::core::NicFamily::kWin9x)
      SetDhcpWin9x(*entry);
    else
      SetDhcpNT(*entry);
  } catch (const std::exception& e) {
    CDebug::dprintf("SetAdapterDhcp stopped (%s)\n", e.what());
  }
  return true;
}

void CNicList::SetDhcpNT(const Entry& entry) {
  const auto record = [&](const char* name, const std::string& path) {
    CRegistry product(m_registry);
    OpenForWrite(product, nv::core::ProductKeyPath());
    product.SetValue(name, path);
  };
  const auto no_fixed_address = [&](const std::string& path) {
    CRegistry reg(m_registry);
    OpenForWrite(reg, path);
    reg.SetValue("IPAddress", std::vector<std::string>{kNoAddress});
    reg.SetValue("SubnetMask", std::vector<std::string>{kNoAddress});
    reg.DeleteValue("DefaultGateway");
    reg.SetValue("EnableDHCP", uint32_t{1});
  };

  const std::string& first = entry.tcpIpKey;
  record("szBindPath1", first);
  no_fixed_address(first);

  const bool nt5 = m_family == nv::core::NicFamily::kNT5;
  const std::string service = nv::core::ServiceNameOfAdapter(entry.adapterName);
  const std::string second = nt5 ? paths::Nt5InterfaceKey(service) : paths::Nt4SecondTcpIpKey(service);
  record("szBindPath2", second);
  no_fixed_address(second);

  {
    CRegistry name_servers(m_registry);
    OpenForWrite(name_servers, nt5 ? paths::Nt5NameServerKey(service) : std::string(paths::kTcpIpParameters));
    name_servers.DeleteValue("NameServer");
    name_servers.DeleteValue("SearchList");
  }
  {
    CRegistry parameters(m_registry);
    OpenForWrite(parameters, paths::kTcpIpParameters);
    parameters.SetValue("DisableDHCPMediaSense", uint32_t{1});
  }
  {
    CRegistry dhcp(m_registry);
    OpenForWrite(dhcp, paths::kDhcpService);
    dhcp.SetValue("Start", uint32_t{2});  // automatic start
  }
}

void CNicList::SetDhcpWin9x(const Entry& entry) {
  const std::string key = paths::Join(paths::kWin9xClass, entry.tcpIpKey);
  {
    CRegistry product(m_registry);
    OpenForWrite(product, nv::core::ProductKeyPath());
    product.SetValue("szBindPath", key);
  }
  {
    CRegistry binding(m_registry);
    OpenForWrite(binding, key);
    binding.SetValue("IPAddress", std::string(kNoAddress));
    binding.SetValue("IPMask", std::string(kNoAddress));
    binding.DeleteValue("DefaultGateway");
    binding.SetValue("DisableDHCPMediaSense", std::string("1"));
    binding.SetValue("ForceDisableDHCPMediaSense", std::string("1"));
  }
  {
    CRegistry mstcp(m_registry);
    OpenForWrite(mstcp, paths::kWin9xMstcp);
    mstcp.DeleteValue("NameServer");
    mstcp.DeleteValue("SearchList");
  }
}
