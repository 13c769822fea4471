#include "netvane/change_ip.h"

#include <cstdio>
#include <cstring>

#include "corekit/debug.h"
#include "netvane/cfginfo.h"
#include "nvutil/net_util.h"
#include "platform/text.h"

namespace nv::core {

std::string DottedAddress(uint32_t a) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (a >> 24) & 0xFF, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                a & 0xFF);
  return text;
}

}  // namespace nv::core

namespace {

constexpr uint32_t kReleaseWaitMs = 10000;
constexpr uint32_t kRenewWaitMs = 60000;
constexpr uint32_t kDhcpStepPauseMs = 1500;
constexpr size_t kServiceNameOffset = 16;  // "\Device\RgateII_" precedes the service name

bool IsWin95(const std::string& name) { return nv::text::EqualsNoCase(name, "WIN95"); }
bool IsWinNT(const std::string& name) { return nv::text::EqualsNoCase(name, "WINNT"); }

}  // namespace

CChangeIP::CChangeIP(const CCfginfo& cfg, nv::core::OsFacts os, std::unique_ptr<CNetUtil> net,
                     std::unique_ptr<nv::core::IDhcpEmulation> emu, nv::core::ChangeIpEnvironment& env)
    : m_cfg(cfg), m_os(std::move(os)), m_net(std::move(net)), m_emu(std::move(emu)), m_env(env) {}

CChangeIP::~CChangeIP() {
  if (m_emu) m_emu->DrvClose();
}

int CChangeIP::OpenDhcpEmu() {
  // A run that died while armed may have left the adapter's DHCP traffic redirected: before
  // anything else, whether or not this configuration ever arms the emulation.
  RemoveStaleEmulation(m_cfg.net[0]);
  if (m_cfg.net[1].ucMacAddr != m_cfg.net[0].ucMacAddr) RemoveStaleEmulation(m_cfg.net[1]);
  if (m_cfg.dwIPnum < 2) return 1;  // only a second network can need the emulation
  return m_emu->DrvOpen();
}

void CChangeIP::RemoveStaleEmulation(const NetCfgRecord& record) {
  if (m_emulating != 0) return;  // our own live state is not stale
  unsigned char mac[6];
  std::memcpy(mac, record.ucMacAddr.data(), sizeof mac);
  bool any = false;
  for (const unsigned char b : mac) any = any || b != 0;
  if (!any) return;
  const std::string removed = m_emu->RemoveStale(mac);
  if (!removed.empty()) CDebug::dprintf("Emulation: removed what an earlier run left: %s\n", removed.c_str());
}

std::string CChangeIP::EmulationError() const { return m_emu->LastError(); }

int CChangeIP::CloseDhcpEmu() {
  m_emu->DrvClose();
  return 1;
}

int CChangeIP::DelArp(uint32_t gateway) {
  m_net->DelArpEnt(nv::core::DottedAddress(gateway).c_str(), nullptr);
  return 1;
}

int CChangeIP::AddGateway(uint32_t gateway) {
  CDebug::dprintf("osversion(%d)\n", static_cast<int>(m_os.major));
  const std::string gw = nv::core::DottedAddress(gateway);
  if (m_os.major == 6) {
    m_net->AddGWEntryVista("0.0.0.0", "0.0.0.0", gw.c_str(), nullptr, 1);
  } else {
    m_net->AddGWEntry("0.0.0.0", "0.0.0.0", gw.c_str(), nullptr, 1);
  }
  return 1;
}

int CChangeIP::DelGateway() {
  m_net->DelGWEntry("0.0.0.0");
  return 1;
}

void CChangeIP::UseFixedAddressStep(std::unique_ptr<nv::core::IFixedAddressPlatform> platform,
                                    std::unique_ptr<nv::core::IAppliedStaticStore> store) {
  m_fixedPlatform = std::move(platform);
  m_fixedStore = std::move(store);
  m_fixed = std::make_unique<nv::core::FixedAddressStep>(*m_fixedPlatform, *m_fixedStore);
}

std::string CChangeIP::RecoverFixedSettings() {
  return m_fixed ? m_fixed->Recover(m_cfg.net[0]) : std::string();
}

int CChangeIP::ChangeIPbyDHCP(const NetCfgRecord& record) {
  CDebug::dprintf("ChangeIPbyDHCP Entry\n");
  // Every change starts from an adapter whose DHCP traffic reaches the wire: a change to a DHCP
  // network could otherwise never reach its server.
  RemoveStaleEmulation(record);
  m_failure.clear();
  if (m_fixed && !record.useDhcp) {
    const nv::core::FixedStepResult applied = m_fixed->Apply(record);
    m_failure = applied.detail;
    return applied.ok ? kAddressesChanged : kFixedSettingsFailed;
  }
  // On the way to a DHCP network our fixed settings come off first; the renew below follows.
  if (m_fixed) {
    const nv::core::FixedStepResult back = m_fixed->BackToDhcp();
    if (!back.ok) m_failure = back.detail;
  }
  const uint8_t* mac = record.ucMacAddr.data();
  char text[18];
  std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  m_macText = text;

  if (!IsWinNT(m_os.name) && !IsWin95(m_os.name) && m_interface == 0) {
    CDebug::dprintf("GetIntNUM Entry\n");
    m_interface = m_net->GetInterfaceNum(nvutil::MacAddress{mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]});
    CDebug::dprintf("End GetIntNum\n");
    if (m_interface == 0) {
      CDebug::dprintf("GetInterFaceNum Fail(%s)\n", m_macText.c_str());
      return kNoInterface;
    }
  }

  DhcpMode mode = DhcpMode::Server;
  if (record.useDhcp) {
    CDebug::dprintf("CChangeIP : Get IP from Server\n");
  } else {
    m_info = _uIPINFO{};
    m_info.dwIPAddr = record.IPAddr;
    m_info.dwSubnetMask = record.NetMask;
    m_info.dwGateway = record.Gateway;
    const std::string dns = nv::core::DottedAddress(record.dns[0]);
    std::snprintf(m_info.szDns, sizeof m_info.szDns, "%s", dns.c_str());
    std::memcpy(m_info.ucMacAddr, mac, sizeof m_info.ucMacAddr);
    CDebug::dprintf("DNS-(%s)", m_info.szDns);
    mode = DhcpMode::Emulated;
  }
  const int result = DhcpRequest(mode);
  DhcpRequest(DhcpMode::End);
  if (result != kAddressesChanged) {
    // No address of the target network: none of the network left may stay on the new wire.
    CDebug::dprintf("ChangeIPbyDHCP: no address (%d): releasing and clearing the adapter\n", result);
    Release();
    ClearAdapter();
  }
  if (!m_failure.empty()) return kFixedSettingsFailed;
  return result;
}

int CChangeIP::ClearAddresses(const NetCfgRecord& record) {
  // Fixed settings set on the adapter itself (and their name servers, which the network helper
  // does not clear) would stay or come back with the adapter: they go first, with their record.
  bool fixedOff = true;
  if (m_fixed) {
    const nv::core::FixedStepResult off = m_fixed->BackToDhcp();
    fixedOff = off.ok;
    if (!off.ok) CDebug::dprintf("ClearAddresses: %s\n", off.detail.c_str());
  }
  const uint8_t* mac = record.ucMacAddr.data();
  if (!IsWinNT(m_os.name) && !IsWin95(m_os.name) && m_interface == 0)
    m_interface = m_net->GetInterfaceNum(nvutil::MacAddress{mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]});
  CDebug::dprintf("ClearAddresses: releasing and clearing interface %u\n",
                  static_cast<unsigned>(m_interface));
  const int released = Release();
  const int cleared = ClearAdapter();
  return fixedOff && released != 0 && cleared != 0 ? 1 : 0;
}

int CChangeIP::Release() {
  if (IsWinNT(m_os.name)) return ReleaseTool(0);
  if (IsWin95(m_os.name)) return DriveWinIpCfg(true);
  if (m_interface == 0) return 0;
  return m_net->LeaseIP(m_interface, 0);
}

int CChangeIP::ClearAdapter() {
  // The tools of Windows 95 and NT 4 know no interface numbers: their release is all there is.
  if (IsWinNT(m_os.name) || IsWin95(m_os.name)) return 1;
  if (m_interface == 0) return 0;
  return m_net->ClearAdapter(m_interface);
}

int CChangeIP::DhcpRequest(DhcpMode mode) {
  if (mode != DhcpMode::End) m_addressFailure.clear();
  switch (mode) {
    case DhcpMode::Emulated:
      m_emulating = 1;
      CDebug::dprintf("DHCP IP Set\n");
      if (m_emu->SetStartDHCP(m_info) == 0) {
        // Nothing would answer the renew: releasing now would only take the adapter's address
        // away, or let a server on the wire hand out the other network's settings.
        CDebug::dprintf("SetStartDHCP failed: %s\n", m_emu->LastError().c_str());
        m_emulating = 0;
        return kEmulationFailed;
      }
      break;
    case DhcpMode::Server:
      m_emulating = 0;
      break;
    case DhcpMode::End:
      m_emulating = 0;
      m_emu->SetEndDHCP();
      return kAddressesChanged;
  }
  m_env.Sleep(kDhcpStepPauseMs);
  int released = 0;
  if (IsWinNT(m_os.name)) {
    released = ReleaseTool(0);
  } else if (!IsWin95(m_os.name)) {
    released = m_net->LeaseIP(m_interface, 0);
    // What the release leaves (routes, neighbour entries, IPv6 addresses learnt from router
    // advertisements) belongs to the network left as much as the address did.
    ClearAdapter();
  }
  m_env.Sleep(kDhcpStepPauseMs);
  CDebug::dprintf("Start Renew\n");
  int renewed = 0;
  // A declined address will not be offered again: waiting out the renew would only delay the
  // failure.
  if (mode == DhcpMode::Emulated) m_net->SetRenewCancel([this] { return m_emu->DeclinedAddress() != 0; });
  if (IsWinNT(m_os.name) || IsWin95(m_os.name)) {
    renewed = RenewStep(0);
  } else {
    renewed = m_net->LeaseIP(m_interface, 1);
  }
  m_net->SetRenewCancel(nullptr);
  CDebug::dprintf("-- End Dhcp Req Thread idx(%d)(%x,%d)(%x,%d)\n", static_cast<int>(m_interface), released,
                  released, renewed, renewed);
  if (mode == DhcpMode::Emulated && m_emu->DeclinedAddress() != 0) {
    m_addressFailure =
        "address " + nv::core::DottedAddress(m_emu->DeclinedAddress()) + " is in use on this network";
    CDebug::dprintf("DHCP emulation: %s\n", m_addressFailure.c_str());
    return kAddressInUse;
  }
  // Only the network helper says whether the renew took effect; the tools' results tell nothing.
  const bool helperRenew = !IsWinNT(m_os.name) && !IsWin95(m_os.name);
  return helperRenew && renewed == 0 ? kRenewFailed : kAddressesChanged;
}

std::string CChangeIP::ServiceName() const {
  const std::string& bind = m_cfg.net[0].szBindName;
  return bind.size() > kServiceNameOffset ? bind.substr(kServiceNameOffset) : std::string();
}

int CChangeIP::ReleaseTool(int network) {
  if (network < 0) return 0;
  if (IsWin95(m_os.name)) return DriveWinIpCfg(true);
  const std::string service = ServiceName();
  CDebug::dprintf("NT AdapterName(%s)", service.c_str());
  m_env.RunTool("IPCONFIG.EXE", "/RELEASE " + service, kReleaseWaitMs);
  return 1;
}

int CChangeIP::RenewStep(int network) {
  if (network < 0) return 0;
  if (IsWin95(m_os.name)) return DriveWinIpCfg(false);
  const std::string service = ServiceName();
  CDebug::dprintf("NT AdapterName(%s)", service.c_str());
  m_env.RunTool("IPCONFIG.EXE", "/RENEW " + service, kRenewWaitMs);
  return 1;
}

int CChangeIP::DriveWinIpCfg(bool releaseOnly) {
  nv::core::IWinIpCfgWindow* window = m_env.WinIpCfg();
  if (window == nullptr || !window->Open()) return 0;
  const int count = window->AdapterCount();
  CDebug::dprintf("AdapterCnt(%d)\n", count);
  // Step through the adapter list until the tool shows our adapter; give up after the last one.
  bool found = false;
  for (int next = 0;; ++next) {
    const std::string shown = window->AdapterAddress();
    CDebug::dprintf("------>GetAddr(%s) Addr(%s)<------\n", shown.c_str(), m_macText.c_str());
    if (nv::text::EqualsNoCase(shown, m_macText)) {
      found = true;
      break;
    }
    if (next >= count) break;
    window->SelectAdapter(next);
  }
  // Never release or renew another adapter's address.
  if (found && window->ReleaseEnabled()) {
    if (window->IpAddress() != "0.0.0.0") window->PressRelease();
    if (!releaseOnly) window->PressRenew();
  }
  return 1;
}

int CChangeIP::ReadAdapter(const NetCfgRecord& record, nvutil::AdapterSnapshot& out, std::string& error) {
  const nvutil::MacAddress mac{record.ucMacAddr[0], record.ucMacAddr[1], record.ucMacAddr[2],
                               record.ucMacAddr[3], record.ucMacAddr[4], record.ucMacAddr[5]};
  if (m_net && m_net->GetAdapterSnapshot(mac, out)) return 1;
  error = "the adapter " + nvutil::FormatMac(mac) + " could not be read (error " +
          std::to_string(m_net ? m_net->LastError() : 0) + ")";
  return 0;
}
