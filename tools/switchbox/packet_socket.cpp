#include "packet_socket.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace nv::switchbox {
namespace {
std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }
}  // namespace

bool PacketSocket::Open(const std::string& interface, std::string& error) {
  interface_ = interface;
  ifindex_ = static_cast<int>(if_nametoindex(interface.c_str()));
  if (ifindex_ == 0) {
    error = "no interface " + interface;
    return false;
  }
  // Protocol 0 at creation: nothing is queued until the bind below, so no
  // frame of another interface slips in.
  fd_.reset(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));
  if (!fd_) {
    error = Errno("packet socket");
    return false;
  }
  sockaddr_ll addr{};
  addr.sll_family = AF_PACKET;
  addr.sll_protocol = htons(ETH_P_ALL);
  addr.sll_ifindex = ifindex_;
  if (::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    error = Errno("bind to " + interface);
    fd_.reset();
    return false;
  }
  return true;
}

long PacketSocket::ReceiveIncoming(std::uint8_t* buf, std::size_t size, std::string& error) noexcept {
  sockaddr_ll from{};
  socklen_t len = sizeof from;
  const ssize_t n = ::recvfrom(fd_.get(), buf, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    // The port went down (a cable pulled); the socket reports it once and
    // hears frames again when the port comes back up.
    if (errno == ENETDOWN) return 0;
    error = Errno("receive");
    return -1;
  }
  if (from.sll_pkttype == PACKET_OUTGOING) return 0;
  return static_cast<long>(n);
}

bool PacketSocket::Send(const std::uint8_t* data, std::size_t size, std::string& error) noexcept {
  sockaddr_ll to{};
  to.sll_family = AF_PACKET;
  to.sll_ifindex = ifindex_;
  to.sll_halen = 6;
  std::memset(to.sll_addr, 0xFF, 6);
  const ssize_t n = ::sendto(fd_.get(), data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (n != static_cast<ssize_t>(size)) {
    error = n < 0 ? Errno("send") : "short send";
    return false;
  }
  return true;
}

bool PacketSocket::ReadMac(Mac& mac, std::string& error) const {
  ifreq req{};
  if (interface_.size() >= sizeof req.ifr_name) {
    error = "interface name too long";
    return false;
  }
  std::memcpy(req.ifr_name, interface_.c_str(), interface_.size());
  if (::ioctl(fd_.get(), SIOCGIFHWADDR, &req) != 0) {
    error = Errno("read MAC of " + interface_);
    return false;
  }
  std::memcpy(mac.data(), req.ifr_hwaddr.sa_data, 6);
  return true;
}

}  // namespace nv::switchbox
