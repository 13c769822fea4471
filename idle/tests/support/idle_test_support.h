// Processes and an X display for the idle monitor's tests, natively and under Wine.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/child_process.h"

namespace nv::idletest {

using nv::testing::ChildProcess;
using nv::testing::RunProgram;
using nv::testing::SiblingProgram;

// Runs the xdotool command given; -1 when xdotool is missing.  A busy X server refuses
// connections for a moment, so a failed run is retried twice.
int Xdotool(const std::vector<std::string>& args);
int XdotoolOnce(const std::vector<std::string>& args);

// Makes an X display with input injection available to this process and its children: natively
// a private Xvfb, under Wine the test run's display.  Empty when ready, else the reason it is not.
std::string PrepareInputDisplay();

void SleepMs(int ms);
// Each test starts and ends with the monitor stopped, on a display that takes injected input.
class StoppedMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Polls until `NvIdleGetLastInputTime` is non-zero or the time is up; returns the last value read.
unsigned WaitForStamp(int timeoutMs);

}  // namespace nv::idletest
