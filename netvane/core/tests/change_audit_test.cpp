#include "netvane/change_audit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "netvane/frame_controller.h"
#include "support/recording_host.h"
#include "support/recording_steps.h"

using nv::core::AuditRecord;
using nv::core::ChangeTrigger;
using nv::core::FrameController;
using nv::core::IEventLog;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

struct RecordingSink : nv::core::IAuditSink {
  std::vector<AuditRecord> records;
  std::vector<AuditRecord> started;  // written ahead, before the first step
  bool Begin(const AuditRecord& r) override {
    EXPECT_EQ(records.size(), started.size()) << "a change begun before the last one was completed";
    started.push_back(r);
    return true;
  }
  bool Write(const AuditRecord& r) override {
    records.push_back(r);
    return true;
  }
};

nv::core::AuditClock FixedClock() {
  nv::core::AuditClock clock;
  clock.utcText = [] { return std::string("2026-12-08T10:00:00.000Z"); };
  clock.monotonicMs = [t = 0.0]() mutable { return t += 1.5; };
  return clock;
}

void TwoNetworks(CCfginfo& cfg) {
  cfg.dwIPnum = 2;
  cfg.net[0].useDhcp = 1;
  cfg.net[0].Gateway = 0x0A5B0101;
  cfg.net[0].szNetDev = "eth0";
  cfg.net[1].IPAddr = 0x0A5C0132;
  cfg.net[1].Gateway = 0x0A5C0101;
  cfg.szNet[0] = "INTRANET";
  cfg.szNet[1] = "IN\"TER\"NET";
}

Strings StepNames(const AuditRecord& r) {
  Strings names;
  for (const auto& s : r.steps)
    names.push_back(s.name + " " + (s.network ? "B" : "A") + "=" + std::to_string(s.result));
  return names;
}

struct FixedIsolation : nv::core::IIsolationCheck {
  nv::core::IsolationResult result;
  void BeforeSwitch(int, int) override {}
  nv::core::IsolationResult CheckAfterChange(int) override { return result; }
};

}  // namespace

TEST(ChangeAudit, EveryTriggerOfTheFrameWritesOneRecordNamingIt) {
  struct Case {
    const char* trigger;
    std::function<void(FrameController&, nv::core::testing::RecordingHost&)> act;
    const char* from;
    const char* to;
  };
  const Case cases[] = {
      {"tray command", [](FrameController& f, auto&) { f.OnTrayChange(); }, "A", "B"},
      {"second start", [](FrameController& f, auto&) { f.OnTrayChange(ChangeTrigger::SecondStart); }, "A",
       "B"},
      {"change helper", [](FrameController& f, auto&) { f.OnTrayChange(ChangeTrigger::ChangeHelper); }, "A",
       "B"},
      {"schedule", [](FrameController& f, auto&) { f.OnTimer(nv::core::TIMER_SCHEDULE); }, "A", "B"},
      {"repeat timer", [](FrameController& f, auto&) { f.OnTimer(nv::core::TIMER_CHANGE_REPEAT); }, "A", "B"},
      {"idle return",
       [](FrameController& f, auto& host) {
         host.idleDue = true;
         f.OnTimer(nv::core::TIMER_IDLE_CHECK);
       },
       "A", "B"},
      {"copy-data", [](FrameController& f, auto&) { f.OnCopyData(0, 2); }, "A", "B"},
      {"copy-data",
       [](FrameController& f, auto&) {
         f.OnCopyData(0, 2);  // to B and back: the way back starts from B
         f.OnCopyData(0, 1);
       },
       "B", "A"},
      {"start-up", [](FrameController& f, auto&) { f.StartUp(); }, "A", "A"},
      {"exit",
       [](FrameController& f, auto&) {
         f.State().previous = 0;
         f.State().current = 1;
         f.ShutDown();
       },
       "B", "A"},
      {"end of session",
       [](FrameController& f, auto&) {
         f.State().current = 1;
         f.OnEndSession();
       },
       "B", "A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trigger);
    CCfginfo cfg;
    TwoNetworks(cfg);
    cfg.UseDll = 1;
    Strings calls;
    nv::core::testing::RecordingHost host(calls);
    nv::core::testing::RecordingSteps steps;
    RecordingSink sink;
    FrameController frame(cfg, host, steps.Steps(), &sink);
    frame.State().busy = 0;
    c.act(frame, host);
    ASSERT_FALSE(sink.records.empty());
    ASSERT_EQ(sink.started.size(), sink.records.size());
    const AuditRecord& r = sink.records.back();
    EXPECT_EQ(sink.started.back().outcome, "started");
    EXPECT_EQ(sink.started.back().from, r.from);
    EXPECT_EQ(sink.started.back().to, r.to);
    EXPECT_EQ(sink.started.back().trigger, r.trigger);
    EXPECT_EQ(nv::core::TriggerName(r.trigger), std::string(c.trigger));
    EXPECT_EQ(r.from, c.from[0] == 'B' ? 1 : 0);
    EXPECT_EQ(r.to, c.to[0] == 'B' ? 1 : 0);
    EXPECT_EQ(r.outcome, std::string(c.trigger) == "end of session" ? "changed, addresses left (session ends)"
                                                                    : "changed");
    EXPECT_FALSE(r.steps.empty());
    EXPECT_FALSE(r.time.empty());
  }
}

TEST(ChangeAudit, RecordHoldsEachStepWithResultAndDurationTheIsolationCheckAndTheOutcome) {
  struct Case {
    const char* what;
    int printerRefuses, switchFails;
    nv::core::IsolationResult::State isolation;
    Strings steps;
    const char* outcome;
    int addressResult = 0;
    int clearFails = 0;
  };
  const Strings full = {"printers before B=1", "drives before B=1",  "switch box B=1",
                        "route removal B=1",   "ARP removal B=1",    "address change B=0",
                        "after change B=1",    "printers after B=1", "isolation check B=1"};
  Strings notIsolated = full;
  notIsolated.back() = "isolation check B=0";
  Strings cleared = notIsolated, notCleared = notIsolated;  // a failed check clears the adapter
  cleared.push_back("adapter clear B=1");
  notCleared.push_back("adapter clear B=0");
  Strings fixedFailed = full;
  fixedFailed[5] = "address change B=4";
  const Case cases[] = {
      {"changed", 0, 0, nv::core::IsolationResult::State::Passed, full, "changed"},
      {"fixed settings not applied", 0, 0, nv::core::IsolationResult::State::Passed, fixedFailed,
       "changed, fixed settings not applied: AddIPAddress refused (error 50)",
       nv::core::IAddressRenewal::kFixedSettingsFailed},
      {"leftover", 0, 0, nv::core::IsolationResult::State::Failed, cleared,
       "changed, not isolated; address released, adapter cleared"},
      {"leftover, the adapter not cleared", 0, 0, nv::core::IsolationResult::State::Failed, notCleared,
       "changed, not isolated; the adapter could not be cleared", 0, 1},
      {"could not look", 0, 0, nv::core::IsolationResult::State::NotChecked, notIsolated,
       "changed, isolation not checked"},
      {"switch fails",
       0,
       1,
       nv::core::IsolationResult::State::Passed,
       {"printers before B=1", "drives before B=1", "switch box B=0", "printers before A=1"},
       "abandoned: the switch box was not commanded"},
      {"printers refuse",
       1,
       0,
       nv::core::IsolationResult::State::Passed,
       {"printers before B=0"},
       "refused by the printer helper"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CCfginfo cfg;
    TwoNetworks(cfg);
    nv::core::testing::RecordingSteps rec;
    rec.printerRefusesPhase1 = c.printerRefuses;
    rec.switchFails = c.switchFails;
    rec.addressResult = c.addressResult;
    rec.clearFails = c.clearFails;
    rec.failureDetail = "fixed settings not applied: AddIPAddress refused (error 50)";
    FixedIsolation isolation;
    isolation.result.state = c.isolation;
    if (c.isolation == nv::core::IsolationResult::State::Failed)
      isolation.result.leftovers = {"neighbour entry 10.91.1.1 (network A's gateway)"};
    auto steps = rec.Steps();
    steps.isolation = &isolation;
    nv::core::ChangeState state;
    state.current = 1;
    const AuditRecord r =
        nv::core::RunAuditedChange(ChangeTrigger::TrayCommand, 1, state, cfg, steps, nullptr, FixedClock());
    EXPECT_EQ(StepNames(r), c.steps);
    EXPECT_EQ(r.outcome, c.outcome);
    for (const auto& s : r.steps) EXPECT_DOUBLE_EQ(s.ms, 1.5);  // one tick of the fixed clock per step
    EXPECT_DOUBLE_EQ(r.ms, 1.5 * (2 * r.steps.size() + 1));
    if (c.steps.size() >= full.size()) {
      EXPECT_EQ(r.isolation.state, c.isolation);
    } else {
      EXPECT_EQ(r.isolation.state, nv::core::IsolationResult::State::NotRun);
    }
  }
}

TEST(ChangeAudit, JsonLineAndEventTextCarryTheSameFields) {
  AuditRecord r;
  r.time = "2026-12-08T10:00:00.000Z";
  r.trigger = ChangeTrigger::SecondStart;
  r.from = 0;
  r.to = 1;
  r.fromName = "INTRANET";
  r.toName = "IN\"TER\\NET\n";
  r.steps = {{"switch box", 1, 1, 12.25}, {"isolation check", 1, 0, 3}};
  r.isolation.state = nv::core::IsolationResult::State::Failed;
  r.isolation.leftovers = {"route 10.91.1.0/24 (network A)"};
  r.outcome = "changed, not isolated";
  r.ms = 3200;
  EXPECT_EQ(
      nv::core::AuditJson(r),
      "{\"time\":\"2026-12-08T10:00:00.000Z\",\"trigger\":\"second start\",\"from\":\"A\",\"fromName\":"
      "\"INTRANET\",\"to\":\"B\",\"toName\":\"IN\\\"TER\\\\NET\\n\",\"steps\":[{\"step\":\"switch box\","
      "\"network\":\"B\",\"result\":1,\"ms\":12.2},{\"step\":\"isolation "
      "check\",\"network\":\"B\",\"result\":0,"
      "\"ms\":3.0}],\"isolation\":{\"state\":\"failed\",\"leftovers\":[\"route 10.91.1.0/24 (network A)\"]},"
      "\"outcome\":\"changed, not isolated\",\"ms\":3200.0}");
  const std::string text = nv::core::AuditText(r);
  for (const char* field :
       {"Trigger: second start", "From: network A (INTRANET)", "Outcome: changed, not isolated",
        "Isolation check: failed: route 10.91.1.0/24 (network A)", "switch box (network B): 1, 12.2 ms"})
    EXPECT_NE(text.find(field), std::string::npos) << field << "\n" << text;
}

TEST(ChangeAudit, EventLogUnderTheServiceSourceElseTheFileBesideTheLog) {
  struct FakeEventLog : IEventLog {
    bool registered = true, accepts = true;
    Strings* calls;
    bool SourceRegistered(const std::string& source) override {
      calls->push_back("registered? " + source);
      return registered;
    }
    bool Report(const std::string& source, Kind kind, unsigned id, const std::string& text) override {
      calls->push_back("report " + source + " " + std::to_string(static_cast<int>(kind)) + " " +
                       std::to_string(id) + " " + text.substr(0, text.find('\r')));
      return accepts;
    }
  };
  const fs::path dir = fs::temp_directory_path() /
                       ("nvaudit-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(dir);
  fs::create_directories(dir);  // the installation folder; its Log folder is made on the first record
  struct Case {
    const char* what;
    bool registered, accepts;
    nv::core::IsolationResult::State isolation;
    const char* outcome;
    Strings calls;
    size_t fileLines;  // cumulative
  } cases[] = {
      {"source registered",
       true,
       true,
       nv::core::IsolationResult::State::Passed,
       "changed",
       {"registered? NvMGR", "report NvMGR 0 1000 Network change at T1"},
       0},
      {"leftover is an error",
       true,
       true,
       nv::core::IsolationResult::State::Failed,
       "changed, not isolated",
       {"registered? NvMGR", "report NvMGR 2 1000 Network change at T1"},
       0},
      {"abandoned is a warning",
       true,
       true,
       nv::core::IsolationResult::State::NotRun,
       "abandoned: the switch box was not commanded",
       {"registered? NvMGR", "report NvMGR 1 1000 Network change at T1"},
       0},
      {"source missing",
       false,
       true,
       nv::core::IsolationResult::State::Passed,
       "changed",
       {"registered? NvMGR"},
       1},
      {"event refused",
       true,
       false,
       nv::core::IsolationResult::State::Passed,
       "changed",
       {"registered? NvMGR", "report NvMGR 0 1000 Network change at T1"},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Strings calls;
    auto log = std::make_unique<FakeEventLog>();
    log->registered = c.registered;
    log->accepts = c.accepts;
    log->calls = &calls;
    nv::core::EventLogAuditSink sink(std::move(log), nv::core::kAuditEventSource,
                                     std::make_unique<nv::core::JsonLinesAuditSink>((dir / "Log").string()));
    AuditRecord r;
    r.time = "T1";
    r.isolation.state = c.isolation;
    r.outcome = c.outcome;
    sink.Write(r);
    EXPECT_EQ(calls, c.calls);
    std::ifstream in(dir / "Log" / "audit.jsonl");
    size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    EXPECT_EQ(lines, c.fileLines);
  }
  std::string first;
  std::getline(std::ifstream(dir / "Log" / "audit.jsonl"), first);
  AuditRecord expected;
  expected.time = "T1";
  expected.isolation.state = nv::core::IsolationResult::State::Passed;
  expected.outcome = "changed";
  EXPECT_EQ(first, nv::core::AuditJson(expected));
  fs::remove_all(dir);
}

// A run that died leaves the marker; the next run reports the change as interrupted, unless the
// file already holds the change's end (the run died after its record, before removing the marker).
TEST(ChangeAudit, ALeftMarkerIsReportedOnlyWhenTheChangeHasNoEnd) {
  const fs::path dir = fs::temp_directory_path() /
                       ("nvpending-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  const auto record = [](const char* time, const char* outcome) {
    AuditRecord r;
    r.time = time;
    r.from = 0, r.to = 1;
    r.fromName = "INTRANET", r.toName = "INTERNET";
    r.outcome = outcome;
    return nv::core::AuditJson(r) + "\n";
  };
  std::string longLog;  // more than one read of older records
  for (int i = 0; i < 400; ++i) longLog += record("T0", "changed");
  struct Case {
    const char* what;
    std::string before;  // the file when the change began
    std::string after;   // what the dying run still wrote after its started record
    bool reported;
  } cases[] = {
      {"killed during the change", "", "", true},
      {"killed after its record", "", record("T9", "changed, not isolated"), false},
      {"another change's end", record("T8", "changed"), record("T8", "changed"), true},
      {"its end beyond 64 KiB of older records", longLog, record("T9", "changed"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir);
    fs::create_directories(dir);
    if (!c.before.empty()) std::ofstream(dir / "audit.jsonl", std::ios::binary) << c.before;
    Strings lines;
    const auto trail = [&] {
      return nv::core::AuditTrail(std::make_unique<nv::core::JsonLinesAuditSink>(dir.string()), dir.string(),
                                  [&](const std::string& line) { lines.push_back(line); });
    };
    {
      auto dying = trail();
      AuditRecord r;
      r.time = "T9", r.from = 0, r.to = 1, r.fromName = "INTRANET", r.toName = "INTERNET";
      r.trigger = ChangeTrigger::ChangeHelper;
      r.outcome = "started";
      ASSERT_TRUE(dying.Begin(r));
      std::ofstream(dir / "audit.jsonl", std::ios::binary | std::ios::app) << c.after;
    }
    auto next = trail();
    const auto size = fs::file_size(dir / "audit.jsonl");
    const auto interrupted = next.TakeInterrupted();
    EXPECT_EQ(interrupted.has_value(), c.reported);
    EXPECT_FALSE(fs::exists(next.pendingPath())) << "the marker is taken once";
    if (c.reported) {
      EXPECT_EQ(lines, Strings{"INTERRUPTED A->B started T9 (change helper)"});
      EXPECT_EQ(interrupted->time, "T9");
      EXPECT_GT(fs::file_size(dir / "audit.jsonl"), size) << "its interrupted record is written";
    } else {
      EXPECT_EQ(lines, Strings{});
      EXPECT_EQ(fs::file_size(dir / "audit.jsonl"), size);
    }
    EXPECT_FALSE(next.TakeInterrupted().has_value());
  }
  fs::remove_all(dir);
}
