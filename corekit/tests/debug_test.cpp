#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "corekit/debug.h"
#include "corekit/test_switches.h"
#include "support/test_support.h"

using corekit_test::ReadBytes;
using corekit_test::SetEnv;

namespace {

// Traces while statics are still being made, as a global COSversion does.
const int g_tracedBeforeMain = CDebug::dprintf("traced before main\n");

class DebugTest : public ::testing::Test {
 protected:
  void Trace(const char* on) {
    SetEnv("NV_TRACE", on);
    SetEnv("NV_TRACE_FILE", file.c_str());
    CDebug::reloadSettings();
  }
  void TearDown() override {
    SetEnv("NV_TRACE", nullptr);
    SetEnv("NV_TRACE_FILE", nullptr);
    CDebug::reloadSettings();
  }

  corekit_test::TempDir dir;
  const std::string file = dir.File("trace.log");
};

TEST_F(DebugTest, SilentUnlessSwitchedOn) {
  for (const char* setting : {static_cast<const char*>(nullptr), "0", ""}) {
    SCOPED_TRACE(setting ? setting : "(unset)");
    Trace(setting);
    EXPECT_EQ(CDebug::dprintf("ChangeRG: Send RGII\n"), 0);
    CDebug::startConsoleWin(80, 40, "Netvane");
  }
  EXPECT_EQ(ReadBytes(file), "");
}

TEST_F(DebugTest, TracingBeforeMainLeavesTheTraceWorking) {
  EXPECT_GE(g_tracedBeforeMain, 0);
  Trace("1");
  EXPECT_EQ(CDebug::dprintf("after main\n"), 11);
  EXPECT_EQ(ReadBytes(file), "after main\n");
}

TEST_F(DebugTest, SwitchedOnLinesReachTheTraceFile) {
  Trace("1");
  const std::string first = "ChangeRG: Send RGII\n";
  const std::string second = "IniPath(C:\\Net\\NetvaneKOR.ini) 7\n";
  EXPECT_EQ(CDebug::dprintf("ChangeRG: Send RGII\n"), static_cast<int>(first.size()));
  EXPECT_EQ(CDebug::dprintf("IniPath(%s) %d\n", "C:\\Net\\NetvaneKOR.ini", 7),
            static_cast<int>(second.size()));
  EXPECT_EQ(ReadBytes(file), first + second);
}

TEST_F(DebugTest, LongLinesAreCutNotOverflowed) {
  Trace("1");
  const std::string huge(100000, 'x');
  const int n = CDebug::dprintf("start %s end\n", huge.c_str());
  const std::string written = ReadBytes(file);
  EXPECT_EQ(n, CDebug::kMaxLine + 1);
  EXPECT_EQ(written.size(), static_cast<size_t>(n));
  EXPECT_EQ(written.rfind("start xxx", 0), 0u);
  EXPECT_EQ(written.back(), '\n');
}

TEST_F(DebugTest, LinesFromManyThreadsStayWhole) {
  Trace("1");
  constexpr int kThreads = 4, kLines = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) CDebug::dprintf("thread %d line %03d done\n", t, i);
    });
  }
  for (auto& thread : threads) thread.join();

  std::istringstream lines(ReadBytes(file));
  std::set<std::string> distinct;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_EQ(line.rfind("thread ", 0), 0u) << line;
    EXPECT_EQ(line.size(), std::string("thread 0 line 000 done").size()) << line;
    distinct.insert(line);
  }
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kLines));
}

// The test build honours the switches (a shipped build's refusal is shown under Wine, where the
// update test runs Updagent.exe over a Corekit.dll built without them).
TEST_F(DebugTest, TestBuildHonoursTheTestSwitches) {
  ASSERT_TRUE(nv::corekit::TestSwitchesOn());
  SetEnv("NV_NO_MESSAGEBOX", "1");
  EXPECT_TRUE(nv::corekit::UnattendedMessageBoxes());
  EXPECT_EQ(nv::corekit::ReadTestSwitch("NV_NO_MESSAGEBOX"), "1");
  SetEnv("NV_NO_MESSAGEBOX", "yes");
  EXPECT_FALSE(nv::corekit::UnattendedMessageBoxes());
  SetEnv("NV_NO_MESSAGEBOX", nullptr);
  EXPECT_FALSE(nv::corekit::UnattendedMessageBoxes());
}

TEST(ShippedTraceFile, IsInTheLogFolderBesideTheProgram) {
  const struct {
    const char* program;
    const char* file;
  } cases[] = {
      {"C:\\Program Files\\Tarn\\Netvane\\Updagent.exe",
       "C:\\Program Files\\Tarn\\Netvane\\Log\\trace-Updagent.txt"},
      {"C:\\Net\\NvSVC.EXE", "C:\\Net\\Log\\trace-NvSVC.txt"},
      {"/opt/netvane/nvchange", "/opt/netvane/Log/trace-nvchange.txt"},
      {"C:\\Net\\.hidden", "C:\\Net\\Log\\trace-.hidden.txt"},
      {"C:\\Net\\a.b.exe", "C:\\Net\\Log\\trace-a.b.txt"},
      {"Updagent.exe", ""},  // no folder: nowhere
      {"C:\\Net\\", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(nv::corekit::ShippedTraceFile(c.program), c.file) << c.program;
  }
}

}  // namespace
