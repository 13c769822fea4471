#include <gtest/gtest.h>

#include "corekit/ini_file.h"
#include "netvane/cfginfo.h"
#include "netvane/net_indicator.h"
#include "support/fake_desktop_links.h"
#include "support/recording_windows.h"

namespace {

using nv::core::testing::FakeDesktopLinks;
using nv::core::testing::RecordingWindows;
using Calls = std::vector<std::string>;

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
  EXPECT_EQ(pumps_, 2);  // the window opened, then the step
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
  pumps_ = 0;
  display_.CloseProgress();
  display_.SetProgress(10, "Preparering to Packet....");
  EXPECT_EQ(display_.statusLine(), "");
  EXPECT_EQ(pumps_, 0);
}

// The change display over its windows and the desktop: what a change and an option change draw.
class NetIndicatorWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cfg_.szNet[0] = "INTRANET";
    cfg_.szNet[1] = "INTERNET";
    cfg_.InstalledPath = "C:\\Netvane";
    cfg_.dwOpt = 0x01 | 0x02;
    strings_.SetValue("CommonStr", "szChngMsg1", "Changing to %1 (%1)...");
    strings_.SetValue("CommonStr", "szChngMsg2", "Please wait.");
    display_ = std::make_unique<CNetIndicator>(cfg_, strings_);
    display_->SetWindows(std::make_unique<RecordingWindows>(calls_));
    auto links = std::make_unique<FakeDesktopLinks>();
    links_ = links.get();
    display_->SetDesktopLinks(std::move(links));
    links_->links[links_->folder + "\\INTRANET.LNK"] = "C:\\Netvane\\LDNvChng.EXE";
    calls_.clear();
  }

  CCfginfo cfg_;
  CIniFile strings_;
  Calls calls_;
  FakeDesktopLinks* links_ = nullptr;
  std::unique_ptr<CNetIndicator> display_;
};

TEST_F(NetIndicatorWindowsTest, AChangeDrawsProgressThenTheDisplayAndRenamesTheShortcut) {
  display_->SetNetwork(1);
  display_->SetProgress(4, "Change Printer Status");
  display_->Progress(55, "Packet Sending (3)");  // dwDebug clear: the standing message stays
  display_->SetProgress(100, "");
  EXPECT_EQ(display_->Finish(), "INTERNET");
  const Calls expected{"close progress",
                       "open 'Changing to INTERNET (INTERNET)...' 'Please wait.'",
                       "bar 4 'Change Printer Status'",
                       "bar 55 'Please wait.'",
                       "bar 100 'Please wait.'",
                       "close progress",
                       "close display",
                       "display 'INTERNET' 255 Tahoma 24 700 0"};
  EXPECT_EQ(calls_, expected);
  const std::map<std::string, std::string> after{
      {links_->folder + "\\INTERNET.LNK", "C:\\Netvane\\LDNvChng.EXE"}};
  EXPECT_EQ(links_->links, after);
}

// A change without a progress window (silent, copy-data, start-up, leaving the program) still
// redraws the display window and renames the shortcut for the network it selects.
TEST_F(NetIndicatorWindowsTest, ASelectedNetworkIsShownWithoutAProgressWindow) {
  display_->SelectNetwork(1);
  EXPECT_FALSE(display_->progressOpen());
  EXPECT_EQ(display_->Finish(), "INTERNET");
  EXPECT_EQ(calls_, (Calls{"close progress", "close display", "display 'INTERNET' 255 Tahoma 24 700 0"}));
  EXPECT_EQ(
      links_->links,
      (std::map<std::string, std::string>{{links_->folder + "\\INTERNET.LNK", "C:\\Netvane\\LDNvChng.EXE"}}));
  display_->SelectNetwork(0);
  EXPECT_EQ(display_->Finish(), "INTRANET");
  EXPECT_EQ(
      links_->links,
      (std::map<std::string, std::string>{{links_->folder + "\\INTRANET.LNK", "C:\\Netvane\\LDNvChng.EXE"}}));
}

TEST_F(NetIndicatorWindowsTest, OptionChangesRedrawTheDisplayAndKeepOrDropTheShortcut) {
  struct Step {
    uint32_t opt;
    const char* display;  // the window drawn, or "" for none
    size_t links;         // links of ours afterwards
  } steps[] = {
      {0x02 | 0x08, "display 'INTRANET' 16711680 vertical @Tahoma 24 700 -900", 0},  // shortcut bit cleared
      {0x01, "", 1},  // back on: one made for the network shown
      {0x01 | 0x02, "display 'INTRANET' 16711680 Tahoma 24 700 0", 1},
      {0x00, "", 0},
  };
  cfg_.dwOpt = 0x01 | 0x02;
  display_->OnOptionsChanged(77);
  calls_.clear();
  for (const Step& s : steps) {
    SCOPED_TRACE(s.opt);
    cfg_.dwOpt = s.opt;
    display_->OnOptionsChanged(0);
    Calls expected{"close display"};
    if (*s.display != '\0') expected.push_back(s.display);
    EXPECT_EQ(calls_, expected);
    EXPECT_EQ(links_->links.size(), s.links);
    if (s.links == 1) {
      EXPECT_EQ(links_->links.begin()->first, links_->folder + "\\INTRANET.LNK");
    }
    calls_.clear();
  }
  EXPECT_EQ(links_->redraws, 2);
}

TEST(IndicatorLayout, TurnedTextSwapsTheSidesAndLeavesRoomAlongIt) {
  using nv::core::TextExtent;
  struct Case {
    TextExtent text;
    bool vertical;
    TextExtent window;
  } cases[] = {
      {{120, 40}, false, {120, 40}}, {{120, 40}, true, {40, 170}}, {{30, 40}, true, {30, 40}},
      {{40, 40}, true, {40, 40}},    {{0, 0}, true, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.text.cx) + "x" + std::to_string(c.text.cy) +
                 (c.vertical ? " vertical" : ""));
    EXPECT_EQ(nv::core::DisplayWindowSize(c.text, c.vertical), c.window);
  }
  const auto turned = nv::core::DisplayWindowFont("Tahoma", 24, true);
  EXPECT_EQ(turned.face, "@Tahoma");
  EXPECT_EQ(turned.escapement, -900);
  EXPECT_EQ(turned.weight, 700);
  EXPECT_EQ(nv::core::ProgressTitle("%1: to %1, 100%", "B"), "B: to B, 100%");
  EXPECT_EQ(nv::core::ProgressSecondLine("Please wait.", ""), "Please wait.");
  EXPECT_EQ(nv::core::ProgressSecondLine("Please wait.", "Packet Sending (3)"), "Packet Sending (3)");
}

}  // namespace
