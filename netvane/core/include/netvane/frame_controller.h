// The tray frame's decisions, free of window types: which trigger runs a change,
// the busy rule, the timers, start-up and shutdown order.  The window procedure
// only forwards messages here and carries out what the host interface asks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "netvane/change_audit.h"
#include "netvane/change_sequence.h"
#include "netvane/schedule.h"

class CCfginfo;

namespace nv::core {

enum FrameTimer : unsigned {
  TIMER_CHANGE_REPEAT = 1,
  TIMER_IDLE_CHECK = 10,
  TIMER_STARTUP = 110,
  TIMER_TRAY_REFRESH = 111,
  TIMER_DHCP_EMU_RETRY = 112,  // the emulation did not open at start-up: tried again each second
  TIMER_SCHEDULE = 1001,
};

enum FrameCommand : unsigned {
  ID_TRAY_ABOUT = 5001,
  ID_TRAY_UPDATE = 5002,
  ID_TRAY_CHANGE = 5003,
  ID_TRAY_CONFIG = 5004,
  ID_TRAY_ADCONFIG = 5005,
  ID_TRAY_HELP = 5006,
  ID_TRAY_EXIT = 5007,
};

inline constexpr unsigned kWmNvChange = 0x0400 + 100;  // WM_USER + 100
inline constexpr uint32_t kDhcpEmuRetryMs = 1000;

// What the user and Windows are told.
inline constexpr const char* kTipEmulationNotReady = "DHCP emulation not ready: retrying";
inline constexpr const char* kTipEmulationFailed = ": address not set (DHCP emulation failed)";
inline constexpr const char* kLogEmulationFailed = "FAIL SetStartDHCP";
inline constexpr const char* kLogFixedSettingsFailed = "FAIL ";  // + "fixed settings not ...: <why>"
inline constexpr const char* kTipFixedSettingsFailed = ": address not set (fixed settings failed)";
inline constexpr const char* kTipRenewFailed = ": address not set (no DHCP answer)";
inline constexpr const char* kLogRenewFailed = "FAIL Renew";
inline constexpr const char* kLogResendWaitCut = "RESEND WAIT CUT SHORT";
// After a failed isolation check, below its "ISOLATION FAILED(...)" line.
inline constexpr const char* kLogAdapterCleared = "ADAPTER CLEARED";
inline constexpr const char* kLogAdapterNotCleared = "FAIL ADAPTER NOT CLEARED";
inline constexpr const char* kTipAdapterCleared = ": adapter cleared (isolation check failed)";
inline constexpr const char* kTipAdapterNotCleared = ": adapter not cleared (isolation check failed)";
inline constexpr const char* kShutdownReason = "Returning to network A";

// The tray tip after an isolation check that failed or could not look, for the network named
// `name`; empty when the check passed or did not run.
std::string IsolationTip(const std::string& name, const IsolationResult& result, AdapterClear clear);

// What the frame window and its member objects do for the controller.
class IFrameHost {
 public:
  virtual ~IFrameHost() = default;
  virtual bool TrayIconRemoved() = 0;
  virtual void AddTrayIcon() = 0;
  virtual void SetTimer(unsigned id, uint32_t ms) = 0;
  virtual void KillTimer(unsigned id) = 0;

  virtual void OpenConfiguration() = 0;  // the IP configuration dialogs
  virtual int OpenDhcpEmu() = 0;
  virtual std::string DhcpEmuError() = 0;  // why it did not open
  virtual int ConnectSwitch() = 0;
  virtual void DisconnectSwitch() = 0;
  virtual void CloseDhcpEmu() = 0;
  virtual void ApplySettings() = 0;  // drives and logon, change display
  virtual void LogLine(const std::string& text) = 0;
  virtual void StartSchedule() = 0;
  virtual void RegisterRunOnce() = 0;
  virtual void ShowApplicationName() = 0;  // the change display's text at exit
  virtual void StopIdleMonitor() = 0;
  virtual void PostClose() = 0;
  virtual bool IdleReturnDue() = 0;
  virtual void SaveStatus(int network) = 0;
  virtual void ReloadTuning() = 0;
  // A warning in the tray tip; the next change that shows its network replaces it.
  virtual void ShowWarning(const std::string& text) = 0;
  // Puts the tip back as it was before `text`, if `text` is still shown.
  virtual void ClearWarning(const std::string& text) = 0;
  // Tells Windows why the end of the session must wait, until UnblockShutdown.
  virtual void BlockShutdown(const std::string& reason) = 0;
  virtual void UnblockShutdown() = 0;
  // Undoes fixed settings a run that died left on the adapter; the "RECOVER ..." log line, or
  // empty when there was nothing to undo.
  virtual std::string RecoverAddress() { return {}; }
};

class FrameController {
 public:
  // `audit`: where each change's record goes (none: no record).
  FrameController(CCfginfo& cfg, IFrameHost& host, const ChangeSteps& steps,
                  IAuditSink* audit = nullptr) noexcept;

  ChangeState& State() noexcept { return state_; }
  const ChangeState& State() const noexcept { return state_; }

  void ToggleNetSTat(int network) noexcept;
  // `trigger`: who asked (tray command, second start, change helper, the timers).
  void OnTrayChange(ChangeTrigger trigger = ChangeTrigger::TrayCommand);
  void OnDllChange(int network);
  // Copy-data from another program: acts only with UseDll set and no payload.
  void OnCopyData(std::size_t dataLength, uint32_t command);
  // Returns false for timer ids the frame does not own.
  bool OnTimer(unsigned id);
  void StartUp();
  void ShutDown();
  // `forced`: Windows will not wait (a critical end of the session).
  void OnEndSession(bool forced = false);
  // The schedule's arming, carried out on the frame's thread: the network in force now and the
  // timer to the next boundary, which then repeats at the arming's interval.  An arming with
  // arm false stops the schedule's timer.
  void ArmSchedule(const ScheduleArm& arm);

 private:
  void RunChange(int showProgress, ChangeTrigger trigger);
  void OpenDhcpEmuOrRetry();
  void RetryDhcpEmu();
  void StopDhcpEmuRetry();

  CCfginfo& cfg_;
  IFrameHost& host_;
  ChangeSteps steps_;
  ChangeState state_;
  bool emuRetrying_ = false;
  unsigned emuRetries_ = 0;
  uint32_t scheduleIntervalMs_ = 0;
  IAuditSink* audit_;
};

}  // namespace nv::core
