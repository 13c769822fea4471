#include "src/frame_builder.h"

#include <algorithm>

namespace nvserv {
namespace {

std::uint32_t SumWords(const std::uint8_t* data, std::size_t size, std::uint32_t sum) noexcept {
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += GetBe16(data + i);
  if (size % 2 != 0) sum += static_cast<std::uint32_t>(data[size - 1]) << 8;
  return sum;
}

std::uint16_t Fold(std::uint32_t sum) noexcept {
  while (sum >> 16) sum = (sum & 0xFFFFu) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xFFFFu);
}

}  // namespace

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size,
                               std::uint32_t initialSum) noexcept {
  // Fold as we go so that large inputs cannot overflow the 32-bit sum.
  std::uint32_t sum = initialSum;
  constexpr std::size_t kChunk = 32768;
  for (std::size_t off = 0; off < size; off += kChunk) {
    const std::size_t n = std::min(kChunk, size - off);
    sum = SumWords(data + off, n, sum);
    sum = (sum & 0xFFFFu) + (sum >> 16);
  }
  return Fold(sum);
}

std::vector<std::uint8_t> BuildUdpFrame(const UdpFrameAddressing& a, const std::uint8_t* payload,
                                        std::size_t size) {
  const std::size_t udpLength = kUdpHeaderSize + size;
  const std::size_t ipLength = kIpv4HeaderSize + udpLength;
  if (ipLength > 0xFFFF || (size > 0 && payload == nullptr)) return {};

  std::vector<std::uint8_t> frame(kEthernetHeaderSize + ipLength, 0);
  std::uint8_t* eth = frame.data();
  std::copy(a.dstMac.begin(), a.dstMac.end(), eth);
  std::copy(a.srcMac.begin(), a.srcMac.end(), eth + 6);
  PutBe16(eth + 12, kEtherTypeIpv4);

  std::uint8_t* ip = eth + kEthernetHeaderSize;
  ip[0] = 0x45;  // version 4, header of five 32-bit words
  PutBe16(ip + 2, static_cast<std::uint16_t>(ipLength));
  ip[8] = 64;  // TTL
  ip[9] = kIpProtocolUdp;
  PutBe32(ip + 12, a.srcIp);
  PutBe32(ip + 16, a.dstIp);
  PutBe16(ip + 10, InternetChecksum(ip, kIpv4HeaderSize));

  std::uint8_t* udp = ip + kIpv4HeaderSize;
  PutBe16(udp, a.srcPort);
  PutBe16(udp + 2, a.dstPort);
  PutBe16(udp + 4, static_cast<std::uint16_t>(udpLength));
  std::copy(payload, payload + size, udp + kUdpHeaderSize);

  std::uint8_t pseudo[12];
  PutBe32(pseudo, a.srcIp);
  PutBe32(pseudo + 4, a.dstIp);
  pseudo[8] = 0;
  pseudo[9] = kIpProtocolUdp;
  PutBe16(pseudo + 10, static_cast<std::uint16_t>(udpLength));
  std::uint32_t pseudoSum = 0;
  for (std::size_t i = 0; i < sizeof pseudo; i += 2) pseudoSum += GetBe16(pseudo + i);
  std::uint16_t udpSum = InternetChecksum(udp, udpLength, pseudoSum);
  if (udpSum == 0) udpSum = 0xFFFF;  // zero would mean "no checksum"
  PutBe16(udp + 6, udpSum);
  return frame;
}

bool ParseIpv4Udp(const std::uint8_t* packet, std::size_t size, UdpDatagramView& out) noexcept {
  out = UdpDatagramView{};
  if (packet == nullptr || size < kIpv4HeaderSize) return false;
  if ((packet[0] >> 4) != 4) return false;
  const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
  const std::size_t totalSize = GetBe16(packet + 2);
  if (headerSize < kIpv4HeaderSize || totalSize < headerSize + kUdpHeaderSize || totalSize > size)
    return false;
  if ((GetBe16(packet + 6) & 0x3FFF) != 0) return false;  // more fragments, or not the first one
  if (packet[9] != kIpProtocolUdp) return false;
  if (InternetChecksum(packet, headerSize) != 0) return false;
  const std::uint8_t* udp = packet + headerSize;
  const std::size_t udpSize = GetBe16(udp + 4);
  if (udpSize < kUdpHeaderSize || udpSize > totalSize - headerSize) return false;
  out.srcIp = GetBe32(packet + 12);
  out.dstIp = GetBe32(packet + 16);
  out.srcPort = GetBe16(udp);
  out.dstPort = GetBe16(udp + 2);
  out.payload = udp + kUdpHeaderSize;
  out.size = udpSize - kUdpHeaderSize;
  return true;
}

}  // namespace nvserv
