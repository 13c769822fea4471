// Frames handed to the adapter must pass the receiving stack's checks (lengths, checksums).
#include "src/frame_builder.h"

#include <gtest/gtest.h>

#include <numeric>

namespace nvserv {
namespace {

std::uint16_t Be16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

TEST(InternetChecksum, MatchesTheWorkedExampleOfRfc1071) {
  const std::uint8_t data[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  EXPECT_EQ(InternetChecksum(data, sizeof data), static_cast<std::uint16_t>(~0xddf2));
  const std::uint8_t odd[] = {0x01};  // the odd byte counts as the high half of a word
  EXPECT_EQ(InternetChecksum(odd, 1), static_cast<std::uint16_t>(~0x0100));
}

UdpFrameAddressing Addressing() {
  UdpFrameAddressing a;
  a.srcMac = {0x02, 0, 0, 0, 0, 1};
  a.dstMac = kBroadcastMac;
  a.srcIp = 0x0a4d0001;
  a.dstIp = kBroadcastIp;
  a.srcPort = 67;
  a.dstPort = 68;
  return a;
}

TEST(UdpFrame, HeadersAndChecksumsVerifyForEvenAndOddPayloads) {
  for (std::size_t size : {0u, 1u, 300u, 301u, 1400u}) {
    SCOPED_TRACE(size);
    std::vector<std::uint8_t> payload(size);
    std::iota(payload.begin(), payload.end(), 7);
    const auto frame = BuildUdpFrame(Addressing(), payload.data(), payload.size());
    ASSERT_EQ(frame.size(), 14 + 20 + 8 + size);
    EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + 6, kBroadcastMac.begin()));
    EXPECT_EQ(frame[6], 0x02);
    EXPECT_EQ(Be16(frame, 12), 0x0800);

    const std::uint8_t* ip = frame.data() + 14;
    EXPECT_EQ(ip[0], 0x45);
    EXPECT_EQ(Be16(frame, 14 + 2), 20 + 8 + size);
    EXPECT_EQ(ip[9], 17);
    EXPECT_GT(ip[8], 0) << "TTL";
    EXPECT_EQ(InternetChecksum(ip, 20), 0) << "IP header checksum verifies";

    EXPECT_EQ(Be16(frame, 34), 67);
    EXPECT_EQ(Be16(frame, 36), 68);
    EXPECT_EQ(Be16(frame, 38), 8 + size);
    EXPECT_NE(Be16(frame, 40), 0) << "checksum present";
    // Receiver's check: pseudo-header + UDP header + data sums to all ones.
    const std::uint8_t pseudo[12] = {ip[12],
                                     ip[13],
                                     ip[14],
                                     ip[15],
                                     ip[16],
                                     ip[17],
                                     ip[18],
                                     ip[19],
                                     0,
                                     17,
                                     static_cast<std::uint8_t>((8 + size) >> 8),
                                     static_cast<std::uint8_t>(8 + size)};
    std::uint32_t sum = 0;
    for (int i = 0; i < 12; i += 2) sum += static_cast<std::uint32_t>((pseudo[i] << 8) | pseudo[i + 1]);
    EXPECT_EQ(InternetChecksum(frame.data() + 34, 8 + size, sum), 0);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + 42));
  }
}

TEST(UdpFrame, RefusesAPayloadThatCannotFitOneDatagram) {
  std::vector<std::uint8_t> payload(65536 - 28);
  EXPECT_TRUE(BuildUdpFrame(Addressing(), payload.data(), payload.size()).empty());
  EXPECT_FALSE(BuildUdpFrame(Addressing(), payload.data(), payload.size() - 1).empty());
}

// A header checksum that verifies again after a change.
void FixHeaderSum(std::vector<std::uint8_t>& p) {
  p[10] = p[11] = 0;
  const std::uint16_t sum = InternetChecksum(p.data(), 20);
  p[10] = static_cast<std::uint8_t>(sum >> 8);
  p[11] = static_cast<std::uint8_t>(sum);
}

TEST(UdpFrame, ReadsBackWhatWasBuiltAndRefusesWhatIsNotOneWholeDatagram) {
  const std::vector<std::uint8_t> payload = {1, 2, 3, 4, 5};
  const auto frame = BuildUdpFrame(Addressing(), payload.data(), payload.size());
  std::vector<std::uint8_t> packet(frame.begin() + 14, frame.end());
  packet.push_back(0xEE);  // link-layer padding after the datagram is not part of it
  UdpDatagramView v;
  ASSERT_TRUE(ParseIpv4Udp(packet.data(), packet.size(), v));
  EXPECT_EQ(v.srcIp, 0x0a4d0001u);
  EXPECT_EQ(v.dstIp, kBroadcastIp);
  EXPECT_EQ(v.srcPort, 67);
  EXPECT_EQ(v.dstPort, 68);
  ASSERT_EQ(v.size, payload.size());
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), v.payload));

  struct Case {
    const char* name;
    void (*change)(std::vector<std::uint8_t>&);
  };
  const Case cases[] = {
      {"truncated header", [](std::vector<std::uint8_t>& p) { p.resize(19); }},
      {"shorter than its total length", [](std::vector<std::uint8_t>& p) { p.resize(p.size() - 3); }},
      {"IPv6", [](std::vector<std::uint8_t>& p) { p[0] = 0x65; }},
      {"header length below 20", [](std::vector<std::uint8_t>& p) { p[0] = 0x44, FixHeaderSum(p); }},
      {"bad header checksum", [](std::vector<std::uint8_t>& p) { p[10] ^= 1; }},
      {"TCP", [](std::vector<std::uint8_t>& p) { p[9] = 6, FixHeaderSum(p); }},
      {"first fragment", [](std::vector<std::uint8_t>& p) { p[6] = 0x20, FixHeaderSum(p); }},
      {"later fragment", [](std::vector<std::uint8_t>& p) { p[7] = 0x10, FixHeaderSum(p); }},
      {"UDP length past the packet", [](std::vector<std::uint8_t>& p) { p[24] = 0x10; }},
      {"UDP length below its header", [](std::vector<std::uint8_t>& p) { p[24] = 0, p[25] = 7; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> bad(frame.begin() + 14, frame.end());
    c.change(bad);
    EXPECT_FALSE(ParseIpv4Udp(bad.data(), bad.size(), v));
  }
  std::vector<std::uint8_t> dontFragment(frame.begin() + 14, frame.end());
  dontFragment[6] = 0x40;
  FixHeaderSum(dontFragment);
  EXPECT_TRUE(ParseIpv4Udp(dontFragment.data(), dontFragment.size(), v)) << "DF is no fragment";
}

}  // namespace
}  // namespace nvserv
