// Gives the workstation the addresses of the network in force: default route,
// the gateway's address-resolution entry, and a DHCP release and renew that the
// network's own server answers, or, for a network with fixed settings, the DHCP
// emulation running on this machine.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "netvane/change_steps.h"
#include "netvane/fixed_address.h"
#include "nvserv/ipinfo.h"
#include "nvutil/net_stack.h"

class CCfginfo;
class CNetUtil;
struct NetCfgRecord;

namespace nv::core {

// The DHCP emulation as the address renewal uses it.
class IDhcpEmulation {
 public:
  virtual ~IDhcpEmulation() = default;
  virtual int DrvOpen() noexcept = 0;
  virtual int SetStartDHCP(const _uIPINFO& info) noexcept = 0;
  virtual int SetEndDHCP() noexcept = 0;
  virtual int DrvClose() noexcept = 0;
  // Why the last failed call failed, for the trace; empty when unknown.
  virtual std::string LastError() const { return {}; }
  // Removes what a run that died while armed left on the adapter with this MAC; says what
  // went ("" when nothing). Only while not armed.
  virtual std::string RemoveStale(const unsigned char (&mac)[6]) noexcept = 0;
  // The address the adapter's client declined since the last arming (another host holds it);
  // 0 when none.
  virtual uint32_t DeclinedAddress() const noexcept { return 0; }
};
std::unique_ptr<IDhcpEmulation> MakeDhcpEmulation();

// The Windows 95 address tool's window, driven through its controls.
class IWinIpCfgWindow {
 public:
  virtual ~IWinIpCfgWindow() = default;
  // Finds the tool's window, starting the tool hidden when it is not running; false when none appears.
  virtual bool Open() = 0;
  virtual int AdapterCount() = 0;
  virtual void SelectAdapter(int index) = 0;  // selects and notifies the window of the change
  virtual std::string AdapterAddress() = 0;   // the shown adapter's MAC text
  virtual std::string IpAddress() = 0;
  virtual bool ReleaseEnabled() = 0;
  virtual void PressRelease() = 0;
  virtual void PressRenew() = 0;
};

// What the address renewal needs of the system besides the two outside libraries.
class ChangeIpEnvironment {
 public:
  virtual ~ChangeIpEnvironment() = default;
  virtual void Sleep(uint32_t ms) noexcept = 0;
  // Runs a system tool hidden, ending it at the time limit; false when it did not start.
  virtual bool RunTool(const std::string& program, const std::string& arguments,
                       uint32_t waitMs) noexcept = 0;
  virtual IWinIpCfgWindow* WinIpCfg() noexcept = 0;
};
ChangeIpEnvironment& SystemChangeIpEnvironment() noexcept;
// The Windows 95 address tool's window on this system; null where the tool cannot exist.
IWinIpCfgWindow* SystemWinIpCfgWindow() noexcept;

// Version facts that choose the release/renew method and the route call.
struct OsFacts {
  std::string name;  // "WIN95", "WINNT", "WINXP", ...
  uint32_t major = 0;
};

std::string DottedAddress(uint32_t address);

}  // namespace nv::core

class CChangeIP : public nv::core::IAddressRenewal {
 public:
  // Release/renew through the given collaborators (the tray program passes the real ones).
  CChangeIP(const CCfginfo& cfg, nv::core::OsFacts os, std::unique_ptr<CNetUtil> net,
            std::unique_ptr<nv::core::IDhcpEmulation> emu,
            nv::core::ChangeIpEnvironment& env = nv::core::SystemChangeIpEnvironment());
  ~CChangeIP() override;
  CChangeIP(const CChangeIP&) = delete;
  CChangeIP& operator=(const CChangeIP&) = delete;

  // Removes emulation state a run that died left on the adapter (first thing at start-up).
  int OpenDhcpEmu();
  // Removes what a run that died while armed left on the adapter of `record`, and traces it.
  void RemoveStaleEmulation(const NetCfgRecord& record);
  // Fixed settings of this step come off first (and their record with them), so that nothing
  // of either network comes back at the next start.
  int ClearAddresses(const NetCfgRecord& record) override;
  // Why the emulation did not open or arm (for the trace).
  std::string EmulationError() const;
  int CloseDhcpEmu();
  int DelArp(uint32_t gateway) override;
  int AddGateway(uint32_t gateway) override;
  int DelGateway() override;
  int ChangeIPbyDHCP(const NetCfgRecord& record) override;
  std::string FailureDetail() const override { return m_failure; }
  // Where the emulation cannot answer the adapter (Windows), fixed settings are set on the
  // adapter itself by this step, and taken off again on the way to a DHCP network.
  void UseFixedAddressStep(std::unique_ptr<nv::core::IFixedAddressPlatform> platform,
                           std::unique_ptr<nv::core::IAppliedStaticStore> store);
  // At start, before anything else: undoes fixed settings a run that died left on the adapter.
  // The "RECOVER ..." log line, empty when there was nothing to undo.
  std::string RecoverFixedSettings();
  // What the adapter of `record` (found by its MAC) holds now, through the network helper;
  // 0 with `error` set when it could not be read.
  int ReadAdapter(const NetCfgRecord& record, nvutil::AdapterSnapshot& out, std::string& error);

  uint32_t interfaceNumber() const noexcept { return m_interface; }
  bool emulating() const noexcept { return m_emulating != 0; }

  enum class DhcpMode { Server, Emulated, End };
  // kAddressesChanged, or why no address was obtained: kEmulationFailed (the emulation refused
  // to arm; nothing was released or renewed), kAddressInUse (the client declined the emulated
  // address, AddressFailure() says which) or kRenewFailed (the renew got no answer).
  int DhcpRequest(DhcpMode mode);
  // Why the last address step failed, for the user ("address 10.92.1.50 is in use on this
  // network"); empty after a step that did not fail that way.
  std::string AddressFailure() const override { return m_addressFailure; }

 private:
  int Release();
  int ClearAdapter();
  int ReleaseTool(int network);
  int RenewStep(int network);
  int DriveWinIpCfg(bool releaseOnly);
  std::string ServiceName() const;

  int m_emulating = 0;
  const CCfginfo& m_cfg;
  nv::core::OsFacts m_os;
  std::unique_ptr<CNetUtil> m_net;
  std::unique_ptr<nv::core::IDhcpEmulation> m_emu;
  nv::core::ChangeIpEnvironment& m_env;
  _uIPINFO m_info{};
  uint32_t m_interface = 0;
  std::string m_macText;
  std::string m_addressFailure;
  std::unique_ptr<nv::core::IFixedAddressPlatform> m_fixedPlatform;
  std::unique_ptr<nv::core::IAppliedStaticStore> m_fixedStore;
  std::unique_ptr<nv::core::FixedAddressStep> m_fixed;
  std::string m_failure;
};
