// The Windows responder: port 67 through Winsock, and a request answered through the socket
// path on the loopback interface (a client that already holds an address is answered by
// unicast, so no broadcast leaves the machine).
#include "platform/windows_api.h"

// After windows_api.h: with WIN32_LEAN_AND_MEAN it leaves the socket headers to us.
#include <winsock2.h>
#include <ws2tcpip.h>
// Needs the socket headers before it.
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "nvserv/dhcpemu.h"
#include "platform/unique_handle.h"
#include "src/dhcp_server.h"
#include "support/client_packets.h"
#include "win32/winsock_transport.h"

namespace {

namespace t = nvserv::testing;

const t::Mac kMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x01};
const t::Mac kStrangerMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x99};
constexpr std::uint32_t kLoopback = 0x7f000001;

struct SocketTraits {
  using pointer = SOCKET;
  static pointer invalid() noexcept { return INVALID_SOCKET; }
  static void close(pointer s) noexcept { ::closesocket(s); }
};
using UniqueSocket = nv::UniqueHandle<SocketTraits>;

class WinsockSession {
 public:
  WinsockSession() { ok_ = ::WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
  ~WinsockSession() {
    if (ok_) ::WSACleanup();
  }

 private:
  WSADATA data_{};
  bool ok_ = false;
};

TEST(WinsockResponder, DrvOpenHoldsPort67ExclusivelyUntilDrvClose) {
  CDHCPemu first;
  ASSERT_NE(first.DrvOpen(), 0) << first.LastError();
  CDHCPemu second;
  EXPECT_EQ(second.DrvOpen(), 0) << "a second server must not share port 67";
  EXPECT_NE(second.LastError().find("bind"), std::string::npos) << second.LastError();
  EXPECT_NE(first.DrvClose(), 0);
  EXPECT_NE(second.DrvOpen(), 0) << second.LastError();
}

TEST(WinsockResponder, SetStartDHCPRefusesAMacThatNoAdapterHas) {
  CDHCPemu emu;
  ASSERT_NE(emu.DrvOpen(), 0) << emu.LastError();
  EXPECT_EQ(emu.SetStartDHCP(t::Record(kStrangerMac)), 0);
  EXPECT_NE(emu.LastError().find("02-4e-56-00-00-99"), std::string::npos) << emu.LastError();
}

// The hardware address of one of this machine's adapters, if it has one.
std::optional<t::Mac> AdapterMac() {
  ULONG size = 64 * 1024;
  std::vector<unsigned char> buffer(size);
  auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
  if (::GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, list, &size) != NO_ERROR) return std::nullopt;
  for (const IP_ADAPTER_ADDRESSES* a = list; a != nullptr; a = a->Next) {
    if (a->PhysicalAddressLength != 6) continue;
    t::Mac mac;
    std::memcpy(mac.data(), a->PhysicalAddress, 6);
    if (mac != t::Mac{}) return mac;
  }
  return std::nullopt;
}

TEST(WinsockResponder, SetStartDHCPForTheOwnAdapterReportsFailureAndSaysWhy) {
  const std::optional<t::Mac> mac = AdapterMac();
  if (!mac) GTEST_SKIP() << "no adapter with a hardware address";
  CDHCPemu emu;
  ASSERT_NE(emu.DrvOpen(), 0) << emu.LastError();
  EXPECT_EQ(emu.SetStartDHCP(t::Record(*mac)), 0) << "an emulation that cannot answer is not armed";
  EXPECT_NE(emu.LastError().find("own DHCP client cannot be answered"), std::string::npos) << emu.LastError();
  EXPECT_NE(emu.SetEndDHCP(), 0);
}

class LoopbackExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    nvserv::WinsockTransportOptions options;
    options.bindAddress = kLoopback;
    options.requireAdapter = false;    // the loopback client's MAC is made up
    options.refuseOwnAdapter = false;  // the client talks to our socket itself
    server_ = std::make_unique<nvserv::DhcpServer>(nvserv::MakeWinsockTransport(options));
    ASSERT_TRUE(server_->Open()) << server_->LastError();

    client_ = UniqueSocket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    ASSERT_TRUE(client_);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = ::htons(68);
    local.sin_addr.s_addr = ::htonl(kLoopback);
    ASSERT_EQ(::bind(client_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0)
        << "bind 127.0.0.1:68: " << ::WSAGetLastError();
  }

  nvserv::LeaseConfig Config() {
    nvserv::LeaseConfig c;
    c.mac = kMac;
    c.address = kLoopback;
    c.subnetMask = 0xff000000;
    c.router = 0x7f0000fe;
    c.serverId = 0x7f0000fe;
    c.nameServers = {0x7f000035};
    return c;
  }

  // A renewal from a client holding 127.0.0.1; returns the reply, or an empty view on timeout.
  t::ReplyView Exchange(const t::Mac& mac, std::uint32_t xid, int waitMs) {
    const t::Bytes request = t::ClientPacket(t::kRequest, mac, xid, {}, {}, kLoopback);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = ::htons(67);
    server.sin_addr.s_addr = ::htonl(kLoopback);
    EXPECT_EQ(
        ::sendto(client_.get(), reinterpret_cast<const char*>(request.data()),
                 static_cast<int>(request.size()), 0, reinterpret_cast<sockaddr*>(&server), sizeof server),
        static_cast<int>(request.size()));
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(client_.get(), &readable);
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) return {};
    t::Bytes reply(1500);
    const int n =
        ::recv(client_.get(), reinterpret_cast<char*>(reply.data()), static_cast<int>(reply.size()), 0);
    if (n <= 0) return {};
    reply.resize(static_cast<std::size_t>(n));
    return t::ReadReply(reply);
  }

  WinsockSession winsock_;
  std::unique_ptr<nvserv::DhcpServer> server_;
  UniqueSocket client_;
};

TEST_F(LoopbackExchange, TheArmedClientIsAnsweredThroughTheSocketAndNoOther) {
  EXPECT_FALSE(Exchange(kMac, 1, 500).valid) << "not armed yet";
  ASSERT_TRUE(server_->Arm(Config())) << server_->LastError();

  const t::ReplyView ack = Exchange(kMac, 2, 3000);
  ASSERT_TRUE(ack.valid) << "no reply through the socket";
  EXPECT_EQ(ack.xid, 2u);
  EXPECT_EQ(ack.Type(), t::kAck);
  EXPECT_EQ(ack.yiaddr, kLoopback);
  EXPECT_EQ(ack.Address(1), 0xff000000u);
  EXPECT_EQ(ack.Address(3), 0x7f0000feu);
  EXPECT_EQ(ack.Addresses(6), std::vector<std::uint32_t>{0x7f000035});

  EXPECT_FALSE(Exchange(kStrangerMac, 3, 1000).valid);
  server_->Disarm();
  EXPECT_FALSE(Exchange(kMac, 4, 1000).valid) << "stopped";
  server_->Close();
}

}  // namespace
