// The Linux packet driver on a real link: a veth pair inside a network namespace of the test's
// own.  The driver sends on one end, a packet socket on the other end records what arrives.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "netvane/switch_frame.h"
#include "platform/posix_fd.h"
#include "rgtarn/RG_DevIO.h"

using nv::posix::UniqueFd;
using Bytes = std::vector<unsigned char>;

namespace {

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char chunk[256];
    while (std::fgets(chunk, sizeof(chunk), p)) out += chunk;
    ::pclose(p);
  }
  return out;
}

class NetnsTest : public testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: creates a network namespace and sends raw frames";
    if (Shell("ip -V") != 0) GTEST_SKIP() << "iproute2 is not installed";
    ns_ = "nvpkt" + std::to_string(::getpid());
    ASSERT_EQ(Shell("ip netns add " + ns_), 0);
    created_ = true;
    home_.reset(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
    UniqueFd target(::open(("/run/netns/" + ns_).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(home_.valid() && target.valid());
    ASSERT_EQ(::setns(target.get(), CLONE_NEWNET), 0);
    entered_ = true;
    // No IPv6 on the pair: its neighbour discovery would add frames of its own.
    for (const char* knob : {"all", "default"}) {
      std::ofstream(std::string("/proc/sys/net/ipv6/conf/") + knob + "/disable_ipv6") << "1\n";
    }
    ASSERT_EQ(Shell("ip -n " + ns_ + " link add va type veth peer name vb"), 0);
    ASSERT_EQ(Shell("ip -n " + ns_ + " link set va up"), 0);
    ASSERT_EQ(Shell("ip -n " + ns_ + " link set vb up"), 0);
  }

  void TearDown() override {
    if (entered_) ::setns(home_.get(), CLONE_NEWNET);
    if (created_) Shell("ip netns del " + ns_);
  }

  std::array<unsigned char, 6> MacOf(const std::string& ifname) {
    const std::string line = Output("ip -n " + ns_ + " -o link show dev " + ifname);
    std::array<unsigned char, 6> mac{};
    const size_t at = line.find("link/ether ");
    unsigned m[6];
    if (at == std::string::npos || std::sscanf(line.c_str() + at + 11, "%x:%x:%x:%x:%x:%x", &m[0], &m[1],
                                               &m[2], &m[3], &m[4], &m[5]) != 6) {
      ADD_FAILURE() << "no MAC for " << ifname << " in: " << line;
      return mac;
    }
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<unsigned char>(m[i]);
    return mac;
  }

  // A socket that records every frame arriving on `ifname` (not those it sends itself).
  static UniqueFd CaptureOn(const std::string& ifname) {
    UniqueFd fd(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL)));
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_ALL);
    address.sll_ifindex = static_cast<int>(::if_nametoindex(ifname.c_str()));
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
      return UniqueFd();
    return fd;
  }

  // Frames that arrive until `expected` have come and a short quiet time has passed, or 3 s.
  static std::vector<Bytes> Receive(int fd, size_t expected) {
    std::vector<Bytes> frames;
    const auto start = std::chrono::steady_clock::now();
    auto quiet_until = start + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < quiet_until) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      unsigned char buffer[2048];
      sockaddr_ll from{};
      socklen_t from_size = sizeof(from);
      const ssize_t n =
          ::recvfrom(fd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &from_size);
      if (n < 0 || from.sll_pkttype == PACKET_OUTGOING) continue;
      frames.emplace_back(buffer, buffer + n);
      if (frames.size() == expected)
        quiet_until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    }
    return frames;
  }

  std::string ns_;
  bool created_ = false;
  bool entered_ = false;
  UniqueFd home_;
};

}  // namespace

TEST_F(NetnsTest, ListedAdapterSendsControlFramesThatArriveByteForByte) {
  // The adapter list holds both ends of the pair with their MACs, and not loopback.
  tagADAPTER_DESC table[CRG_DevIO::kMaxAdapters];
  CRG_DevIO driver(nullptr);
  ASSERT_EQ(driver.GetNicName(table, CRG_DevIO::kMaxAdapters), 2);
  std::string va;
  for (const tagADAPTER_DESC& d : {table[0], table[1]}) {
    const std::string name = d.szAdapterName;
    ASSERT_TRUE(name == "\\Device\\RgateII_va" || name == "\\Device\\RgateII_vb") << name;
    EXPECT_EQ(std::memcmp(d.ucMacAddr, MacOf(name.substr(16)).data(), 6), 0) << name;
    if (name.substr(16) == "va") va = name;
  }

  UniqueFd capture = CaptureOn("vb");
  ASSERT_TRUE(capture.valid());
  ASSERT_NE(driver.DrvOpen(va), 0);
  nv::core::MacAddress mac{};
  ASSERT_NE(driver.GetNicMac(mac.data()), 0);
  EXPECT_EQ(mac, MacOf("va"));
  ASSERT_NE(driver.SetFilter(), 0);

  // One packet, one buffer, rewritten between sends: each frame leaves as the buffer then is.
  nv::core::RGFrame buffer{};
  LPRG_PACKET packet = driver.AllocPacket();
  ASSERT_NE(packet, nullptr);
  driver.InitPacket(packet, buffer.data(), static_cast<unsigned>(buffer.size()));
  std::vector<Bytes> sent;
  for (int round = 0; round < 2; ++round) {
    for (bool reverse : {false, true}) {
      for (std::uint32_t network : {0u, 1u}) {
        buffer = nv::core::MakeRGFrame(mac, reverse, network);
        ASSERT_EQ(driver.SndFrame(packet), 1);
        sent.emplace_back(buffer.begin(), buffer.end());
      }
    }
  }
  driver.FreePacket(packet);
  driver.DrvClose();

  const std::vector<Bytes> received = Receive(capture.get(), sent.size());
  ASSERT_EQ(received.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(received[i].size(), 60u);
    EXPECT_EQ(received[i], sent[i]);
  }
}

TEST_F(NetnsTest, AdapterThatIsDownIsNotReadyAndLoopbackIsNotServed) {
  CRG_DevIO driver;
  EXPECT_EQ(driver.DrvOpen("\\Device\\RgateII_lo"), 0);
  ASSERT_EQ(Shell("ip -n " + ns_ + " link set va down"), 0);
  ASSERT_NE(driver.DrvOpen("\\Device\\RgateII_va"), 0);
  EXPECT_EQ(driver.SetFilter(), 0);
  ASSERT_EQ(Shell("ip -n " + ns_ + " link set va up"), 0);
  EXPECT_NE(driver.SetFilter(), 0);
  driver.DrvClose();
}
