// Which network interface is the adapter: the one whose hardware address is the given MAC.
#pragma once
#include <string>

#include "src/net_types.h"

namespace nvserv::posix {

struct InterfaceInfo {
  std::string name;
  int index = 0;
};

// First interface (in the kernel's order, loopback skipped) with this MAC; false when none.
bool FindInterfaceByMac(const MacAddress& mac, InterfaceInfo& out);

}  // namespace nvserv::posix
