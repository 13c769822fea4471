// Linux: the emulation runs beside the host's own DHCP client on the same adapter.
// While armed, tc reflects the adapter's outgoing DHCP traffic back into it. Requests are read
// at the link layer (a packet socket filtered to UDP port 67), so neither their source nor
// their destination address matters: a bound client's broadcast from its own address and its
// unicast to the server identifier arrive like a DISCOVER. The UDP socket on port 67 only holds
// the port, so that no second server answers beside us; it reads nothing. Replies are written
// as whole Ethernet frames through the packet socket (reflected back in as well), so the
// client's raw or UDP socket receives them.
#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/posix_fd.h"
#include "posix/interface_lookup.h"
#include "posix/run_program.h"
#include "posix/tc_reflection.h"
#include "src/frame_builder.h"
#include "src/transport.h"

namespace nvserv {
namespace {

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Classic BPF on an IPv4 packet (cooked socket: no link-layer header): UDP to port 67 and not a
// later fragment. Everything else never leaves the kernel.
constexpr sock_filter kServerPortFilter[] = {
    BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),                   // protocol
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IPPROTO_UDP, 0, 6),  //
    BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),                   // flags and fragment offset
    BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, 0x1FFF, 4, 0),      //
    BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),                  // X = header length
    BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),                   // UDP destination port
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kServerPort, 0, 1),  //
    BPF_STMT(BPF_RET | BPF_K, 0xFFFF),                       // take it
    BPF_STMT(BPF_RET | BPF_K, 0),                            // drop it
};
constexpr sock_filter kDropAll[] = {BPF_STMT(BPF_RET | BPF_K, 0)};

bool AttachFilter(int fd, const sock_filter* code, std::size_t count) {
  sock_fprog program{static_cast<unsigned short>(count), const_cast<sock_filter*>(code)};
  return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

std::string IpPath() { return posix::FindExecutable({"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}); }

// A permanent neighbour entry for a server identifier nobody on the wire holds: the unicast
// renewal of a bound client then leaves the host (and is reflected to us) instead of waiting
// for an ARP answer that never comes. The hardware address is never used on the wire.
class PinnedNeighbour {
 public:
  ~PinnedNeighbour() { Remove(); }
  bool Add(const std::string& dev, Ipv4 ip, std::string& error) {
    Remove();
    const std::string tool = IpPath();
    if (tool.empty()) {
      error = "ip not found (iproute2)";
      return false;
    }
    const posix::ProgramResult r =
        posix::RunProgram({tool, "-4", "neigh", "replace", FormatIpv4(ip), "lladdr", "02:00:00:00:00:43",
                           "nud", "permanent", "dev", dev},
                          5000);
    if (r.exitCode != 0) {
      error = "neighbour entry for the server identifier " + FormatIpv4(ip) + ": " + r.output;
      return false;
    }
    dev_ = dev;
    ip_ = ip;
    return true;
  }
  void Remove() noexcept {
    if (dev_.empty()) return;
    try {
      const std::string tool = IpPath();
      if (!tool.empty()) posix::RunProgram({tool, "-4", "neigh", "del", FormatIpv4(ip_), "dev", dev_}, 5000);
      dev_.clear();
    } catch (...) {
    }
  }

 private:
  std::string dev_;
  Ipv4 ip_ = 0;
};

class PacketTransport final : public DhcpTransport {
 public:
  bool Open(std::string& error) noexcept override {
    nv::posix::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!fd) {
      error = ErrnoText("socket");
      return false;
    }
    // No SO_REUSEADDR: a second server on port 67 must be refused, not share the requests.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kServerPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      error = ErrnoText("bind UDP port 67");
      return false;
    }
    // The requests are read from the packet socket; this one must not queue copies of them.
    if (!AttachFilter(fd.get(), kDropAll, 1)) {
      error = ErrnoText("filter on UDP port 67");
      return false;
    }
    // Every interface: the adapter is known only when armed, and Receive keeps its own.
    nv::posix::UniqueFd packets(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_IP)));
    if (!packets) {
      error = ErrnoText("AF_PACKET socket");
      return false;
    }
    if (!AttachFilter(packets.get(), kServerPortFilter,
                      sizeof kServerPortFilter / sizeof kServerPortFilter[0])) {
      error = ErrnoText("filter on the packet socket");
      return false;
    }
    udp_ = std::move(fd);
    packets_ = std::move(packets);
    return true;
  }

  bool Arm(const LeaseConfig& lease, std::string& error) noexcept override {
    try {
      Disarm();
      posix::InterfaceInfo adapter;
      if (!posix::FindInterfaceByMac(lease.mac, adapter)) {
        error = "no interface has the MAC " + FormatMac(lease.mac);
        return false;
      }
      nv::posix::UniqueFd raw(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));  // protocol 0: send only
      if (!raw) {
        error = ErrnoText("AF_PACKET socket");
        return false;
      }
      sockaddr_ll where{};
      where.sll_family = AF_PACKET;
      where.sll_ifindex = adapter.index;
      if (::bind(raw.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        error = ErrnoText("bind AF_PACKET");
        return false;
      }
      if (!reflection_.Install(adapter.name, error)) return false;
      if (lease.serverIdPinned && !neighbour_.Add(adapter.name, lease.serverId, error)) {
        reflection_.Remove();
        return false;
      }
      std::lock_guard<std::mutex> lock(sendMutex_);
      raw_ = std::move(raw);
      adapter_ = adapter;
      adapterMac_ = lease.mac;
      armedIndex_ = adapter.index;
      return true;
    } catch (const std::exception& e) {
      error = e.what();
      Disarm();
      return false;
    }
  }

  void Disarm() noexcept override {
    armedIndex_ = 0;
    {
      std::lock_guard<std::mutex> lock(sendMutex_);
      raw_.reset();
    }
    neighbour_.Remove();
    reflection_.Remove();
  }

  ReceiveResult Receive(std::vector<std::uint8_t>& buffer, int timeoutMs) noexcept override {
    pollfd pfd{packets_.get(), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return {ReceiveStatus::kTimeout, 0};
    if (ready < 0) return {ReceiveStatus::kError, 0};
    sockaddr_ll from{};
    socklen_t fromSize = sizeof from;
    // MSG_TRUNC: the packet's real length, so an oversized one is recognised and dropped.
    const ssize_t n = ::recvfrom(packets_.get(), packet_, sizeof packet_, MSG_TRUNC | MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) {
      return (errno == EAGAIN || errno == EINTR) ? ReceiveResult{ReceiveStatus::kTimeout, 0}
                                                 : ReceiveResult{ReceiveStatus::kError, 0};
    }
    // Only what comes in on the armed adapter; a frame on its way out is seen again when the
    // reflection brings it back in, and is taken then.
    const int armed = armedIndex_;
    if (armed == 0 || from.sll_ifindex != armed || from.sll_pkttype == PACKET_OUTGOING)
      return {ReceiveStatus::kTimeout, 0};
    if (static_cast<std::size_t>(n) > sizeof packet_) return {ReceiveStatus::kOversized, 0};
    UdpDatagramView datagram;
    if (!ParseIpv4Udp(packet_, static_cast<std::size_t>(n), datagram) || datagram.dstPort != kServerPort)
      return {ReceiveStatus::kTimeout, 0};
    if (datagram.size > buffer.size()) return {ReceiveStatus::kOversized, 0};
    std::memcpy(buffer.data(), datagram.payload, datagram.size);
    return {ReceiveStatus::kDatagram, datagram.size};
  }

  bool Send(const DhcpReply& reply, std::string& error) noexcept override {
    try {
      std::lock_guard<std::mutex> lock(sendMutex_);
      if (!raw_) {
        error = "not armed";
        return false;
      }
      UdpFrameAddressing a;
      a.srcMac = adapterMac_;
      a.dstMac = reply.to.mac;
      a.srcIp = reply.serverIp;
      a.dstIp = reply.to.ip;
      a.srcPort = kServerPort;
      a.dstPort = kClientPort;
      const std::vector<std::uint8_t> frame = BuildUdpFrame(a, reply.payload.data(), reply.payload.size());
      if (frame.empty()) {
        error = "reply too large";
        return false;
      }
      sockaddr_ll to{};
      to.sll_family = AF_PACKET;
      to.sll_ifindex = adapter_.index;
      to.sll_halen = 6;
      std::memcpy(to.sll_addr, reply.to.mac.data(), 6);
      if (::sendto(raw_.get(), frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) <
          0) {
        error = ErrnoText("send frame");
        return false;
      }
      return true;
    } catch (const std::exception& e) {
      error = e.what();
      return false;
    }
  }

  void Close() noexcept override {
    Disarm();
    packets_.reset();
    udp_.reset();
  }

 private:
  nv::posix::UniqueFd udp_;      // holds port 67
  nv::posix::UniqueFd packets_;  // reads the requests
  std::atomic<int> armedIndex_{0};
  std::uint8_t packet_[2048];  // one frame's IP packet; only the serving thread reads into it
  std::mutex sendMutex_;       // raw_, adapter_, adapterMac_
  nv::posix::UniqueFd raw_;
  posix::InterfaceInfo adapter_;
  MacAddress adapterMac_{};
  posix::TcReflection reflection_;
  PinnedNeighbour neighbour_;
};

}  // namespace

std::unique_ptr<DhcpTransport> MakeSystemTransport() { return std::make_unique<PacketTransport>(); }

}  // namespace nvserv
