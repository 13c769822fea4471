// The four exported functions, called the way the tray program and a second process call them.
#include <gtest/gtest.h>

#include <string>

#include "idle_test_support.h"
#include "nvidle/NvIdle.h"
#include "platform/tick_count.h"

using namespace nv::idletest;

namespace {

class NvIdle : public StoppedMonitorTest {
 protected:
  static std::string ProbeGet() {
    std::string out;
    EXPECT_EQ(RunProgram({SiblingProgram("nvidle_probe"), "get"}, &out), 0);
    return out.substr(0, out.find_first_of("\r\n"));
  }
};

}  // namespace

TEST_F(NvIdle, TimeIsZeroWhileStoppedAndStampedByInit) {
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u);
  const std::uint32_t before = nv::TickCountMs();
  ASSERT_EQ(NvIdleInit(), 1);
  const std::uint32_t stamped = NvIdleGetLastInputTime();
  EXPECT_NE(stamped, 0u);
  EXPECT_LE(stamped - before, nv::TickCountMs() - before);
}

TEST_F(NvIdle, SecondInitKeepsTheTimeAndResetClearsIt) {
  ASSERT_EQ(NvIdleInit(), 1);
  NvIdleReset();
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u);
  EXPECT_EQ(NvIdleInit(), 1);
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u) << "a second init restamped the time";
  NvIdleTerm();
  NvIdleTerm();
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u);
}

TEST_F(NvIdle, AnotherProcessSeesAndChangesTheSameTime) {
  ASSERT_EQ(NvIdleInit(), 1);
  const std::uint32_t stamped = NvIdleGetLastInputTime();
  EXPECT_EQ(ProbeGet(), std::to_string(stamped));

  ASSERT_EQ(RunProgram({SiblingProgram("nvidle_probe"), "reset"}), 0);
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u);

  // The other process finds the monitor running, so its init neither reinstalls nor restamps.
  std::string out;
  ASSERT_EQ(RunProgram({SiblingProgram("nvidle_probe"), "init"}, &out), 0);
  EXPECT_EQ(out.substr(0, 1), "1");
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u);
}
