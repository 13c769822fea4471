// Which client message is answered, with what, and to where.
#include "src/dhcp_responder.h"

#include <gtest/gtest.h>

#include "support/client_packets.h"

namespace nvserv {
namespace {

using testing::ClientPacket;
using testing::operator+;

const testing::Mac kMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x01};
const testing::Mac kOtherMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x99};
constexpr Ipv4 kAddress = 0x0a4d0014, kMask = 0xffffff00, kGateway = 0x0a4d0001, kDns = 0x0a4d0035;
constexpr Ipv4 kElsewhere = 0x0a4d0063;

LeaseConfig Config() {
  LeaseConfig c;
  c.mac = kMac;
  c.address = kAddress;
  c.subnetMask = kMask;
  c.router = kGateway;
  c.nameServers = {kDns};
  c.serverId = kGateway;
  return c;
}

std::optional<DhcpReply> Answer(const testing::Bytes& packet, const LeaseConfig& config = Config()) {
  DhcpClientMessage m;
  EXPECT_EQ(ParseClientMessage(packet.data(), packet.size(), m), ParseError::kNone);
  return AnswerClient(m, config);
}

TEST(DhcpResponder, AnswersTheConfiguredAdapterAndNoOther) {
  enum Dest { kNone, kBroadcast, kUnicastNew, kUnicastHeld };
  struct Case {
    const char* name;
    testing::Bytes packet;
    std::optional<std::uint8_t> type;
    Ipv4 yiaddr;
    Dest dest;
  };
  const std::uint8_t D = testing::kDiscover, R = testing::kRequest;
  const Case cases[] = {
      {"discover", ClientPacket(D, kMac, 1), testing::kOffer, kAddress, kUnicastNew},
      {"discover asking for broadcast", ClientPacket(D, kMac, 1, {}, {}, 0, 0x8000), testing::kOffer,
       kAddress, kBroadcast},
      {"discover asking for another address", ClientPacket(D, kMac, 1, kElsewhere), testing::kOffer, kAddress,
       kUnicastNew},
      {"discover from another adapter", ClientPacket(D, kOtherMac, 1), std::nullopt, 0, kNone},
      {"request to us for our address", ClientPacket(R, kMac, 2, kAddress, kGateway), testing::kAck, kAddress,
       kUnicastNew},
      {"request to us for another address", ClientPacket(R, kMac, 2, kElsewhere, kGateway), testing::kNak, 0,
       kBroadcast},
      {"request naming another server", ClientPacket(R, kMac, 2, kAddress, 0x0a4d00fe), std::nullopt, 0,
       kNone},
      {"request from another adapter", ClientPacket(R, kOtherMac, 2, kAddress, kGateway), std::nullopt, 0,
       kNone},
      {"reboot request for our address", ClientPacket(R, kMac, 3, kAddress), testing::kAck, kAddress,
       kUnicastNew},
      {"reboot request for an old address", ClientPacket(R, kMac, 3, kElsewhere), testing::kNak, 0,
       kBroadcast},
      {"renewal of our address", ClientPacket(R, kMac, 4, {}, {}, kAddress), testing::kAck, kAddress,
       kUnicastHeld},
      {"renewal of another address", ClientPacket(R, kMac, 4, {}, {}, kElsewhere), testing::kNak, 0,
       kBroadcast},
      {"request naming no address", ClientPacket(R, kMac, 5), std::nullopt, 0, kNone},
      {"inform", ClientPacket(testing::kInform, kMac, 6, {}, {}, kAddress), testing::kAck, 0, kUnicastHeld},
      {"inform without an address", ClientPacket(testing::kInform, kMac, 6), std::nullopt, 0, kNone},
      {"release", ClientPacket(testing::kRelease, kMac, 7, {}, kGateway, kAddress), std::nullopt, 0, kNone},
      {"decline", ClientPacket(testing::kDecline, kMac, 8, kAddress, kGateway), std::nullopt, 0, kNone},
      {"a server's offer", ClientPacket(testing::kOffer, kMac, 9), std::nullopt, 0, kNone},
      {"unknown message type", ClientPacket(200, kMac, 9), std::nullopt, 0, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<DhcpReply> reply = Answer(c.packet);
    ASSERT_EQ(reply.has_value(), c.type.has_value());
    if (!reply) continue;
    const testing::ReplyView v = testing::ReadReply(reply->payload);
    ASSERT_TRUE(v.valid);
    EXPECT_EQ(v.Type(), c.type);
    EXPECT_EQ(v.yiaddr, c.yiaddr);
    EXPECT_EQ(v.xid, testing::ReadReply(c.packet).xid) << "the client matches replies by xid";
    EXPECT_EQ(v.chaddr, kMac);
    EXPECT_EQ(v.Address(54), kGateway);
    EXPECT_EQ(reply->serverIp, kGateway);
    switch (c.dest) {
      case kBroadcast:
        EXPECT_EQ(reply->to.ip, kBroadcastIp);
        EXPECT_EQ(reply->to.mac, kBroadcastMac);
        EXPECT_FALSE(reply->to.clientHasAddress);
        break;
      case kUnicastNew:
        EXPECT_EQ(reply->to.ip, kAddress);
        EXPECT_EQ(reply->to.mac, kMac);
        EXPECT_FALSE(reply->to.clientHasAddress);
        break;
      case kUnicastHeld:
        EXPECT_EQ(reply->to.ip, testing::ReadReply(c.packet).ciaddr);
        EXPECT_EQ(reply->to.mac, kMac);
        EXPECT_TRUE(reply->to.clientHasAddress);
        break;
      case kNone:
        break;
    }
  }
}

TEST(DhcpResponder, OfferAndAckCarryTheSettingsWithAnInfiniteLease) {
  for (std::uint8_t type : {testing::kDiscover, testing::kRequest}) {
    SCOPED_TRACE(type);
    const auto reply = Answer(ClientPacket(type, kMac, 1, kAddress, kGateway));
    ASSERT_TRUE(reply);
    const testing::ReplyView v = testing::ReadReply(reply->payload);
    EXPECT_EQ(v.Address(1), kMask);
    EXPECT_EQ(v.Address(3), kGateway);
    EXPECT_EQ(v.Addresses(6), std::vector<std::uint32_t>{kDns});
    EXPECT_EQ(v.Address(51), 0xffffffffu);
    EXPECT_EQ(v.options.at(61), (testing::Bytes{1, 0x02, 0x4e, 0x56, 0x00, 0x00, 0x01}))
        << "client id echoed";
  }
}

TEST(DhcpResponder, ADeclinedAddressIsOfferedNoMore) {
  LeaseConfig c = Config();
  DhcpClientMessage m;
  const auto decline = ClientPacket(testing::kDecline, kMac, 8, kAddress, kGateway);
  ASSERT_EQ(ParseClientMessage(decline.data(), decline.size(), m), ParseError::kNone);
  EXPECT_TRUE(DeclinesOfferedAddress(m, c));
  for (const auto& other : {ClientPacket(testing::kDecline, kOtherMac, 8, kAddress, kGateway),
                            ClientPacket(testing::kDecline, kMac, 8, kElsewhere, kGateway),
                            ClientPacket(testing::kDecline, kMac, 8, kAddress, 0x0a4d00fe),
                            ClientPacket(testing::kRelease, kMac, 8, kAddress, kGateway)}) {
    ASSERT_EQ(ParseClientMessage(other.data(), other.size(), m), ParseError::kNone);
    EXPECT_FALSE(DeclinesOfferedAddress(m, c));
  }

  c.declined = true;
  EXPECT_FALSE(Answer(ClientPacket(testing::kDiscover, kMac, 1), c)) << "no offer";
  for (const auto& request : {ClientPacket(testing::kRequest, kMac, 2, kAddress, kGateway),
                              ClientPacket(testing::kRequest, kMac, 3, kAddress),
                              ClientPacket(testing::kRequest, kMac, 4, {}, {}, kAddress)}) {
    const auto reply = Answer(request, c);
    ASSERT_TRUE(reply);
    EXPECT_EQ(testing::ReadReply(reply->payload).Type(), testing::kNak);
  }
}

TEST(DhcpResponder, NakCarriesNoLeaseAndNoSettings) {
  const auto nak = Answer(ClientPacket(testing::kRequest, kMac, 1, kElsewhere));
  ASSERT_TRUE(nak);
  const testing::ReplyView n = testing::ReadReply(nak->payload);
  EXPECT_EQ(n.options.count(51) + n.options.count(1) + n.options.count(3), 0u);
  EXPECT_NE(n.flags & 0x8000, 0);
}

TEST(DhcpResponder, LeavesOutRouterAndNameServersWhenTheRecordHasNone) {
  LeaseConfig c = Config();
  c.router = 0;
  c.serverId = kAddress & 0xffffff00;
  c.nameServers.clear();
  const auto reply = Answer(ClientPacket(testing::kDiscover, kMac, 1), c);
  ASSERT_TRUE(reply);
  const testing::ReplyView v = testing::ReadReply(reply->payload);
  EXPECT_EQ(v.options.count(3), 0u);
  EXPECT_EQ(v.options.count(6), 0u);
  EXPECT_EQ(v.Address(54), kAddress & 0xffffff00);
}

TEST(DhcpResponder, RelayedRequestsAreNotTheAdaptersOwn) {
  testing::ClientMessage m;
  m.chaddr = kMac;
  m.giaddr = 0x0a010101;
  m.options = testing::Opt(53, {testing::kDiscover}) + testing::Bytes{255};
  EXPECT_FALSE(Answer(testing::Encode(m)));
}

}  // namespace
}  // namespace nvserv
