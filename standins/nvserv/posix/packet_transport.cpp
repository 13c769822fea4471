// Linux: the emulation runs beside the host's own DHCP client on the same adapter.
// Requests are reflected into the adapter by tc and read from a UDP socket on port 67 bound
// to the adapter; replies are written as whole Ethernet frames through an AF_PACKET socket
// (reflected back in by tc as well), so the client's raw socket receives them.
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/posix_fd.h"
#include "posix/interface_lookup.h"
#include "posix/tc_reflection.h"
#include "src/frame_builder.h"
#include "src/transport.h"

namespace nvserv {
namespace {

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

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
    udp_ = std::move(fd);
    return true;
  }

  bool Arm(const MacAddress& mac, std::string& error) noexcept override {
    try {
      Disarm();
      posix::InterfaceInfo adapter;
      if (!posix::FindInterfaceByMac(mac, adapter)) {
        error = "no interface has the MAC " + FormatMac(mac);
        return false;
      }
      // Only requests that arrive on the adapter; others are not the adapter's own.
      if (::setsockopt(udp_.get(), SOL_SOCKET, SO_BINDTODEVICE, adapter.name.c_str(),
                       static_cast<socklen_t>(adapter.name.size())) != 0) {
        error = ErrnoText("SO_BINDTODEVICE");
        return false;
      }
      nv::posix::UniqueFd raw(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));  // protocol 0: send only
      if (!raw) {
        error = ErrnoText("AF_PACKET socket");
        UnbindDevice();
        return false;
      }
      sockaddr_ll where{};
      where.sll_family = AF_PACKET;
      where.sll_ifindex = adapter.index;
      if (::bind(raw.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        error = ErrnoText("bind AF_PACKET");
        UnbindDevice();
        return false;
      }
      if (!reflection_.Install(adapter.name, error)) {
        UnbindDevice();
        return false;
      }
      std::lock_guard<std::mutex> lock(sendMutex_);
      raw_ = std::move(raw);
      adapter_ = adapter;
      adapterMac_ = mac;
      return true;
    } catch (const std::exception& e) {
      error = e.what();
      Disarm();
      return false;
    }
  }

  void Disarm() noexcept override {
    {
      std::lock_guard<std::mutex> lock(sendMutex_);
      raw_.reset();
    }
    reflection_.Remove();
    UnbindDevice();
  }

  ReceiveResult Receive(std::vector<std::uint8_t>& buffer, int timeoutMs) noexcept override {
    pollfd pfd{udp_.get(), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return {ReceiveStatus::kTimeout, 0};
    if (ready < 0) return {ReceiveStatus::kError, 0};
    // MSG_TRUNC: the datagram's real length, so an oversized one is recognised and dropped.
    const ssize_t n = ::recv(udp_.get(), buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0) {
      return (errno == EAGAIN || errno == EINTR) ? ReceiveResult{ReceiveStatus::kTimeout, 0}
                                                 : ReceiveResult{ReceiveStatus::kError, 0};
    }
    if (static_cast<std::size_t>(n) > buffer.size()) return {ReceiveStatus::kOversized, 0};
    return {ReceiveStatus::kDatagram, static_cast<std::size_t>(n)};
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
    udp_.reset();
  }

 private:
  void UnbindDevice() noexcept {
    if (udp_) ::setsockopt(udp_.get(), SOL_SOCKET, SO_BINDTODEVICE, "", 0);
  }

  nv::posix::UniqueFd udp_;
  std::mutex sendMutex_;  // raw_, adapter_, adapterMac_
  nv::posix::UniqueFd raw_;
  posix::InterfaceInfo adapter_;
  MacAddress adapterMac_{};
  posix::TcReflection reflection_;
};

}  // namespace

std::unique_ptr<DhcpTransport> MakeSystemTransport() { return std::make_unique<PacketTransport>(); }

}  // namespace nvserv
