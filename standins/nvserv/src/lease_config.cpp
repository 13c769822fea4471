#include "src/lease_config.h"

#include <algorithm>

namespace nvserv {

bool ParseDottedIpv4(std::string_view text, Ipv4& out) noexcept {
  Ipv4 value = 0;
  int parts = 0;
  std::size_t pos = 0;
  while (parts < 4) {
    if (pos >= text.size()) return false;
    unsigned part = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      part = part * 10 + static_cast<unsigned>(text[pos] - '0');
      if (++digits > 3 || part > 255) return false;
      ++pos;
    }
    if (digits == 0) return false;
    value = (value << 8) | part;
    if (++parts < 4) {
      if (pos >= text.size() || text[pos] != '.') return false;
      ++pos;
    }
  }
  if (pos != text.size()) return false;
  out = value;
  return true;
}

std::vector<Ipv4> ParseNameServers(std::string_view text) {
  std::vector<Ipv4> servers;
  const auto isSeparator = [](char c) { return c == ',' || c == ';' || c == ' ' || c == '\t'; };
  std::size_t pos = 0;
  while (pos < text.size() && servers.size() < kMaxNameServers) {
    while (pos < text.size() && isSeparator(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    Ipv4 ip = 0;
    if (end > pos && ParseDottedIpv4(text.substr(pos, end - pos), ip) && ip != 0) servers.push_back(ip);
    pos = end;
  }
  return servers;
}

const char* LeaseConfigErrorText(LeaseConfigError error) noexcept {
  switch (error) {
    case LeaseConfigError::kNone:
      return "ok";
    case LeaseConfigError::kNoAddress:
      return "no address to hand out (0.0.0.0 or 255.255.255.255)";
    case LeaseConfigError::kBadMac:
      return "adapter MAC is all zero, broadcast or multicast";
  }
  return "unknown";
}

Ipv4 ChooseServerId(Ipv4 address, Ipv4 subnetMask, Ipv4 router, bool& pinned) noexcept {
  pinned = false;
  if (router != 0 && router != address && router != kBroadcastIp) return router;
  // Only a contiguous mask of at most 30 bits leaves a network address apart from the hosts'.
  const Ipv4 hostBits = ~subnetMask;
  const bool contiguous = (hostBits & (hostBits + 1)) == 0;
  if (contiguous && hostBits >= 3) {
    const Ipv4 network = address & subnetMask;
    if (network != address && network != 0) {
      pinned = true;
      return network;
    }
  }
  return kDummyServerId;
}

LeaseConfigError MakeLeaseConfig(const _uIPINFO& info, LeaseConfig& out) {
  LeaseConfig config;
  std::copy(std::begin(info.ucMacAddr), std::end(info.ucMacAddr), config.mac.begin());
  config.address = info.dwIPAddr;
  config.subnetMask = info.dwSubnetMask;
  config.router = info.dwGateway;
  const char* dnsEnd = std::find(std::begin(info.szDns), std::end(info.szDns), '\0');
  const auto dnsLength = static_cast<std::size_t>(dnsEnd - info.szDns);
  config.nameServers = ParseNameServers(std::string_view(info.szDns, dnsLength));
  config.serverId = ChooseServerId(config.address, config.subnetMask, config.router, config.serverIdPinned);

  if (config.address == 0 || config.address == kBroadcastIp) return LeaseConfigError::kNoAddress;
  const bool allZero =
      std::all_of(config.mac.begin(), config.mac.end(), [](std::uint8_t b) { return b == 0; });
  if (allZero || (config.mac[0] & 0x01) != 0) return LeaseConfigError::kBadMac;
  out = std::move(config);
  return LeaseConfigError::kNone;
}

}  // namespace nvserv
