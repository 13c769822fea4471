#include "posix/interface_lookup.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>

#include <cstring>

namespace nvserv::posix {

bool FindInterfaceByMac(const MacAddress& mac, InterfaceInfo& out) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool found = false;
  for (const ifaddrs* it = list; it != nullptr && !found; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_PACKET) continue;
    if ((it->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const auto* ll = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
    if (ll->sll_halen != mac.size() || std::memcmp(ll->sll_addr, mac.data(), mac.size()) != 0) continue;
    out.name = it->ifa_name;
    out.index = ll->sll_ifindex;
    found = true;
  }
  ::freeifaddrs(list);
  return found;
}

}  // namespace nvserv::posix
