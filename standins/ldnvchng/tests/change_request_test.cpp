#include <gtest/gtest.h>

#include <functional>

#include "change_request.h"

namespace ldnvchng {
namespace {

// A tray program as the frame answers: copy-data 0 writes the status, 1 and 2 change when that is
// not the network in force, WM_USER+100 toggles; a failing switch changes nothing.  While a change
// of its own runs it refuses copy-data (as the frame answers FALSE) and drops WM_USER+100; that
// change ends after `busyMs` of waiting, on network `busyEndsOn`.
struct FakeTray : TrayChannel {
  bool running = true;
  bool useDll = true;
  bool busy = false;
  unsigned busyMs = ~0u;  // how long the running change still takes
  int busyEndsOn = -1;    // where it leaves the machine (-1: where it was)
  unsigned waitedMs = 0;
  int refusals = 0;
  bool switchWorks = true;
  bool answers = true;
  bool writesStatus = true;
  int current = 0;
  std::optional<uint32_t> stored;
  std::string names[2] = {"INTRA", "INTER"};
  std::string startError;
  bool started = false;

  bool Running() override { return running; }
  bool AcceptsRequests() override { return useDll; }
  Answer SendCommand(uint32_t command) override {
    if (!answers) return Answer::kNoAnswer;
    if (!useDll) return Answer::kTaken;
    if (busy) {
      ++refusals;
      return Answer::kBusy;
    }
    if (command == 0 && writesStatus) stored = static_cast<uint32_t>(current + 1);
    if ((command == 1 || command == 2) && static_cast<int>(command) - 1 != current) Change();
    return Answer::kTaken;
  }
  void Wait(unsigned ms) override {
    waitedMs += ms;
    if (busy && waitedMs >= busyMs) {
      busy = false;
      if (busyEndsOn >= 0) current = busyEndsOn;
    }
  }
  bool SendChange() override {
    if (!answers) return false;
    Change();
    return true;
  }
  std::optional<uint32_t> StoredStatus() override { return stored; }
  std::string NetworkName(int network) override { return names[network]; }
  std::string StartTray() override {
    started = startError.empty();
    return startError;
  }

 private:
  void Change() {
    if (!busy && switchWorks) current = 1 - current;
  }
};

TEST(ChangeHelper, ArgumentsAnswersAndExitCodes) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::function<void(FakeTray&)> setUp;
    int exitCode;
    std::string message;  // the start of the message
    int networkAfter;
  };
  const auto on = [](int network) { return [=](FakeTray& t) { t.current = network; }; };
  const auto with = [](auto change) { return std::function<void(FakeTray&)>(change); };
  const Case cases[] = {
      {"status on A", {"status"}, on(0), kDone, "Network A in force (INTRA).", 0},
      {"status on B, any case", {"STATUS"}, on(1), kDone, "Network B in force (INTER).", 1},
      {"status without a display name",
       {"status"},
       with([](FakeTray& t) { t.names[0].clear(); }),
       kDone,
       "Network A in force.",
       0},
      {"B from A", {"B"}, on(0), kDone, "Network B in force (INTER).", 1},
      {"a from B", {"a"}, on(1), kDone, "Network A in force (INTRA).", 0},
      {"B on B: nothing to do", {"B"}, on(1), kDone, "Network B in force (INTER) already.", 1},
      {"B while a change runs past the bound",
       {"B"},
       with([](FakeTray& t) { t.busy = true; }),
       kChangeRefused,
       "Refused: the Netvane tray program was busy with a change for 180 s",
       0},
      {"B while a change to B runs: asked again, B in force after it",
       {"B"},
       with([](FakeTray& t) {
         t.busy = true;
         t.busyMs = 3000;
         t.busyEndsOn = 1;
       }),
       kDone,
       "Network B in force (INTER) already.",
       1},
      {"A while a scheduled change to B runs: A after it",
       {"A"},
       with([](FakeTray& t) {
         t.busy = true;
         t.busyMs = 2000;
         t.busyEndsOn = 1;
       }),
       kDone,
       "Network A in force (INTRA).",
       0},
      {"status while a change to B runs: B, never the stale A",
       {"status"},
       with([](FakeTray& t) {
         t.busy = true;
         t.busyMs = 1500;
         t.busyEndsOn = 1;
       }),
       kDone,
       "Network B in force (INTER).",
       1},
      {"status while a change runs past the bound",
       {"status"},
       with([](FakeTray& t) { t.busy = true; }),
       kChangeRefused,
       "Refused: the Netvane tray program was busy",
       0},
      {"B when the switch fails",
       {"B"},
       with([](FakeTray& t) { t.switchWorks = false; }),
       kChangeRefused,
       "Change refused",
       0},
      {"B without UseDll",
       {"B"},
       with([](FakeTray& t) { t.useDll = false; }),
       kChangeRefused,
       "Refused: the Netvane tray program takes no requests from other programs (UseDll is 0).",
       0},
      {"status without UseDll",
       {"status"},
       with([](FakeTray& t) { t.useDll = false; }),
       kChangeRefused,
       "Refused:",
       0},
      {"B with no tray program",
       {"B"},
       with([](FakeTray& t) { t.running = false; }),
       kNoTrayProgram,
       "No Netvane tray program is running.",
       0},
      {"status with no tray program",
       {"status"},
       with([](FakeTray& t) { t.running = false; }),
       kNoTrayProgram,
       "No Netvane tray program is running.",
       0},
      {"status unanswered",
       {"status"},
       with([](FakeTray& t) { t.answers = false; }),
       kNoAnswer,
       "The Netvane tray program did not answer.",
       0},
      {"status never written",
       {"status"},
       with([](FakeTray& t) { t.writesStatus = false; }),
       kNoAnswer,
       "The Netvane tray program did not answer.",
       0},
      {"status with a broken stored value",
       {"status"},
       with([](FakeTray& t) {
         t.writesStatus = false;
         t.stored = 7;
       }),
       kNoAnswer,
       "The Netvane tray program did not answer.",
       0},
      {"own change from A", {}, on(0), kDone, "Network B in force (INTER).", 1},
      {"own change from B", {}, on(1), kDone, "Network A in force (INTRA).", 0},
      {"own change while busy past the bound",
       {},
       with([](FakeTray& t) { t.busy = true; }),
       kChangeRefused,
       "Refused: the Netvane tray program was busy",
       0},
      {"own change without UseDll",
       {},
       with([](FakeTray& t) { t.useDll = false; }),
       kDone,
       "Change asked.",
       1},
      {"own change unanswered",
       {},
       with([](FakeTray& t) { t.answers = false; }),
       kNoAnswer,
       "The Netvane tray program did not answer.",
       0},
      {"own change starts the tray program",
       {},
       with([](FakeTray& t) { t.running = false; }),
       kDone,
       "Netvane was not running and has been started; it starts on network A.",
       0},
      {"own change cannot start it",
       {},
       with([](FakeTray& t) {
         t.running = false;
         t.startError = "InstalledPath is not set.";
       }),
       kNoTrayProgram,
       "No Netvane tray program is running. It could not be started: InstalledPath is not set.",
       0},
      {"help", {"--help"}, on(1), kDone, "Usage: LDNvChng [A | B | status | --help]", 1},
      {"help, Windows style", {"/?"}, on(0), kDone, "Usage:", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ParseResult parsed = ParseArguments(c.args);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    FakeTray tray;
    c.setUp(tray);
    const Outcome outcome = RunRequest(parsed.request, tray);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(outcome.message.substr(0, c.message.size()), c.message) << outcome.message;
    EXPECT_EQ(tray.current, c.networkAfter);
    EXPECT_EQ(tray.started, std::string(c.what) == "own change starts the tray program");
    EXPECT_LE(tray.waitedMs, kBusyLimitMs) << "the bound holds";
    if (tray.refusals > 0) {
      EXPECT_GE(tray.waitedMs, 500u) << "a refused request is asked again after a wait";
    }
  }

  // Command lines that are refused before anything is sent.
  const struct {
    std::vector<std::string> args;
    const char* error;
  } bad[] = {
      {{"C"}, "Unknown argument \"C\"."},
      {{"--status"}, "Unknown argument \"--status\"."},
      {{""}, "Unknown argument \"\"."},
      {{"A", "B"}, "Too many arguments."},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.error);
    const ParseResult parsed = ParseArguments(b.args);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error, b.error);
  }
  EXPECT_EQ(NetworkFromStatus(0), std::nullopt);
}

}  // namespace
}  // namespace ldnvchng
