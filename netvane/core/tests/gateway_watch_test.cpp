#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "netvane/cfginfo.h"
#include "netvane/gateway_watch.h"

namespace nv::core {
namespace {

constexpr uint32_t kGwA = 0x0A000101;  // 10.0.1.1
constexpr uint32_t kGwB = 0x0A000201;  // 10.0.2.1

// Answers for the addresses it knows; waits for the stop flag (up to the limit) otherwise.
class FakeProbe : public IGatewayProbe {
 public:
  GatewayAnswer Echo(uint32_t gateway, unsigned waitMs, const std::atomic<bool>& stop) override {
    GatewayAnswer a;
    if (gateway == kGwA || gateway == kGwB) {
      a.answered = true;
      a.rttMs = 2;
      return a;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!stop && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    a.detail = "no answer within " + std::to_string(waitMs) + " ms";
    return a;
  }
  uint32_t CurrentGateway() override { return current; }
  uint32_t current = 0;
};

class RecordingDrives : public IDriveStep {
 public:
  explicit RecordingDrives(std::vector<std::string>& calls) : calls_(calls) {}
  void BeforeSwitch(int n) override { calls_.push_back("before " + std::to_string(n)); }
  void AfterSwitch(int n) override { calls_.push_back("ID" + std::to_string(n + 1)); }

 private:
  std::vector<std::string>& calls_;
};

TEST(GatewayOf, FollowsTheRouteTheChangeSetsUp) {
  struct Case {
    uint32_t ipnum, dhcpB, sameB, gwB, expectedB;
  } cases[] = {
      {1, 0, 0, kGwB, kGwB},  // one fixed configuration, B's own gateway
      {1, 0, 1, kGwB, kGwA},  // B shares A's gateway
      {2, 0, 1, kGwB, kGwB},  // two configurations: the flag only applies to one
      {1, 1, 1, 0, 0},        // DHCP: none named
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.ipnum) + "/" + std::to_string(c.dhcpB) + "/" + std::to_string(c.sameB));
    CCfginfo cfg;
    cfg.dwIPnum = c.ipnum;
    cfg.net[0].Gateway = kGwA;
    cfg.net[1].Gateway = c.gwB;
    cfg.net[1].useDhcp = c.dhcpB;
    cfg.net[1].sameGateway = c.sameB;
    EXPECT_EQ(GatewayOf(cfg, 1), c.expectedB);
    EXPECT_EQ(GatewayOf(cfg, 0), kGwA);
  }
}

TEST(GatewayWatch, ChecksAfterTheLogLineAndReportsInTipAndLog) {
  struct Case {
    uint32_t gateway, current;
    const char* log;
    const char* tip;
  } cases[] = {
      {kGwB, 0, "GW 10.0.2.1 answers (2 ms)", "INTERNET in force"},
      {0x0A000299, 0, "GW 10.0.2.153 no answer (no answer within 50 ms)",
       "INTERNET - warning: gateway 10.0.2.153 does not answer"},
      {0, kGwB, "GW 10.0.2.1 answers (2 ms)", "INTERNET in force"},  // from DHCP: the route's
      {0, 0, "GW none no answer (no gateway)", "INTERNET in force - no gateway known to check"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    CCfginfo cfg;
    cfg.dwIPnum = 2;
    cfg.net[1].Gateway = c.gateway;
    std::vector<std::string> calls;
    RecordingDrives drives(calls);
    auto probe = std::make_unique<FakeProbe>();
    probe->current = c.current;
    std::atomic<int> woken{0};
    GatewayWatch watch(
        cfg, drives, std::move(probe), [&] { ++woken; }, 50);
    watch.BeforeSwitch(1);
    EXPECT_FALSE(watch.TakeResult());
    watch.AfterSwitch(1);
    watch.Wait();
    EXPECT_EQ(calls, (std::vector<std::string>{"before 1", "ID2"}));
    EXPECT_EQ(woken, 1);
    const auto result = watch.TakeResult();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->network, 1);
    EXPECT_EQ(GatewayLogLine(*result), c.log);
    EXPECT_EQ(GatewayTip("INTERNET", *result), c.tip);
    EXPECT_FALSE(watch.TakeResult());  // taken once
  }
}

TEST(GatewayWatch, ANewChangeOrTheEndStopsACheckWithoutAResult) {
  CCfginfo cfg;
  cfg.dwIPnum = 2;
  cfg.net[1].Gateway = 0x0A000299;  // silent
  std::vector<std::string> calls;
  RecordingDrives drives(calls);
  int woken = 0;
  const auto started = std::chrono::steady_clock::now();
  {
    GatewayWatch watch(
        cfg, drives, std::make_unique<FakeProbe>(), [&] { ++woken; }, 60000);
    watch.AfterSwitch(1);
    watch.BeforeSwitch(0);  // the next change: the old check is stopped, its result dropped
    EXPECT_FALSE(watch.TakeResult());
    watch.AfterSwitch(1);
  }  // the program ends while the check runs
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(woken, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"ID2", "before 0", "ID2"}));
}

TEST(GatewayWatch, WithoutAProbeOnlyTheDriveStepRuns) {
  CCfginfo cfg;
  std::vector<std::string> calls;
  RecordingDrives drives(calls);
  GatewayWatch watch(cfg, drives, nullptr, nullptr);
  watch.AfterSwitch(0);
  watch.Wait();
  EXPECT_FALSE(watch.TakeResult());
  EXPECT_EQ(calls, std::vector<std::string>{"ID1"});
}

}  // namespace
}  // namespace nv::core
