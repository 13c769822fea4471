#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "nvutil/net_util.h"

using nvutil::LeaseAction;
using nvutil::MacAddress;
using nvutil::NewRoute;
using nvutil::Outcome;
using nvutil::RouteApi;

namespace {

// Records what CNetUtil asked of the stack; fails the next call on request.
class FakeStack : public nvutil::NetStack {
 public:
  struct Log {
    std::vector<std::string> calls;
    NewRoute route;
    RouteApi api = RouteApi::Classic;
    std::uint32_t address = 0, interfaceNumber = 0;
    MacAddress mac{};
    LeaseAction lease = LeaseAction::Release;
    std::uint32_t failNextWith = 0;
    std::uint32_t foundInterface = 12;
    nvutil::AdapterSnapshot held;
  };
  explicit FakeStack(Log& log) : m_log(log) {}

  Outcome DeleteRoutesTo(std::uint32_t destination) override {
    m_log.address = destination;
    return Done("DeleteRoutesTo");
  }
  Outcome AddRoute(const NewRoute& route, RouteApi api) override {
    m_log.route = route, m_log.api = api;
    return Done("AddRoute");
  }
  Outcome DeleteNeighbour(std::uint32_t address, std::uint32_t interfaceNumber) override {
    m_log.address = address, m_log.interfaceNumber = interfaceNumber;
    return Done("DeleteNeighbour");
  }
  Outcome FindInterfaceByMac(const MacAddress& mac) override {
    m_log.mac = mac;
    Outcome outcome = Done("FindInterfaceByMac");
    if (outcome.ok()) outcome.value = m_log.foundInterface;
    return outcome;
  }
  Outcome Lease(std::uint32_t interfaceNumber, LeaseAction action) override {
    m_log.interfaceNumber = interfaceNumber, m_log.lease = action;
    return Done("Lease");
  }
  Outcome ReadAdapter(std::uint32_t interfaceNumber, nvutil::AdapterSnapshot& out) override {
    m_log.interfaceNumber = interfaceNumber;
    Outcome outcome = Done("ReadAdapter");
    if (outcome.ok()) out = m_log.held;
    return outcome;
  }

 private:
  Outcome Done(const char* call) {
    m_log.calls.push_back(call);
    Outcome outcome;
    outcome.code = std::exchange(m_log.failNextWith, 0);
    outcome.note = outcome.ok() ? "fine" : "fake failure";
    return outcome;
  }
  Log& m_log;
};

class NetUtilTest : public ::testing::Test {
 protected:
  NetUtilTest() : util(std::make_unique<FakeStack>(log)) {
    util.SetTraceSink([this](const std::string& line) { traces.push_back(line); });
  }
  FakeStack::Log log;
  CNetUtil util;
  std::vector<std::string> traces;
};

}  // namespace

TEST_F(NetUtilTest, DefaultRouteIsAddedThroughTheGatewayWithTheRightMetricRules) {
  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", "192.168.10.1", nullptr, 1), 1);
  EXPECT_EQ(log.api, RouteApi::Classic);
  EXPECT_EQ(log.route.destination, 0u);
  EXPECT_EQ(log.route.mask, 0u);
  EXPECT_EQ(log.route.gateway, 0xC0A80A01u);
  EXPECT_EQ(log.route.interfaceNumber, 0u);
  EXPECT_EQ(log.route.metric, 1u);
  EXPECT_EQ(util.LastError(), 0u);

  EXPECT_EQ(util.AddGWEntryVista("10.1.0.0", "255.255.0.0", "10.1.0.254", "7", 5), 1);
  EXPECT_EQ(log.api, RouteApi::Vista);
  EXPECT_EQ(log.route.destination, 0x0A010000u);
  EXPECT_EQ(log.route.mask, 0xFFFF0000u);
  EXPECT_EQ(log.route.interfaceNumber, 7u);
  EXPECT_EQ(log.route.metric, 5u);
  ASSERT_EQ(traces.size(), 2u);
  EXPECT_EQ(traces[0],
            "CNetUtil::AddGWEntry(\"0.0.0.0\", \"0.0.0.0\", \"192.168.10.1\", null, 1): ok, fine\n");
}

TEST_F(NetUtilTest, BadRouteArgumentsFailBeforeTheStackIsAsked) {
  struct Case {
    const char *dest, *mask, *gateway, *iface;
  } cases[] = {
      {"0.0.0.0", "0.0.0.0", nullptr, nullptr},           {nullptr, "0.0.0.0", "10.0.0.1", nullptr},
      {"0.0.0.0", "0.0.0.0", "10.0.0", nullptr},          {"0.0.0.0", "255.0.255.0", "10.0.0.1", nullptr},
      {"10.0.0.1", "255.255.255.0", "10.0.0.1", nullptr}, {"0.0.0.0", "0.0.0.0", "0.0.0.0", nullptr},
      {"0.0.0.0", "0.0.0.0", "10.0.0.1", "eth0"},         {"0.0.0.0", "0.0.0.0", "10.0.0.1", "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.dest ? c.dest : "null") + " " + (c.mask ? c.mask : "null") + " " +
                 (c.gateway ? c.gateway : "null") + " " + (c.iface ? c.iface : "null"));
    traces.clear();
    EXPECT_EQ(util.AddGWEntry(c.dest, c.mask, c.gateway, c.iface, 1), 0);
    EXPECT_EQ(util.LastError(), nvutil::InvalidArgumentCode());
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_NE(traces[0].find("AddGWEntry("), std::string::npos);
    EXPECT_NE(traces[0].find("failed"), std::string::npos);
  }
  EXPECT_TRUE(log.calls.empty());
}

TEST_F(NetUtilTest, StackFailuresAreReportedAsZeroWithTheirCode) {
  log.failNextWith = 4242;
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 0);
  EXPECT_EQ(util.LastError(), 4242u);
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_NE(traces[0].find("DelGWEntry(\"0.0.0.0\"): failed, fake failure (4242"), std::string::npos);
  // The next call starts clean.
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 1);
  EXPECT_EQ(util.LastError(), 0u);
}

TEST_F(NetUtilTest, RouteAndArpDeletionTakeDottedTextAndAnOptionalInterface) {
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 1);
  EXPECT_EQ(log.address, 0u);
  EXPECT_EQ(util.DelArpEnt("172.16.0.1", nullptr), 1);
  EXPECT_EQ(log.address, 0xAC100001u);
  EXPECT_EQ(log.interfaceNumber, 0u);
  EXPECT_EQ(util.DelArpEnt("172.16.0.2", "3"), 1);
  EXPECT_EQ(log.interfaceNumber, 3u);
  EXPECT_EQ(log.calls.size(), 3u);

  EXPECT_EQ(util.DelArpEnt(nullptr, nullptr), 0);
  EXPECT_EQ(util.DelArpEnt("172.16.0.300", nullptr), 0);
  EXPECT_EQ(util.DelGWEntry("default"), 0);
  EXPECT_EQ(util.DelGWEntry(nullptr), 0);
  EXPECT_EQ(log.calls.size(), 3u);
}

TEST_F(NetUtilTest, InterfaceNumberComesFromTheMacAndZeroMeansNotFound) {
  const unsigned char recordMac[6] = {0x00, 0x0c, 0x29, 0xaa, 0xbb, 0xcc};
  EXPECT_EQ(util.GetInterfaceNum(recordMac), 12u);
  EXPECT_EQ(log.mac, (MacAddress{0x00, 0x0c, 0x29, 0xaa, 0xbb, 0xcc}));
  EXPECT_NE(traces.back().find("GetInterfaceNum(00-0c-29-aa-bb-cc): ok"), std::string::npos);

  log.failNextWith = nvutil::NotFoundCode();
  EXPECT_EQ(util.GetInterfaceNum(recordMac), 0u);
  EXPECT_EQ(util.LastError(), nvutil::NotFoundCode());

  // A record whose MAC was stored short loads as zeros: that names no adapter (and
  // must not pick the loopback interface, whose address is all zeros on Linux).
  const std::size_t asked = log.calls.size();
  EXPECT_EQ(util.GetInterfaceNum(MacAddress{}), 0u);
  EXPECT_EQ(log.calls.size(), asked);
}

TEST_F(NetUtilTest, LeaseReleasesOnZeroRenewsOnOneAndRejectsTheRest) {
  EXPECT_EQ(util.LeaseIP(4, 0), 1);
  EXPECT_EQ(log.lease, LeaseAction::Release);
  EXPECT_EQ(log.interfaceNumber, 4u);
  EXPECT_EQ(util.LeaseIP(4, 1), 1);
  EXPECT_EQ(log.lease, LeaseAction::Renew);

  EXPECT_EQ(util.LeaseIP(0, 1), 0);  // "not yet known"
  EXPECT_EQ(util.LeaseIP(4, 2), 0);
  EXPECT_EQ(util.LeaseIP(4, -1), 0);
  EXPECT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(util.LastError(), nvutil::InvalidArgumentCode());

  log.failNextWith = 99;
  EXPECT_EQ(util.LeaseIP(4, 1), 0);
  EXPECT_EQ(util.LastError(), 99u);
}

TEST(NetUtil, TraceSinkMayBeSilencedOrEvenThrowWithoutHarm) {
  FakeStack::Log log;
  CNetUtil util(std::make_unique<FakeStack>(log));
  util.SetTraceSink(nullptr);
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 1);
  util.SetTraceSink([](const std::string&) { throw std::runtime_error("sink broke"); });
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 1);
  EXPECT_EQ(util.DelGWEntry("x"), 0);
  EXPECT_EQ(log.calls.size(), 2u);
}

TEST(NetUtil, WithoutAStackEveryOperationFails) {
  CNetUtil util(nullptr);
  util.SetTraceSink(nullptr);
  EXPECT_EQ(util.DelGWEntry("0.0.0.0"), 0);
  EXPECT_EQ(util.DelArpEnt("10.0.0.1", nullptr), 0);
  EXPECT_EQ(util.AddGWEntry("0.0.0.0", "0.0.0.0", "10.0.0.1", nullptr, 1), 0);
  EXPECT_EQ(util.GetInterfaceNum(MacAddress{2, 0, 0, 0, 0, 1}), 0u);
  EXPECT_EQ(util.LeaseIP(3, 1), 0);
  EXPECT_EQ(util.LastError(), nvutil::InvalidArgumentCode());
}

TEST_F(NetUtilTest, AdapterSnapshotIsReadFromTheInterfaceWithTheMac) {
  log.held.addresses = {{0x0A5C0132, 24}};
  log.held.routes = {{0, 0, 0x0A5C0101}};
  log.held.nameServers = {0x0A5C0135};
  nvutil::AdapterSnapshot snapshot;
  EXPECT_EQ(util.GetAdapterSnapshot(MacAddress{2, 0x6e, 0x76, 0, 0, 1}, snapshot), 1);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"FindInterfaceByMac", "ReadAdapter"}));
  EXPECT_EQ(log.interfaceNumber, 12u);
  ASSERT_EQ(snapshot.addresses.size(), 1u);
  EXPECT_EQ(snapshot.addresses[0].address, 0x0A5C0132u);
  EXPECT_EQ(snapshot.routes.size(), 1u);
  EXPECT_EQ(snapshot.nameServers, (std::vector<std::uint32_t>{0x0A5C0135}));
  EXPECT_EQ(traces.back(),
            "CNetUtil::GetAdapterSnapshot(02-6e-76-00-00-01): ok, 1 address(es), 1 route(s), 0 neighbour(s), "
            "1 name server(s) on interface 12\n");

  // No adapter with that MAC, an all-zero MAC: 0 and an empty snapshot.
  log.calls.clear();
  log.failNextWith = 2;
  EXPECT_EQ(util.GetAdapterSnapshot(MacAddress{2, 0, 0, 0, 0, 9}, snapshot), 0);
  EXPECT_TRUE(snapshot.addresses.empty());
  EXPECT_EQ(log.calls, (std::vector<std::string>{"FindInterfaceByMac"}));
  EXPECT_EQ(util.GetAdapterSnapshot(MacAddress{}, snapshot), 0);
  EXPECT_EQ(log.calls.size(), 1u);
}
