#include "control_frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "netvane/switch_frame.h"

using namespace nv::switchbox;
using nv::core::MakeRGFrame;

namespace {

std::uint32_t Index(Network net) { return net == Network::A ? 0 : 1; }

const Mac kMac = {0x02, 0x6e, 0x76, 0x00, 0x00, 0x01};

std::vector<std::uint8_t> Frame(Network net, bool lead) {
  const auto f = MakeRGFrame(kMac, lead, Index(net));
  return {f.begin(), f.end()};
}

}  // namespace

TEST(ControlFrame, WireBytesAreReadAsTheBoxSeesThem) {
  // Written out by hand, so the box's reading does not lean on the product's builder.
  std::vector<std::uint8_t> f = {0x55, 0x55, 0x55, 0x55, 0x55, 0xD5, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0xFF, 0x02, 0x6e, 0x76, 0x00, 0x00, 0x01, 0x00, 0x26,
                                 0x02, 0x6e, 0x76, 0x00, 0x00, 0x01, 0x55, 0x55};
  f.resize(60);
  Verdict v = ParseControlFrame(f.data(), f.size());
  ASSERT_TRUE(v.IsCommand()) << Describe(v.ignored);
  EXPECT_TRUE(v.lead);
  EXPECT_EQ(v.network, Network::B);
  EXPECT_EQ(v.mac, kMac);

  f.erase(f.begin(), f.begin() + 6);  // the same frame without the lead
  f.resize(60);
  f[20] = f[21] = 0xAA;
  v = ParseControlFrame(f.data(), f.size());
  ASSERT_TRUE(v.IsCommand()) << Describe(v.ignored);
  EXPECT_FALSE(v.lead);
  EXPECT_EQ(v.network, Network::A);
}

TEST(ControlFrame, TheProductsFramesAreRecognisedWithAndWithoutLead) {
  struct Case {
    Network net;
    bool lead;
  } cases[] = {{Network::A, false}, {Network::B, false}, {Network::A, true}, {Network::B, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "B=" << (c.net == Network::B) << " lead=" << c.lead);
    const auto f = Frame(c.net, c.lead);
    const Verdict v = ParseControlFrame(f.data(), f.size());
    ASSERT_TRUE(v.IsCommand()) << Describe(v.ignored);
    EXPECT_EQ(v.network, c.net);
    EXPECT_EQ(v.lead, c.lead);
    EXPECT_EQ(v.mac, kMac);
  }
}

TEST(ControlFrame, LongerFramesQualifyByTheirFirstSixtyBytes) {
  auto f = Frame(Network::B, false);
  f.insert(f.end(), {0xDE, 0xAD, 0xBE, 0xEF});  // e.g. a frame check sequence
  EXPECT_TRUE(ParseControlFrame(f.data(), f.size()).IsCommand());
}

TEST(ControlFrame, EveryOtherFrameIsIgnoredWithItsReason) {
  struct Case {
    const char* what;
    bool lead;
    std::size_t offset;  // relative to the frame start p
    std::uint8_t value;
    Ignored reason;
  } cases[] = {
      {"unicast destination", false, 0, 0x02, Ignored::NotBroadcast},
      {"last destination byte", true, 5, 0xFE, Ignored::NotBroadcast},
      {"type 00 27", false, 13, 0x27, Ignored::WrongType},
      {"type 08 26", true, 12, 0x08, Ignored::WrongType},
      {"second MAC differs first byte", false, 14, 0x03, Ignored::MacMismatch},
      {"second MAC differs last byte", true, 19, 0x02, Ignored::MacMismatch},
      {"command AA 55", false, 21, 0x55, Ignored::UnknownCommand},
      {"command 00 00", true, 20, 0x00, Ignored::UnknownCommand},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto f = Frame(Network::A, c.lead);
    f[(c.lead ? kLeadSize : 0) + c.offset] = c.value;
    const Verdict v = ParseControlFrame(f.data(), f.size());
    EXPECT_FALSE(v.IsCommand());
    EXPECT_EQ(v.ignored, c.reason) << Describe(v.ignored);
  }
}

TEST(ControlFrame, ShortOrMissingDataIsIgnoredWithoutReadingPastIt) {
  const auto f = Frame(Network::B, true);
  for (std::size_t size : {0u, 1u, 14u, 27u, 59u}) {
    SCOPED_TRACE(size);
    // An exactly sized copy lets the sanitizer catch any read past the end.
    const std::vector<std::uint8_t> cut(f.begin(), f.begin() + static_cast<long>(size));
    EXPECT_EQ(ParseControlFrame(cut.data(), cut.size()).ignored, Ignored::TooShort);
  }
  EXPECT_EQ(ParseControlFrame(nullptr, 60).ignored, Ignored::TooShort);
}

TEST(ControlFrame, BrokenLeadIsReadAsAFrameWithoutOne) {
  // 55 55 55 55 55 D4 is not the lead, and as a destination it is not broadcast.
  auto f = Frame(Network::B, true);
  f[5] = 0xD4;
  EXPECT_EQ(ParseControlFrame(f.data(), f.size()).ignored, Ignored::NotBroadcast);
}

TEST(ControlFrame, OnlyFramesClaimingToBeControlFramesLookLikeOne) {
  const auto plain = Frame(Network::A, false);
  const auto led = Frame(Network::B, true);
  std::vector<std::uint8_t> arp(42, 0);
  arp[12] = 0x08;
  arp[13] = 0x06;
  EXPECT_TRUE(LooksLikeControlFrame(plain.data(), plain.size()));
  EXPECT_TRUE(LooksLikeControlFrame(plain.data(), 14));  // cut short, still a claim
  EXPECT_TRUE(LooksLikeControlFrame(led.data(), 6));
  EXPECT_FALSE(LooksLikeControlFrame(arp.data(), arp.size()));
  EXPECT_FALSE(LooksLikeControlFrame(plain.data(), 13));
  EXPECT_FALSE(LooksLikeControlFrame(nullptr, 60));
}

TEST(ControlFrame, MacIsFormattedLowerCaseWithColons) {
  EXPECT_EQ(FormatMac({0x02, 0x6E, 0x76, 0x00, 0xAB, 0x01}), "02:6e:76:00:ab:01");
}
