#include "netvane/frame_controller.h"

#include "corekit/debug.h"
#include "netvane/cfginfo.h"

namespace nv::core {

std::string IsolationTip(const std::string& name, const IsolationResult& result, AdapterClear clear) {
  // The tip is short: what became of the adapter comes first, the leftovers are in the log.
  if (clear == AdapterClear::Cleared) return name + kTipAdapterCleared;
  if (clear == AdapterClear::NotCleared) return name + kTipAdapterNotCleared;
  if (!result.failedOrUnchecked()) return {};
  return name + ": isolation check " + result.Summary();
}

FrameController::FrameController(CCfginfo& cfg, IFrameHost& host, const ChangeSteps& steps,
                                 IAuditSink* audit) noexcept
    : cfg_(cfg), host_(host), steps_(steps), audit_(audit) {
  state_.busy = 1;  // until start-up has run
}

void FrameController::ToggleNetSTat(int network) noexcept {
  if (network < 0) {
    state_.previous = state_.current;
    state_.current = 1 - state_.current;
  } else {
    CDebug::dprintf("ToggleNetSTat(%d)\n", network);
    state_.current = network;
  }
}

void FrameController::RunChange(int showProgress, ChangeTrigger trigger) {
  const AuditRecord record = RunAuditedChange(trigger, showProgress, state_, cfg_, steps_, audit_);
  if (audit_) audit_->Write(record);
  // No address was obtained (the adapter was left without one): the log and the tray must not
  // look like a clean change.
  const std::string name = cfg_.szNet[state_.current != 0 ? 1 : 0];
  if (state_.addressResult == IAddressRenewal::kEmulationFailed) {
    host_.LogLine(kLogEmulationFailed);
    host_.ShowWarning(name + kTipEmulationFailed);
  } else if (state_.addressResult == IAddressRenewal::kRenewFailed) {
    host_.LogLine(kLogRenewFailed);
    host_.ShowWarning(name + kTipRenewFailed);
  } else if (state_.addressResult == IAddressRenewal::kAddressInUse) {
    const std::string reason = steps_.address.AddressFailure();
    host_.LogLine("FAIL " + reason);
    host_.ShowWarning(name + ": " + reason);
  }
  if (state_.addressResult == IAddressRenewal::kFixedSettingsFailed) {
    host_.LogLine(kLogFixedSettingsFailed + steps_.address.FailureDetail());
    host_.ShowWarning(cfg_.szNet[state_.current != 0 ? 1 : 0] + kTipFixedSettingsFailed);
  }
  // Last, so that it stays in the tip: something of the other network was found on the adapter.
  if (state_.adapterClear != AdapterClear::NotAttempted)
    host_.LogLine(state_.adapterClear == AdapterClear::Cleared ? kLogAdapterCleared : kLogAdapterNotCleared);
  if (const std::string tip = IsolationTip(name, record.isolation, state_.adapterClear); !tip.empty())
    host_.ShowWarning(tip);
}

void FrameController::OpenDhcpEmuOrRetry() {
  if (host_.OpenDhcpEmu() != 0) return;
  // Another DHCP server may hold the port for long: the frame must go on answering meanwhile.
  CDebug::dprintf("OpenDhcpEmu failed (%s): retrying every %u ms\n", host_.DhcpEmuError().c_str(),
                  static_cast<unsigned>(kDhcpEmuRetryMs));
  host_.ShowWarning(kTipEmulationNotReady);
  emuRetrying_ = true;
  emuRetries_ = 0;
  host_.SetTimer(TIMER_DHCP_EMU_RETRY, kDhcpEmuRetryMs);
}

void FrameController::RetryDhcpEmu() {
  if (!emuRetrying_) {
    host_.KillTimer(TIMER_DHCP_EMU_RETRY);
    return;
  }
  ++emuRetries_;
  if (host_.OpenDhcpEmu() == 0) return;
  CDebug::dprintf("OpenDhcpEmu: open after %u retries\n", emuRetries_);
  StopDhcpEmuRetry();
  host_.ClearWarning(kTipEmulationNotReady);
}

void FrameController::StopDhcpEmuRetry() {
  if (!emuRetrying_) return;
  emuRetrying_ = false;
  host_.KillTimer(TIMER_DHCP_EMU_RETRY);
}

void FrameController::OnTrayChange(ChangeTrigger trigger) {
  CDebug::dprintf("OnTrayChange\n");
  if (host_.TrayIconRemoved()) host_.AddTrayIcon();
  if (state_.busy) return;  // one change at a time; the request is dropped
  state_.busy = 1;
  ToggleNetSTat(-1);
  RunChange(1, trigger);
  if (cfg_.dwChngTimer != 0 && (cfg_.dwDebug & 0x02) != 0) {
    host_.ReloadTuning();
    if (cfg_.dwChngTimer != 0) host_.SetTimer(TIMER_CHANGE_REPEAT, cfg_.dwChngTimer);
  }
  CDebug::dprintf("OnTrayChange End\n");
  state_.busy = 0;
}

void FrameController::OnDllChange(int network) {
  CDebug::dprintf("OnDllChange\n");
  if (host_.TrayIconRemoved()) host_.AddTrayIcon();
  // A request that arrives while a change runs (the frame answers sent messages during one)
  // would start a second change inside the first and leave the frame's networks wrong.
  if (state_.busy) {
    CDebug::dprintf("OnDllChange dropped: a change runs\n");
    return;
  }
  state_.busy = 1;
  state_.previous = state_.current;  // the network in force before this change
  ToggleNetSTat(network);
  RunChange(cfg_.dwSilentChng != 0 ? 0 : 1, ChangeTrigger::CopyData);
  CDebug::dprintf("OnDllChange End\n");
  state_.busy = 0;
}

void FrameController::OnCopyData(std::size_t dataLength, uint32_t command) {
  CDebug::dprintf("Receive onCopyData\n");
  if (cfg_.UseDll == 0) return;
  CDebug::dprintf("UseDll\n");
  if (dataLength != 0) return;
  CDebug::dprintf("doChange(%d)\n", static_cast<int>(command));
  if (command == 0) {
    host_.SaveStatus(state_.current);
  } else if (command == 1 || command == 2) {
    const int wanted = static_cast<int>(command) - 1;
    if (wanted != state_.current) OnDllChange(wanted);
  }
}

bool FrameController::OnTimer(unsigned id) {
  CDebug::dprintf("OnTimer(%d)\n", static_cast<int>(id));
  switch (id) {
    case TIMER_STARTUP:
      host_.KillTimer(TIMER_STARTUP);
      StartUp();
      return true;
    case TIMER_TRAY_REFRESH:
      host_.KillTimer(TIMER_TRAY_REFRESH);
      if (host_.TrayIconRemoved()) host_.AddTrayIcon();
      return true;
    case TIMER_DHCP_EMU_RETRY:
      RetryDhcpEmu();
      return true;
    case TIMER_CHANGE_REPEAT:
      host_.KillTimer(TIMER_CHANGE_REPEAT);
      OnTrayChange(ChangeTrigger::Repeat);
      return true;
    case TIMER_IDLE_CHECK:
      CDebug::dprintf("OnChange Timer\n");
      if (host_.IdleReturnDue()) OnTrayChange(ChangeTrigger::IdleReturn);
      return true;
    case TIMER_SCHEDULE:
      host_.KillTimer(TIMER_SCHEDULE);
      host_.SetTimer(TIMER_SCHEDULE, scheduleIntervalMs_);
      OnTrayChange(ChangeTrigger::Schedule);
      return true;
    default:
      return false;
  }
}

void FrameController::StartUp() {
  // Before anything else: a workstation must not go on with fixed settings a run that died left.
  const std::string recovered = host_.RecoverAddress();
  // A change that a dead run left unfinished is said once, before this run changes anything.
  if (audit_) audit_->TakeInterrupted();
  if (cfg_.net[0].szNetDev.empty()) {
    host_.OpenConfiguration();
  } else {
    OpenDhcpEmuOrRetry();
  }
  host_.ConnectSwitch();
  host_.ApplySettings();
  host_.LogLine("START");
  if (!recovered.empty()) host_.LogLine(recovered);  // the log opens with ApplySettings
  state_.current = 0;
  state_.busy = 0;
  // A taskbar that was not ready when the window was made gets the icon now, before the first
  // change shows its network there.
  if (host_.TrayIconRemoved()) host_.AddTrayIcon();
  RunChange(0, ChangeTrigger::StartUp);  // always start on network A
  host_.SetTimer(TIMER_TRAY_REFRESH, 30000);
  if (cfg_.scheduleOn) host_.StartSchedule();
}

void FrameController::ShutDown() {
  host_.RegisterRunOnce();  // first: Windows may end the process at any point after this
  StopDhcpEmuRetry();
  if (state_.current != 0) {
    state_.previous = state_.current;
    state_.current = 0;
    // The return waits out the switch box's resend interval: Windows must know why it waits.
    const bool sessionEnding = state_.sessionEnding != 0;
    if (sessionEnding) host_.BlockShutdown(kShutdownReason);
    // Written before the change: a process ended during it still leaves the line.
    if (state_.skipResendWait && cfg_.dwComport == 0 && cfg_.dwInterval != 0)
      host_.LogLine(kLogResendWaitCut);
    RunChange(0, sessionEnding ? ChangeTrigger::EndOfSession : ChangeTrigger::Exit);  // always leave on A
    if (sessionEnding) host_.UnblockShutdown();
  }
  host_.CloseDhcpEmu();
  host_.DisconnectSwitch();
  host_.ShowApplicationName();
  host_.LogLine("SHUTDOWN");
  host_.StopIdleMonitor();
  host_.PostClose();
}

void FrameController::OnEndSession(bool forced) {
  state_.sessionEnding = 1;
  // Windows ends the process without waiting: a frame sent early beats one never sent.
  state_.skipResendWait = forced ? 1 : 0;
  ShutDown();
}

void FrameController::ArmSchedule(const ScheduleArm& arm) {
  if (!arm.arm) {
    host_.KillTimer(TIMER_SCHEDULE);
    return;
  }
  state_.current = arm.network;
  scheduleIntervalMs_ = arm.intervalMs;
  host_.SetTimer(TIMER_SCHEDULE, arm.delayMs);
}

}  // namespace nv::core
