// The one operation that moves the workstation from one network to the other.
// It runs to its end on the caller's thread and blocks it for the waits of its steps.
#pragma once
#include "netvane/change_steps.h"

class CCfginfo;

namespace nv::core {

// After an isolation check that found something of the network left: the adapter was released
// and cleared, or something of it stayed. Neither network's settings are safe on the wire then,
// because a switch box that did not switch is not told apart from a leftover.
enum class AdapterClear { NotAttempted, Cleared, NotCleared };

// The frame's state that a change reads and writes.
struct ChangeState {
  int current = 0;  // target network on entry; back to `previous` after a refusal or switch failure
  int previous = 0;
  int busy = 0;           // cleared by the success and switch-failure paths
  int sessionEnding = 0;  // Windows is ending the session: addresses are left alone
  // Windows ends the session by force: the switch is commanded at once, without the resend wait.
  int skipResendWait = 0;
  // Set by each change: the address step's result (IAddressRenewal::k...), kAddressesChanged
  // when the step did not run.
  int addressResult = IAddressRenewal::kAddressesChanged;
  // Set by each change: whether a failed isolation check cleared the adapter.
  AdapterClear adapterClear = AdapterClear::NotAttempted;
};

struct ChangeSteps {
  IChangeDisplay& display;
  IPrinterStep& printers;
  IDriveStep& drives;
  ISwitchCommand& switchBox;
  IAddressRenewal& address;
  ITrayView& tray;
  IIsolationCheck* isolation = nullptr;  // none: no check after the change
};

// Progress texts the change display shows, on its 0 to 100 scale.
inline constexpr const char* kProgressPrinters = "Change Printer Status";
inline constexpr const char* kProgressDrives = "Disconnecting network drive";
inline constexpr const char* kProgressSwitch = "Preparering to Packet....";

void doChange(int showProgress, ChangeState& state, const CCfginfo& cfg, const ChangeSteps& steps);

}  // namespace nv::core
