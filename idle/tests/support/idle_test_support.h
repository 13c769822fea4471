// Processes and an X display for the idle monitor's tests, natively and under Wine.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nv::idletest {

// A program beside this test program (".exe" is added on Windows).
std::string SiblingProgram(const std::string& name);
// Runs a program to its end; its exit code, or -1 when it could not start or ran past the limit.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr, int timeoutMs = 30000);
// Runs the xdotool command given; -1 when xdotool is missing.  A busy X server refuses
// connections for a moment, so a failed run is retried twice.
int Xdotool(const std::vector<std::string>& args);
int XdotoolOnce(const std::vector<std::string>& args);

// A program that runs while the object lives; killed at destruction.
class Child {
 public:
  explicit Child(const std::vector<std::string>& argv);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool started() const { return handle_ != 0; }

 private:
  long long handle_ = 0;
};

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
