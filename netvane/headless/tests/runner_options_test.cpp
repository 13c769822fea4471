#include <gtest/gtest.h>

#include "runner_options.h"

using nv::headless::ParseRunnerOptions;
using nv::headless::RunnerOptions;

TEST(RunnerOptions, AcceptsANetworkAndOptions) {
  std::string error;
  auto o = ParseRunnerOptions({"--quiet", "--gateway-wait", "500", "b"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->target, 1);
  EXPECT_TRUE(o->quiet);
  EXPECT_EQ(o->gatewayWaitMs, 500u);

  o = ParseRunnerOptions({"--configure-lab", "eth0", "/tmp/x"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->action, RunnerOptions::Action::ConfigureLab);
  EXPECT_EQ(o->adapter, "eth0");

  o = ParseRunnerOptions(
      {"--fault-emulation-mac", "02:00:00:00:00:99", "--fault-emulation-gateway", "10.92.1.99", "B"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ((*o->faultEmulationMac)[5], 0x99);
  EXPECT_EQ(*o->faultEmulationGateway, 0x0A5C0163u);
}

TEST(RunnerOptions, RejectsMistakesWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"C"},
      {"A", "B"},
      {"--gateway-wait"},
      {"--gateway-wait", "lots", "A"},
      {"--gateway-wait", "999999", "A"},
      {"--bogus", "A"},
      {"--configure-lab", "eth0"},
      {"--fault-emulation-mac", "02:00:00:00:00", "A"},
      {"--fault-emulation-mac", "-1:-1:-1:-1:-1:-1", "A"},
      {"--fault-emulation-mac", "+2:00:00:00:00:01", "A"},
      {"--fault-emulation-mac", " 2:00:00:00:00:01", "A"},
      {"--fault-emulation-mac", "02:00:00:00:00:0g", "A"},
      {"--fault-emulation-mac", "02-00-00-00-00-01", "A"},
      {"--fault-emulation-mac", "02:00:00:00:00:012", "A"},
      {"--fault-emulation-gateway", "10.92.1.300", "A"},
      {"--fault-emulation-gateway", "10.92.1.1x", "A"},
  };
  for (const auto& args : bad) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    std::string error;
    EXPECT_FALSE(ParseRunnerOptions(args, error));
    EXPECT_FALSE(error.empty());
  }
}
