// CDriveLogon: the work around a change that is not addressing: the network's NetWare drive
// letters are cancelled before the switch and connected again after it with a NetWare logon,
// the folder guard learns the network, the Windows 95 password list is hidden while on network
// B, the idle monitor and its return timer follow the network, and the log gets "ID%d".  It
// also carries the printer step and the RunOnce entry.
//
// Lifecycle: construct with the frame's configuration; ApplySettings at start-up (with the
// frame, whose timer 10 it then arms) and after the option sheet (without); the change
// sequence calls BeforeSwitch, AfterSwitch and PrinterStep.  Main thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netvane/change_steps.h"
#include "netvane/drive_platform.h"
#include "netvane/idle_monitor.h"

class CCfginfo;
class CGuardDevice;
class CIniFile;
class CLogFile;
class CPrnInfo;

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

  // With the platform's logon dialog and error box, and `connections` (none: the platform's own
  // network connections).
  CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle,
              std::unique_ptr<nv::core::INetConnections> connections = nullptr);
  // With the given ones; `passwordListFolder` is the Windows folder on the Windows 95 family
  // (empty: no password-list file to hide).
  CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle, nv::core::INetConnections& connections,
              nv::core::INetWareLogonUi& ui, std::string passwordListFolder);
  ~CDriveLogon() override;
  CDriveLogon(const CDriveLogon&) = delete;
  CDriveLogon& operator=(const CDriveLogon&) = delete;

  // Re-reads what it needs from the configuration: idle monitor on or off, the password-list
  // file names, the drive letters of both networks, the NetWare user and server, and a new log
  // object when dwOpt asks for the log.  `frame` is remembered when given.
  void ApplySettings(nv::core::IFrameHost* frame);
  // Writes one log line while the log is on.
  void LogLine(const std::string& text);
  // Cancels the drive letters of the network about to come into force.
  void BeforeSwitch(int network) override;
  // In this order: folder guard, password-list file, drives with logon, idle reset, "ID%d",
  // idle-return timer.
  void AfterSwitch(int network) override;
  // The folder guard to tell the network after each change (none: nobody is told).  The
  // platform constructor makes its own folder-guard device wrapper and tells that one.
  void SetFolderGuard(nv::core::IFolderGuard* guard) noexcept { m_guard = guard; }
  // The wrapper the platform constructor made (null otherwise).
  CGuardDevice* guardDevice() const noexcept { return m_ownGuard.get(); }
  // The printer helper's hook: CPrnInfo::BeforeChange; 1 (go on) without a helper.
  int PrinterStep(const std::string& productKeyPath, int network, int sessionEnding, int phase) override;
  // Replaces the printer helper (none: the printer step always goes on).  The platform
  // constructor makes the system's own.
  void SetPrinterHelper(std::unique_ptr<CPrnInfo> helper);
  // Hands the printer helper its four texts from the string file: the two network names and
  // the close- and change-operation messages ("\n" pairs made line breaks).
  void SetPrinterTexts(CIniFile& strings);
  CPrnInfo* printerHelper() const noexcept { return m_printers.get(); }
  // True when network B is in force and nobody has touched keyboard or mouse for
  // dwAutoChange minutes; the idle time is then reset.
  bool IdleReturnDue();
  // Writes the RunOnce value; false when the key could not be written.
  bool RegisterRunOnce();
  void StopIdleMonitor();

  bool logging() const noexcept { return m_log != nullptr; }
  const std::vector<std::string>& drives(int network) const noexcept {
    return m_drives[network != 0 ? 1 : 0];
  }
  int currentNetwork() const noexcept { return m_current; }

 private:
  const CCfginfo& m_cfg;
  nv::core::IIdleMonitor& m_idle;
  std::unique_ptr<nv::core::INetConnections> m_ownConnections;
  std::unique_ptr<nv::core::INetWareLogonUi> m_ownUi;
  nv::core::INetConnections& m_connections;
  nv::core::INetWareLogonUi& m_ui;
  nv::core::IFolderGuard* m_guard = nullptr;
  std::unique_ptr<CGuardDevice> m_ownGuard;
  std::unique_ptr<CPrnInfo> m_printers;
  std::string m_passwordListFolder;
  std::string m_passwordFile;        // "<Windows>\<user>.pwl" on the Windows 95 family, else empty
  std::string m_hiddenPasswordFile;  // "<Windows>\<user>.HAN"
  bool m_driveHandling = false;
  std::vector<std::string> m_drives[2];
  nv::core::NetWareClientNames m_netware;
  std::unique_ptr<CLogFile> m_log;
  nv::core::IFrameHost* m_frame = nullptr;
  int m_current = 0;
  bool m_idleRunning = false;
  uint32_t m_idleFrom = 0;  // tick of the last reset: idle since then when no input came

  CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle,
              std::unique_ptr<nv::core::INetConnections> connections,
              std::unique_ptr<nv::core::INetWareLogonUi> ui);
  void ResetIdle();
  void CancelDrives(int network);
  void ReconnectDrives(int network);
  void MovePasswordList(int network);
};
