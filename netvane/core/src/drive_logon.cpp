#include "netvane/drive_logon.h"

#include <filesystem>

#include "corekit/debug.h"
#include "corekit/registry.h"
#include "netvane/cfginfo.h"
#include "netvane/frame_controller.h"
#include "netvane/log_file.h"

namespace nv::core {

std::string RunOnceCommand(const std::string& installedPath) { return installedPath + "\\LDNvChng.EXE"; }

std::string LogFolder(const std::string& installedPath) {
  return (std::filesystem::u8path(installedPath) / "Log").u8string();
}

uint32_t IdleCheckPeriodMs(uint32_t minutes) noexcept {
  const uint64_t ms = uint64_t{minutes} * 60000u;
  return ms > kMaxTimerPeriodMs ? kMaxTimerPeriodMs : static_cast<uint32_t>(ms);
}

}  // namespace nv::core

CDriveLogon::CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle) : m_cfg(cfg), m_idle(idle) {}

CDriveLogon::~CDriveLogon() = default;

void CDriveLogon::ApplySettings(nv::core::IFrameHost* frame) {
  if (frame != nullptr) m_frame = frame;
  if (m_cfg.dwAutoChange != 0) {
    m_idleRunning = m_idle.Start();
    m_idleFrom = m_idle.Now();
    if (!m_idleRunning) CDebug::dprintf("NvIdleInit failed: idle return is off\n");
  } else {
    m_idle.Stop();
    m_idleRunning = false;
  }
  m_log.reset();
  // Without an installation folder the log would land in the root of the current drive.
  if ((m_cfg.dwOpt & kOptLog) != 0 && !m_cfg.InstalledPath.empty())
    m_log = std::make_unique<CLogFile>(nv::core::LogFolder(m_cfg.InstalledPath), "", kLogDays);
}

void CDriveLogon::LogLine(const std::string& text) {
  if (m_log && (m_cfg.dwOpt & kOptLog) != 0) m_log->Write("%s", text.c_str());
}

void CDriveLogon::BeforeSwitch(int network) { m_current = network; }

void CDriveLogon::AfterSwitch(int network) {
  m_current = network;
  if (m_cfg.dwAutoChange != 0) ResetIdle();
  if (m_log) m_log->Write("ID%d", network + 1);
  if (m_frame == nullptr) return;
  if (network == 1 && m_cfg.dwAutoChange != 0) {
    m_frame->SetTimer(nv::core::TIMER_IDLE_CHECK, nv::core::IdleCheckPeriodMs(m_cfg.dwAutoChange));
  } else {
    m_frame->KillTimer(nv::core::TIMER_IDLE_CHECK);
  }
}

int CDriveLogon::PrinterStep(int, int) { return 1; }

void CDriveLogon::ResetIdle() {
  m_idle.Reset();
  m_idleFrom = m_idle.Now();
}

bool CDriveLogon::IdleReturnDue() {
  // Without a running monitor there is no input time at all: never call the user idle.
  if (m_current == 0 || !m_idleRunning) return false;
  // The monitor keeps no time until the first input after a reset; idle since the reset then.
  const uint32_t last = m_idle.LastInputTime();
  const uint32_t since = last != 0 ? last : m_idleFrom;
  const uint32_t idleSeconds = (m_idle.Now() - since) / 1000;
  if (idleSeconds < uint64_t{m_cfg.dwAutoChange} * 60u) return false;
  ResetIdle();
  return true;
}

bool CDriveLogon::RegisterRunOnce() {
  // Without an installation folder there is no helper to name.
  if (m_cfg.InstalledPath.empty()) return false;
  CRegistry key;
  if (!key.uOpenKey(corekit::kHKeyLocalMachine, nv::core::kRunOnceKey) &&
      !(key.Connect(corekit::kHKeyLocalMachine) && key.Create(nv::core::kRunOnceKey))) {
    CDebug::dprintf("RegisterRunOnce: cannot open the RunOnce key (%d)\n",
                    static_cast<int>(key.GetErrorCode()));
    return false;
  }
  const int ok = key.SetValue(nv::core::kRunOnceValue, nv::core::RunOnceCommand(m_cfg.InstalledPath));
  key.Close();
  return ok != 0;
}

void CDriveLogon::StopIdleMonitor() {
  m_idle.Stop();
  m_idleRunning = false;
}
