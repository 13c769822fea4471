// Whole Ethernet frames carrying one UDP datagram over IPv4, for replies that must be handed
// to the adapter as frames rather than through the IP stack.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "src/net_types.h"

namespace nvserv {

inline constexpr std::size_t kEthernetHeaderSize = 14;
inline constexpr std::size_t kIpv4HeaderSize = 20;
inline constexpr std::size_t kUdpHeaderSize = 8;
inline constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
inline constexpr std::uint8_t kIpProtocolUdp = 17;

struct UdpFrameAddressing {
  MacAddress srcMac{};
  MacAddress dstMac{};
  Ipv4 srcIp = 0;
  Ipv4 dstIp = 0;
  std::uint16_t srcPort = 0;
  std::uint16_t dstPort = 0;
};

// Ones'-complement sum of 16-bit words (RFC 1071), folded and complemented.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size,
                               std::uint32_t initialSum = 0) noexcept;

// Ethernet II + IPv4 (no options, TTL 64, checksum filled) + UDP (checksum over the
// pseudo-header filled). Payloads that do not fit one IPv4 datagram give an empty vector.
std::vector<std::uint8_t> BuildUdpFrame(const UdpFrameAddressing& addressing, const std::uint8_t* payload,
                                        std::size_t size);

// One UDP datagram read from an IPv4 packet (no link-layer header); the payload points into
// the packet.
struct UdpDatagramView {
  Ipv4 srcIp = 0;
  Ipv4 dstIp = 0;
  std::uint16_t srcPort = 0;
  std::uint16_t dstPort = 0;
  const std::uint8_t* payload = nullptr;
  std::size_t size = 0;
};

// Reads an IPv4 packet carrying UDP. False for anything else: another version or protocol, a
// fragment, a bad header checksum, or lengths that do not fit the packet. The UDP checksum is
// not checked: a frame reflected on its way out of this host may still carry the partial sum
// that the adapter would have completed.
bool ParseIpv4Udp(const std::uint8_t* packet, std::size_t size, UdpDatagramView& out) noexcept;

}  // namespace nvserv
