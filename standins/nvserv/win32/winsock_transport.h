// Windows: a Winsock UDP responder on port 67 that answers by broadcast (or by unicast to a
// client that already holds an address).
#pragma once
#include <cstdint>
#include <memory>

#include "src/transport.h"

namespace nvserv {

struct WinsockTransportOptions {
  Ipv4 bindAddress = 0;  // 0: every interface
  std::uint16_t port = kServerPort;
  bool requireAdapter = true;  // Arm fails when no adapter has the MAC
};

std::unique_ptr<DhcpTransport> MakeWinsockTransport(const WinsockTransportOptions& options);

}  // namespace nvserv
