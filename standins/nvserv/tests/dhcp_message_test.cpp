// Parsing what a client sends (hostile input included) and building what the server answers.
#include "src/dhcp_message.h"

#include <gtest/gtest.h>

#include <string>

#include "support/client_packets.h"

namespace nvserv {
namespace {

using testing::Bytes;
using testing::ClientMessage;
using testing::Opt;
using testing::operator+;

const testing::Mac kMac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};

ParseError Parse(const Bytes& b, DhcpClientMessage& out) {
  return ParseClientMessage(b.data(), b.size(), out);
}

ClientMessage WellFormed() {
  ClientMessage m;
  m.xid = 0xdeadbeef;
  m.flags = 0x8000;
  m.ciaddr = 0x0a000005;
  m.chaddr = kMac;
  m.options = Bytes{0, 0} + Opt(53, {3}) + Opt(50, {10, 0, 0, 7}) + Opt(54, {10, 0, 0, 1}) +
              Opt(61, {1, 2, 0x11, 0x22, 0x33, 0x44, 0x55}) + Opt(12, {'w', 's', '1'}) + Opt(55, {1, 3, 6}) +
              Opt(43, {9, 9}) + Bytes{255};
  return m;
}

TEST(DhcpMessageParse, TakesEveryFieldAndOptionOfAWellFormedRequest) {
  DhcpClientMessage m;
  ASSERT_EQ(Parse(Encode(WellFormed()), m), ParseError::kNone);
  EXPECT_EQ(m.messageType, 3);
  EXPECT_EQ(m.xid, 0xdeadbeefu);
  EXPECT_EQ(m.flags, 0x8000);
  EXPECT_EQ(m.ciaddr, 0x0a000005u);
  EXPECT_EQ(m.chaddr, (MacAddress{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
  EXPECT_EQ(m.requestedIp, 0x0a000007u);
  EXPECT_EQ(m.serverId, 0x0a000001u);
  ASSERT_EQ(m.clientId.size, 7);
  EXPECT_EQ(m.clientId.data[0], 1);
  EXPECT_EQ(m.clientId.data[6], 0x55);
  EXPECT_EQ(std::string(m.hostName.data.begin(), m.hostName.data.begin() + m.hostName.size), "ws1");
  EXPECT_EQ(m.parameterRequests.size, 3);
}

TEST(DhcpMessageParse, RejectsMalformedMessagesWithTheirReason) {
  struct Case {
    const char* name;
    Bytes bytes;
    ParseError expected;
  };
  auto with = [](auto change) {
    ClientMessage m = WellFormed();
    change(m);
    return Encode(m);
  };
  Bytes tooLong = Encode(WellFormed());
  tooLong.resize(kMaxMessageSize + 1, 0);
  Bytes header(239, 0);
  header[0] = 1;
  const Case cases[] = {
      {"empty", {}, ParseError::kTooShort},
      {"header without full cookie", header, ParseError::kTooShort},
      {"larger than one frame", tooLong, ParseError::kTooLong},
      {"server reply", with([](ClientMessage& m) { m.op = 2; }), ParseError::kNotRequest},
      {"op zero", with([](ClientMessage& m) { m.op = 0; }), ParseError::kNotRequest},
      {"token ring", with([](ClientMessage& m) { m.htype = 6; }), ParseError::kNotEthernet},
      {"long hardware address", with([](ClientMessage& m) { m.hlen = 16; }), ParseError::kNotEthernet},
      {"plain BOOTP (no cookie)", with([](ClientMessage& m) { m.cookie = false; }), ParseError::kBadCookie},
      {"option length past the end", with([](ClientMessage& m) {
         m.options = Opt(53, {1}) + Bytes{12, 40, 'a', 'b'};
       }),
       ParseError::kOptionOverrun},
      {"option code as the last byte", with([](ClientMessage& m) { m.options = Opt(53, {1}) + Bytes{12}; }),
       ParseError::kOptionOverrun},
      {"length 255 at the end", with([](ClientMessage& m) {
         m.options = Bytes{53, 255, 1};
       }),
       ParseError::kOptionOverrun},
      {"no message type", with([](ClientMessage& m) {
         m.options = Opt(50, {10, 0, 0, 7}) + Bytes{255};
       }),
       ParseError::kNoMessageType},
      {"only pads", with([](ClientMessage& m) { m.options = Bytes(30, 0); }), ParseError::kNoMessageType},
      {"message type after the end option",
       with([](ClientMessage& m) { m.options = Bytes{255} + Opt(53, {1}); }), ParseError::kNoMessageType},
      {"message type two bytes long", with([](ClientMessage& m) {
         m.options = Opt(53, {1, 1}) + Bytes{255};
       }),
       ParseError::kBadOption},
      {"message type zero", with([](ClientMessage& m) { m.options = Opt(53, {0}) + Bytes{255}; }),
       ParseError::kBadOption},
      {"requested address of three bytes", with([](ClientMessage& m) {
         m.options = Opt(53, {3}) + Opt(50, {10, 0, 0}) + Bytes{255};
       }),
       ParseError::kBadOption},
      {"server id of five bytes", with([](ClientMessage& m) {
         m.options = Opt(53, {3}) + Opt(54, {10, 0, 0, 1, 1}) + Bytes{255};
       }),
       ParseError::kBadOption},
      {"client id of one byte",
       with([](ClientMessage& m) { m.options = Opt(53, {1}) + Opt(61, {1}) + Bytes{255}; }),
       ParseError::kBadOption},
      {"empty host name", with([](ClientMessage& m) { m.options = Opt(53, {1}) + Opt(12, {}) + Bytes{255}; }),
       ParseError::kBadOption},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DhcpClientMessage m;
    EXPECT_EQ(Parse(c.bytes, m), c.expected) << ParseErrorText(Parse(c.bytes, m));
  }
  DhcpClientMessage m;
  EXPECT_EQ(ParseClientMessage(nullptr, 300, m), ParseError::kTooShort);
}

TEST(DhcpMessageParse, EveryTruncationIsRejectedUnlessItEndsBetweenOptions) {
  // Options: 53 at 240..242, 50 at 243..248, end at 249.
  ClientMessage m;
  m.chaddr = kMac;
  m.options = Opt(53, {1}) + Opt(50, {10, 0, 0, 7}) + Bytes{255};
  const Bytes full = Encode(m);
  ASSERT_EQ(full.size(), 250u);
  for (std::size_t size = 0; size <= full.size(); ++size) {
    SCOPED_TRACE(size);
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
    DhcpClientMessage out;
    ParseError expected = ParseError::kOptionOverrun;
    if (size < 240)
      expected = ParseError::kTooShort;
    else if (size == 240)
      expected = ParseError::kNoMessageType;
    else if (size == 243 || size >= 249)
      expected = ParseError::kNone;
    EXPECT_EQ(Parse(cut, out), expected);
  }
}

TEST(DhcpMessageParse, ToleratesAMissingEndOptionAndKeepsTheFirstOfRepeatedOptions) {
  ClientMessage m;
  m.chaddr = kMac;
  m.options = Opt(53, {1}) + Opt(53, {3}) + Opt(50, {10, 0, 0, 7}) + Opt(50, {10, 0, 0, 8});
  DhcpClientMessage out;
  ASSERT_EQ(Parse(Encode(m), out), ParseError::kNone);
  EXPECT_EQ(out.messageType, 1);
  EXPECT_EQ(out.requestedIp, 0x0a000007u);
}

DhcpReplyFields SampleReply() {
  DhcpReplyFields f;
  f.type = DhcpMessageType::kAck;
  f.xid = 0x01020304;
  f.flags = 0x8000;
  f.yiaddr = 0x0a4d0014;
  f.chaddr = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  f.serverId = 0x0a4d0001;
  f.subnetMask = 0xffffff00;
  f.router = 0x0a4d0001;
  f.nameServers = {0x0a4d0035, 0x08080808};
  f.leaseSeconds = 0xffffffff;
  f.clientId.size = 3;
  f.clientId.data[0] = 1;
  f.clientId.data[1] = 2;
  f.clientId.data[2] = 3;
  return f;
}

TEST(DhcpMessageBuild, ReplyCarriesTheHeaderAndEveryGivenOption) {
  const Bytes payload = BuildReply(SampleReply());
  const testing::ReplyView v = testing::ReadReply(payload);
  ASSERT_TRUE(v.valid);
  EXPECT_GE(payload.size(), 300u);
  EXPECT_EQ(v.xid, 0x01020304u);
  EXPECT_EQ(v.flags, 0x8000);
  EXPECT_EQ(v.yiaddr, 0x0a4d0014u);
  EXPECT_EQ(v.ciaddr, 0u);
  EXPECT_EQ(v.giaddr, 0u);
  EXPECT_EQ(v.chaddr, (testing::Mac{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
  EXPECT_EQ(v.Type(), testing::kAck);
  EXPECT_EQ(v.Address(54), 0x0a4d0001u);
  EXPECT_EQ(v.Address(1), 0xffffff00u);
  EXPECT_EQ(v.Address(3), 0x0a4d0001u);
  EXPECT_EQ(v.Address(51), 0xffffffffu);
  EXPECT_EQ(v.Addresses(6), (std::vector<std::uint32_t>{0x0a4d0035, 0x08080808}));
  EXPECT_EQ(v.options.at(61), (Bytes{1, 2, 3}));
  EXPECT_EQ(v.options.size(), 7u);
}

TEST(DhcpMessageBuild, NameServerListIsCutToWhatOneOptionHolds) {
  DhcpReplyFields f = SampleReply();
  f.nameServers.assign(100, 0x01020304);
  const testing::ReplyView v = testing::ReadReply(BuildReply(f));
  ASSERT_TRUE(v.valid);
  EXPECT_EQ(v.Addresses(6).size(), 63u);
}

}  // namespace
}  // namespace nvserv
