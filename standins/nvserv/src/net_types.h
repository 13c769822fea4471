// Small value types shared by the DHCP code: addresses as the wire and the record carry them.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace nvserv {

using MacAddress = std::array<std::uint8_t, 6>;
// IPv4 address with the first octet in the most significant byte.
using Ipv4 = std::uint32_t;

inline constexpr Ipv4 kBroadcastIp = 0xFFFFFFFFu;
inline constexpr MacAddress kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline constexpr std::uint16_t kServerPort = 67;
inline constexpr std::uint16_t kClientPort = 68;

// "a.b.c.d" and "aa-bb-cc-dd-ee-ff" for traces and error texts.
std::string FormatIpv4(Ipv4 ip);
std::string FormatMac(const MacAddress& mac);

inline void PutBe16(std::uint8_t* p, std::uint16_t v) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline void PutBe32(std::uint8_t* p, std::uint32_t v) noexcept {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}
inline std::uint16_t GetBe16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t GetBe32(const std::uint8_t* p) noexcept {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

}  // namespace nvserv
