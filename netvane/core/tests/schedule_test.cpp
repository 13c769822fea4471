#include <gtest/gtest.h>

#include "netvane/schedule.h"

using nv::core::ComputeScheduleArm;

namespace {
constexpr int64_t At(int h, int m) { return (int64_t{h} * 60 + m) * 60000; }
constexpr uint32_t kHour = 3600000;
constexpr int kA = 0, kB = 1;
}  // namespace

TEST(Schedule, WorkedExamplesWithStartEightAndHourlyInterval) {
  struct Case {
    int64_t now;
    bool arm;
    int network;
    uint32_t delay;
  } cases[] = {
      {At(9, 30), true, kA, 30 * 60000},   // E = 90 min, q = 1: A now, toggles to B at 10:00
      {At(8, 20), true, kB, 40 * 60000},   // E = 20 min: B now, brings A at 09:00
      {At(7, 0), false, 0, 0},             // before the start time nothing is armed
      {At(8, 0), true, kB, kHour},         // exactly at the start: first change after one interval
      {At(9, 0), true, kB, 0},             // E == I: the boundary is now
      {At(10, 15), true, kB, 45 * 60000},  // q = 2 (even)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.now / 60000);
    const auto arm = ComputeScheduleArm(c.now, 8, 0, 0, kHour, kA);
    EXPECT_EQ(arm.arm, c.arm);
    if (!c.arm) continue;
    EXPECT_EQ(arm.network, c.network);
    EXPECT_EQ(arm.delayMs, c.delay);
  }
}

TEST(Schedule, StartNetworkBMirrorsTheAlternation) {
  const auto arm = ComputeScheduleArm(At(9, 30), 8, 0, 0, kHour, kB);
  EXPECT_TRUE(arm.arm);
  EXPECT_EQ(arm.network, kB);
}

TEST(Schedule, AfterMidnightTheNewDayWaitsForItsStartTime) {
  // Start 23:30: at 00:15 the start has moved to the new day and is still ahead.
  EXPECT_FALSE(ComputeScheduleArm(At(0, 15), 23, 30, 0, kHour, kA).arm);
  // Late the same evening the boundary lies past midnight and is still computed.
  const auto arm = ComputeScheduleArm(At(23, 59), 23, 30, 0, kHour, kA);
  EXPECT_TRUE(arm.arm);
  EXPECT_EQ(arm.delayMs, 31u * 60000);
}

TEST(Schedule, ZeroIntervalArmsNothing) {
  for (int64_t now : {At(8, 0), At(9, 30), At(23, 59)}) {
    EXPECT_FALSE(ComputeScheduleArm(now, 8, 0, 0, 0, kA).arm);
  }
}
