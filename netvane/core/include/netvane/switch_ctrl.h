// Commands the external switch box: by the DTR/RTS lines of a serial port
// (dwComport 1 to 4) or by a broadcast Ethernet control frame sent through the
// switch packet driver (dwComport 0).  dwComport 5 means no control path.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "netvane/change_steps.h"
#include "netvane/switch_frame.h"
#include "platform/serial_port.h"
#include "rgtarn/RG_DevIO.h"

class CCfginfo;

namespace nv::core {

// The clock, the waits, the serial ports and the persisted time of the last burst.
class SwitchEnvironment {
 public:
  virtual ~SwitchEnvironment() = default;
  virtual uint32_t TickCount() noexcept = 0;
  virtual void Sleep(uint32_t ms) noexcept = 0;
  // "dwLastSend" under the product key; false when it does not exist yet.
  virtual bool ReadLastSend(uint32_t& tick) noexcept = 0;
  virtual void WriteLastSend(uint32_t tick) noexcept = 0;
  virtual std::unique_ptr<nv::serial::SerialPort> OpenComPort(unsigned number) noexcept = 0;
};

// The real environment: the tick count, sleeping, the registry and the COM ports.
SwitchEnvironment& SystemSwitchEnvironment() noexcept;

}  // namespace nv::core

class CSwitchCtrl : public CRG_DevIO, public nv::core::ISwitchCommand {
 public:
  explicit CSwitchCtrl(const CCfginfo& cfg,
                       nv::core::SwitchEnvironment& env = nv::core::SystemSwitchEnvironment()) noexcept;
  ~CSwitchCtrl() override;

  void InitRG() noexcept;
  int ConnectRG() noexcept;
  int DisconnectRG() noexcept;
  int ChangeRG(int network, int wait, nv::core::IProgressSink* indicator) override;

  bool connected() const noexcept { return m_connected != 0; }
  const nv::core::RGFrame& frame() const noexcept { return m_frame; }

 protected:
  // Tests reach the adapter through `open_link` instead of the packet driver.
  CSwitchCtrl(const CCfginfo& cfg, nv::core::SwitchEnvironment& env, rgtarn::LinkOpener open_link) noexcept;

 private:
  int PktDrvInit() noexcept;
  void BuildRGFrame() noexcept;
  int SendRGFrames(int network, int wait, nv::core::IProgressSink* indicator) noexcept;
  int SetRGLines(int network) noexcept;

  const CCfginfo& m_cfg;
  nv::core::SwitchEnvironment& m_env;
  std::unique_ptr<nv::serial::SerialPort> m_port;
  int m_connected = 0;
  int m_reverse = 0;
  uint32_t m_comport = 0;
  std::string m_adapterName;
  uint32_t m_pktCnt = 0;
  uint32_t m_pktDly = 0;
  uint32_t m_interval = 0;
  nv::core::MacAddress m_mac{};
  LPRG_PACKET m_packet = nullptr;
  nv::core::RGFrame m_frame{};
};
