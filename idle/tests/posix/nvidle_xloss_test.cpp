// The X server going away must not take the program with it (Xlib's default is to exit).
#include <gtest/gtest.h>

#include "idle_test_support.h"
#include "nvidle/NvIdle.h"
#include "xvfb_posix.h"

using namespace nv::idletest;

TEST(NvIdleXServer, LosingTheServerLeavesTheProgramRunningAndTermWorks) {
  XvfbServer server;
  if (!server.error().empty()) GTEST_SKIP() << server.error();
  ASSERT_EQ(NvIdleInit(), 1);
  const unsigned stamped = NvIdleGetLastInputTime();
  server.Stop();
  SleepMs(300);  // several polls against the lost connection
  EXPECT_EQ(NvIdleGetLastInputTime(), stamped);
  NvIdleTerm();
  EXPECT_EQ(NvIdleGetLastInputTime(), 0u);
}
