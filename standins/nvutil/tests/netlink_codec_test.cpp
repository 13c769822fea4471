#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "netlink_codec.h"

using namespace nvutil::nl;

namespace {

MsgHeader HeaderOf(const Request& req) {
  MsgHeader h;
  std::memcpy(&h, req.data(), sizeof h);
  return h;
}

std::vector<Message> Split(const std::vector<std::uint8_t>& bytes) {
  std::vector<Message> out;
  EXPECT_TRUE(SplitDatagram(bytes.data(), bytes.size(), out));
  return out;
}

std::vector<std::uint8_t> Bytes(const Request& req) { return {req.data(), req.data() + req.size()}; }

void Concat(std::vector<std::uint8_t>& to, const Request& req) {
  to.insert(to.end(), req.data(), req.data() + req.size());
}

}  // namespace

TEST(NetlinkCodec, DefaultRouteRequestCarriesGatewayMetricAndTableButNoDestination) {
  RouteEntry route;
  route.msg.type = kTypeUnicast;
  route.table = kTableMain;
  route.gateway = 0x0A010203, route.hasGateway = true;
  route.priority = 1, route.hasPriority = true;
  const Request req = MakeRouteRequest(kNewRoute, kFlagCreate | kFlagExclusive, 77, route);
  ASSERT_TRUE(req.ok());
  const MsgHeader h = HeaderOf(req);
  EXPECT_EQ(h.len, req.size());
  EXPECT_EQ(h.type, kNewRoute);
  EXPECT_EQ(h.flags, kFlagRequest | kFlagAck | kFlagCreate | kFlagExclusive);
  EXPECT_EQ(h.seq, 77u);

  // Read it back the way the kernel would.
  std::vector<std::uint8_t> bytes = Bytes(req);
  auto msgs = Split(bytes);
  ASSERT_EQ(msgs.size(), 1u);
  msgs[0].header.type = kNewRoute;
  std::vector<Attr> attrs;
  ASSERT_TRUE(SplitAttrs(msgs[0], sizeof(RouteMsg), attrs));
  std::vector<std::uint16_t> types;
  for (const Attr& a : attrs) types.push_back(a.type);
  EXPECT_EQ(types, (std::vector<std::uint16_t>{kRouteGateway, kRoutePriority, kRouteTable}));
  const std::uint8_t wire[] = {10, 1, 2, 3};
  ASSERT_EQ(attrs[0].len, 4u);
  EXPECT_EQ(std::memcmp(attrs[0].data, wire, 4), 0);

  const auto decoded = DecodeRoute(msgs[0]);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->msg.dstLen, 0);
  EXPECT_EQ(decoded->destination, 0u);
  EXPECT_EQ(decoded->gateway, 0x0A010203u);
  EXPECT_EQ(decoded->priority, 1u);
  EXPECT_EQ(decoded->table, kTableMain);
  EXPECT_FALSE(decoded->hasOif);
}

TEST(NetlinkCodec, DeleteRequestRepeatsTheDumpedRouteKeys) {
  RouteEntry route;
  route.msg.family = kFamilyInet;
  route.msg.dstLen = 24;
  route.msg.type = kTypeUnicast;
  route.destination = 0xC0A80500;
  route.oif = 7, route.hasOif = true;
  route.table = 1000;  // tables above 255 travel only as the attribute
  const Request req = MakeRouteRequest(kDelRoute, 0, 5, route);
  std::vector<std::uint8_t> bytes = Bytes(req);
  auto msgs = Split(bytes);
  msgs[0].header.type = kNewRoute;
  const auto decoded = DecodeRoute(msgs[0]);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->destination, 0xC0A80500u);
  EXPECT_EQ(decoded->msg.dstLen, 24);
  EXPECT_EQ(decoded->oif, 7u);
  EXPECT_EQ(decoded->table, 1000u);
  EXPECT_EQ(decoded->msg.table, 0);
  EXPECT_FALSE(decoded->hasGateway);
}

TEST(NetlinkCodec, SeveralMessagesInOneDatagramAreSplitInOrder) {
  std::vector<std::uint8_t> bytes;
  Concat(bytes, MakeNeighDelete(1, 3, 0x0A000001));
  Concat(bytes, MakeLinkGet(2, 9));
  Concat(bytes, Request(kDone, kFlagMulti, 3));
  const auto msgs = Split(bytes);
  ASSERT_EQ(msgs.size(), 3u);
  EXPECT_EQ(msgs[0].header.type, kDelNeigh);
  EXPECT_EQ(msgs[1].header.type, kGetLink);
  EXPECT_EQ(msgs[2].header.type, kDone);
  EXPECT_EQ(msgs[2].payloadLen, 0u);
}

TEST(NetlinkCodec, NeighbourEntryNamesInterfaceAndAddress) {
  std::vector<std::uint8_t> bytes = Bytes(MakeNeighDelete(1, 3, 0x0A000001));
  auto msgs = Split(bytes);
  msgs[0].header.type = kNewNeigh;
  const auto neigh = DecodeNeigh(msgs[0]);
  ASSERT_TRUE(neigh);
  EXPECT_EQ(neigh->msg.ifindex, 3);
  EXPECT_TRUE(neigh->hasDestination);
  EXPECT_EQ(neigh->destination, 0x0A000001u);
}

TEST(NetlinkCodec, BrokenLengthsAreRejectedNotTrusted) {
  const Request good = MakeLinkGet(1, 2);
  struct Case {
    const char* what;
    std::uint32_t len;
    std::size_t datagram;
  } cases[] = {
      {"length below the header", 8, good.size()},
      {"length past the datagram", static_cast<std::uint32_t>(good.size() + 4), good.size()},
      {"datagram shorter than a header", static_cast<std::uint32_t>(good.size()), 10},
      {"trailing bytes after the last message", static_cast<std::uint32_t>(good.size()), good.size() + 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> bytes = Bytes(good);
    bytes.resize(std::max(bytes.size(), c.datagram), 0);
    std::memcpy(bytes.data(), &c.len, sizeof c.len);
    std::vector<Message> out;
    EXPECT_FALSE(SplitDatagram(bytes.data(), c.datagram, out));
    EXPECT_TRUE(out.empty());
  }
}

TEST(NetlinkCodec, MalformedAttributesSpoilTheWholeEntry) {
  RouteEntry route;
  route.gateway = 0x01020304, route.hasGateway = true;
  route.table = kTableMain;
  Request req = MakeRouteRequest(kNewRoute, 0, 1, route);
  std::vector<std::uint8_t> bytes = Bytes(req);
  const std::size_t firstAttr = sizeof(MsgHeader) + sizeof(RouteMsg);

  struct Case {
    const char* what;
    std::uint16_t attrLen;
  } cases[] = {{"attribute shorter than its header", 2},
               {"attribute past the message", 200},
               {"gateway of three bytes", 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> broken = bytes;
    std::memcpy(broken.data() + firstAttr, &c.attrLen, 2);
    auto msgs = Split(broken);
    ASSERT_EQ(msgs.size(), 1u);
    msgs[0].header.type = kNewRoute;
    EXPECT_FALSE(DecodeRoute(msgs[0]));
  }
}

TEST(NetlinkCodec, ErrorMessagesGiveTheErrorNumber) {
  struct Case {
    std::int32_t wire;
    std::optional<int> error;
  } cases[] = {{0, 0}, {-17, 17}, {-101, 101}, {5, std::nullopt}, {-100000, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wire);
    Request req(kError, 0, 9);
    std::uint8_t body[20] = {};
    std::memcpy(body, &c.wire, 4);
    req.AppendBody(body, sizeof body);
    std::vector<std::uint8_t> bytes = Bytes(req);
    const auto msgs = Split(bytes);
    EXPECT_EQ(DecodeError(msgs[0]), c.error);
  }
  Request shortError(kError, 0, 9);
  std::vector<std::uint8_t> bytes = Bytes(shortError);
  EXPECT_EQ(DecodeError(Split(bytes)[0]), std::nullopt);
}

TEST(NetlinkCodec, LinkNameAndHardwareAddressAreRead) {
  Request req(kNewLink, 0, 1);
  LinkMsg body{};
  body.index = 4;
  req.AppendBody(&body, sizeof body);
  const std::uint8_t mac[] = {0x02, 0, 0x5e, 1, 2, 3};
  req.AppendAttr(kLinkAddress, mac, sizeof mac);
  req.AppendAttr(kLinkName, "veth0", 5);  // not terminated: read up to the attribute's end
  std::vector<std::uint8_t> bytes = Bytes(req);
  const auto link = DecodeLink(Split(bytes)[0]);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->index, 4);
  EXPECT_EQ(link->name, "veth0");
  EXPECT_EQ(link->hwAddress, std::vector<std::uint8_t>(mac, mac + 6));
}

TEST(NetlinkCodec, AddressEntriesPreferTheLocalAddress) {
  Request req(kNewAddr, 0, 1);
  AddrMsg body{};
  body.family = kFamilyInet;
  body.prefixLen = 30;
  body.index = 6;
  req.AppendBody(&body, sizeof body);
  req.AppendIpv4(kAddrAddress, 0x0A000002);  // the peer, on a point-to-point link
  req.AppendIpv4(kAddrLocal, 0x0A000001);
  std::vector<std::uint8_t> bytes = Bytes(req);
  const auto addr = DecodeAddr(Split(bytes)[0]);
  ASSERT_TRUE(addr);
  EXPECT_EQ(addr->local, 0x0A000001u);
  EXPECT_EQ(addr->msg.prefixLen, 30);
  EXPECT_EQ(addr->msg.index, 6u);
}

TEST(NetlinkCodec, RequestStopsAtItsCapacity) {
  Request req(kNewRoute, 0, 1);
  const std::uint8_t big[200] = {};
  EXPECT_TRUE(req.AppendAttr(kRouteDst, big, sizeof big));
  const std::size_t before = req.size();
  EXPECT_FALSE(req.AppendAttr(kRouteDst, big, sizeof big));
  EXPECT_FALSE(req.ok());
  EXPECT_EQ(req.size(), before);
  EXPECT_EQ(HeaderOf(req).len, before);
}
