// CDriveLogon: the work around a change that is not addressing.  This first version carries
// the log ("START", "SHUTDOWN", "ID%d"), the RunOnce entry, the idle monitor with its return
// test and timer, and the printer step; drive letters, NetWare logon, password files and the
// folder guard are added with their own parts (BeforeSwitch and the printer step are the
// places they hook in).
//
// Lifecycle: construct with the frame's configuration; ApplySettings at start-up (with the
// frame, whose timer 10 it then arms) and after the option sheet (without); the change
// sequence calls BeforeSwitch, AfterSwitch and PrinterStep.  Main thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "netvane/change_steps.h"
#include "netvane/idle_monitor.h"

class CCfginfo;
class CLogFile;

namespace nv::core {
class IFrameHost;

// RunOnce entry that starts the helper once at the next logon if the machine restarts.
inline constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kRunOnceValue = "Netvane (Only Railgate)";
// "%s\LDNvChng.EXE" with the installation folder.
std::string RunOnceCommand(const std::string& installedPath);
// The log folder "%s\Log" with the installation folder, in the platform's path form.
std::string LogFolder(const std::string& installedPath);

// The longest period a window timer takes (USER_TIMER_MAXIMUM, about 24.8 days).
inline constexpr uint32_t kMaxTimerPeriodMs = 0x7FFFFFFF;
// The idle-check timer's period for dwAutoChange minutes, worked out in 64 bits and cut to what
// a timer takes; a longer limit is then checked at that period against the full limit.
uint32_t IdleCheckPeriodMs(uint32_t minutes) noexcept;

}  // namespace nv::core

class CDriveLogon : public nv::core::IDriveStep, public nv::core::IPrinterStep {
 public:
  static constexpr uint32_t kOptLog = 0x04;
  static constexpr int kLogDays = 90;

  CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle);
  ~CDriveLogon() override;
  CDriveLogon(const CDriveLogon&) = delete;
  CDriveLogon& operator=(const CDriveLogon&) = delete;

  // Re-reads what it needs from the configuration: idle monitor on or off, and a new log
  // object when dwOpt asks for the log.  `frame` is remembered when given.
  void ApplySettings(nv::core::IFrameHost* frame);
  // Writes one log line while the log is on.
  void LogLine(const std::string& text);
  void BeforeSwitch(int network) override;
  void AfterSwitch(int network) override;
  // The printer helper's hook; nothing here refuses a change yet.
  int PrinterStep(int network, int phase) override;
  // True when network B is in force and nobody has touched keyboard or mouse for
  // dwAutoChange minutes; the idle time is then reset.
  bool IdleReturnDue();
  // Writes the RunOnce value; false when the key could not be written.
  bool RegisterRunOnce();
  void StopIdleMonitor();

  bool logging() const noexcept { return m_log != nullptr; }
  int currentNetwork() const noexcept { return m_current; }

 private:
  const CCfginfo& m_cfg;
  nv::core::IIdleMonitor& m_idle;
  std::unique_ptr<CLogFile> m_log;
  nv::core::IFrameHost* m_frame = nullptr;
  int m_current = 0;
  bool m_idleRunning = false;
  uint32_t m_idleFrom = 0;  // tick of the last reset: idle since then when no input came

  void ResetIdle();
};
