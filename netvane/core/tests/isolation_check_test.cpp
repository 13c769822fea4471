#include "netvane/isolation_check.h"

#include <gtest/gtest.h>

#include "netvane/change_sequence.h"
#include "netvane/isolation_step.h"
#include "support/recording_steps.h"

using nv::core::CheckIsolation;
using nv::core::IsolationResult;
using nv::core::IsolationSnapshot;
using Strings = std::vector<std::string>;

namespace {

constexpr uint32_t Ip(int a, int b, int c, int d) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 | static_cast<uint32_t>(c) << 8 |
         static_cast<uint32_t>(d);
}

// The lab's networks: A by DHCP (only its gateway known), B fixed.
void LabNetworks(CCfginfo& cfg) {
  cfg.dwIPnum = 2;
  cfg.net[0].useDhcp = 1;
  cfg.net[0].Gateway = Ip(10, 91, 1, 1);
  cfg.net[1].IPAddr = Ip(10, 92, 1, 50);
  cfg.net[1].NetMask = Ip(255, 255, 255, 0);
  cfg.net[1].Gateway = Ip(10, 92, 1, 1);
  cfg.net[1].dns[0] = Ip(10, 92, 1, 53);
}

IsolationSnapshot CleanOnB() {
  IsolationSnapshot s;
  s.read = true;
  s.adapter.addresses = {{Ip(10, 92, 1, 50), 24}};
  s.adapter.routes = {{0, 0, Ip(10, 92, 1, 1)}, {Ip(10, 92, 1, 0), 24, 0}};
  s.adapter.neighbours = {Ip(10, 92, 1, 1)};
  s.adapter.nameServers = {Ip(10, 92, 1, 53)};
  return s;
}

IsolationSnapshot CleanOnA() {
  IsolationSnapshot s;
  s.read = true;
  s.adapter.addresses = {{Ip(10, 91, 1, 120), 24}};
  s.adapter.routes = {{0, 0, Ip(10, 91, 1, 1)}, {Ip(10, 91, 1, 0), 24, 0}};
  s.adapter.neighbours = {Ip(10, 91, 1, 1)};
  s.adapter.nameServers = {Ip(10, 91, 1, 53)};
  return s;
}

}  // namespace

TEST(IsolationCheck, NamesEveryLeftoverOfTheNetworkJustLeft) {
  struct Case {
    const char* what;
    int target;
    IsolationSnapshot snapshot;
    Strings leftovers;
  };
  std::vector<Case> cases;
  cases.push_back({"clean on B", 1, CleanOnB(), {}});
  cases.push_back({"clean on A", 0, CleanOnA(), {}});
  {
    auto s = CleanOnB();
    s.adapter.routes.push_back({Ip(10, 91, 1, 0), 24, 0});
    s.adapter.neighbours.push_back(Ip(10, 91, 1, 1));
    cases.push_back({"A's subnet route and gateway neighbour on B",
                     1,
                     s,
                     {"route 10.91.1.0/24 (network A)", "neighbour entry 10.91.1.1 (network A's gateway)"}});
  }
  {
    auto s = CleanOnB();
    s.adapter.routes[0].gateway = Ip(10, 91, 1, 1);  // default route still through A
    s.adapter.routes.push_back({Ip(172, 16, 0, 0), 12, Ip(10, 91, 1, 1)});
    cases.push_back(
        {"routes through A's gateway",
         1,
         s,
         {"route 0.0.0.0/0 via 10.91.1.1 (network A)", "route 172.16.0.0/12 via 10.91.1.1 (network A)"}});
  }
  {
    auto s = CleanOnB();
    s.adapter.addresses.push_back({Ip(10, 91, 1, 120), 24});
    s.adapter.nameServers.push_back(Ip(10, 91, 1, 53));
    cases.push_back(
        {"A's lease kept beside B's address",
         1,
         s,
         {"address 10.91.1.120/24 (not network B's)", "name server 10.91.1.53 (not network B's)"}});
  }
  {
    auto s = CleanOnA();
    s.adapter.addresses.push_back({Ip(10, 92, 1, 50), 24});
    s.adapter.routes.push_back({Ip(10, 92, 0, 0), 16, 0});
    s.adapter.neighbours.push_back(Ip(10, 92, 1, 7));
    s.adapter.nameServers.push_back(Ip(10, 92, 1, 53));
    s.connectedDrives = {"h:", "K:"};
    cases.push_back({"B's settings and drive left on A",
                     0,
                     s,
                     {"address 10.92.1.50/24 (network B)", "route 10.92.0.0/16 (network B)",
                      "neighbour entry 10.92.1.7 (network B)", "name server 10.92.1.53 (network B)",
                      "drive letter H: (network B)"}});
  }
  {
    auto s = CleanOnA();
    s.adapter.routes.push_back({0, 1, 0});  // 0.0.0.0/1 on the link covers B's gateway
    cases.push_back({"a wide route covering B", 0, s, {"route 0.0.0.0/1 (network B)"}});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CCfginfo cfg;
    LabNetworks(cfg);
    const IsolationResult r = CheckIsolation(cfg, c.target, {"H:"}, c.snapshot);
    EXPECT_EQ(r.leftovers, c.leftovers);
    EXPECT_EQ(r.state, c.leftovers.empty() ? IsolationResult::State::Passed : IsolationResult::State::Failed);
    if (c.leftovers.empty()) {
      EXPECT_EQ(nv::core::IsolationLogLine(r), "ISOLATION OK");
    } else {
      EXPECT_EQ(nv::core::IsolationLogLine(r).rfind("ISOLATION FAILED(" + c.leftovers[0], 0), 0u);
      EXPECT_NE(r.Summary().find(c.leftovers.back()), std::string::npos);
    }
  }
}

TEST(IsolationCheck, OneConfigurationForBothNetworksIsNoLeftoverAndAnUnreadAdapterIsNotAPass) {
  // One fixed configuration, B with A's gateway: the shared subnet and gateway belong to both.
  CCfginfo cfg;
  cfg.dwIPnum = 1;
  cfg.net[0].IPAddr = cfg.net[1].IPAddr = Ip(192, 168, 5, 10);
  cfg.net[0].NetMask = cfg.net[1].NetMask = Ip(255, 255, 255, 0);
  cfg.net[0].Gateway = Ip(192, 168, 5, 1);
  cfg.net[1].Gateway = Ip(192, 168, 5, 2);
  cfg.net[1].sameGateway = 1;
  IsolationSnapshot s;
  s.read = true;
  s.adapter.addresses = {{Ip(192, 168, 5, 10), 24}};
  s.adapter.routes = {{0, 0, Ip(192, 168, 5, 1)}, {Ip(192, 168, 5, 0), 24, 0}};
  s.adapter.neighbours = {Ip(192, 168, 5, 1)};
  EXPECT_EQ(CheckIsolation(cfg, 1, {}, s).state, IsolationResult::State::Passed);

  IsolationSnapshot unread;
  unread.readError = "the adapter 02-6e-76-00-00-01 could not be read (error 19)";
  const IsolationResult r = CheckIsolation(cfg, 1, {}, unread);
  EXPECT_EQ(r.state, IsolationResult::State::NotChecked);
  EXPECT_TRUE(r.failedOrUnchecked());
  EXPECT_EQ(nv::core::IsolationLogLine(r),
            "ISOLATION NOT CHECKED(the adapter 02-6e-76-00-00-01 could not be read (error 19))");
}

TEST(IsolationCheck, RunsLastAfterASuccessfulChangeOnlyAndReportsWhatItRead) {
  CCfginfo cfg;
  LabNetworks(cfg);
  std::vector<IsolationResult> reported;
  Strings askedDrives;
  nv::core::IsolationStep step(
      cfg,
      [&](int network, const Strings& drives) {
        askedDrives = drives;
        auto s = network == 1 ? CleanOnB() : CleanOnA();
        s.adapter.neighbours.push_back(Ip(10, 91, 1, 1));
        return s;
      },
      [](int network) { return network == 0 ? Strings{"F:"} : Strings{"G:"}; },
      [&](const IsolationResult& r) { reported.push_back(r); });

  struct Recorder : nv::core::testing::RecordingSteps, nv::core::IIsolationCheck {
    nv::core::IIsolationCheck* inner = nullptr;
    IsolationResult CheckAfterChange(int network) override {
      calls.push_back("isolation " + std::to_string(network));
      return inner->CheckAfterChange(network);
    }
  } rec;
  rec.inner = &step;
  auto steps = rec.Steps();
  steps.isolation = &rec;

  struct Case {
    const char* what;
    int switchFails, sessionEnding;
    bool checked;
  } cases[] = {{"success", 0, 0, true}, {"switch fails", 1, 0, false}, {"session ends", 0, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rec.calls.clear();
    reported.clear();
    rec.switchFails = c.switchFails;
    nv::core::ChangeState state;
    state.previous = 0;
    state.current = 1;
    state.sessionEnding = c.sessionEnding;
    nv::core::doChange(1, state, cfg, steps);
    ASSERT_EQ(reported.size(), c.checked ? 1u : 0u);
    if (!c.checked) continue;
    EXPECT_EQ(rec.calls.back(), "isolation 1");
    EXPECT_EQ(askedDrives, Strings{"F:"}) << "the drive letters of the network left are asked about";
    EXPECT_EQ(reported[0].leftovers, Strings{"neighbour entry 10.91.1.1 (network A's gateway)"});
    EXPECT_EQ(step.last().state, IsolationResult::State::Failed);
  }
}
