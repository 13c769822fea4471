// Windows: a Winsock UDP responder on port 67 that answers by broadcast (or by unicast to a
// client that already holds an address).
//
// It cannot answer this machine's own adapter: the adapter's DHCP client sends its requests out
// on the wire, never through the local IP stack to our socket, and takes its answers from the
// wire only.  So arming for the own adapter is refused with that reason: a fixed-settings change
// must not believe an emulation armed that will never answer.
#pragma once
#include <cstdint>
#include <memory>

#include "src/transport.h"

namespace nvserv {

struct WinsockTransportOptions {
  Ipv4 bindAddress = 0;  // 0: every interface
  std::uint16_t port = kServerPort;
  bool requireAdapter = true;  // Arm fails when no adapter has the MAC
  // Arm fails (after the adapter check) because the own adapter's client cannot reach us.  Only
  // tests that play the client through a socket of their own turn this off.
  bool refuseOwnAdapter = true;
};

// The reason Arm gives on Windows.
inline constexpr const char* kOwnClientUnreachable =
    "this machine's own DHCP client cannot be answered on Windows: its requests go out on the "
    "wire and never reach a local UDP socket";

std::unique_ptr<DhcpTransport> MakeWinsockTransport(const WinsockTransportOptions& options);

}  // namespace nvserv
