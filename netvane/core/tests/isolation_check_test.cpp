#include "netvane/isolation_check.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    void BeforeSwitch(int from, int target) override {
      calls.push_back("before " + std::to_string(from) + "->" + std::to_string(target));
      inner->BeforeSwitch(from, target);
    }
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
    // The adapter is read on the network left, right before the switch box is told.
    const auto before = std::find(rec.calls.begin(), rec.calls.end(), "before 0->1");
    EXPECT_EQ(before != rec.calls.end(), !c.sessionEnding);
    if (before != rec.calls.end() && before + 1 != rec.calls.end()) {
      EXPECT_EQ(before[1].rfind("switch.ChangeRG 1", 0), 0u) << before[1];
    }
    ASSERT_EQ(reported.size(), c.checked ? 1u : 0u);
    if (!c.checked) continue;
    // The check is the last step; its failure clears the adapter after it.
    ASSERT_GE(rec.calls.size(), 2u);
    EXPECT_EQ(Strings(rec.calls.end() - 2, rec.calls.end()),
              (Strings{"isolation 1", "address.ClearAddresses " + std::to_string(cfg.net[1].IPAddr)}));
    EXPECT_EQ(askedDrives, Strings{"F:"}) << "the drive letters of the network left are asked about";
    EXPECT_EQ(reported[0].leftovers, Strings{"neighbour entry 10.91.1.1 (network A's gateway)"});
    EXPECT_EQ(step.last().state, IsolationResult::State::Failed);
  }
}

// With nothing stored of either network, what the adapter held before the switch decides.
TEST(IsolationCheck, JudgesWhatTheAdapterHeldBeforeTheSwitch) {
  using Item = nvutil::AdapterSnapshot::Item;
  const auto ip = [](const char* text) { return *nvutil::ParseIp(text); };
  const auto address = [&](const char* a, int len) {
    Item i;
    i.family = ip(a).version;
    i.address = ip(a);
    i.prefixLength = len;
    return i;
  };
  const auto route = [&](const char* dest, int len, const char* via) {
    Item i;
    i.kind = Item::Kind::Route;
    i.family = ip(via[0] ? via : dest).version;
    if (dest[0]) i.address = ip(dest);
    i.prefixLength = len;
    if (via[0]) i.gateway = ip(via);
    return i;
  };
  const auto neighbour = [&](const char* a) {
    Item i;
    i.kind = Item::Kind::Neighbour;
    i.family = ip(a).version;
    i.address = ip(a);
    return i;
  };
  // The adapter on A: its lease, routes, gateway, a SLAAC address and the router's default.
  const std::vector<Item> onA = {address("10.91.1.128", 24),      route("", 0, "10.91.1.1"),
                                 route("10.91.1.0", 24, ""),      neighbour("10.91.1.1"),
                                 address("2001:db8:91:1::5", 64), route("", 0, "fe80::1"),
                                 address("fe80::5", 64),          neighbour("fe80::1")};
  const std::vector<Item> onB = {address("10.92.1.150", 24),      route("", 0, "10.92.1.1"),
                                 route("10.92.1.0", 24, ""),      neighbour("10.92.1.1"),
                                 address("2001:db8:92:1::5", 64), route("", 0, "fe80::1"),
                                 address("fe80::5", 64),          neighbour("fe80::1")};
  const auto server = [&](const char* a) {
    Item i;
    i.kind = Item::Kind::NameServer;
    i.family = ip(a).version;
    i.address = ip(a);
    return i;
  };
  const auto plus = [](std::vector<Item> items, std::initializer_list<Item> more) {
    items.insert(items.end(), more);
    return items;
  };
  struct Case {
    const char* what;
    std::vector<Item> before, after;
    bool fromGuessed;
    Strings leftovers;
  };
  const Case cases[] = {
      {"a clean change", plus(onA, {server("10.91.1.53")}), plus(onB, {server("10.92.1.53")}), false, {}},
      {"A's name server kept on B",
       plus(onA, {server("10.91.1.53")}),
       plus(onB, {server("10.92.1.53"), server("10.91.1.53")}),
       false,
       {"name server 10.91.1.53 (network A)"}},
      {"A's default route and gateway entry planted on B",
       onA,
       plus(onB, {route("", 0, "10.91.1.1"), neighbour("10.91.1.1")}),
       false,
       {"route 0.0.0.0/0 via 10.91.1.1 (network A)", "neighbour entry 10.91.1.1 (network A's gateway)"}},
      {"A's SLAAC address kept on B",
       onA,
       plus(onB, {address("2001:db8:91:1::5", 64)}),
       false,
       {"address 2001:db8:91:1::5/64 (network A)"}},
      // Both routers at fe80::1: once B advertised a prefix, the route through it is B's.
      {"a router address both wires use", onA, onB, false, {}},
      {"B advertised nothing: the route through A's router stays A's",
       onA,
       {address("10.92.1.150", 24), route("", 0, "10.92.1.1"), route("", 0, "fe80::1")},
       false,
       {"route ::/0 via fe80::1 (network A)"}},
      // A runner that keeps no state guessed wrong: the adapter was on A already.
      {"a guessed network left that was the target",
       plus(onA, {server("10.91.1.53"), server("192.0.2.53")}),
       plus(onA, {server("10.91.1.53"), server("192.0.2.53")}),
       true,
       {}},
  };
  CCfginfo cfg;
  cfg.dwIPnum = 2;
  cfg.net[0].useDhcp = cfg.net[1].useDhcp = 1;
  for (const Case& c : cases) {
    IsolationSnapshot s;
    s.read = true;
    s.adapter.items = c.after;
    s.beforeRead = true;
    s.before.items = c.before;
    s.fromGuessed = c.fromGuessed;
    const IsolationResult r = CheckIsolation(cfg, c.fromGuessed ? 0 : 1, {}, s);
    EXPECT_EQ(r.leftovers, c.leftovers) << c.what;
    EXPECT_EQ(r.state, c.leftovers.empty() ? IsolationResult::State::Passed : IsolationResult::State::Failed)
        << c.what;
  }
  // What the system could not read is no pass.
  IsolationSnapshot unread;
  unread.read = true;
  unread.adapter.unread = {"IPv6 routes: GetIpForwardTable2 is missing"};
  const IsolationResult r = CheckIsolation(cfg, 1, {}, unread);
  EXPECT_EQ(r.state, IsolationResult::State::NotChecked);
  EXPECT_EQ(r.Summary(), "not checked: IPv6 routes: GetIpForwardTable2 is missing");
}
