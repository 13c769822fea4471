// Linux: the adapter is a network interface, reached through an AF_PACKET socket bound to it.
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/posix_fd.h"
#include "rgtarn/nic_link.h"

namespace rgtarn {
namespace {

using nv::posix::UniqueFd;

bool FillIfreq(ifreq& request, const std::string& name) noexcept {
  if (name.empty() || name.size() >= IFNAMSIZ) return false;
  std::memset(&request, 0, sizeof(request));
  std::memcpy(request.ifr_name, name.c_str(), name.size() + 1);
  return true;
}

// The interface's Ethernet address; false for interfaces without one (loopback, tunnels).
bool ReadEthernetMac(int fd, const std::string& name, std::array<unsigned char, 6>& mac) noexcept {
  ifreq request;
  if (!FillIfreq(request, name) || ::ioctl(fd, SIOCGIFHWADDR, &request) != 0) return false;
  if (request.ifr_hwaddr.sa_family != ARPHRD_ETHER) return false;
  std::memcpy(mac.data(), request.ifr_hwaddr.sa_data, mac.size());
  return true;
}

class PacketSocketLink final : public NicLink {
 public:
  PacketSocketLink(UniqueFd fd, std::string name) noexcept : fd_(std::move(fd)), name_(std::move(name)) {}

  bool ReadMac(std::array<unsigned char, 6>& mac) noexcept override {
    return ReadEthernetMac(fd_.get(), name_, mac);
  }

  bool ReadyToSend() noexcept override {
    ifreq request;
    return FillIfreq(request, name_) && ::ioctl(fd_.get(), SIOCGIFFLAGS, &request) == 0 &&
           (request.ifr_flags & IFF_UP) != 0;
  }

  bool Send(const unsigned char* frame, std::size_t length) noexcept override {
    const ssize_t sent = ::send(fd_.get(), frame, length, MSG_NOSIGNAL);
    return sent >= 0 && static_cast<std::size_t>(sent) == length;
  }

 private:
  UniqueFd fd_;
  std::string name_;
};

}  // namespace

std::unique_ptr<NicLink> OpenPlatformLink(const std::string& service) noexcept try {
  ifreq request;
  if (!FillIfreq(request, service)) return nullptr;
  const unsigned index = ::if_nametoindex(service.c_str());
  if (index == 0) return nullptr;
  // Protocol 0: the socket sends only and never queues received frames.
  UniqueFd fd(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));
  if (!fd) return nullptr;
  sockaddr_ll address{};
  address.sll_family = AF_PACKET;
  address.sll_protocol = 0;
  address.sll_ifindex = static_cast<int>(index);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return nullptr;
  std::array<unsigned char, 6> mac{};
  if (!ReadEthernetMac(fd.get(), service, mac)) return nullptr;  // only Ethernet adapters are served
  return std::make_unique<PacketSocketLink>(std::move(fd), service);
} catch (...) {
  return nullptr;
}

std::vector<NicInfo> ListPlatformNics() noexcept try {
  std::vector<NicInfo> nics;
  UniqueFd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!probe) return nics;
  std::unique_ptr<struct if_nameindex, decltype(&::if_freenameindex)> names(::if_nameindex(),
                                                                            &::if_freenameindex);
  if (!names) return nics;
  for (const struct if_nameindex* it = names.get(); it->if_index != 0; ++it) {
    NicInfo nic;
    nic.service = it->if_name;
    nic.description = it->if_name;
    if (ReadEthernetMac(probe.get(), nic.service, nic.mac)) nics.push_back(std::move(nic));
  }
  return nics;
} catch (...) {
  return {};
}

}  // namespace rgtarn
