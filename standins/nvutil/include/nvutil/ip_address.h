// An IPv4 or IPv6 address as the wire carries it (first byte first), for the tables that hold
// both families: addresses, routes, neighbour entries and name servers of an adapter.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nvutil {

struct IpAddress {
  std::uint8_t version = 0;  // 4 or 6; 0: no address
  std::array<std::uint8_t, 16> bytes{};

  static IpAddress V4(std::uint32_t address) noexcept;  // from the first-octet-high number
  // From 4 or 16 wire bytes; nothing for any other length.
  static std::optional<IpAddress> FromBytes(const std::uint8_t* data, std::size_t len) noexcept;

  [[nodiscard]] std::size_t size() const noexcept { return version == 6 ? 16 : version == 4 ? 4 : 0; }
  [[nodiscard]] std::uint32_t v4() const noexcept;  // the IPv4 number; 0 for IPv6
  // fe80::/10 and 169.254.0.0/16: valid on one link only, never a network's identity.
  [[nodiscard]] bool linkLocal() const noexcept;
  [[nodiscard]] bool multicast() const noexcept;
  [[nodiscard]] bool unspecified() const noexcept;
  // Whether this address lies in `prefix`/`length` (same family only).
  [[nodiscard]] bool InPrefix(const IpAddress& prefix, int length) const noexcept;

  bool operator==(const IpAddress& o) const noexcept { return version == o.version && bytes == o.bytes; }
  bool operator!=(const IpAddress& o) const noexcept { return !(*this == o); }
  bool operator<(const IpAddress& o) const noexcept {
    return version != o.version ? version < o.version : bytes < o.bytes;
  }
};

// Dotted quad for IPv4, the shortest RFC 5952 form for IPv6.
std::string FormatIp(const IpAddress& address);
// Either form; nothing for anything else (no zone index, no embedded IPv4 in IPv6 text).
std::optional<IpAddress> ParseIp(std::string_view text) noexcept;

}  // namespace nvutil
