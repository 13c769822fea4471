#include <gtest/gtest.h>

#include "netvane/cfginfo.h"
#include "netvane/net_indicator.h"

namespace {

class NetIndicatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cfg_.szNet[0] = "INTRA";
    cfg_.szNet[1] = "INTER";
    display_.SetPump([this] { ++pumps_; });
  }

  CCfginfo cfg_;
  CNetIndicator display_{cfg_};
  int pumps_ = 0;
};

TEST_F(NetIndicatorTest, ChangeToBShowsItsNameAndColourWithProgress) {
  display_.SetNetwork(1);
  EXPECT_TRUE(display_.progressOpen());
  EXPECT_EQ(display_.networkName(), "INTER");
  EXPECT_EQ(display_.colour(), 0x0000FFu);
  display_.SetProgress(6, "Disconnecting network drive");
  EXPECT_EQ(display_.position(), 6);
  EXPECT_EQ(display_.statusLine(), "Disconnecting network drive");
  EXPECT_EQ(pumps_, 1);
  EXPECT_EQ(display_.Finish(), "INTER");
  EXPECT_FALSE(display_.progressOpen());
}

TEST_F(NetIndicatorTest, SendingDetailsShowOnlyWhileDebugging) {
  for (uint32_t debug : {0u, 2u}) {
    SCOPED_TRACE("dwDebug " + std::to_string(debug));
    cfg_.dwDebug = debug;
    display_.SetNetwork(0);
    display_.Progress(55, "Packet Sending (3)");
    EXPECT_EQ(display_.position(), 55);
    EXPECT_EQ(display_.statusLine(), debug != 0 ? "Packet Sending (3)" : "");
    EXPECT_EQ(display_.colour(), 0xFF0000u);
  }
}

TEST_F(NetIndicatorTest, SilentChangesAndAClosedWindowIgnoreProgress) {
  cfg_.dwSilentChng = 1;
  display_.SetNetwork(1);
  display_.SetProgress(4, "Change Printer Status");
  EXPECT_FALSE(display_.progressOpen());
  EXPECT_EQ(display_.networkName(), "INTER");

  cfg_.dwSilentChng = 0;
  display_.SetNetwork(0);
  display_.CloseProgress();
  display_.SetProgress(10, "Preparering to Packet....");
  EXPECT_EQ(display_.statusLine(), "");
  EXPECT_EQ(pumps_, 0);
}

}  // namespace
