// The option sheet's page rules, the About box's version line, message texts and the skinned
// button's slices.
#include "netvane/option_pages.h"

#include <gtest/gtest.h>

#include <map>

#include "netvane/about_text.h"
#include "netvane/skin_slices.h"

namespace {

using namespace nv::ui;

// A page that sets its bits (when on) and can fail its own store, as the printer table's write can.
class FixedPage : public IOptionPage {
 public:
  FixedPage(uint32_t bits, std::vector<int>& order, int id, bool on = true)
      : bits_(bits), on_(on), order_(order), id_(id) {}
  void Save(OptionSettings& next) override {
    if (on_) next.dwOpt |= bits_;
    next.szNet[0] = "page " + std::to_string(id_);
    order_.push_back(id_);
  }
  uint32_t OptionBits() const override { return bits_; }
  bool Commit() override {
    ++commits;
    return !commitFails;
  }
  bool commitFails = false;
  int commits = 0;

 private:
  uint32_t bits_;
  bool on_;
  std::vector<int>& order_;
  int id_;
};

TEST(OptionPages, SheetBuildsTheWordFromItsPagesInTabOrderAndKeepsTheBitsOfPagesNeverOpened) {
  CCfginfo cfg;
  cfg.dwOpt = 0xFF;
  std::vector<int> order;
  FixedPage a(0x01, order, 0), b(0x10, order, 1), c(0, order, 2), unopened(0x04, order, 3);
  const OptionSettings next =
      BuildSheetOptions({{&a, true}, {nullptr, false}, {&b, true}, {&c, true}, {&unopened, false}}, cfg);
  EXPECT_EQ(next.dwOpt, 0x15u) << "0x04 kept from the page never opened; bits no page owns cleared";
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(cfg.dwOpt, 0xFFu) << "built apart from the settings in force";
  EXPECT_EQ(next.szNet[0], "page 2");
}

TEST(OptionPages, DisplayLoadAndSave) {
  struct Case {
    uint32_t opt;
    bool shortcut, display, vertical;
  } cases[] = {{0x0B, true, true, true}, {0x00, false, false, false}, {0x16, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.opt);
    CCfginfo cfg;
    cfg.dwOpt = c.opt;
    cfg.szNet[0] = "INTRANET";
    cfg.szNet[1] = "0123456789ABC";
    DisplayForm form = DisplayLoad(cfg);
    EXPECT_EQ(form.shortcut, c.shortcut);
    EXPECT_EQ(form.display, c.display);
    EXPECT_EQ(form.vertical, c.vertical);
    EXPECT_EQ(form.name[1], "0123456789");
    OptionSettings next;
    form.name[0] = "한국어네트워크이름이깁니다";  // cut by characters, not bytes
    DisplaySave(form, next);
    EXPECT_EQ(next.dwOpt, c.opt & 0x0Bu);
    EXPECT_EQ(next.szNet[0], "한국어네트워크이름이");
  }
}

TEST(OptionPages, NetworkLoadAndSave) {
  CCfginfo cfg;
  cfg.dwComport = 3;
  cfg.szNetDrv[0] = "NW-INSIDE";
  cfg.dwAutoLogin = 0x03;
  cfg.dwOpt = 0x10;
  NetworkForm form = NetworkLoad(cfg);
  EXPECT_EQ(form.comport, 3);
  EXPECT_TRUE(form.useNetware[0]);
  EXPECT_TRUE(NetworkServerEnabled(form, 0));
  EXPECT_TRUE(form.autoLogin[0]);
  EXPECT_FALSE(form.useNetware[1]);
  EXPECT_FALSE(NetworkServerEnabled(form, 1));
  EXPECT_FALSE(form.autoLogin[1]);  // no server on B: its box is not shown ticked
  EXPECT_TRUE(form.reverse);

  struct Case {
    const char* name;
    int comport;
    bool use[2], login[2];
    const char* server[2];
    bool reverse;
    uint32_t expectPort, expectLogin, expectOpt;
    const char* expectServer[2];
  } cases[] = {
      {"both on", 1, {true, true}, {true, true}, {"A1", "B1"}, false, 1, 3, 0, {"A1", "B1"}},
      {"auto-login box cleared",
       0,
       {true, true},
       {false, true},
       {"A1", "B1"},
       true,
       0,
       2,
       0x10,
       {"A1", "B1"}},
      {"NetWare off on A", 4, {false, true}, {true, false}, {"ignored", "B1"}, false, 4, 0, 0, {"", "B1"}},
      {"no radio keeps the port", -1, {false, false}, {false, false}, {"", ""}, false, 3, 0, 0, {"", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OptionSettings saved;
    saved.dwComport = 3;
    saved.dwAutoLogin = 0x03;
    NetworkForm f;
    f.comport = c.comport;
    f.reverse = c.reverse;
    for (int n = 0; n < 2; ++n) {
      f.useNetware[n] = c.use[n];
      f.autoLogin[n] = c.login[n];
      f.server[n] = c.server[n];
    }
    NetworkSave(f, saved);
    EXPECT_EQ(saved.dwComport, c.expectPort);
    EXPECT_EQ(saved.dwAutoLogin, c.expectLogin);
    EXPECT_EQ(saved.dwOpt, c.expectOpt);
    EXPECT_EQ(saved.szNetDrv[0], c.expectServer[0]);
    EXPECT_EQ(saved.szNetDrv[1], c.expectServer[1]);
  }
}

TEST(OptionPages, IdleChoicesAndManagePage) {
  std::map<std::string, int> ini = {{"nTmCnt", 80}, {"nTime0", 10}, {"nTime1", 20}, {"nTime2", 30}};
  const auto read = [&](const std::string& key) { return ini.count(key) ? ini[key] : 0; };
  std::vector<std::string> choices = IdleChoices(read);
  ASSERT_EQ(choices.size(), 50u);
  EXPECT_EQ(choices[3], "40");  // nTime3 missing
  EXPECT_EQ(choices[49], "500");
  ini["nTmCnt"] = 0;
  EXPECT_TRUE(IdleChoices(read).empty());

  const std::vector<std::string> three = {"10", "20", "30"};
  struct Case {
    uint32_t autoChange, opt;
    std::vector<std::string> choices;
    bool idleOn;
    int choice;
    bool logOn;
  } cases[] = {
      {0, 0x04, three, false, -1, true},    {20, 0, three, true, 1, false},
      {25, 0, three, true, 0, false},  // no entry begins with 25
      {3, 0, {"10", "30"}, true, 1, false}, {15, 0, {}, true, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.autoChange);
    CCfginfo cfg;
    cfg.dwAutoChange = c.autoChange;
    cfg.dwOpt = c.opt;
    const ManageForm form = ManageLoad(cfg, c.choices);
    EXPECT_EQ(form.idleOn, c.idleOn);
    EXPECT_EQ(ManageChoicesEnabled(form), c.idleOn);
    EXPECT_EQ(form.choice, c.choice);
    EXPECT_EQ(form.logOn, c.logOn);
  }

  struct SaveCase {
    ManageForm form;
    std::vector<std::string> choices;
    uint32_t autoChange, opt;
  } saves[] = {
      {{true, 2, true}, three, 30, 0x04},
      {{true, -1, false}, three, 10, 0},
      {{true, 0, false}, {}, 0, 0},
      {{false, 2, false}, three, 0, 0},
  };
  for (const SaveCase& s : saves) {
    OptionSettings cfg;
    cfg.dwAutoChange = 99;
    cfg.dwOpt = 0;
    ManageSave(s.form, s.choices, cfg);
    EXPECT_EQ(cfg.dwAutoChange, s.autoChange);
    EXPECT_EQ(cfg.dwOpt, s.opt);
  }
}

class FakeVersion : public IVersionSource {
 public:
  bool ok = true;
  FileVersion version;
  std::string asked;
  bool Read(const std::string& file, FileVersion& out) override {
    asked = file;
    if (ok) out = version;
    return ok;
  }
};

TEST(AboutText, VersionLinePadsTheBuildAndShowsZerosWhenUnreadable) {
  FakeVersion source;
  struct Case {
    bool ok;
    FileVersion v;
    const char* expected;
  } cases[] = {
      {true, {2, 1, 7}, "Netvane Version 2.1 (Build 0007)"},
      {true, {3, 12, 12345}, "Netvane Version 3.12 (Build 12345)"},
      {false, {9, 9, 9}, "Netvane Version 0.0 (Build 0000)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    source.ok = c.ok;
    source.version = c.v;
    EXPECT_EQ(VersionLine(source), c.expected);
    EXPECT_EQ(source.asked, "netvane.exe");
  }
  EXPECT_NE(MakerLines().phone.find("     "), std::string::npos);
}

TEST(SkinSlices, StateSlicesAreEqualPartsOfTheStrip) {
  EXPECT_EQ(StateSlice(200, 30, 4, 0), (SkinRect{0, 0, 50, 30}));
  EXPECT_EQ(StateSlice(200, 30, 4, 2), (SkinRect{100, 0, 150, 30}));
  EXPECT_EQ(StateSlice(203, 30, 4, 3), (SkinRect{150, 0, 200, 30}));
  EXPECT_EQ(StateSlice(200, 30, 4, 7), (SkinRect{0, 0, 50, 30}));
}

// Every row and column of a button is painted from a non-empty part of its slice, for the strip
// the resource library ships (32 pixels high), for one lower than its margins (24), and for any
// button size: a gap would show the dialog's background as a band across the button.
TEST(SkinSlices, NoPixelOfTheButtonIsLeftUnpaintedWhateverTheSizes) {
  for (const int sourceHeight : {32, 24, 20}) {
    const SkinRect slice = StateSlice(4 * 80, sourceHeight, kButtonStates, 0);
    for (int width = 4; width <= 120; width += 29)
      for (int height = 4; height <= 64; ++height) {
        SCOPED_TRACE(std::to_string(sourceHeight) + " high strip, button " + std::to_string(width) + "x" +
                     std::to_string(height));
        std::vector<int> rows(static_cast<size_t>(height)), cols(static_cast<size_t>(width));
        for (const SlicePart& part : NineSlice(slice, kButtonMargins, width, height)) {
          if (part.source.width() <= 0 || part.source.height() <= 0) continue;
          for (int y = part.target.top; y < part.target.bottom; ++y) ++rows[static_cast<size_t>(y)];
          for (int x = part.target.left; x < part.target.right; ++x) ++cols[static_cast<size_t>(x)];
        }
        for (int y = 0; y < height; ++y) ASSERT_GT(rows[static_cast<size_t>(y)], 0) << "row " << y;
        for (int x = 0; x < width; ++x) ASSERT_GT(cols[static_cast<size_t>(x)], 0) << "column " << x;
      }
  }
}

TEST(SkinSlices, StateOfButtonsAndCheckMarks) {
  struct Case {
    bool enabled, pressed, hover;
    ButtonState expected;
  } cases[] = {{true, false, false, ButtonState::kNormal},
               {true, false, true, ButtonState::kHover},
               {true, true, true, ButtonState::kPressed},
               {false, true, true, ButtonState::kDisabled}};
  for (const Case& c : cases) EXPECT_EQ(ButtonStateOf(c.enabled, c.pressed, c.hover), c.expected);
  EXPECT_EQ(CheckSlice(true, true, 4), 1);
  EXPECT_EQ(CheckSlice(true, false, 4), 3);
  EXPECT_EQ(CheckSlice(false, false, 4), 2);
  EXPECT_EQ(CheckSlice(true, false, 2), 1);
}

TEST(SkinSlices, NineSliceKeepsAsymmetricMarginsAndStretchesTheMiddle) {
  // The pressed slice of a 4 x 50-pixel strip, 40 high, drawn 120 x 60.
  const SkinRect source = StateSlice(200, 40, kButtonStates, static_cast<int>(ButtonState::kPressed));
  const auto parts = NineSlice(source, kButtonMargins, 120, 60);
  struct Expect {
    SkinRect source, target;
  } expected[9] = {
      {{100, 0, 107, 7}, {0, 0, 7, 7}},         {{107, 0, 144, 7}, {7, 0, 114, 7}},
      {{144, 0, 150, 7}, {114, 0, 120, 7}},     {{100, 7, 107, 22}, {0, 7, 7, 42}},
      {{107, 7, 144, 22}, {7, 7, 114, 42}},     {{144, 7, 150, 22}, {114, 7, 120, 42}},
      {{100, 22, 107, 40}, {0, 42, 7, 60}},     {{107, 22, 144, 40}, {7, 42, 114, 60}},
      {{144, 22, 150, 40}, {114, 42, 120, 60}},
  };
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(parts[i].source, expected[i].source);
    EXPECT_EQ(parts[i].target, expected[i].target);
  }
  // A target smaller than the margins: the margins shrink in proportion, nothing overlaps.
  const auto small = NineSlice(source, kButtonMargins, 10, 20);
  EXPECT_EQ(small[0].target, (SkinRect{0, 0, 5, 5}));
  EXPECT_EQ(small[8].target, (SkinRect{5, 5, 10, 20}));
  EXPECT_EQ(small[4].target.width(), 0);
}

}  // namespace
