#include "idle_test_support.h"

#include "nvidle/NvIdle.h"

namespace nv::idletest {

void StoppedMonitorTest::SetUp() {
  const std::string why = PrepareInputDisplay();
  if (!why.empty()) GTEST_SKIP() << why;
  NvIdleTerm();
}

void StoppedMonitorTest::TearDown() { NvIdleTerm(); }

int Xdotool(const std::vector<std::string>& args) {
  int rc = XdotoolOnce(args);
  for (int attempt = 1; rc > 0 && attempt < 3; ++attempt) {
    SleepMs(200);
    rc = XdotoolOnce(args);
  }
  return rc;
}

unsigned WaitForStamp(int timeoutMs) {
  unsigned t = NvIdleGetLastInputTime();
  for (int waited = 0; t == 0 && waited < timeoutMs; waited += 20) {
    SleepMs(20);
    t = NvIdleGetLastInputTime();
  }
  return t;
}

}  // namespace nv::idletest
