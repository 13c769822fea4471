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
  std::uint32_t leaseSeconds = kLeaseSeconds;
};

// Strict dotted quad: four decimal parts 0..255, digits only, no leading sign or spaces.
bool ParseDottedIpv4(std::string_view text, Ipv4& out) noexcept;

// Name servers from the record's text: one dotted address, or several separated by commas,
// semicolons or blanks. Tokens that are not addresses are skipped; at most kMaxNameServers.
std::vector<Ipv4> ParseNameServers(std::string_view text);

enum class LeaseConfigError { kNone, kNoAddress, kBadMac };
const char* LeaseConfigErrorText(LeaseConfigError error) noexcept;

// Takes the record apart. The text field is read only up to its 256 bytes, so a record
// without a terminating zero cannot lead past it. The server identifier is the gateway, or
// the offered address itself when there is no gateway.
LeaseConfigError MakeLeaseConfig(const _uIPINFO& info, LeaseConfig& out);

}  // namespace nvserv
