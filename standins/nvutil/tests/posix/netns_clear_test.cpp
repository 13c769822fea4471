// Clearing an adapter against the real kernel, in namespaces of the test's own: everything a
// network left (IPv4 and IPv6 addresses, routes in every table including a multipath one,
// neighbour entries, the adapter's name servers) goes; link-local addresses and what another
// interface holds stay.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "linux_net_stack.h"
#include "nvutil/net_util.h"
#include "test_support.h"

using nvtest::Contains;
using nvtest::RunCommand;

namespace {

class NetnsClear : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nvtest::IsRoot()) GTEST_SKIP() << "needs root to create network namespaces";
    if (!nvtest::HaveCommand("ip")) GTEST_SKIP() << "needs the ip command (iproute2)";
    const std::string error = pair.Create();
    if (!error.empty()) GTEST_SKIP() << "cannot build test namespaces here: " << error;
    resolver = ::testing::TempDir() + "nvutil-clear-resolv-" + std::to_string(::getpid()) + ".conf";
    std::ofstream(resolver) << "nameserver 10.214.1.53\nnameserver fd14:1::53\n";
  }
  void TearDown() override { std::remove(resolver.c_str()); }

  int Ip(std::vector<std::string> args) {
    args.insert(args.begin(), {"ip", "-n", pair.nsA});
    const auto r = RunCommand(args);
    if (r.exitCode != 0) ADD_FAILURE() << "ip " << args[3] << " ...: " << r.output;
    return r.exitCode;
  }
  std::string Show(std::vector<std::string> args) {
    args.insert(args.begin(), {"ip", "-n", pair.nsA});
    return RunCommand(args).output;
  }

  nvtest::NetnsPair pair{"clr"};
  std::string resolver;
};

TEST_F(NetnsClear, EverythingOfTheNetworkGoesAndLinkLocalStays) {
  const std::string& dev = pair.ifA;
  ASSERT_EQ(RunCommand({"ip", "netns", "exec", pair.nsA, "sysctl", "-qw",
                        "net.ipv6.conf." + dev + ".disable_ipv6=0"})
                .exitCode,
            0);
  // Another interface (a veth pair inside the namespace): never touched.
  ASSERT_EQ(Ip({"link", "add", "keep0", "type", "veth", "peer", "name", "keep1"}), 0);
  ASSERT_EQ(Ip({"link", "set", "keep0", "up"}), 0);
  ASSERT_EQ(Ip({"link", "set", "keep1", "up"}), 0);
  ASSERT_EQ(Ip({"addr", "add", "10.215.1.2/24", "dev", "keep0"}), 0);
  ASSERT_EQ(Ip({"addr", "add", "10.214.1.128/24", "dev", dev}), 0);
  ASSERT_EQ(Ip({"addr", "add", "169.254.7.7/16", "dev", dev}), 0);
  ASSERT_EQ(Ip({"addr", "add", "fd14:1::128/64", "dev", dev, "nodad"}), 0);
  ASSERT_EQ(Ip({"addr", "add", "2001:db8:14::128/64", "dev", dev, "nodad"}), 0);
  ASSERT_EQ(Ip({"addr", "add", "fe80::14:128/64", "dev", dev, "nodad"}), 0);
  ASSERT_EQ(Ip({"route", "add", "default", "via", "10.214.1.1", "dev", dev}), 0);
  ASSERT_EQ(Ip({"route", "add", "10.99.0.0/16", "via", "10.214.1.1", "dev", dev, "table", "100"}), 0);
  ASSERT_EQ(Ip({"route", "add", "10.98.0.0/16", "nexthop", "via", "10.214.1.1", "dev", dev, "nexthop", "via",
                "10.215.1.1", "dev", "keep0"}),
            0);
  ASSERT_EQ(Ip({"-6", "route", "add", "default", "via", "fe80::1", "dev", dev}), 0);
  ASSERT_EQ(Ip({"-6", "route", "add", "fd99::/48", "via", "fd14:1::1", "dev", dev, "table", "101"}), 0);
  ASSERT_EQ(Ip({"route", "add", "10.97.0.0/16", "via", "10.215.1.1", "dev", "keep0"}), 0);
  ASSERT_EQ(
      Ip({"neigh", "replace", "10.214.1.1", "lladdr", "02:00:00:00:14:01", "dev", dev, "nud", "reachable"}),
      0);
  ASSERT_EQ(
      Ip({"-6", "neigh", "replace", "fd14:1::1", "lladdr", "02:00:00:00:14:01", "dev", dev, "nud", "stale"}),
      0);
  ASSERT_EQ(Ip({"neigh", "replace", "10.215.1.1", "lladdr", "02:00:00:00:15:01", "dev", "keep0", "nud",
                "reachable"}),
            0);

  nvutil::posix::LinuxNetStack::Options options;
  options.resolverConfig = resolver;
  options.resolverIsAdapters = true;
  auto stack = std::make_unique<nvutil::posix::LinuxNetStack>(options);
  CNetUtil util(std::move(stack));
  std::string traces;
  util.SetTraceSink([&](const std::string& line) { traces += line; });
  {
    nvtest::EnterNetns inside(pair.nsA);
    ASSERT_TRUE(inside.ok());
    EXPECT_EQ(util.ClearAdapter(static_cast<std::uint32_t>(nvtest::LinkIndex(pair.nsA, dev))), 1) << traces;
  }

  const std::string addresses = Show({"addr", "show", "dev", dev});
  for (const char* gone : {"10.214.1.128", "fd14:1::128", "2001:db8:14::128"})
    EXPECT_FALSE(Contains(addresses, gone)) << gone << " stayed:\n" << addresses;
  EXPECT_TRUE(Contains(addresses, "fe80::14:128")) << addresses;
  EXPECT_TRUE(Contains(addresses, "169.254.7.7")) << addresses;
  const std::string routes =
      Show({"route", "show", "table", "all"}) + Show({"-6", "route", "show", "table", "all"});
  for (const char* gone :
       {"default via 10.214.1.1", "10.99.0.0/16", "10.98.0.0/16", "default via fe80::1", "fd99::/48"})
    EXPECT_FALSE(Contains(routes, gone)) << gone << " stayed:\n" << routes;
  EXPECT_TRUE(Contains(routes, "10.97.0.0/16 via 10.215.1.1 dev keep0")) << routes;
  const std::string neighbours = Show({"neigh", "show"}) + Show({"-6", "neigh", "show"});
  EXPECT_FALSE(Contains(neighbours, "10.214.1.1 ")) << neighbours;
  EXPECT_FALSE(Contains(neighbours, "fd14:1::1 ")) << neighbours;
  EXPECT_TRUE(Contains(neighbours, "10.215.1.1 dev keep0")) << neighbours;
  std::stringstream left;
  left << std::ifstream(resolver).rdbuf();
  EXPECT_FALSE(Contains(left.str(), "nameserver")) << left.str();
  EXPECT_TRUE(Contains(traces, "CNetUtil::ClearAdapter(")) << traces;
  EXPECT_TRUE(Contains(traces, "2 name server(s)")) << traces;
}

TEST_F(NetnsClear, ALinkTheReleaseTookDownIsUpAgain) {
  // systemd-networkd's release takes the link down; the switch box's next command needs it up.
  ASSERT_EQ(Ip({"addr", "add", "10.214.1.128/24", "dev", pair.ifA}), 0);
  ASSERT_EQ(Ip({"link", "set", pair.ifA, "down"}), 0);
  CNetUtil util(std::make_unique<nvutil::posix::LinuxNetStack>());
  std::string traces;
  util.SetTraceSink([&](const std::string& line) { traces += line; });
  {
    nvtest::EnterNetns inside(pair.nsA);
    ASSERT_TRUE(inside.ok());
    EXPECT_EQ(util.ClearAdapter(static_cast<std::uint32_t>(nvtest::LinkIndex(pair.nsA, pair.ifA))), 1)
        << traces;
  }
  const std::string link = Show({"link", "show", "dev", pair.ifA});
  EXPECT_TRUE(Contains(link, ",UP")) << link;
  EXPECT_FALSE(Contains(Show({"addr", "show", "dev", pair.ifA}), "10.214.1.128"));
  EXPECT_TRUE(Contains(traces, "found down, is up again")) << traces;
}

TEST_F(NetnsClear, AnInterfaceThatIsGoneIsAFailure) {
  CNetUtil util(std::make_unique<nvutil::posix::LinuxNetStack>());
  util.SetTraceSink(nullptr);
  nvtest::EnterNetns inside(pair.nsA);
  ASSERT_TRUE(inside.ok());
  // An interface number no interface has: nothing is claimed cleared.
  EXPECT_EQ(util.ClearAdapter(987654), 0);
  EXPECT_EQ(util.LastError(), static_cast<std::uint32_t>(ENODEV));
}

}  // namespace
