// Real input, injected by xdotool into another program's window, as the tray program observes it.
#include <gtest/gtest.h>

#include <string>

#include "idle_test_support.h"
#include "nvidle/NvIdle.h"
#include "platform/tick_count.h"

using namespace nv::idletest;

namespace {

class NvIdleInput : public StoppedMonitorTest {
 protected:
  // Moves the pointer twice inside the probe's window (waiting for the window to appear first).
  static int MoveMouseIn(const std::string& title) {
    return Xdotool({"search", "--sync", "--name", title, "mousemove", "--window", "%1", "20", "20", "sleep",
                    "0.2", "mousemove", "--window", "%1", "90", "70"});
  }
};

}  // namespace

TEST_F(NvIdleInput, MouseAndKeysInAnotherProgramsWindowStampTheTimeSeenHere) {
  const std::string title = "nvidle-probe-stamp";
  ASSERT_EQ(NvIdleInit(), 1);
  NvIdleReset();
  ChildProcess window({SiblingProgram("nvidle_probe"), "window", title, "20000"});
  ASSERT_TRUE(window.started());

  const std::uint32_t before = nv::TickCountMs();
  ASSERT_EQ(MoveMouseIn(title), 0);
  const std::uint32_t byMouse = WaitForStamp(5000);
  ASSERT_NE(byMouse, 0u) << "mouse input was not seen";
  EXPECT_LE(byMouse - before, nv::TickCountMs() - before) << "the stamp is not the time of the input";

  NvIdleReset();
  ASSERT_EQ(Xdotool({"search", "--name", title, "windowfocus", "%1", "sleep", "0.2", "key", "a", "sleep",
                     "0.2", "key", "b"}),
            0);
  EXPECT_NE(WaitForStamp(5000), 0u) << "keyboard input was not seen";
}

TEST_F(NvIdleInput, InitTwiceThenTermOnceLeavesNothingWatchingInput) {
  const std::string title = "nvidle-probe-term";
  ASSERT_EQ(NvIdleInit(), 1);
  ASSERT_EQ(NvIdleInit(), 1);
  NvIdleTerm();
  ChildProcess window({SiblingProgram("nvidle_probe"), "window", title, "20000"});
  ASSERT_TRUE(window.started());

  ASSERT_EQ(MoveMouseIn(title), 0);
  ASSERT_EQ(Xdotool({"key", "a"}), 0);
  SleepMs(1000);
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u) << "input was still watched after NvIdleTerm";

  // The same input is seen once the monitor runs again, so the silence above was the stopped watch.
  ASSERT_EQ(NvIdleInit(), 1);
  NvIdleReset();
  ASSERT_EQ(MoveMouseIn(title), 0);
  EXPECT_NE(WaitForStamp(5000), 0u);
}
