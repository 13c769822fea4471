#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netvane/system_tray.h"

namespace {

struct ShellCall {
  std::string what;
  TrayRecord record;
  unsigned fields = 0;
};

// Records what the tray asks of the shell; any notification can be made to fail.
class FakeShell : public TrayShell {
 public:
  struct State {
    unsigned version = 10;
    bool failAdds = false;
    bool failModifies = false;
    std::vector<ShellCall> calls;
    std::vector<TrayMenu> menusShown;
    std::vector<TrayMenu> defaultsRun;
    std::uint32_t tick = 1000;
    bool timerRunning = false;
    unsigned timerMs = 0;
  };
  explicit FakeShell(State& s) : s_(s) {}

  unsigned WindowsMajorVersion() override { return s_.version; }
  bool CreateTargetWindow(CSystemTray&, std::uintptr_t) override { return true; }
  void DestroyTargetWindow() override {}
  std::uintptr_t TargetWindow() const override { return 0x77; }
  bool NotifyAdd(const TrayRecord& r) override {
    s_.calls.push_back({"add", r, kTrayMessage | kTrayIcon | kTrayTip});
    return !s_.failAdds;
  }
  bool NotifyModify(const TrayRecord& r, unsigned fields) override {
    s_.calls.push_back({"modify", r, fields});
    return !s_.failModifies;
  }
  bool NotifyDelete(const TrayRecord& r) override {
    s_.calls.push_back({"delete", r, 0});
    return true;
  }
  void SetTimer(unsigned, unsigned ms) override {
    s_.timerRunning = true;
    s_.timerMs = ms;
  }
  void KillTimer(unsigned) override { s_.timerRunning = false; }
  std::uint32_t TickCount() override { return s_.tick; }
  void ShowMenu(const TrayMenu& m) override { s_.menusShown.push_back(m); }
  bool RunDefaultCommand(const TrayMenu& m) override {
    s_.defaultsRun.push_back(m);
    return true;
  }

 private:
  State& s_;
};

constexpr std::uint32_t kId = 128;
constexpr std::uint32_t kCallback = 0x0400 + 1;

class SystemTrayTest : public ::testing::Test {
 protected:
  bool Create(const std::string& tip = "Netvane", TrayIconHandle icon = 11) {
    return tray.Create(0x55, kCallback, tip, icon, kId);
  }
  const ShellCall& Last() const { return shell.calls.back(); }

  FakeShell::State shell;
  CSystemTray tray{std::make_unique<FakeShell>(shell)};
};

}  // namespace

TEST_F(SystemTrayTest, CreateAddsTheIconWithMessageIconAndTip) {
  ASSERT_TRUE(Create());
  EXPECT_TRUE(tray.IsEnabled());
  EXPECT_FALSE(tray.IsHidden());
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(Last().what, "add");
  EXPECT_EQ(Last().record.id, kId);
  EXPECT_EQ(Last().record.callbackMessage, kCallback);
  EXPECT_EQ(Last().record.icon, 11u);
  EXPECT_EQ(Last().record.tip, "Netvane");
}

TEST_F(SystemTrayTest, BeforeVersion4NothingIsShownAndEveryOperationDoesNothing) {
  shell.version = 3;
  EXPECT_FALSE(Create());
  EXPECT_FALSE(tray.IsEnabled());
  EXPECT_FALSE(tray.SetIcon(12));
  EXPECT_FALSE(tray.SetTooltipText("x"));
  EXPECT_FALSE(tray.HideIcon());
  EXPECT_FALSE(tray.ShowIcon());
  tray.OnTaskbarCreated();
  tray.OnTrayNotification(kId, kTrayRightButtonUp);
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(shell.menusShown.empty());
}

TEST_F(SystemTrayTest, AFailedAddLeavesTheIconHiddenAndShowIconRetriesWithTheLatestIconAndTip) {
  shell.failAdds = true;
  ASSERT_TRUE(Create());
  EXPECT_TRUE(tray.IsHidden());
  EXPECT_TRUE(tray.SetIcon(21));  // kept for the retry, not sent to a shell that has no icon
  EXPECT_TRUE(tray.SetTooltipText("Network B"));
  EXPECT_EQ(shell.calls.size(), 1u);
  EXPECT_FALSE(tray.ShowIcon());
  EXPECT_TRUE(tray.IsHidden());
  shell.failAdds = false;
  EXPECT_TRUE(tray.ShowIcon());
  EXPECT_FALSE(tray.IsHidden());
  EXPECT_EQ(Last().what, "add");
  EXPECT_EQ(Last().record.icon, 21u);
  EXPECT_EQ(Last().record.tip, "Network B");
}

TEST_F(SystemTrayTest, HideDeletesOnceAndShowAddsAgain) {
  ASSERT_TRUE(Create());
  EXPECT_TRUE(tray.HideIcon());
  EXPECT_FALSE(tray.HideIcon());
  EXPECT_TRUE(tray.IsHidden());
  EXPECT_TRUE(tray.ShowIcon());
  EXPECT_FALSE(tray.ShowIcon());
  std::vector<std::string> whats;
  for (const auto& c : shell.calls) whats.push_back(c.what);
  EXPECT_EQ(whats, (std::vector<std::string>{"add", "delete", "add"}));
  EXPECT_TRUE(tray.RemoveIcon());
  EXPECT_EQ(Last().what, "delete");
  EXPECT_TRUE(tray.IsHidden());
}

TEST_F(SystemTrayTest, IconAndTipChangesModifyOnlyTheirField) {
  ASSERT_TRUE(Create());
  EXPECT_TRUE(tray.SetIcon(22));
  EXPECT_EQ(Last().what, "modify");
  EXPECT_EQ(Last().fields, unsigned{kTrayIcon});
  EXPECT_EQ(Last().record.icon, 22u);
  EXPECT_TRUE(tray.SetTooltipText("Network A"));
  EXPECT_EQ(Last().fields, unsigned{kTrayTip});
  EXPECT_EQ(Last().record.tip, "Network A");
  shell.failModifies = true;
  EXPECT_FALSE(tray.SetIcon(23));
}

TEST(TrayTip, TextsAreCutTo63Utf16UnitsNeverInsideACharacter) {
  const std::string hangul = "\xEB\x84\xA4";     // one BMP character, three UTF-8 bytes
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  struct Case {
    std::string name, text, expected;
  } cases[] = {
      {"63 fits", std::string(63, 'a'), std::string(63, 'a')},
      {"64 cut", std::string(64, 'a'), std::string(63, 'a')},
      {"long cut", std::string(200, 'b'), std::string(63, 'b')},
      {"hangul counts characters",
       [&] {
         std::string s;
         for (int i = 0; i < 70; ++i) s += hangul;
         return s;
       }(),
       [&] {
         std::string s;
         for (int i = 0; i < 63; ++i) s += hangul;
         return s;
       }()},
      {"pair at the limit goes whole", std::string(62, 'c') + emoji, std::string(62, 'c')},
      {"pair before the limit stays", std::string(61, 'c') + emoji + "d", std::string(61, 'c') + emoji},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CutTrayTip(c.text), c.expected);
  }
}

TEST_F(SystemTrayTest, RecreatedTaskbarGetsTheIconBackWithTheLastIconAndTip) {
  ASSERT_TRUE(Create());
  tray.SetIcon(30);
  tray.SetTooltipText("Network B");
  tray.OnTaskbarCreated();
  EXPECT_EQ(Last().what, "add");
  EXPECT_EQ(Last().record.icon, 30u);
  EXPECT_EQ(Last().record.tip, "Network B");

  shell.failAdds = true;  // taskbar not ready yet: hidden until a later ShowIcon
  shell.failModifies = true;
  tray.OnTaskbarCreated();
  EXPECT_TRUE(tray.IsHidden());
}

TEST_F(SystemTrayTest, TheTaskbarsReturnAddsAnIconWhoseAddFailedButNotOneHiddenOnPurpose) {
  shell.failAdds = true;  // the taskbar is not up yet when the program starts
  ASSERT_TRUE(Create());
  EXPECT_TRUE(tray.IsHidden());
  tray.SetTooltipText("Network A");
  shell.failAdds = false;
  tray.OnTaskbarCreated();  // the taskbar is up now
  EXPECT_FALSE(tray.IsHidden());
  EXPECT_EQ(Last().what, "add");
  EXPECT_EQ(Last().record.tip, "Network A");

  ASSERT_TRUE(tray.HideIcon());
  const size_t calls = shell.calls.size();
  tray.OnTaskbarCreated();
  EXPECT_EQ(shell.calls.size(), calls) << "hidden on purpose stays hidden";
  EXPECT_TRUE(tray.IsHidden());

  ASSERT_TRUE(tray.ShowIcon());
  shell.failAdds = true;  // the broadcast while the shell still holds the icon: the add fails
  tray.OnTaskbarCreated();
  EXPECT_FALSE(tray.IsHidden());
  EXPECT_EQ(Last().what, "modify");
  EXPECT_TRUE(tray.SetIcon(31));
  EXPECT_EQ(Last().record.icon, 31u) << "later changes still reach the shell";

  shell.failModifies = true;  // the taskbar restarts and is slow to come back
  tray.OnTaskbarCreated();
  EXPECT_TRUE(tray.IsHidden());
  shell.failAdds = shell.failModifies = false;
  tray.OnTaskbarCreated();
  EXPECT_FALSE(tray.IsHidden());
}

TEST_F(SystemTrayTest, RightClickShowsAndDoubleClickRunsTheMenuOfTheIconsId) {
  ASSERT_TRUE(Create());
  tray.OnTrayNotification(kId + 1, kTrayRightButtonUp);  // another icon's notification
  tray.OnTrayNotification(kId, 0x0200);                  // mouse move: nothing
  EXPECT_TRUE(shell.menusShown.empty());

  tray.OnTrayNotification(kId, kTrayRightButtonUp);
  ASSERT_EQ(shell.menusShown.size(), 1u);
  EXPECT_EQ(shell.menusShown[0].resourceId, kId);
  EXPECT_EQ(shell.menusShown[0].defaultItem, 0u);  // the first item unless told otherwise
  EXPECT_TRUE(shell.menusShown[0].byPosition);

  tray.SetMenuItems({{5001, "About"}, {0, ""}, {5003, "Change"}});
  tray.SetMenuDefaultItem(2, true);
  tray.OnTrayNotification(kId, kTrayLeftButtonDoubleClick);
  ASSERT_EQ(shell.defaultsRun.size(), 1u);
  EXPECT_EQ(shell.defaultsRun[0].items.size(), 3u);
  EXPECT_EQ(shell.defaultsRun[0].defaultItem, 2u);
}

TEST_F(SystemTrayTest, AnimationStepsThroughTheIconsAndRestoresTheIconAfterItsDuration) {
  ASSERT_TRUE(Create("Netvane", 7));
  tray.SetIconList({101, 102, 103});
  ASSERT_TRUE(tray.Animate(250, 2));
  EXPECT_TRUE(shell.timerRunning);
  EXPECT_EQ(shell.timerMs, 250u);
  std::vector<TrayIconHandle> shown;
  for (int i = 0; i < 4; ++i) {
    shell.tick += 250;
    tray.OnTimer(CSystemTray::kAnimationTimer);
    shown.push_back(tray.GetIcon());
  }
  EXPECT_EQ(shown, (std::vector<TrayIconHandle>{102, 103, 101, 102}));
  tray.OnTimer(CSystemTray::kAnimationTimer + 1);  // not ours
  EXPECT_EQ(tray.GetIcon(), 102u);

  shell.tick += 1000;  // two whole seconds since the start
  tray.OnTimer(CSystemTray::kAnimationTimer);
  EXPECT_FALSE(shell.timerRunning);
  EXPECT_EQ(tray.GetIcon(), 7u);
}

TEST_F(SystemTrayTest, StopAnimationRestoresAndAnEmptyListDoesNotAnimate) {
  ASSERT_TRUE(Create("Netvane", 7));
  EXPECT_FALSE(tray.Animate(100, 0));
  tray.SetIconList({101, 102});
  ASSERT_TRUE(tray.Animate(100, 0));
  shell.tick += 60000;  // no duration: runs until stopped
  tray.OnTimer(CSystemTray::kAnimationTimer);
  EXPECT_EQ(tray.GetIcon(), 102u);
  tray.StopAnimation();
  EXPECT_FALSE(shell.timerRunning);
  EXPECT_EQ(tray.GetIcon(), 7u);
}
