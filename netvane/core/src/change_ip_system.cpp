// The address renewal's real environment and the DHCP emulation behind its interface.
#include <chrono>
#include <thread>

#include "corekit/psapi.h"
#include "netvane/change_ip.h"
#include "nvserv/dhcpemu.h"

namespace nv::core {

namespace {

class SystemEnvironment : public ChangeIpEnvironment {
 public:
  void Sleep(uint32_t ms) noexcept override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  bool RunTool(const std::string& program, const std::string& arguments, uint32_t waitMs) noexcept override {
    CPSAPI tools;
    return tools.WinAppExec(program, arguments, true, waitMs) != 0;
  }
  IWinIpCfgWindow* WinIpCfg() noexcept override { return SystemWinIpCfgWindow(); }
};

class DhcpEmulation : public IDhcpEmulation {
 public:
  int DrvOpen() noexcept override { return emu_.DrvOpen(); }
  int SetStartDHCP(const _uIPINFO& info) noexcept override { return emu_.SetStartDHCP(info); }
  int SetEndDHCP() noexcept override { return emu_.SetEndDHCP(); }
  int DrvClose() noexcept override { return emu_.DrvClose(); }
  std::string LastError() const override { return emu_.LastError(); }
  uint32_t DeclinedAddress() const noexcept override { return emu_.DeclinedAddress(); }
  std::string RemoveStale(const unsigned char (&mac)[6]) noexcept override { return emu_.RemoveStale(mac); }

 private:
  CDHCPemu emu_;
};

}  // namespace

ChangeIpEnvironment& SystemChangeIpEnvironment() noexcept {
  static SystemEnvironment env;
  return env;
}

std::unique_ptr<IDhcpEmulation> MakeDhcpEmulation() { return std::make_unique<DhcpEmulation>(); }

}  // namespace nv::core
