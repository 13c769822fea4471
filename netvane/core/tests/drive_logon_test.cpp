#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "corekit/registry.h"
#include "netvane/cfginfo.h"
#include "netvane/drive_logon.h"
#include "netvane/frame_controller.h"
#include "support/recording_host.h"

namespace fs = std::filesystem;
using nv::core::testing::RecordingHost;

namespace {

class FakeIdle : public nv::core::IIdleMonitor {
 public:
  bool startSucceeds = true;
  bool running = false;
  uint32_t lastInput = 0;
  uint32_t now = 1'000'000;
  int resets = 0;

  bool Start() noexcept override { return running = startSucceeds; }
  void Stop() noexcept override { running = false; }
  void Reset() noexcept override {
    ++resets;
    lastInput = 0;
  }
  uint32_t LastInputTime() noexcept override { return lastInput; }
  uint32_t Now() noexcept override { return now; }
};

// The messages of every log entry in the folder's files, in order ("2006-12-07, 9: 5: 7,ID2" -> "ID2").
std::vector<std::string> LogMessages(const fs::path& folder) {
  std::vector<std::string> messages;
  if (!fs::exists(folder)) return messages;
  for (const auto& file : fs::directory_iterator(folder)) {
    std::ifstream in(file.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t first = line.find(',');
      const size_t second = first == std::string::npos ? first : line.find(',', first + 1);
      if (second != std::string::npos) messages.push_back(line.substr(second + 1));
    }
  }
  return messages;
}

class DriveLogonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("nvdrive-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    cfg_.InstalledPath = dir_.u8string();
    cfg_.dwOpt = CDriveLogon::kOptLog;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  CCfginfo cfg_;
  FakeIdle idle_;
  std::vector<std::string> calls_;
  RecordingHost host_{calls_};
};

TEST_F(DriveLogonTest, LogLinesOnlyWhileTheLogIsOnAndHasAFolder) {
  struct Case {
    const char* what;
    uint32_t opt;
    bool folder;
    uint32_t optAfterTwoLines;  // the option sheet's new dwOpt, applied after "START" and "ID2"
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"log on", CDriveLogon::kOptLog, true, CDriveLogon::kOptLog, {"START", "ID2", "ID1", "SHUTDOWN"}},
      {"every other option", 0x01 | 0x02 | 0x08 | 0x10, true, 0x1B, {}},
      {"switched off on the way", CDriveLogon::kOptLog, true, 0, {"START", "ID2"}},
      {"no installation folder", CDriveLogon::kOptLog, false, CDriveLogon::kOptLog, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_ / "Log");
    cfg_.dwOpt = c.opt;
    cfg_.InstalledPath = c.folder ? dir_.u8string() : "";
    CDriveLogon drives(cfg_, idle_);
    drives.ApplySettings(&host_);
    drives.LogLine("START");
    drives.BeforeSwitch(1);
    drives.AfterSwitch(1);
    cfg_.dwOpt = c.optAfterTwoLines;
    drives.ApplySettings(nullptr);
    drives.BeforeSwitch(0);
    drives.AfterSwitch(0);
    drives.LogLine("SHUTDOWN");
    EXPECT_EQ(LogMessages(dir_ / "Log"), c.expected);
  }
}

TEST_F(DriveLogonTest, IdleTimerRunsOnlyOnNetworkBWithIdleReturnConfigured) {
  struct Case {
    uint32_t autoChange;
    int network;
    std::string expected;
  };
  const Case cases[] = {
      {5, 1, "host.SetTimer 10 300000"},
      {5, 0, "host.KillTimer 10"},
      {0, 1, "host.KillTimer 10"},
      {35791, 1, "host.SetTimer 10 2147460000"},
      // Beyond what a timer takes (71583 minutes wrapped to 12.7 s in 32 bits): the longest one.
      {35792, 1, "host.SetTimer 10 2147483647"},
      {71583, 1, "host.SetTimer 10 2147483647"},
      {UINT32_MAX, 1, "host.SetTimer 10 2147483647"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("dwAutoChange " + std::to_string(c.autoChange) + " network " + std::to_string(c.network));
    cfg_.dwAutoChange = c.autoChange;
    calls_.clear();
    CDriveLogon drives(cfg_, idle_);
    drives.ApplySettings(&host_);
    drives.AfterSwitch(c.network);
    EXPECT_EQ(calls_, std::vector<std::string>{c.expected});
  }
}

TEST_F(DriveLogonTest, SettingsStartAndStopTheIdleMonitor) {
  cfg_.dwAutoChange = 5;
  CDriveLogon drives(cfg_, idle_);
  drives.ApplySettings(&host_);
  EXPECT_TRUE(idle_.running);
  cfg_.dwAutoChange = 0;
  drives.ApplySettings(nullptr);
  EXPECT_FALSE(idle_.running);
}

TEST_F(DriveLogonTest, IdleReturnIsDueAfterTheConfiguredMinutesOnNetworkB) {
  struct Case {
    const char* name;
    int network;
    bool monitorStarts;
    int64_t lastInputAgoMs;  // negative: no input since the last reset
    int64_t resetAgoMs;
    bool due;
    uint32_t autoChange = 5;
  };
  const Case cases[] = {
      {"network A never returns", 0, true, 400'000, 400'000, false},
      {"299 idle seconds", 1, true, 299'999, 400'000, false},
      {"300 idle seconds", 1, true, 300'000, 400'000, true},
      {"no input since the change, 300 s ago", 1, true, -1, 300'000, true},
      {"no input since the change, 200 s ago", 1, true, -1, 200'000, false},
      {"monitor could not start", 1, false, -1, 400'000, false},
      // 71582789 minutes are 44 seconds once multiplied in 32 bits.
      {"limit beyond 32-bit seconds", 1, true, 300'000, 400'000, false, 71'582'789},
      {"largest limit", 1, true, 300'000, 400'000, false, UINT32_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cfg_.dwAutoChange = c.autoChange;
    FakeIdle idle;
    idle.startSucceeds = c.monitorStarts;
    idle.now = 10'000'000 - static_cast<uint32_t>(c.resetAgoMs);
    CDriveLogon drives(cfg_, idle);
    drives.ApplySettings(&host_);
    drives.BeforeSwitch(c.network);
    drives.AfterSwitch(c.network);  // resets the idle time at the change
    idle.now = 10'000'000;
    if (c.lastInputAgoMs >= 0) idle.lastInput = idle.now - static_cast<uint32_t>(c.lastInputAgoMs);
    const int resetsBefore = idle.resets;
    EXPECT_EQ(drives.IdleReturnDue(), c.due);
    // A return restarts the measurement.
    EXPECT_EQ(idle.resets - resetsBefore, c.due ? 1 : 0);
  }
}

TEST_F(DriveLogonTest, RunOnceNamesTheHelperInTheInstallationFolder) {
  cfg_.InstalledPath = "C:\\Program Files\\Netvane";
  CDriveLogon drives(cfg_, idle_);
  ASSERT_TRUE(drives.RegisterRunOnce());

  CRegistry key;
  ASSERT_TRUE(key.uOpenKey(corekit::kHKeyLocalMachine, nv::core::kRunOnceKey));
  std::string value;
  ASSERT_TRUE(key.GetValue(nv::core::kRunOnceValue, value));
  EXPECT_EQ(value, "C:\\Program Files\\Netvane\\LDNvChng.EXE");
  key.DeleteValue(nv::core::kRunOnceValue);  // Wine's start-up would run it

  cfg_.InstalledPath.clear();
  EXPECT_FALSE(drives.RegisterRunOnce()) << "no helper to name without an installation folder";
}

}  // namespace
