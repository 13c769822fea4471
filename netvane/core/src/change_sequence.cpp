#include "netvane/change_sequence.h"

#include "corekit/debug.h"
#include "netvane/cfginfo.h"

namespace nv::core {
namespace {

// The tray, the desktop display window and the shortcut all show `network`, whatever asked for
// the change and whether it went through.
void ShowInForce(int network, const ChangeSteps& steps) {
  steps.display.SelectNetwork(network);
  const std::string tip = steps.display.Finish();
  steps.tray.ShowNetwork(network, tip);
}

}  // namespace

void doChange(int showProgress, ChangeState& state, const CCfginfo& cfg, const ChangeSteps& steps) {
  const int target = state.current;
  const int previous = state.previous;
  const bool silent = cfg.dwSilentChng != 0;
  state.addressResult = IAddressRenewal::kAddressesChanged;
  state.adapterClear = AdapterClear::NotAttempted;

  if (showProgress) {
    steps.display.SetNetwork(target);
  } else {
    steps.display.SelectNetwork(target);
  }

  steps.display.SetProgress(4, kProgressPrinters);
  if (steps.printers.PrinterStep(cfg.baseKey, target, state.sessionEnding, 1) == 0) {
    // The printer helper refused: nothing has changed yet, so stay where we were.
    state.current = previous;
    steps.display.CloseProgress();
    ShowInForce(previous, steps);
    return;
  }

  steps.display.SetProgress(6, kProgressDrives);
  steps.drives.BeforeSwitch(target);

  steps.display.SetProgress(10, kProgressSwitch);
  // Without a progress window the tray is the only sign that a change is under way.
  if (silent) ShowInForce(target, steps);

  if (steps.isolation && !state.sessionEnding && previous != target)
    steps.isolation->BeforeSwitch(previous, target);
  if (steps.switchBox.ChangeRG(target, state.skipResendWait ? 0 : 1, &steps.display) == 0) {
    CDebug::dprintf("Fail ChangeRG\n");
    state.current = previous;
    steps.display.CloseProgress();
    // The machine stays on the previous network: whatever showed the target must say so.
    ShowInForce(previous, steps);
    steps.printers.PrinterStep(cfg.baseKey, previous, state.sessionEnding, 1);
    state.busy = 0;
    return;
  }

  CDebug::dprintf("Change IPconfig(%d)\n", target);
  const NetCfgRecord* record = &cfg.net[target];
  if (!state.sessionEnding) {
    steps.address.DelGateway();
    if (cfg.dwIPnum == 1 && !record->useDhcp) {
      // One fixed configuration serves both networks: only the default route moves.
      if (record->sameGateway) record = &cfg.net[0];
      steps.address.DelArp(record->Gateway);
      steps.address.AddGateway(record->Gateway);
    } else {
      steps.address.DelArp(record->Gateway);
      state.addressResult = steps.address.ChangeIPbyDHCP(*record);
    }
  }

  steps.drives.AfterSwitch(target);

  if (showProgress && !silent) steps.display.SetProgress(100, "");
  if (!silent) ShowInForce(target, steps);  // silent changes showed it before the switch
  steps.printers.PrinterStep(cfg.baseKey, target, state.sessionEnding, 0);
  // Last: nothing of the network just left may remain. A session that ends keeps its addresses.
  if (steps.isolation && !state.sessionEnding &&
      steps.isolation->CheckAfterChange(target).state == IsolationResult::State::Failed) {
    // The target's settings sit beside the old network's, perhaps on the old wire: keep neither.
    state.adapterClear =
        steps.address.ClearAddresses(cfg.net[target]) != 0 ? AdapterClear::Cleared : AdapterClear::NotCleared;
  }
  state.busy = 0;
}

}  // namespace nv::core
