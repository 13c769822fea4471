#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "netvane/switch_frame.h"

using namespace nv::core;

namespace {

std::vector<std::uint8_t> Hex(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::uint8_t> bytes;
  std::string byte;
  while (in >> byte) bytes.push_back(static_cast<std::uint8_t>(std::strtoul(byte.c_str(), nullptr, 16)));
  return bytes;
}

const MacAddress kMac = {0x00, 0x1B, 0x21, 0x3C, 0x4D, 0x5E};
const std::string kMacHex = "00 1B 21 3C 4D 5E ";
const std::string kZeros6 = "00 00 00 00 00 00 ";
const std::string kZeros32 = kZeros6 + kZeros6 + kZeros6 + kZeros6 + kZeros6 + "00 00 ";
const std::string kZeros38 = kZeros32 + kZeros6;

}  // namespace

TEST(SwitchFrame, EveryByteMatchesForBothNetworksPlainAndReversed) {
  struct Case {
    const char* name;
    bool reverse;
    std::uint32_t network;
    std::string expected;
  } cases[] = {
      {"A", false, 0, "FF FF FF FF FF FF " + kMacHex + "00 26 " + kMacHex + "AA AA " + kZeros38},
      {"B", false, 1, "FF FF FF FF FF FF " + kMacHex + "00 26 " + kMacHex + "55 55 " + kZeros38},
      {"B by any non-zero index", false, 7,
       "FF FF FF FF FF FF " + kMacHex + "00 26 " + kMacHex + "55 55 " + kZeros38},
      {"reversed A", true, 0,
       "55 55 55 55 55 D5 FF FF FF FF FF FF " + kMacHex + "00 26 " + kMacHex + "AA AA " + kZeros32},
      {"reversed B", true, 1,
       "55 55 55 55 55 D5 FF FF FF FF FF FF " + kMacHex + "00 26 " + kMacHex + "55 55 " + kZeros32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> expected = Hex(c.expected);
    ASSERT_EQ(expected.size(), kRGFrameSize);
    const RGFrame frame = MakeRGFrame(kMac, c.reverse, c.network);
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin(), frame.end()), expected);
  }
}

TEST(SwitchFrame, SecondsSinceLastSendFollowsTheTickRules) {
  struct Case {
    std::uint32_t now, last, seconds;
  } cases[] = {
      {50000, 50000, 0},       // same tick: no time has passed
      {50001, 50000, 1},       // under a second still counts as one
      {50999, 50000, 1},       //
      {60000, 50000, 10},      //
      {1500, 0xFFFFFC18u, 2},  // the tick count wrapped: 1000 ms before, 1500 ms after
      {100, 0xFFFFFFFFu, 1},   // 101 ms across the wrap
      {0, 1000, 4294966},      // last send "in the future" (tick restarted): a very long time ago
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.now << " - " << c.last);
    EXPECT_EQ(SecondsSinceLastSend(c.now, c.last), c.seconds);
  }
}

TEST(SwitchFrame, IntervalWaitCoversTheRestOfTheIntervalOnly) {
  struct Case {
    std::uint32_t seconds, interval, wait_ms;
  } cases[] = {
      {10, 30, 20000},   // sent 10 s ago with a 30 s interval
      {40, 30, 0},       // interval already over
      {30, 30, 0},       //
      {29, 30, 1000},    //
      {0, 30, 0},        // equal tick: sends at once
      {5, 0, 0},         // no interval configured
      {1, 601, 600000},  // exactly at the bound
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.seconds << " s of " << c.interval << " s");
    EXPECT_EQ(IntervalWaitMs(c.seconds, c.interval), c.wait_ms);
  }
}

TEST(SwitchFrame, HugeIntervalIsCappedInsteadOfOverflowing) {
  // 0xFFFFFFFF s * 1000 does not fit 32 bits; 4294968 s * 1000 wraps to a small number.
  EXPECT_EQ(IntervalWaitMs(1, 0xFFFFFFFFu), kMaxIntervalWaitMs);
  EXPECT_EQ(IntervalWaitMs(1, 4294969u), kMaxIntervalWaitMs);
  EXPECT_EQ(IntervalWaitMs(1, 100000u), kMaxIntervalWaitMs);
}

TEST(SwitchFrame, ProgressRunsFromTheStartPositionToExactlyHundred) {
  std::vector<int> positions;
  for (std::uint32_t i = 0; i < 10; ++i) positions.push_back(FrameProgressPos(i, 10));
  EXPECT_EQ(positions, (std::vector<int>{55, 60, 65, 70, 75, 80, 85, 90, 95, 100}));

  EXPECT_EQ(FrameProgressPos(0, 1), 100);
  EXPECT_EQ(FrameProgressPos(0, 3), 84);  // 1100 / 13
  EXPECT_EQ(FrameProgressPos(2, 3), 100);
  // Large counts neither overflow nor pass 100.
  EXPECT_EQ(FrameProgressPos(0xFFFFFFFEu, 0xFFFFFFFFu), 100);
  EXPECT_EQ(FrameProgressPos(0, 0xFFFFFFFFu), 0);
}
