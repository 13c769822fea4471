// The serving thread: arming, answering, stopping, and hostile datagrams on the way.
#include "src/dhcp_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/client_packets.h"
#include "support/fake_transport.h"

namespace nvserv {
namespace {

using testing::ClientPacket;
using testing::FakeNetwork;

const testing::Mac kMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x01};
const testing::Mac kOtherMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x02};
constexpr int kWaitMs = 5000;

LeaseConfig Config(const testing::Mac& mac = kMac) {
  LeaseConfig c;
  c.mac = mac;
  c.address = 0x0a4d0014;
  c.subnetMask = 0xffffff00;
  c.router = 0x0a4d0001;
  c.serverId = 0x0a4d0001;
  return c;
}

class DhcpServerTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeNetwork> net = std::make_shared<FakeNetwork>();
  DhcpServer server{testing::MakeFakeTransport(net)};

  // Queues the datagrams and returns how many replies they caused.
  std::size_t RepliesTo(std::initializer_list<testing::Bytes> datagrams) {
    const std::size_t before = net->SentCount();
    for (const auto& d : datagrams) net->Push(d);
    EXPECT_TRUE(net->WaitIdle(kWaitMs));
    return net->SentCount() - before;
  }
};

TEST_F(DhcpServerTest, AnswersOnlyWhileArmedAndOnlyTheArmedAdapter) {
  ASSERT_TRUE(server.Open());
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 1)}), 0u) << "open but not armed";

  ASSERT_TRUE(server.Arm(Config()));
  EXPECT_TRUE(net->armed);
  EXPECT_EQ(net->armedMac, Config().mac);
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 2)}), 1u);
  EXPECT_EQ(testing::ReadReply(net->sent.back().payload).Type(), testing::kOffer);
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kOtherMac, 3)}), 0u);

  server.Disarm();
  EXPECT_FALSE(net->armed) << "the transport gives the adapter its ordinary path back";
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 4)}), 0u);
  EXPECT_FALSE(net->sentWhileDisarmed);
}

TEST_F(DhcpServerTest, HostileDatagramsAreDroppedAndServingGoesOn) {
  ASSERT_TRUE(server.Open());
  ASSERT_TRUE(server.Arm(Config()));
  testing::Bytes truncated = ClientPacket(testing::kDiscover, kMac, 5);
  truncated.resize(242);
  testing::Bytes garbage(600, 0xff);
  EXPECT_EQ(RepliesTo({truncated, garbage, testing::Bytes{}, testing::Bytes{1}}), 0u);
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 6)}), 1u);
}

TEST_F(DhcpServerTest, ArmingAgainReplacesTheEarlierAdapter) {
  ASSERT_TRUE(server.Open());
  ASSERT_TRUE(server.Arm(Config(kMac)));
  ASSERT_TRUE(server.Arm(Config(kOtherMac)));
  EXPECT_EQ(net->disarms, 1);
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 1)}), 0u);
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kOtherMac, 2)}), 1u);
}

TEST_F(DhcpServerTest, OneRequestSeenTwiceIsAnsweredOnceAndARepeatedOneAgain) {
  ASSERT_TRUE(server.Open());
  ASSERT_TRUE(server.Arm(Config()));
  const auto discover = ClientPacket(testing::kDiscover, kMac, 7);
  EXPECT_EQ(RepliesTo({discover, discover}), 1u) << "the same bytes at once are one request";
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 8)}), 1u) << "another request";
  std::this_thread::sleep_for(std::chrono::milliseconds(DhcpServer::kDuplicateWindowMs + 50));
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 8)}), 1u) << "the client asking again";
}

TEST_F(DhcpServerTest, ADeclinedAddressIsReportedAndOfferedNoMoreUntilTheNextArming) {
  ASSERT_TRUE(server.Open());
  ASSERT_TRUE(server.Arm(Config()));
  EXPECT_EQ(server.DeclinedAddress(), 0u);
  const Ipv4 address = Config().address, gateway = Config().router;
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDecline, kOtherMac, 1, address, gateway)}), 0u);
  EXPECT_EQ(server.DeclinedAddress(), 0u) << "another adapter's decline is not ours";
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDecline, kMac, 2, address, gateway)}), 0u);
  EXPECT_EQ(server.DeclinedAddress(), address);
  EXPECT_EQ(server.LastError(), "address 10.77.0.20 is in use on this network");
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 3)}), 0u) << "no DISCOVER, OFFER, DECLINE loop";

  ASSERT_TRUE(server.Arm(Config()));
  EXPECT_EQ(server.DeclinedAddress(), 0u);
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 4)}), 1u);
}

TEST_F(DhcpServerTest, FailuresAreReportedAndLeaveNothingAnswering) {
  EXPECT_FALSE(server.Arm(Config())) << "not open";
  EXPECT_NE(server.LastError().find("not open"), std::string::npos);

  net->failNextOpen = true;
  EXPECT_FALSE(server.Open());
  EXPECT_NE(server.LastError().find("port taken"), std::string::npos);
  EXPECT_FALSE(server.IsOpen());
  ASSERT_TRUE(server.Open()) << "a later attempt may succeed";
  EXPECT_TRUE(server.Open()) << "already open";
  EXPECT_EQ(net->opens, 2);

  ASSERT_TRUE(server.Arm(Config()));
  net->failNextArm = true;
  EXPECT_FALSE(server.Arm(Config(kOtherMac)));
  EXPECT_NE(server.LastError().find("adapter not found"), std::string::npos);
  EXPECT_FALSE(server.IsArmed()) << "the earlier arming does not linger";
  EXPECT_EQ(
      RepliesTo({ClientPacket(testing::kDiscover, kMac, 1), ClientPacket(testing::kDiscover, kOtherMac, 2)}),
      0u);
}

TEST_F(DhcpServerTest, CloseStopsEverythingAndMayBeRepeated) {
  server.Close();  // never opened
  EXPECT_EQ(net->closes, 0);
  ASSERT_TRUE(server.Open());
  ASSERT_TRUE(server.Arm(Config()));
  const auto start = std::chrono::steady_clock::now();
  server.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(net->armed);
  EXPECT_FALSE(net->open);
  EXPECT_FALSE(server.IsOpen());
  server.Close();
  EXPECT_EQ(net->closes, 1);
  ASSERT_TRUE(server.Open()) << "reopens after close";
  ASSERT_TRUE(server.Arm(Config()));
  EXPECT_EQ(RepliesTo({ClientPacket(testing::kDiscover, kMac, 1)}), 1u);
}

TEST_F(DhcpServerTest, NoReplyLeavesAfterDisarmReturnsWhileRequestsKeepComing) {
  ASSERT_TRUE(server.Open());
  std::atomic<bool> done{false};
  std::thread feeder([&] {
    std::uint32_t xid = 0;
    while (!done) {
      net->Push(ClientPacket(testing::kDiscover, kMac, ++xid));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  for (int i = 0; i < 50; ++i) {
    const std::size_t before = net->SentCount();
    ASSERT_TRUE(server.Arm(Config()));
    // Disarm right after a reply went out, while further requests are being answered.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (net->SentCount() == before && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
    server.Disarm();
  }
  done = true;
  feeder.join();
  EXPECT_TRUE(net->WaitIdle(kWaitMs));
  EXPECT_GT(net->SentCount(), 0u) << "requests were answered while armed";
  EXPECT_FALSE(net->sentWhileDisarmed);
}

}  // namespace
}  // namespace nvserv
