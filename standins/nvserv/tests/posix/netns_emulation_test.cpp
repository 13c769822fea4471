// CDHCPemu on a real Linux adapter, inside a network namespace of the test's own: a real DHCP
// client (busybox udhcpc) on the same adapter gets exactly the configured settings while the
// emulation is armed, other adapters get nothing, and once it stops the adapter's DHCP
// traffic reaches the wire again.
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "nvserv/dhcpemu.h"
#include "platform/posix_fd.h"
#include "posix/run_program.h"
#include "src/frame_builder.h"
#include "support/client_packets.h"

namespace {

using nv::posix::UniqueFd;
using nvserv::posix::FindExecutable;
using nvserv::posix::RunProgram;
namespace t = nvserv::testing;

const t::Mac kAdapterMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x01};  // v0: the workstation's adapter
const t::Mac kPeerMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x02};     // v1: the wire
const t::Mac kStrangerMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x99};
constexpr int kCommandMs = 10000;

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A frame socket on one interface that sees everything passing it, both directions.
UniqueFd OpenCapture(const char* ifname) {
  UniqueFd fd(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL)));
  if (!fd) return fd;
  sockaddr_ll where{};
  where.sll_family = AF_PACKET;
  where.sll_protocol = htons(ETH_P_ALL);
  where.sll_ifindex = static_cast<int>(::if_nametoindex(ifname));
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) fd.reset();
  return fd;
}

struct DhcpFrame {
  t::Mac srcMac{};
  std::uint16_t dstPort = 0;
  t::Bytes payload;
};

// Waits up to timeoutMs for an IPv4 UDP frame to dstPort that `match` accepts.
bool WaitForDhcpFrame(int fd, std::uint16_t dstPort, int timeoutMs,
                      const std::function<bool(const DhcpFrame&)>& match) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::uint8_t buf[2048];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 42 || buf[12] != 0x08 || buf[13] != 0x00 || buf[23] != 17) continue;
    const std::size_t ihl = (buf[14] & 0x0f) * 4u;
    if (static_cast<std::size_t>(n) < 14 + ihl + 8) continue;
    DhcpFrame f;
    std::memcpy(f.srcMac.data(), buf + 6, 6);
    f.dstPort = static_cast<std::uint16_t>((buf[14 + ihl + 2] << 8) | buf[14 + ihl + 3]);
    if (f.dstPort != dstPort) continue;
    f.payload.assign(buf + 14 + ihl + 8, buf + n);
    if (match(f)) return true;
  }
}

void Drain(int fd) {
  std::uint8_t buf[2048];
  while (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
  }
}

class NetnsEmulation : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to create a network namespace";
    busybox_ = FindExecutable({"/usr/bin/busybox", "/bin/busybox"});
    ip_ = FindExecutable({"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"});
    tc_ = FindExecutable({"/usr/sbin/tc", "/sbin/tc", "/usr/bin/tc", "/bin/tc"});
    if (busybox_.empty())
      GTEST_SKIP() << "busybox is not installed (its udhcpc is the DHCP client under test)";
    if (ip_.empty() || tc_.empty()) GTEST_SKIP() << "iproute2 (ip, tc) is not installed";

    ns_ = "nvserv-test-" + std::to_string(::getpid());
    Run({ip_, "netns", "del", ns_});  // left over by an aborted run with the same pid
    ASSERT_TRUE(Run({ip_, "netns", "add", ns_})) << "ip netns add";
    created_ = true;
    ASSERT_TRUE(Run({ip_, "-n", ns_, "link", "add", "v0", "address", "02:4e:56:00:00:01", "type", "veth",
                     "peer", "name", "v1", "address", "02:4e:56:00:00:02"}));
    ASSERT_TRUE(Run({ip_, "-n", ns_, "link", "set", "v0", "up"}));
    ASSERT_TRUE(Run({ip_, "-n", ns_, "link", "set", "v1", "up"}));

    home_ = UniqueFd(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));
    UniqueFd target(::open(("/run/netns/" + ns_).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(home_ && target);
    // This thread (and what it starts: sockets, tc, udhcpc) now lives in the namespace.
    ASSERT_EQ(::setns(target.get(), CLONE_NEWNET), 0) << std::strerror(errno);
    inside_ = true;

    char dir[] = "/tmp/nvserv-udhcpc-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    record_ = dir_ + "/lease";
    script_ = dir_ + "/script";
    {
      std::ofstream script(script_);
      script << "#!/bin/sh\n"
                "case \"$1\" in bound|renew)\n"
                "  echo \"ip=$ip subnet=$subnet router=$router dns=$dns\" >> '"
             << record_ << "';;\nesac\nexit 0\n";
    }
    ASSERT_EQ(::chmod(script_.c_str(), 0755), 0);
  }

  void TearDown() override {
    if (inside_) {
      EXPECT_EQ(::setns(home_.get(), CLONE_NEWNET), 0);
    }
    if (created_) Run({ip_, "netns", "del", ns_});
    if (!dir_.empty()) {
      std::remove(record_.c_str());
      std::remove(script_.c_str());
      ::rmdir(dir_.c_str());
    }
  }

  bool Run(const std::vector<std::string>& argv, std::string* output = nullptr) {
    const auto r = RunProgram(argv, kCommandMs);
    if (output) *output = r.output;
    return r.exitCode == 0;
  }

  // Runs the real DHCP client on v0 once; returns what its script recorded ("" when no lease).
  std::string LeaseFromUdhcpc(int attempts) {
    std::remove(record_.c_str());
    const auto r = RunProgram({busybox_, "udhcpc", "-i", "v0", "-f", "-q", "-n", "-t",
                               std::to_string(attempts), "-T", "1", "-s", script_},
                              (attempts + 5) * 1000);
    EXPECT_FALSE(r.timedOut) << "udhcpc did not end in time";
    const std::string lease = Slurp(record_);
    EXPECT_EQ(r.exitCode == 0, !lease.empty()) << r.output;
    return lease;
  }

  std::string TcQdiscs() {
    std::string out;
    Run({tc_, "qdisc", "show", "dev", "v0"}, &out);
    return out;
  }

  // A DISCOVER as if sent by a client with `chaddr`, written straight onto v0.
  void SendRawDiscover(const t::Mac& chaddr, std::uint32_t xid) {
    UniqueFd fd(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));
    ASSERT_TRUE(fd);
    const t::Bytes payload = t::ClientPacket(t::kDiscover, chaddr, xid);
    nvserv::UdpFrameAddressing a;
    a.srcMac = chaddr;
    a.dstMac = nvserv::kBroadcastMac;
    a.srcIp = 0;
    a.dstIp = nvserv::kBroadcastIp;
    a.srcPort = 68;
    a.dstPort = 67;
    const auto frame = nvserv::BuildUdpFrame(a, payload.data(), payload.size());
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = static_cast<int>(::if_nametoindex("v0"));
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xff, 6);
    ASSERT_EQ(::sendto(fd.get(), frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(frame.size()));
  }

  static bool IsOfferFor(const DhcpFrame& f, std::uint32_t xid) {
    const t::ReplyView v = t::ReadReply(f.payload);
    return v.valid && v.xid == xid && v.Type() == t::kOffer;
  }

  std::string ns_, ip_, tc_, busybox_, dir_, record_, script_;
  UniqueFd home_;
  bool created_ = false, inside_ = false;
};

TEST_F(NetnsEmulation, TheAdaptersOwnClientGetsExactlyTheConfiguredSettingsAndTheWireSeesNothing) {
  UniqueFd wire = OpenCapture("v1");
  ASSERT_TRUE(wire);
  CDHCPemu emu;
  ASSERT_NE(emu.DrvOpen(), 0) << emu.LastError();
  ASSERT_NE(emu.SetStartDHCP(t::Record(kAdapterMac, "10.77.0.53")), 0) << emu.LastError();
  Drain(wire.get());

  EXPECT_EQ(LeaseFromUdhcpc(4), "ip=10.77.0.20 subnet=255.255.255.0 router=10.77.0.1 dns=10.77.0.53\n");
  EXPECT_FALSE(WaitForDhcpFrame(wire.get(), 67, 200, [](const DhcpFrame& f) {
    return f.srcMac == kAdapterMac;
  })) << "the adapter's request was kept off the wire";
  EXPECT_NE(emu.DrvClose(), 0);
}

TEST_F(NetnsEmulation, ARequestFromAnotherMacGetsNoAnswer) {
  UniqueFd adapter = OpenCapture("v0");
  ASSERT_TRUE(adapter);
  CDHCPemu emu;
  ASSERT_NE(emu.DrvOpen(), 0) << emu.LastError();
  ASSERT_NE(emu.SetStartDHCP(t::Record(kAdapterMac)), 0) << emu.LastError();

  // The same request from the armed MAC is answered: the listener would see an answer.
  SendRawDiscover(kAdapterMac, 0x1111);
  EXPECT_TRUE(
      WaitForDhcpFrame(adapter.get(), 68, 3000, [](const DhcpFrame& f) { return IsOfferFor(f, 0x1111); }));
  SendRawDiscover(kStrangerMac, 0x2222);
  EXPECT_FALSE(WaitForDhcpFrame(adapter.get(), 68, 1500,
                                [](const DhcpFrame& f) { return t::ReadReply(f.payload).xid == 0x2222; }));
}

TEST_F(NetnsEmulation, AfterStopNothingAnswersAndTheRequestReachesTheWireAgain) {
  UniqueFd wire = OpenCapture("v1");
  ASSERT_TRUE(wire);
  CDHCPemu emu;
  ASSERT_NE(emu.DrvOpen(), 0) << emu.LastError();
  ASSERT_NE(emu.SetStartDHCP(t::Record(kAdapterMac)), 0) << emu.LastError();
  EXPECT_NE(TcQdiscs().find("clsact"), std::string::npos) << TcQdiscs();
  EXPECT_NE(emu.SetEndDHCP(), 0);
  EXPECT_EQ(TcQdiscs().find("clsact"), std::string::npos) << "reflection removed: " << TcQdiscs();

  Drain(wire.get());
  EXPECT_EQ(LeaseFromUdhcpc(2), "");
  EXPECT_TRUE(WaitForDhcpFrame(wire.get(), 67, 500, [](const DhcpFrame& f) {
    const t::ReplyView v = t::ReadReply(f.payload);  // reads the client's header fields too
    return f.srcMac == kAdapterMac && v.chaddr == kAdapterMac;
  })) << "the adapter's DISCOVER is on the wire again";

  // Armed again for the next change: answered again.
  ASSERT_NE(emu.SetStartDHCP(t::Record(kAdapterMac, "10.77.0.54")), 0) << emu.LastError();
  EXPECT_EQ(LeaseFromUdhcpc(4), "ip=10.77.0.20 subnet=255.255.255.0 router=10.77.0.1 dns=10.77.0.54\n");
}

TEST_F(NetnsEmulation, RefusedSettingsAndCloseWhileArmedLeaveNothingBehind) {
  CDHCPemu emu;
  ASSERT_NE(emu.DrvOpen(), 0) << emu.LastError();
  CDHCPemu second;
  EXPECT_EQ(second.DrvOpen(), 0) << "port 67 is taken";

  ASSERT_NE(emu.SetStartDHCP(t::Record(kAdapterMac)), 0) << emu.LastError();
  _uIPINFO noAddress = t::Record(kAdapterMac);
  noAddress.dwIPAddr = 0;
  EXPECT_EQ(emu.SetStartDHCP(noAddress), 0);
  EXPECT_EQ(TcQdiscs().find("clsact"), std::string::npos) << "the earlier settings are no longer served";
  EXPECT_EQ(emu.SetStartDHCP(t::Record(kStrangerMac)), 0);
  EXPECT_NE(emu.LastError().find("02-4e-56-00-00-99"), std::string::npos) << emu.LastError();
  EXPECT_EQ(TcQdiscs().find("clsact"), std::string::npos) << "no adapter touched";

  ASSERT_NE(emu.SetStartDHCP(t::Record(kAdapterMac)), 0) << emu.LastError();
  EXPECT_NE(emu.DrvClose(), 0);
  EXPECT_EQ(TcQdiscs().find("clsact"), std::string::npos) << TcQdiscs();
  EXPECT_NE(second.DrvOpen(), 0) << second.LastError();
}

TEST_F(NetnsEmulation, AnAdaptersOwnTrafficControlIsLeftAsItWas) {
  ASSERT_TRUE(Run({tc_, "qdisc", "add", "dev", "v0", "clsact"}));
  ASSERT_TRUE(Run({tc_,      "filter", "add",    "dev",    "v0",  "egress",   "protocol", "ip",
                   "prio",   "10",     "u32",    "match",  "ip",  "protocol", "6",        "0xff",
                   "action", "mirred", "egress", "mirror", "dev", "v1"}));
  CDHCPemu emu;
  ASSERT_NE(emu.DrvOpen(), 0) << emu.LastError();
  ASSERT_NE(emu.SetStartDHCP(t::Record(kAdapterMac)), 0) << emu.LastError();
  EXPECT_EQ(LeaseFromUdhcpc(4), "ip=10.77.0.20 subnet=255.255.255.0 router=10.77.0.1 dns=10.77.0.53\n");
  emu.SetEndDHCP();
  std::string filters;
  ASSERT_TRUE(Run({tc_, "filter", "show", "dev", "v0", "egress"}, &filters));
  EXPECT_NE(TcQdiscs().find("clsact"), std::string::npos) << "not ours to remove";
  EXPECT_NE(filters.find("pref 10 "), std::string::npos) << filters;
  EXPECT_EQ(filters.find("Ingress Redirect"), std::string::npos) << filters;
}

}  // namespace
