// The settings the emulation answers with, taken from the record the tray program hands over.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nvserv/ipinfo.h"
#include "src/net_types.h"

namespace nvserv {

// Infinite: once the emulation stops nothing answers a renewal, and a finite lease would
// take the fixed address away when it ran out.
inline constexpr std::uint32_t kLeaseSeconds = 0xFFFFFFFFu;
inline constexpr std::size_t kMaxNameServers = 4;

struct LeaseConfig {
  MacAddress mac{};
  Ipv4 address = 0;
  Ipv4 subnetMask = 0;
  Ipv4 router = 0;  // 0: no router option
  std::vector<Ipv4> nameServers;
  Ipv4 serverId = 0;
  // True when serverId is one we made up on the adapter's own subnet: nobody on the wire
  // answers ARP for it, so while armed the adapter is told where it is (a client that renews
  // by unicast would otherwise never get its request out).
  bool serverIdPinned = false;
  // The client declined the address (another host holds it): it is offered no more.
  bool declined = false;
  std::uint32_t leaseSeconds = kLeaseSeconds;
};

// The server identifier for these settings, never the client's own address: the gateway when
// there is one. Otherwise the subnet's network address (host part zero), which no host may
// hold, so it cannot clash with anyone on the wire; on a /31 or /32 subnet, where there is
// no such address, 192.0.0.8, the address reserved as a stand-in that no interface is given.
// `pinned` says whether the identifier is one made up on the subnet (see LeaseConfig).
Ipv4 ChooseServerId(Ipv4 address, Ipv4 subnetMask, Ipv4 router, bool& pinned) noexcept;
inline constexpr Ipv4 kDummyServerId = 0xC0000008u;  // 192.0.0.8

// Strict dotted quad: four decimal parts 0..255, digits only, no leading sign or spaces.
bool ParseDottedIpv4(std::string_view text, Ipv4& out) noexcept;

// Name servers from the record's text: one dotted address, or several separated by commas,
// semicolons or blanks. Tokens that are not addresses are skipped; at most kMaxNameServers.
std::vector<Ipv4> ParseNameServers(std::string_view text);

enum class LeaseConfigError { kNone, kNoAddress, kBadMac };
const char* LeaseConfigErrorText(LeaseConfigError error) noexcept;

// Takes the record apart. The text field is read only up to its 256 bytes, so a record
// without a terminating zero cannot lead past it. The server identifier: ChooseServerId.
LeaseConfigError MakeLeaseConfig(const _uIPINFO& info, LeaseConfig& out);

}  // namespace nvserv
