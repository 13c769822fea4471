#include <gtest/gtest.h>

#include <algorithm>

#include "netvane/frame_controller.h"
#include "support/recording_host.h"
#include "support/recording_steps.h"

using namespace nv::core;
using nv::core::testing::RecordingHost;
using nv::core::testing::RecordingSteps;

namespace {

struct Fixture {
  RecordingSteps rec;
  RecordingHost host{rec.calls};
  CCfginfo cfg;
  FrameController frame{cfg, host, rec.Steps()};

  Fixture() {
    cfg.dwIPnum = 2;
    cfg.net[0].szNetDev = "adapter";
    cfg.net[0].useDhcp = 1;
    cfg.net[1].useDhcp = 1;
  }
  size_t Count(const std::string& call) const { return std::count(rec.calls.begin(), rec.calls.end(), call); }
  size_t Changes() const {
    return std::count_if(rec.calls.begin(), rec.calls.end(),
                         [](const std::string& c) { return c.rfind("switch.ChangeRG", 0) == 0; });
  }
};

}  // namespace

TEST(FrameController, StartUpGoesOnWhileTheEmulationIsRetriedFromATimer) {
  Fixture f;
  f.host.dhcpEmuFailures = 2;  // another DHCP server holds the port for two more seconds
  f.frame.State().current = 1;
  f.frame.OnTimer(TIMER_STARTUP);

  const std::string warning = std::string("host.ShowWarning ") + kTipEmulationNotReady;
  const std::vector<std::string> head = {
      "host.KillTimer 110",     "host.RecoverAddress", "host.OpenDhcpEmu",   warning,
      "host.SetTimer 112 1000", "host.ConnectSwitch",  "host.ApplySettings", "log START"};
  ASSERT_GE(f.rec.calls.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), f.rec.calls.begin()));
  EXPECT_EQ(f.Count("switch.ChangeRG 0 wait 1"), 1u);
  EXPECT_EQ(f.rec.calls.back(), "host.SetTimer 111 30000");
  EXPECT_EQ(f.frame.State().current, 0);
  EXPECT_EQ(f.frame.State().busy, 0);

  f.frame.OnTrayChange();  // everything else works meanwhile
  EXPECT_EQ(f.frame.State().current, 1);

  f.rec.calls.clear();
  f.frame.OnTimer(TIMER_DHCP_EMU_RETRY);  // still held: told once only
  EXPECT_EQ(f.rec.calls, std::vector<std::string>{"host.OpenDhcpEmu"});
  f.frame.OnTimer(TIMER_DHCP_EMU_RETRY);  // freed: open on this retry
  EXPECT_EQ(f.rec.calls,
            (std::vector<std::string>{"host.OpenDhcpEmu", "host.OpenDhcpEmu", "host.KillTimer 112",
                                      std::string("host.ClearWarning ") + kTipEmulationNotReady}));
  f.rec.calls.clear();
  f.frame.OnTimer(TIMER_DHCP_EMU_RETRY);  // a tick already queued does not open it twice
  EXPECT_EQ(f.rec.calls, std::vector<std::string>{"host.KillTimer 112"});

  Fixture ready;  // opens at once: no timer, no warning
  ready.frame.StartUp();
  EXPECT_EQ(ready.Count("host.SetTimer 112 1000"), 0u);
  EXPECT_EQ(ready.Count(warning), 0u);
}

TEST(FrameController, AnAddressStepThatGotNoAddressIsLoggedAndShownInTheTray) {
  struct Case {
    int addressResult;
    const char* log;  // null: nothing reported
    const char* tip;
  } cases[] = {{IAddressRenewal::kAddressesChanged, nullptr, nullptr},
               {IAddressRenewal::kNoInterface, nullptr, nullptr},
               {IAddressRenewal::kEmulationFailed, kLogEmulationFailed, kTipEmulationFailed},
               {IAddressRenewal::kRenewFailed, kLogRenewFailed, kTipRenewFailed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.addressResult);
    Fixture f;
    f.cfg.szNet[1] = "INTER";
    f.frame.StartUp();
    f.rec.addressResult = c.addressResult;
    f.rec.calls.clear();
    f.frame.OnTrayChange();

    const std::vector<std::string>& calls = f.rec.calls;
    auto pos = [&](const std::string& s) { return std::find(calls.begin(), calls.end(), s) - calls.begin(); };
    std::size_t reports = 0;
    for (const auto& call : calls)
      if (call.rfind("log FAIL", 0) == 0 || call.rfind("host.ShowWarning", 0) == 0) ++reports;
    if (c.log == nullptr) {
      EXPECT_EQ(reports, 0u);
      continue;
    }
    const std::string warning = std::string("host.ShowWarning INTER") + c.tip;
    EXPECT_EQ(reports, 2u);
    EXPECT_EQ(f.Count(std::string("log ") + c.log), 1u);
    EXPECT_EQ(f.Count(warning), 1u);
    EXPECT_LT(pos("drives.AfterSwitch 1"), pos(std::string("log ") + c.log));
    EXPECT_LT(pos("tray.ShowNetwork 1 tip 1"), pos(warning)) << "the warning is what stays in the tip";
  }
}

TEST(FrameController, FixedSettingsLeftByARunThatDiedGoFirstAndFailuresAreReported) {
  Fixture f;
  f.cfg.szNet[1] = "INTER";
  f.host.recovered = "RECOVER fixed settings of an interrupted change taken off: x";
  f.host.trayRemoved = true;  // the taskbar was not ready when the window was made
  f.frame.StartUp();
  const std::vector<std::string>& calls = f.rec.calls;
  auto pos = [&](const std::string& s) { return std::find(calls.begin(), calls.end(), s) - calls.begin(); };
  EXPECT_EQ(calls.front(), "host.RecoverAddress");
  EXPECT_EQ(pos("log START") + 1, pos("log " + f.host.recovered));
  EXPECT_LT(pos("log " + f.host.recovered), pos("switch.ChangeRG 0 wait 1"));
  EXPECT_LT(pos("host.AddTrayIcon"), pos("switch.ChangeRG 0 wait 1")) << "the icon is tried again first";

  f.rec.addressResult = IAddressRenewal::kFixedSettingsFailed;
  f.rec.failureDetail = "fixed settings not applied: AddIPAddress refused (error 50)";
  f.frame.OnTrayChange();
  EXPECT_EQ(f.Count("log FAIL fixed settings not applied: AddIPAddress refused (error 50)"), 1u);
  EXPECT_EQ(f.Count(std::string("host.ShowWarning INTER") + kTipFixedSettingsFailed), 1u);
  EXPECT_EQ(f.Count(std::string("log ") + kLogEmulationFailed), 0u);
}

TEST(FrameController, UnconfiguredAdapterOpensTheConfigurationAndSchedulesWhenOn) {
  Fixture f;
  f.cfg.net[0].szNetDev.clear();
  f.cfg.scheduleOn = 1;
  f.frame.StartUp();
  EXPECT_EQ(f.rec.calls.at(1), "host.OpenConfiguration");
  EXPECT_EQ(f.Count("host.OpenDhcpEmu"), 0u);
  EXPECT_EQ(f.rec.calls.back(), "host.StartSchedule");
}

TEST(FrameController, TrayChangeTogglesAndABusyFrameDropsTheRequest) {
  Fixture f;
  f.frame.StartUp();
  f.rec.calls.clear();

  f.frame.OnTrayChange();
  EXPECT_EQ(f.frame.State().current, 1);
  EXPECT_EQ(f.frame.State().previous, 0);
  EXPECT_EQ(f.Changes(), 1u);

  f.frame.State().busy = 1;  // a change is running
  f.frame.OnTrayChange();
  EXPECT_EQ(f.Changes(), 1u);
  EXPECT_EQ(f.frame.State().current, 1);
}

TEST(FrameController, RepeatTimerIsArmedOnlyInDebugModeAfterReloadingTuning) {
  Fixture f;
  f.frame.StartUp();
  f.cfg.dwChngTimer = 5000;
  f.frame.OnTrayChange();
  EXPECT_EQ(f.Count("host.SetTimer 1 5000"), 0u);

  f.cfg.dwDebug = 0x02;
  f.frame.OnTrayChange();
  EXPECT_EQ(f.Count("host.ReloadTuning"), 1u);
  EXPECT_EQ(f.Count("host.SetTimer 1 5000"), 1u);
}

TEST(FrameController, CopyDataActsOnlyWithUseDllAndNoPayload) {
  struct Case {
    uint32_t useDll;
    size_t length;
    uint32_t command;
    int current;
    size_t changes;
    int status;
    int afterwards;
  } cases[] = {
      {1, 0, 0, 0, 0, 0, 0},   // status on A
      {1, 0, 0, 1, 0, 1, 1},   // status on B
      {1, 0, 2, 0, 1, -1, 1},  // to B from A
      {1, 0, 2, 1, 0, -1, 1},  // already on B
      {1, 0, 1, 1, 1, -1, 0},  // to A from B
      {1, 0, 1, 0, 0, -1, 0},  // already on A
      {1, 0, 7, 0, 0, -1, 0},  // unknown command
      {1, 4, 2, 0, 0, -1, 0},  // a payload is ignored
      {0, 0, 2, 0, 0, -1, 0},  // UseDll off
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "useDll " << c.useDll << " len " << c.length << " cmd " << c.command
                                      << " on " << c.current);
    Fixture f;
    f.cfg.UseDll = c.useDll;
    f.frame.StartUp();
    f.frame.State().current = c.current;
    f.rec.calls.clear();
    f.frame.OnCopyData(c.length, c.command);
    EXPECT_EQ(f.Changes(), c.changes);
    EXPECT_EQ(f.host.savedStatus, c.status);
    EXPECT_EQ(f.frame.State().current, c.afterwards);
  }
}

TEST(FrameController, CopyDataDuringAChangeIsDroppedButStatusIsAnswered) {
  Fixture f;
  f.cfg.UseDll = 1;
  f.frame.StartUp();
  f.frame.State().busy = 1;  // a change to A is running
  f.rec.calls.clear();
  f.frame.OnCopyData(0, 2);
  EXPECT_EQ(f.Changes(), 0u);
  EXPECT_EQ(f.frame.State().current, 0);
  EXPECT_EQ(f.frame.State().busy, 1) << "the running change clears busy, not the dropped request";
  f.frame.OnCopyData(0, 0);
  EXPECT_EQ(f.host.savedStatus, 0);
}

TEST(FrameController, CopyDataHonoursSilentMode) {
  Fixture f;
  f.cfg.UseDll = 1;
  f.cfg.dwSilentChng = 1;
  f.frame.StartUp();
  f.rec.calls.clear();
  f.frame.OnCopyData(0, 2);
  EXPECT_EQ(f.Count("display.SetNetwork 1"), 0u) << "no progress window in silent mode";
  EXPECT_EQ(f.frame.State().current, 1);
  EXPECT_EQ(f.Count("tray.ShowNetwork 1 tip 1"), 1u) << "the tray, display and shortcut show B all the same";
  EXPECT_EQ(f.rec.shown, 1);
}

TEST(FrameController, ExitOnBReturnsToABeforeClosing) {
  Fixture f;
  f.frame.StartUp();
  f.frame.OnTrayChange();  // now on B
  f.rec.calls.clear();
  f.frame.ShutDown();

  const std::vector<std::string>& c = f.rec.calls;
  auto pos = [&](const std::string& s) { return std::find(c.begin(), c.end(), s) - c.begin(); };
  EXPECT_EQ(c.front(), "host.RegisterRunOnce");
  EXPECT_LT(pos("switch.ChangeRG 0 wait 1"), pos("log SHUTDOWN"));
  // The tray, the desktop window and the shortcut name A, the network the machine is left on.
  EXPECT_LT(pos("switch.ChangeRG 0 wait 1"), pos("tray.ShowNetwork 0 tip 0"));
  EXPECT_LT(pos("tray.ShowNetwork 0 tip 0"), pos("log SHUTDOWN"));
  EXPECT_EQ(f.rec.shown, 0);
  EXPECT_LT(pos("log SHUTDOWN"), pos("host.PostClose"));
  EXPECT_EQ(c.back(), "host.PostClose");
  EXPECT_EQ(f.frame.State().current, 0);
}

TEST(FrameController, ExitOnAChangesNothing) {
  Fixture f;
  f.frame.StartUp();
  f.rec.calls.clear();
  f.frame.ShutDown();
  EXPECT_EQ(f.Changes(), 0u);
}

TEST(FrameController, EndOfSessionOnBWritesRunOnceFirstAndTellsWindowsWhyItWaits) {
  struct Case {
    const char* what;
    bool sessionEnds;
    bool forced;
    uint32_t comport;
    bool blocked;
    const char* switchCall;
    bool cutLogged;
  } cases[] = {
      {"end of session", true, false, 0, true, "switch.ChangeRG 0 wait 1", false},
      {"forced end, Ethernet", true, true, 0, true, "switch.ChangeRG 0 wait 0", true},
      {"forced end, serial lines", true, true, 3, true, "switch.ChangeRG 0 wait 0", false},
      {"exit command", false, false, 0, false, "switch.ChangeRG 0 wait 1", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    f.cfg.dwComport = c.comport;
    f.cfg.dwInterval = 600;
    f.frame.StartUp();
    f.frame.OnTrayChange();  // now on B
    f.rec.calls.clear();
    if (c.sessionEnds) {
      f.frame.OnEndSession(c.forced);
    } else {
      f.frame.ShutDown();
    }

    const std::vector<std::string>& calls = f.rec.calls;
    auto pos = [&](const std::string& s) { return std::find(calls.begin(), calls.end(), s) - calls.begin(); };
    const std::string block = std::string("host.BlockShutdown ") + kShutdownReason;
    const std::string cut = std::string("log ") + kLogResendWaitCut;
    EXPECT_EQ(calls.front(), "host.RegisterRunOnce");
    EXPECT_EQ(f.Count(c.switchCall), 1u);
    EXPECT_EQ(f.Count(block), c.blocked ? 1u : 0u);
    EXPECT_EQ(f.Count("host.UnblockShutdown"), c.blocked ? 1u : 0u);
    if (c.blocked) {
      EXPECT_LT(pos(block), pos(c.switchCall));
      EXPECT_LT(pos(c.switchCall), pos("host.UnblockShutdown"));
      EXPECT_LT(pos("host.UnblockShutdown"), pos("log SHUTDOWN"));
    }
    EXPECT_EQ(f.Count(cut), c.cutLogged ? 1u : 0u);
    if (c.cutLogged) {
      EXPECT_LT(pos(cut), pos(c.switchCall)) << "written before a wait Windows may end";
    }
    EXPECT_EQ(calls.back(), "host.PostClose");
  }
}

TEST(FrameController, EndOfSessionLeavesAddressesAlone) {
  Fixture f;
  f.frame.StartUp();
  f.frame.OnTrayChange();
  f.rec.calls.clear();
  f.frame.OnEndSession();
  EXPECT_EQ(f.Changes(), 1u);
  EXPECT_EQ(f.Count("address.DelGateway"), 0u);
}

TEST(FrameController, TimersDriveTheirTriggers) {
  Fixture f;
  f.frame.StartUp();
  f.cfg.scheduleInterval = 60000;  // as loaded at start-up; the schedule thread has read a newer one
  f.rec.calls.clear();

  f.frame.ArmSchedule({true, 0, 1800000, 3600000});
  EXPECT_EQ(f.Count("host.SetTimer 1001 1800000"), 1u);
  EXPECT_TRUE(f.frame.OnTimer(TIMER_SCHEDULE));
  EXPECT_EQ(f.Count("host.SetTimer 1001 3600000"), 1u);
  EXPECT_EQ(f.frame.State().current, 1);
  f.rec.calls.clear();
  f.frame.ArmSchedule(nv::core::ScheduleArm{});  // the schedule was switched off
  EXPECT_EQ(f.rec.calls, std::vector<std::string>{"host.KillTimer 1001"});
  EXPECT_EQ(f.frame.State().current, 1);

  f.host.idleDue = false;
  f.frame.OnTimer(TIMER_IDLE_CHECK);
  EXPECT_EQ(f.frame.State().current, 1);
  f.host.idleDue = true;
  f.frame.OnTimer(TIMER_IDLE_CHECK);
  EXPECT_EQ(f.frame.State().current, 0);

  f.host.trayRemoved = true;
  f.frame.OnTimer(TIMER_TRAY_REFRESH);
  EXPECT_EQ(f.Count("host.AddTrayIcon"), 1u);
  EXPECT_FALSE(f.frame.OnTimer(4242));
}

// After a check that found something of the other network, the log says below the check's own
// line what became of the adapter, and the tray tip says that first (the tip is short).
TEST(FrameController, AFailedIsolationCheckSaysWhetherTheAdapterWasCleared) {
  using Check = IsolationResult::State;
  struct Case {
    const char* what;
    Check answer;
    int clearFails;
    const char* log;  // null: no line about the adapter
    std::string tip;  // empty: no warning
  } cases[] = {
      {"cleared", Check::Failed, 0, kLogAdapterCleared, std::string("INTER") + kTipAdapterCleared},
      {"something stayed", Check::Failed, 1, kLogAdapterNotCleared,
       std::string("INTER") + kTipAdapterNotCleared},
      {"could not look", Check::NotChecked, 0, nullptr, "INTER: isolation check not checked: no adapter"},
      {"passed", Check::Passed, 0, nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingSteps rec;
    rec.clearFails = c.clearFails;
    RecordingHost host{rec.calls};
    nv::core::testing::FixedIsolationCheck check;
    check.answer.state = c.answer;
    check.answer.problem = "no adapter";
    check.answer.leftovers = {"neighbour entry 10.91.1.1 (network A's gateway)"};
    check.calls = &rec.calls;
    ChangeSteps steps = rec.Steps();
    steps.isolation = &check;
    CCfginfo cfg;
    cfg.dwIPnum = 2;
    cfg.net[0].szNetDev = "adapter";
    cfg.szNet[1] = "INTER";
    FrameController frame{cfg, host, steps};
    frame.StartUp();
    rec.calls.clear();
    frame.OnTrayChange();

    std::vector<std::string> reports;
    for (const auto& call : rec.calls)
      if (call.rfind("host.ShowWarning", 0) == 0 || call.rfind("log ", 0) == 0) reports.push_back(call);
    std::vector<std::string> expected;
    if (c.log) expected.push_back(std::string("log ") + c.log);
    if (!c.tip.empty()) expected.push_back("host.ShowWarning " + c.tip);
    EXPECT_EQ(reports, expected);
    const auto clear = std::find_if(rec.calls.begin(), rec.calls.end(), [](const std::string& call) {
      return call.rfind("address.ClearAddresses", 0) == 0;
    });
    EXPECT_EQ(clear != rec.calls.end(), c.log != nullptr) << "only a failed check clears the adapter";
  }
}
