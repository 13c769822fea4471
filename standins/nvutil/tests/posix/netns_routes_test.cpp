// CNetUtil against the real kernel, inside two namespaces of the test's own: the default
// route and the gateway's neighbour entry go away and come back, seen by `ip` and by our
// own read-back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "linux_net_stack.h"
#include "nvutil/net_util.h"
#include "test_support.h"

using nvtest::Contains;
using nvtest::RunCommand;

namespace {

constexpr const char* kGateway = "10.213.7.1";
constexpr const char* kOwnAddress = "10.213.7.2/24";

class NetnsRoutes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nvtest::IsRoot()) GTEST_SKIP() << "needs root to create network namespaces";
    if (!nvtest::HaveCommand("ip")) GTEST_SKIP() << "needs the ip command (iproute2)";
    const std::string error = pair.Create();
    if (!error.empty()) GTEST_SKIP() << "cannot build test namespaces here: " << error;
    ASSERT_EQ(RunCommand({"ip", "-n", pair.nsA, "addr", "add", kOwnAddress, "dev", pair.ifA}).exitCode, 0);
    ASSERT_EQ(RunCommand({"ip", "-n", pair.nsB, "addr", "add", "10.213.7.1/24", "dev", pair.ifB}).exitCode,
              0);
    ASSERT_EQ(RunCommand({"ip", "-n", pair.nsA, "route", "add", "default", "via", kGateway}).exitCode, 0);
    peerMac = nvtest::LinkMac(pair.nsB, pair.ifB);
    ASSERT_FALSE(nvutil::IsZeroMac(peerMac));
    std::string lladdr = nvutil::FormatMac(peerMac);
    std::replace(lladdr.begin(), lladdr.end(), '-', ':');
    ASSERT_EQ(RunCommand({"ip", "-n", pair.nsA, "neigh", "replace", kGateway, "lladdr", lladdr, "dev",
                          pair.ifA, "nud", "reachable"})
                  .exitCode,
              0);
    inside = std::make_unique<nvtest::EnterNetns>(pair.nsA);
    ASSERT_TRUE(inside->ok());
    util.SetTraceSink([this](const std::string& line) { traces += line; });
  }
  void TearDown() override { inside.reset(); }

  std::string IpA(std::vector<std::string> args) {
    args.insert(args.begin(), {"ip", "-n", pair.nsA});
    return RunCommand(args).output;
  }
  std::vector<nvutil::nl::RouteEntry> DefaultRoutes() {
    std::vector<nvutil::nl::RouteEntry> routes;
    EXPECT_EQ(stack.ListRoutes(routes), 0);
    routes.erase(std::remove_if(routes.begin(), routes.end(),
                                [](const auto& r) { return r.msg.dstLen != 0 || r.destination != 0; }),
                 routes.end());
    return routes;
  }
  bool HasNeighbour(std::uint32_t address) {
    std::vector<nvutil::nl::NeighEntry> entries;
    EXPECT_EQ(stack.ListNeighbours(entries), 0);
    return std::any_of(entries.begin(), entries.end(),
                       [&](const auto& n) { return n.destination == address; });
  }

  nvtest::NetnsPair pair{"routes"};
  std::unique_ptr<nvtest::EnterNetns> inside;
  nvutil::MacAddress peerMac{};
  CNetUtil util;
  nvutil::posix::LinuxNetStack stack;
  std::string traces;
};

}  // namespace

TEST_F(NetnsRoutes, DefaultRouteIsDeletedAndAddedAgainThroughTheGateway) {
  ASSERT_EQ(DefaultRoutes().size(), 1u);
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 1) << traces;
  EXPECT_EQ(IpA({"route", "show", "default"}), "");
  EXPECT_TRUE(DefaultRoutes().empty());
  // The subnet's own route is not a default route and stays.
  EXPECT_TRUE(Contains(IpA({"route", "show"}), "10.213.7.0/24 dev " + pair.ifA));

  // Nothing left to delete: a failure, with the reason in the trace.
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 0);
  EXPECT_TRUE(Contains(traces, "no route to 0.0.0.0")) << traces;

  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", kGateway, nullptr, 1), 1) << traces;
  EXPECT_TRUE(Contains(IpA({"route", "show", "default"}), "default via 10.213.7.1 dev " + pair.ifA))
      << IpA({"route"});
  const auto routes = DefaultRoutes();
  ASSERT_EQ(routes.size(), 1u);
  EXPECT_EQ(routes[0].gateway, 0x0AD50701u);
  EXPECT_EQ(routes[0].priority, 1u);
  EXPECT_EQ(routes[0].oif, static_cast<std::uint32_t>(nvtest::LinkIndex(pair.nsA, pair.ifA)));

  // The same route twice is refused rather than doubled.
  EXPECT_EQ(util.AddGWEntryVista("0.0.0.0", "0.0.0.0", kGateway, nullptr, 1), 0);
  EXPECT_EQ(DefaultRoutes().size(), 1u);
}

TEST_F(NetnsRoutes, EveryDefaultRouteGoesAndOnlyDefaultRoutes) {
  ASSERT_EQ(RunCommand({"ip", "-n", pair.nsA, "route", "add", "default", "via", "10.213.7.3", "metric", "50"})
                .exitCode,
            0);
  ASSERT_EQ(RunCommand({"ip", "-n", pair.nsA, "route", "add", "0.0.0.0/1", "via", "10.213.7.4"}).exitCode, 0);
  ASSERT_EQ(DefaultRoutes().size(), 2u);
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 1) << traces;
  EXPECT_TRUE(Contains(traces, "removed 2 of 2 route(s)")) << traces;
  EXPECT_TRUE(DefaultRoutes().empty());
  EXPECT_TRUE(Contains(IpA({"route", "show"}), "0.0.0.0/1 via 10.213.7.4"));
}

TEST_F(NetnsRoutes, UnreachableGatewayOrUnknownInterfaceIsRefused) {
  ASSERT_EQ(util.DelGWEntry("0.0.0.0"), 1);
  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", "10.99.0.1", nullptr, 1), 0);
  EXPECT_TRUE(Contains(traces, "not on a connected network")) << traces;
  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", kGateway, "99999", 1), 0);
  EXPECT_EQ(IpA({"route", "show", "default"}), "");
  // Naming the interface explicitly works too.
  const std::string index = std::to_string(nvtest::LinkIndex(pair.nsA, pair.ifA));
  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", kGateway, index.c_str(), 3), 1) << traces;
  EXPECT_TRUE(Contains(IpA({"route", "show", "default"}), "metric 3"));
}

TEST_F(NetnsRoutes, GatewayNeighbourEntryIsDeleted) {
  ASSERT_TRUE(Contains(IpA({"neigh", "show", kGateway}), kGateway));
  ASSERT_TRUE(HasNeighbour(0x0AD50701u));
  // On another interface number nothing matches.
  EXPECT_EQ(util.DelArpEnt(kGateway, "99999"), 0);
  EXPECT_TRUE(HasNeighbour(0x0AD50701u));

  EXPECT_EQ(util.DelArpEnt(kGateway, nullptr), 1) << traces;
  EXPECT_FALSE(Contains(IpA({"neigh", "show", kGateway}), "lladdr")) << IpA({"neigh"});
  EXPECT_FALSE(HasNeighbour(0x0AD50701u));
  EXPECT_EQ(util.DelArpEnt(kGateway, nullptr), 0);
  EXPECT_TRUE(Contains(traces, "no neighbour entry for 10.213.7.1")) << traces;
}

TEST_F(NetnsRoutes, InterfaceNumberIsFoundByMacAndLeaseFailsWithoutAClient) {
  const nvutil::MacAddress mac = nvtest::LinkMac(pair.nsA, pair.ifA);
  const std::uint32_t index = util.GetInterfaceNum(mac);
  EXPECT_EQ(index, static_cast<std::uint32_t>(nvtest::LinkIndex(pair.nsA, pair.ifA))) << traces;
  // The peer's MAC is in the other namespace: not an interface of this machine's view.
  EXPECT_EQ(util.GetInterfaceNum(peerMac), 0u);

  traces.clear();
  EXPECT_EQ(util.LeaseIP(index, 1), 0);
  EXPECT_TRUE(Contains(
      traces, "no DHCP client manages " + pair.ifA + " (looked for busybox udhcpc, ISC dhclient, dhcpcd"))
      << traces;
  EXPECT_EQ(util.LeaseIP(99999, 0), 0);
  // The address stays untouched by the failed calls.
  EXPECT_TRUE(Contains(IpA({"-4", "addr", "show", "dev", pair.ifA}), "10.213.7.2/24"));
}

TEST_F(NetnsRoutes, AdapterSnapshotShowsWhatIpShows) {
  const std::string resolver = "/tmp/nvutil-resolv-" + pair.nsA;
  { std::ofstream(resolver) << "# test\nnameserver 10.213.7.53\n"; }
  nvutil::posix::LinuxNetStack::Options options;
  options.resolverConfig = resolver;
  CNetUtil reader(std::make_unique<nvutil::posix::LinuxNetStack>(options));
  // Entries that cannot carry a frame are no leftover.
  ASSERT_EQ(
      RunCommand({"ip", "-n", pair.nsA, "neigh", "replace", "10.213.7.9", "dev", pair.ifA, "nud", "failed"})
          .exitCode,
      0);
  nvutil::AdapterSnapshot snapshot;
  ASSERT_EQ(reader.GetAdapterSnapshot(nvtest::LinkMac(pair.nsA, pair.ifA), snapshot), 1);
  std::remove(resolver.c_str());

  ASSERT_EQ(snapshot.addresses.size(), 1u);
  EXPECT_EQ(snapshot.addresses[0].address, 0x0AD50702u);
  EXPECT_EQ(snapshot.addresses[0].prefixLength, 24);
  const auto hasRoute = [&](std::uint32_t dest, int prefix, std::uint32_t gw) {
    return std::any_of(snapshot.routes.begin(), snapshot.routes.end(), [&](const auto& r) {
      return r.destination == dest && r.prefixLength == prefix && r.gateway == gw;
    });
  };
  EXPECT_TRUE(hasRoute(0, 0, 0x0AD50701u)) << IpA({"route"});
  EXPECT_TRUE(hasRoute(0x0AD50700u, 24, 0)) << IpA({"route"});
  EXPECT_EQ(snapshot.neighbours, std::vector<std::uint32_t>{0x0AD50701u}) << IpA({"neigh"});
  EXPECT_EQ(snapshot.nameServers, std::vector<std::uint32_t>{0x0AD50735u});
}
