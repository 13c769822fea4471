#include <gtest/gtest.h>

#include <set>

#include "idle_monitor.h"

using namespace nv::idle;

namespace {

class FakeWatch : public InputWatch {
 public:
  bool failNextInstall = false;
  int installs = 0;
  std::set<std::uint32_t> alive{100};
  std::uint32_t self = 100;

  bool Install(IdleArea&, std::uint64_t& keyboard, std::uint64_t& mouse) noexcept override {
    if (failNextInstall) {
      failNextInstall = false;
      return false;
    }
    ++installs;
    keyboard = 0x10 + installs;
    mouse = 0x20 + installs;
    return true;
  }
  void Remove(std::uint64_t, std::uint64_t) noexcept override {}
  std::uint32_t CurrentProcessId() noexcept override { return self; }
  bool ProcessAlive(std::uint32_t pid) noexcept override { return alive.count(pid) != 0; }
};

}  // namespace

TEST(IdleMonitor, AWatchThatCannotBeInstalledIsReportedAndRetriedByTheNextStart) {
  IdleArea area{};
  FakeWatch watch;
  watch.failNextInstall = true;
  EXPECT_EQ(StartMonitor(area, watch), 0);
  EXPECT_EQ(area.keyboardHook, 0u);
  EXPECT_EQ(LoadLastInput(area), 0u);

  EXPECT_EQ(StartMonitor(area, watch), 1);
  EXPECT_NE(area.keyboardHook, 0u);
  EXPECT_NE(LoadLastInput(area), 0u);
}

TEST(IdleMonitor, AWatchLeftByAnEndedProcessIsReplacedButALiveOnesIsKept) {
  struct Case {
    const char* name;
    std::uint32_t owner;
    int installsAfter;
  } cases[] = {{"owner ended", 77, 1}, {"owner alive", 200, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IdleArea area{0x99, 0x98, 555, c.owner};
    FakeWatch watch;
    watch.alive.insert(200);
    EXPECT_EQ(StartMonitor(area, watch), 1);
    EXPECT_EQ(watch.installs, c.installsAfter);
    EXPECT_EQ(area.ownerPid, c.installsAfter == 1 ? watch.self : c.owner);
    EXPECT_EQ(LoadLastInput(area) != 555u, c.installsAfter == 1);
  }
}

TEST(IdleMonitor, HookEventsStampOnlyForTheActionCode) {
  IdleArea area{};
  OnHookEvent(area, 3);  // HC_NOREMOVE and other codes are passed on untouched
  EXPECT_EQ(LoadLastInput(area), 0u);
  OnHookEvent(area, 0);
  EXPECT_NE(LoadLastInput(area), 0u);
}
