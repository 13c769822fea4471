// The steps a network change drives, as the change sequence sees them.  Each is
// implemented by the object that owns the step (change display, drives and logon
// with its printer helper, switch control, address renewal, tray icon), so the
// sequence itself stays free of Windows types and can be tested with recorders.
#pragma once
#include <cstdint>
#include <string>

#include "netvane/isolation_check.h"

struct NetCfgRecord;

namespace nv::core {

// Receives progress on the change display's 0 to 100 scale.
class IProgressSink {
 public:
  virtual ~IProgressSink() = default;
  // Moves the bar; the text shows only while debugging (dwDebug bit 0x02).
  virtual void Progress(int position, const std::string& text) = 0;
  // Moves the bar and always shows the text.
  virtual void SetProgress(int position, const std::string& text) = 0;
};

// Progress window, desktop display window and network shortcut.
class IChangeDisplay : public IProgressSink {
 public:
  // Prepares the display for the target network; shows the progress window unless changes are silent.
  virtual void SetNetwork(int network) = 0;
  // Takes the network the next Finish shows, without a progress window (changes without one, and
  // the network that stays in force when a change does not go through).
  virtual void SelectNetwork(int network) = 0;
  virtual void CloseProgress() = 0;
  // Closes the progress window, refreshes the desktop display and shortcut for the network last set or
  // selected; returns the text for the tray tip (that network's name).
  virtual std::string Finish() = 0;
};

// The printer helper's hook around a change: phase 1 before the switch (0 refuses), phase 0 after it.
// `productKeyPath` is the product key below HKEY_LOCAL_MACHINE (the printer table lies under it);
// `sessionEnding` is 1 while Windows ends the session.
class IPrinterStep {
 public:
  virtual ~IPrinterStep() = default;
  virtual int PrinterStep(const std::string& productKeyPath, int network, int sessionEnding, int phase) = 0;
};

// Drive letters, logon, folder guard, idle monitor and the log line around a change.
class IDriveStep {
 public:
  virtual ~IDriveStep() = default;
  virtual void BeforeSwitch(int network) = 0;
  virtual void AfterSwitch(int network) = 0;
};

// Commands the switch box; non-zero when it was commanded.
class ISwitchCommand {
 public:
  virtual ~ISwitchCommand() = default;
  virtual int ChangeRG(int network, int wait, IProgressSink* indicator) = 0;
};

// Default route, address-resolution entry and the adapter's address.
class IAddressRenewal {
 public:
  // ChangeIPbyDHCP's results.
  static constexpr int kAddressesChanged = 0;
  static constexpr int kNoInterface = 1;  // the adapter was not found: nothing was done
  // The target network's address could not be obtained; the adapter was released and cleared
  // of the network left (it may now hold no address at all, never the old one).
  static constexpr int kEmulationFailed = 2;  // the DHCP emulation could not be armed
  static constexpr int kAddressInUse = 3;  // the client declined the emulated address: another host holds it
  static constexpr int kFixedSettingsFailed = 4;  // fixed settings not applied or not taken off
  static constexpr int kRenewFailed = 5;          // the renew got no answer

  virtual ~IAddressRenewal() = default;
  virtual int DelGateway() = 0;
  virtual int DelArp(uint32_t gateway) = 0;
  virtual int AddGateway(uint32_t gateway) = 0;
  virtual int ChangeIPbyDHCP(const NetCfgRecord& record) = 0;
  // Fail closed: releases the adapter of `record` and takes off it every address, route,
  // neighbour entry and name server, and any fixed settings this program put on it, so that it
  // keeps nothing of either network. 1 when all of it went, 0 when something stayed.
  virtual int ClearAddresses(const NetCfgRecord& record) = 0;
  // Why the last ChangeIPbyDHCP failed, in the user's words; empty when it did not or when
  // its result says enough.
  virtual std::string AddressFailure() const { return {}; }
  // What went wrong in the last ChangeIPbyDHCP, for the log, the tray tip and the audit.
  virtual std::string FailureDetail() const { return {}; }
};

// The tray icon and its tool tip.
class ITrayView {
 public:
  virtual ~ITrayView() = default;
  virtual void ShowNetwork(int network, const std::string& tip) = 0;
};

// The last step of a change: checks that nothing of the network just left is still in place,
// reports the result and returns it.
class IIsolationCheck {
 public:
  virtual ~IIsolationCheck() = default;
  // Just before the switch box moves the cable from `from` to `target`: what the adapter holds on
  // the network being left, so that the check after the change knows it all.
  virtual void BeforeSwitch(int from, int target) = 0;
  virtual IsolationResult CheckAfterChange(int network) = 0;
};

}  // namespace nv::core
