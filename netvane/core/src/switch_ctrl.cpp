#include "netvane/switch_ctrl.h"

#include <algorithm>
#include <cstdio>

#include "corekit/debug.h"
#include "netvane/cfginfo.h"

namespace {

constexpr uint32_t kNoControlPath = 5;
constexpr size_t kCommandOffset = 20;

}  // namespace

CSwitchCtrl::CSwitchCtrl(const CCfginfo& cfg, nv::core::SwitchEnvironment& env) noexcept
    : CRG_DevIO(nullptr), m_cfg(cfg), m_env(env) {
  InitRG();
}

CSwitchCtrl::CSwitchCtrl(const CCfginfo& cfg, nv::core::SwitchEnvironment& env,
                         rgtarn::LinkOpener open_link) noexcept
    : CRG_DevIO(nullptr, std::move(open_link)), m_cfg(cfg), m_env(env) {
  InitRG();
}

CSwitchCtrl::~CSwitchCtrl() { DisconnectRG(); }

void CSwitchCtrl::InitRG() noexcept {
  DisconnectRG();
  m_comport = m_cfg.dwComport;
  m_reverse = m_cfg.reverse ? 1 : 0;
  m_adapterName = m_cfg.net[0].szBindName;
  m_pktCnt = m_cfg.dwPktCnt;
  m_pktDly = m_cfg.dwPktDly;
  m_interval = m_cfg.dwInterval;
  m_connected = 0;
  ConnectRG();
}

int CSwitchCtrl::ConnectRG() noexcept {
  CDebug::dprintf("ConnectRG\n");
  if (m_connected) return 1;
  if (m_comport == 0) {
    m_connected = PktDrvInit();
    return m_connected;
  }
  if (m_comport >= kNoControlPath) return 1;  // nothing to open; every change then fails
  m_port = m_env.OpenComPort(m_comport);
  if (!m_port) return 0;
  m_connected = 1;
  return 1;
}

int CSwitchCtrl::DisconnectRG() noexcept {
  if (m_packet) FreePacket(m_packet);
  m_packet = nullptr;
  DrvClose();
  m_port.reset();
  m_connected = 0;
  return 1;
}

int CSwitchCtrl::PktDrvInit() noexcept {
  CDebug::dprintf("PktDrvInit(%s) Entry\n", m_adapterName.c_str());
  if (!DrvOpen(m_adapterName)) return 0;
  m_mac.fill(0);
  if (!GetNicMac(m_mac.data())) {
    DrvClose();
    CDebug::dprintf("Fail Get Mac !!(%s)", m_adapterName.c_str());
    return 0;
  }
  if (std::all_of(m_mac.begin(), m_mac.end(), [](uint8_t b) { return b == 0; })) {
    DrvClose();
    return 0;
  }
  CDebug::dprintf("Open Mac(%x:%x:%x:%x:%x:%x)\n", m_mac[0], m_mac[1], m_mac[2], m_mac[3], m_mac[4],
                  m_mac[5]);
  if (!SetFilter()) {
    DrvClose();
    CDebug::dprintf("Fail Set Filter\n");
    return 0;
  }
  CDebug::dprintf("next m_crgDev SetFilter\n");
  BuildRGFrame();
  CDebug::dprintf("PktDrv End\n");
  return 1;
}

void CSwitchCtrl::BuildRGFrame() noexcept {
  if (m_packet) FreePacket(m_packet);
  m_packet = AllocPacket();
  // The packet refers to m_frame, so the command bytes written later go out as they stand.
  if (m_packet) InitPacket(m_packet, m_frame.data(), static_cast<unsigned>(m_frame.size()));
  m_frame = nv::core::MakeRGFrame(m_mac, m_reverse != 0, 0);
}

int CSwitchCtrl::ChangeRG(int network, int wait, nv::core::IProgressSink* indicator) {
  if (m_comport == 0) {
    ConnectRG();
    if (!m_connected) {
      CDebug::dprintf("ChangeRG: Not Conntected RG Drv\n");
      return 0;
    }
    const int result = SendRGFrames(network, wait, indicator);
    CDebug::dprintf("ChangeRG: Send RGII/M\n");
    DisconnectRG();
    return result;
  }
  if (!m_connected) {
    CDebug::dprintf("ChangeRG: Not Conntected RG Drv\n");
    return 0;
  }
  const int result = SetRGLines(network);
  CDebug::dprintf("ChangeRG: Send RGII\n");
  return result;
}

int CSwitchCtrl::SetRGLines(int network) noexcept {
  if (m_comport == 0) return 1;
  if (!m_port) return 0;
  const bool high = network != 0;
  (void)m_port->SetLines(high, high);  // the box reads the levels; a refused setting shows in nothing else
  return 1;
}

int CSwitchCtrl::SendRGFrames(int network, int wait, nv::core::IProgressSink* indicator) noexcept {
  uint32_t last = 0;
  const bool haveLast = m_env.ReadLastSend(last);
  const uint32_t now = m_env.TickCount();
  // With no earlier burst on record there is nothing to keep apart from.
  const uint32_t seconds = haveLast ? nv::core::SecondsSinceLastSend(now, last) : 0;
  CDebug::dprintf("CurrTime(%d) LastTime(%d) interval(%d) sndinter(%d)\n", static_cast<int>(now),
                  static_cast<int>(last), static_cast<int>(seconds), static_cast<int>(m_interval));
  const uint32_t waitMs = nv::core::IntervalWaitMs(seconds, m_interval);
  if (waitMs > 0) {
    CDebug::dprintf("Send Next Interval(%d)\n", static_cast<int>(waitMs));
    if (wait) m_env.Sleep(waitMs);
  }
  CDebug::dprintf("Send Next Interval\n");
  BuildRGFrame();
  if (!m_packet) {
    CDebug::dprintf("m_packet null\n");
    return 0;
  }
  const size_t at = (m_reverse ? nv::core::kRGReverseLeadSize : 0) + kCommandOffset;
  const uint8_t command = network == 0 ? 0xAA : 0x55;
  m_frame[at] = command;
  m_frame[at + 1] = command;

  uint32_t sent = 0;
  for (uint32_t i = 0; i < m_pktCnt; ++i) {
    if (SndFrame(m_packet) == 1) ++sent;
    if (indicator) {
      char text[64];
      std::snprintf(text, sizeof text, "Packet Sending (%u)", sent);
      indicator->Progress(nv::core::FrameProgressPos(i, m_pktCnt), text);
    }
    if (m_pktDly != 0 && wait) m_env.Sleep(m_pktDly);
  }
  if (sent == 0) {
    CDebug::dprintf("send %d packets\n", 0);
    return 0;
  }
  m_env.WriteLastSend(m_env.TickCount());
  return 1;
}
