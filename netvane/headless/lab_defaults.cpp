#include "lab_defaults.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "corekit/os_version.h"
#include "corekit/registry.h"
#include "netvane/cfginfo.h"
#include "netvane/product_key.h"
#include "runner_options.h"

namespace nv::headless {

bool ReadInterfaceMac(const std::string& adapter, std::array<uint8_t, 6>& mac, std::string& error) {
  if (adapter.empty() || adapter.find('/') != std::string::npos || adapter == "." || adapter == "..") {
    error = "'" + adapter + "' is not an interface name";
    return false;
  }
  std::ifstream in("/sys/class/net/" + adapter + "/address");
  std::string text;
  const auto parsed = in && std::getline(in, text) ? ParseMac(text) : std::nullopt;
  if (!parsed) {
    error = "interface '" + adapter + "' has no Ethernet address here";
    return false;
  }
  mac = *parsed;
  return true;
}

bool WriteLabConfiguration(const LabEnvironment& env, std::string& error) {
  CRegistry reg;
  const std::string base = nv::core::ProductKeyPath();
  if (!reg.Connect(corekit::kHKeyLocalMachine) || !reg.Create(base.c_str())) {
    error = "cannot create the product key (error " + std::to_string(reg.GetErrorCode()) + ")";
    return false;
  }
  const bool baseWritten =
      reg.SetValue("InstalledPath", env.installDir) && reg.SetValue("UseLang", std::string("ENG")) &&
      reg.SetValue("dwPktCnt", env.packetCount) && reg.SetValue("dwPktDly", uint32_t{0}) &&
      reg.SetValue("dwInterval", uint32_t{0}) && reg.SetValue("dwSilentChng", uint32_t{0});
  if (!baseWritten) {
    error = "cannot write the product key (error " + std::to_string(reg.GetErrorCode()) + ")";
    return false;
  }
  reg.Close();

  CCfginfo cfg;
  const std::string bindName = "\\Device\\RgateII_" + env.adapter;
  cfg.dwIPnum = 2;
  for (NetCfgRecord& r : cfg.net) {
    r.szNetDev = env.adapter + " [" + bindName + "]";
    r.szBindName = bindName;
    r.ucMacAddr = env.mac;
  }
  cfg.net[0].useDhcp = 1;
  cfg.net[1].useDhcp = 0;
  cfg.net[1].IPAddr = env.addressB;
  cfg.net[1].NetMask = env.maskB;
  cfg.net[1].Gateway = env.gatewayB;
  cfg.net[1].dns[0] = env.dnsB;
  // Network A's gateway comes from its DHCP server; it is kept for the runner's check.
  cfg.net[0].Gateway = env.gatewayA;
  if (env.bothDhcp) {
    for (NetCfgRecord& r : cfg.net) {
      r.useDhcp = 1;
      r.IPAddr = r.NetMask = r.Gateway = 0;
      std::fill(std::begin(r.dns), std::end(r.dns), 0u);
    }
  }
  cfg.dwOpt = CCfginfo::kDefaultOpt | 0x04;  // the log on
  cfg.dwComport = 0;                         // Ethernet control frames
  cfg.szNet[0] = "INTRANET";
  cfg.szNet[1] = "INTERNET";
  COSversion os;
  if (!cfg.SaveNetworks(os) || !cfg.SaveOptions()) {
    error = "cannot write the network settings (error " + std::to_string(cfg.m_registry.GetErrorCode()) + ")";
    return false;
  }

  // Read back: a store that silently lost or cut the writes must not look configured.
  CCfginfo check;
  check.LoadBase(os);
  check.LoadNetworks();
  if (check.InstalledPath != env.installDir || check.dwIPnum != 2 ||
      check.net[1].IPAddr != cfg.net[1].IPAddr || check.net[0].szBindName != bindName ||
      check.net[1].useDhcp != cfg.net[1].useDhcp) {
    error = "the configuration did not read back as written";
    return false;
  }
  return true;
}

}  // namespace nv::headless
