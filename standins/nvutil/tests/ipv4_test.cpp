#include <gtest/gtest.h>

#include "nvutil/ipv4.h"

using namespace nvutil;

TEST(Ipv4, DottedTextParsesFirstOctetIntoTheMostSignificantByte) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {"0.0.0.0", 0u},
      {"192.168.1.254", 0xC0A801FEu},
      {"255.255.255.255", 0xFFFFFFFFu},
      {"10.0.0.1", 0x0A000001u},
      {"256.1.1.1", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1.2.3.4.", std::nullopt},
      {"1.2.3.4 ", std::nullopt},
      {" 1.2.3.4", std::nullopt},
      {"1..3.4", std::nullopt},
      {"0x1.2.3.4", std::nullopt},
      {"1.2.3.0004", std::nullopt},
      {"-1.2.3.4", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDotted(c.text), c.value);
    if (c.value) {
      EXPECT_EQ(FormatDotted(*c.value), c.text);
    }
  }
}

TEST(Ipv4, WireBytesPutTheFirstOctetFirst) {
  const auto bytes = ToWireBytes(0xC0A80102u);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{192, 168, 1, 2}));
  EXPECT_EQ(FromWireBytes(bytes.data()), 0xC0A80102u);
}

TEST(Ipv4, OnlyContiguousMasksHaveAPrefixLength) {
  EXPECT_EQ(MaskToPrefixLength(0), 0);
  EXPECT_EQ(MaskToPrefixLength(0xFFFFFF00u), 24);
  EXPECT_EQ(MaskToPrefixLength(0xFFFFFFFFu), 32);
  EXPECT_EQ(MaskToPrefixLength(0xFFFFFFFEu), 31);
  EXPECT_EQ(MaskToPrefixLength(0xFF00FF00u), std::nullopt);
  EXPECT_EQ(MaskToPrefixLength(0x00FFFFFFu), std::nullopt);
  for (int prefix = 0; prefix <= 32; ++prefix)
    EXPECT_EQ(MaskToPrefixLength(PrefixLengthToMask(prefix)), prefix);
}

TEST(Ipv4, MacTextIsLowerCaseHexWithDashes) {
  EXPECT_EQ(FormatMac({0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xFF}), "00-1a-2b-c3-d4-ff");
  EXPECT_TRUE(IsZeroMac({}));
  EXPECT_FALSE(IsZeroMac({0, 0, 0, 0, 0, 1}));
}

TEST(Ipv4, InterfaceNumbersAreDecimalAndPositive) {
  EXPECT_EQ(ParseInterfaceNumber("12"), 12u);
  EXPECT_EQ(ParseInterfaceNumber("4294967295"), 4294967295u);
  EXPECT_EQ(ParseInterfaceNumber("4294967296"), std::nullopt);
  EXPECT_EQ(ParseInterfaceNumber("0"), std::nullopt);
  EXPECT_EQ(ParseInterfaceNumber("eth0"), std::nullopt);
  EXPECT_EQ(ParseInterfaceNumber(""), std::nullopt);
}
