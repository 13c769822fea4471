#include <gtest/gtest.h>

#include <algorithm>

#include "netvane/change_sequence.h"
#include "support/recording_steps.h"

using nv::core::ChangeState;
using nv::core::doChange;
using nv::core::testing::RecordingSteps;
using Calls = std::vector<std::string>;

namespace {

constexpr uint32_t kGwA = 0x0A5B0101;  // 10.91.1.1
constexpr uint32_t kGwB = 0x0A5C0101;  // 10.92.1.1
constexpr uint32_t kIpB = 0x0A5C0132;

void TwoNetworks(CCfginfo& cfg) {
  cfg.dwIPnum = 2;
  cfg.net[0].useDhcp = 1;
  cfg.net[0].Gateway = kGwA;
  cfg.net[1].useDhcp = 0;
  cfg.net[1].IPAddr = kIpB;
  cfg.net[1].Gateway = kGwB;
}

ChangeState AToB() {
  ChangeState s;
  s.previous = 0;
  s.current = 1;
  s.busy = 1;
  return s;
}

}  // namespace

TEST(ChangeSequence, NormalChangeFromAToBRunsEveryStepInOrder) {
  RecordingSteps rec;
  rec.framesReported = 2;
  ChangeState state = AToB();
  CCfginfo cfg;
  TwoNetworks(cfg);
  doChange(1, state, cfg, rec.Steps());

  const Calls expected = {
      "display.SetNetwork 1",
      "progress 4 'Change Printer Status'",
      "printer 1 phase 1",
      "progress 6 'Disconnecting network drive'",
      "drives.BeforeSwitch 1",
      "progress 10 'Preparering to Packet....'",
      "switch.ChangeRG 1 wait 1",
      "progress 50 'frame'",  // the switch control continues the scale through the display
      "progress 51 'frame'",
      "address.DelGateway",
      "address.DelArp " + std::to_string(kGwB),
      "address.ChangeIPbyDHCP " + std::to_string(kIpB),
      "drives.AfterSwitch 1",
      "progress 100 ''",
      "display.SelectNetwork 1",
      "display.Finish",
      "tray.ShowNetwork 1 tip 1",
      "printer 1 phase 0",
  };
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(state.current, 1);
  EXPECT_EQ(state.busy, 0);
}

TEST(ChangeSequence, PrinterRefusalLeavesEverythingOnThePreviousNetwork) {
  RecordingSteps rec;
  rec.printerRefusesPhase1 = 1;
  ChangeState state = AToB();
  CCfginfo cfg;
  TwoNetworks(cfg);
  doChange(1, state, cfg, rec.Steps());

  const Calls expected = {"display.SetNetwork 1",    "progress 4 'Change Printer Status'",
                          "printer 1 phase 1",       "display.CloseProgress",
                          "display.SelectNetwork 0", "display.Finish",
                          "tray.ShowNetwork 0 tip 0"};
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(state.current, 0);
  EXPECT_EQ(state.busy, 1) << "after a refusal the caller clears busy";
}

TEST(ChangeSequence, SwitchFailureRestoresPrintersForTheNetworkThatStays) {
  RecordingSteps rec;
  rec.switchFails = 1;
  ChangeState state = AToB();
  CCfginfo cfg;
  TwoNetworks(cfg);
  doChange(1, state, cfg, rec.Steps());

  const Calls expected = {"display.SetNetwork 1",     "progress 4 'Change Printer Status'",
                          "printer 1 phase 1",        "progress 6 'Disconnecting network drive'",
                          "drives.BeforeSwitch 1",    "progress 10 'Preparering to Packet....'",
                          "switch.ChangeRG 1 wait 1", "display.CloseProgress",
                          "display.SelectNetwork 0",  "display.Finish",
                          "tray.ShowNetwork 0 tip 0", "printer 0 phase 1"};
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(state.current, 0);
  EXPECT_EQ(state.busy, 0);
}

TEST(ChangeSequence, SilentModeUpdatesTrayBeforeTheSwitchAndShowsNoFinalProgress) {
  RecordingSteps rec;
  CCfginfo cfg;
  TwoNetworks(cfg);
  cfg.dwSilentChng = 1;
  ChangeState state = AToB();
  doChange(0, state, cfg, rec.Steps());

  const Calls expected = {"display.SelectNetwork 1",
                          "progress 4 'Change Printer Status'",
                          "printer 1 phase 1",
                          "progress 6 'Disconnecting network drive'",
                          "drives.BeforeSwitch 1",
                          "progress 10 'Preparering to Packet....'",
                          "display.SelectNetwork 1",
                          "display.Finish",
                          "tray.ShowNetwork 1 tip 1",
                          "switch.ChangeRG 1 wait 1",
                          "address.DelGateway",
                          "address.DelArp " + std::to_string(kGwB),
                          "address.ChangeIPbyDHCP " + std::to_string(kIpB),
                          "drives.AfterSwitch 1",
                          "printer 1 phase 0"};
  EXPECT_EQ(rec.calls, expected);
}

TEST(ChangeSequence, SilentSwitchFailureShowsTheNetworkInForceInTheTray) {
  // Silent mode showed the target in the tray before the switch; the machine stays on A.
  for (int showProgress : {0, 1}) {
    SCOPED_TRACE(showProgress ? "tray change" : "copy-data change");
    RecordingSteps rec;
    rec.switchFails = 1;
    CCfginfo cfg;
    TwoNetworks(cfg);
    cfg.dwSilentChng = 1;
    ChangeState state = AToB();
    doChange(showProgress, state, cfg, rec.Steps());

    const Calls tail = {"switch.ChangeRG 1 wait 1", "display.CloseProgress",    "display.SelectNetwork 0",
                        "display.Finish",           "tray.ShowNetwork 0 tip 0", "printer 0 phase 1"};
    ASSERT_GE(rec.calls.size(), tail.size());
    EXPECT_EQ(Calls(rec.calls.end() - static_cast<std::ptrdiff_t>(tail.size()), rec.calls.end()), tail);
    EXPECT_EQ(state.current, 0);
  }
}

TEST(ChangeSequence, SessionEndingCommandsTheSwitchButLeavesAddressesAlone) {
  RecordingSteps rec;
  ChangeState state;
  state.previous = 1;
  state.current = 0;
  state.sessionEnding = 1;
  CCfginfo cfg;
  TwoNetworks(cfg);
  doChange(0, state, cfg, rec.Steps());

  // Leaving the program on B: the tray, the display window and the shortcut name A afterwards.
  const Calls expected = {"display.SelectNetwork 0",  "progress 4 'Change Printer Status'",
                          "printer 0 phase 1",        "progress 6 'Disconnecting network drive'",
                          "drives.BeforeSwitch 0",    "progress 10 'Preparering to Packet....'",
                          "switch.ChangeRG 0 wait 1", "drives.AfterSwitch 0",
                          "display.SelectNetwork 0",  "display.Finish",
                          "tray.ShowNetwork 0 tip 0", "printer 0 phase 0"};
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(state.current, 0);
}

TEST(ChangeSequence, OneFixedNetworkOnlyMovesTheDefaultRoute) {
  struct Case {
    int sameGateway;
    uint32_t expectedGateway;
  } cases[] = {{1, kGwA}, {0, kGwB}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sameGateway);
    RecordingSteps rec;
    CCfginfo cfg;
    TwoNetworks(cfg);
    cfg.dwIPnum = 1;
    cfg.net[1].sameGateway = c.sameGateway;
    ChangeState state = AToB();
    doChange(0, state, cfg, rec.Steps());

    const Calls expected = {"display.SelectNetwork 1",
                            "progress 4 'Change Printer Status'",
                            "printer 1 phase 1",
                            "progress 6 'Disconnecting network drive'",
                            "drives.BeforeSwitch 1",
                            "progress 10 'Preparering to Packet....'",
                            "switch.ChangeRG 1 wait 1",
                            "address.DelGateway",
                            "address.DelArp " + std::to_string(c.expectedGateway),
                            "address.AddGateway " + std::to_string(c.expectedGateway),
                            "drives.AfterSwitch 1",
                            "display.SelectNetwork 1",
                            "display.Finish",
                            "tray.ShowNetwork 1 tip 1",
                            "printer 1 phase 0"};
    EXPECT_EQ(rec.calls, expected);
  }
}

TEST(ChangeSequence, DhcpTargetWithOneNetworkRenewsTheAddress) {
  RecordingSteps rec;
  CCfginfo cfg;
  TwoNetworks(cfg);
  cfg.dwIPnum = 1;
  cfg.net[1].useDhcp = 1;
  ChangeState state = AToB();
  doChange(0, state, cfg, rec.Steps());
  EXPECT_NE(std::find(rec.calls.begin(), rec.calls.end(), "address.ChangeIPbyDHCP " + std::to_string(kIpB)),
            rec.calls.end());
}

// Whatever asks for the change (with or without progress window, silent or not) and however it
// ends, the last thing the tray is told is the network in force, with that network's tip.
TEST(ChangeSequence, TheTrayAndDisplayEndOnTheNetworkInForce) {
  struct Case {
    const char* what;
    int showProgress, silent, printerRefuses, switchFails;
    int inForce;
  } cases[] = {
      {"tray command", 1, 0, 0, 0, 1},
      {"copy-data, not silent", 0, 0, 0, 0, 1},
      {"silent", 0, 1, 0, 0, 1},
      {"silent with progress", 1, 1, 0, 0, 1},
      {"printer refuses", 1, 0, 1, 0, 0},
      {"printer refuses, silent", 0, 1, 1, 0, 0},
      {"switch fails", 1, 0, 0, 1, 0},
      {"switch fails, silent", 0, 1, 0, 1, 0},
      {"switch fails, no progress", 0, 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingSteps rec;
    rec.printerRefusesPhase1 = c.printerRefuses;
    rec.switchFails = c.switchFails;
    CCfginfo cfg;
    TwoNetworks(cfg);
    cfg.dwSilentChng = static_cast<uint32_t>(c.silent);
    ChangeState state = AToB();
    doChange(c.showProgress, state, cfg, rec.Steps());
    EXPECT_EQ(state.current, c.inForce);
    std::string lastTray;
    for (const std::string& call : rec.calls)
      if (call.rfind("tray.ShowNetwork", 0) == 0) lastTray = call;
    const std::string n = std::to_string(c.inForce);
    EXPECT_EQ(lastTray, "tray.ShowNetwork " + n + " tip " + n);
    EXPECT_EQ(rec.shown, c.inForce) << "the display window and the shortcut follow the tray";
  }
}

// A check that found something of the network left makes the change fail closed: the target's
// adapter is released and cleared, last, and the state says whether all of it went. A check that
// passed, could not look or is not configured leaves the adapter, and so does a session that
// ends (no check runs then: its addresses stay).
TEST(ChangeSequence, AFailedIsolationCheckClearsTheAdapterLast) {
  using Check = nv::core::IsolationResult::State;
  using nv::core::AdapterClear;
  struct Case {
    const char* what;
    bool configured;
    Check answer;
    int sessionEnding, clearFails;
    AdapterClear expected;
  } cases[] = {
      {"failed", true, Check::Failed, 0, 0, AdapterClear::Cleared},
      {"failed, something stays", true, Check::Failed, 0, 1, AdapterClear::NotCleared},
      {"passed", true, Check::Passed, 0, 0, AdapterClear::NotAttempted},
      {"could not look", true, Check::NotChecked, 0, 0, AdapterClear::NotAttempted},
      {"no check", false, Check::Failed, 0, 0, AdapterClear::NotAttempted},
      {"session ends", true, Check::Failed, 1, 0, AdapterClear::NotAttempted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingSteps rec;
    rec.clearFails = c.clearFails;
    nv::core::testing::FixedIsolationCheck check;
    check.answer.state = c.answer;
    check.calls = &rec.calls;
    auto steps = rec.Steps();
    if (c.configured) steps.isolation = &check;
    CCfginfo cfg;
    TwoNetworks(cfg);
    ChangeState state = AToB();
    state.sessionEnding = c.sessionEnding;
    state.adapterClear = AdapterClear::NotCleared;  // an earlier change's result does not carry over
    doChange(1, state, cfg, steps);

    EXPECT_EQ(static_cast<int>(state.adapterClear), static_cast<int>(c.expected));
    EXPECT_EQ(state.current, 1);
    const std::string clear = "address.ClearAddresses " + std::to_string(kIpB);  // the target's record
    const auto clears = std::count(rec.calls.begin(), rec.calls.end(), clear);
    EXPECT_EQ(clears, c.expected == AdapterClear::NotAttempted ? 0 : 1);
    if (clears == 1) {
      EXPECT_EQ(Calls(rec.calls.end() - 2, rec.calls.end()), (Calls{"isolation.Check 1", clear}));
    }
    EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "isolation.Check 1"),
              c.configured && !c.sessionEnding ? 1 : 0);
  }
}
