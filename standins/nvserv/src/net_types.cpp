#include "src/net_types.h"

#include <cstdio>

namespace nvserv {

std::string FormatIpv4(Ipv4 ip) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (ip >> 24) & 0xFFu, (ip >> 16) & 0xFFu, (ip >> 8) & 0xFFu,
                ip & 0xFFu);
  return text;
}

std::string FormatMac(const MacAddress& mac) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return text;
}

}  // namespace nvserv
