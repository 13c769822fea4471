#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"
#include "netvane/cfginfo.h"
#include "netvane/drive_logon.h"
#include "netvane/frame_controller.h"
#include "netvane/netware_credentials.h"
#include "support/config_test_support.h"
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

// Network connections that record each call into the shared call list and fail on request.
class FakeConnections : public nv::core::INetConnections {
 public:
  explicit FakeConnections(std::vector<std::string>& log) : log_(log) {}
  std::set<std::string> failing;  // drives whose connection fails with 1222

  int32_t Cancel(const std::string& drive) override {
    log_.push_back("cancel " + drive);
    return 2250;  // not connected: must change nothing
  }
  bool CancelWithNetCommand(const std::string& drive) override {
    log_.push_back("net use " + drive + " /delete");
    return true;
  }
  // Each letter has a persistent mapping until it is forgotten once (2 after that).
  int32_t ForgetPersistent(const std::string& drive) override {
    log_.push_back("forget " + drive);
    return forgotten.insert(drive).second ? 0 : 2;
  }
  std::set<std::string> forgotten;
  int32_t Add(const std::string& drive, const std::string& remote, const std::string& user,
              const std::string& password) override {
    log_.push_back("add " + drive + " " + remote + " " + user + "/" + password);
    return failing.count(drive) != 0 ? 1222 : 0;
  }
  std::string ErrorText(int32_t code) override { return "text of " + std::to_string(code); }

 private:
  std::vector<std::string>& log_;
};

// The logon dialog answers with `typed` (or is cancelled); the report is recorded.
class FakeLogonUi : public nv::core::INetWareLogonUi {
 public:
  explicit FakeLogonUi(std::vector<std::string>& log) : log_(log) {}
  bool answerOk = false;
  nv::core::NetWareCredentials typed;

  bool AskLogon(int network, nv::core::NetWareCredentials& c) override {
    log_.push_back("ask " + std::to_string(network) + " " + c.user + "@" + c.server);
    if (answerOk) c = typed;
    return answerOk;
  }
  void ShowDriveErrors(const std::string& report) override { log_.push_back("report " + report); }

 private:
  std::vector<std::string>& log_;
};

class FakeGuard : public nv::core::IFolderGuard {
 public:
  explicit FakeGuard(std::vector<std::string>& log) : log_(log) {}
  void SetNetwork(int network) override { log_.push_back("guard " + std::to_string(network)); }

 private:
  std::vector<std::string>& log_;
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
  void TearDown() override {
    fs::remove_all(dir_);
    cfgtest::DeleteScratchTree();
    corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, kPlatformClientRoot);
    for (const char* drive : {"F:", "G:", "H:"})
      corekit::testing::DeleteTree(corekit::kHKeyCurrentUser, std::string(kPersistent) + "\\" + drive);
  }

  static constexpr const char* kPlatformClientRoot = "System\\CurrentControlSet\\Services\\NWNP32";
  static constexpr const char* kPersistent = "Network\\Persistent";

  static void WriteText(corekit::RegKey root, const std::string& key, const char* name,
                        const std::string& text) {
    CRegistry reg;
    ASSERT_TRUE(reg.Connect(root) && reg.Create(key.c_str())) << key;
    ASSERT_TRUE(reg.SetValue(name, text)) << name;
  }
  static bool KeyExists(corekit::RegKey root, const std::string& key) {
    CRegistry reg;
    return reg.uOpenKey(root, key.c_str()) != 0;
  }
  // The stored "APass%d" as the registry holds it.
  CRegistry::KeyValueTypes StoredPassword(int network, std::string& bytes) const {
    CRegistry reg;
    CRegistry::KeyValueTypes type = CRegistry::typeNone;
    bytes.clear();
    if (!reg.uOpenKey(corekit::kHKeyLocalMachine, cfg_.baseKey.c_str())) return type;
    uint8_t data[2048] = {};
    uint32_t size = sizeof data;
    if (!reg.QueryValue(("APass" + std::to_string(network)).c_str(), type, data, size))
      return CRegistry::typeNone;
    bytes.assign(reinterpret_cast<const char*>(data), size);
    return type;
  }

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

TEST_F(DriveLogonTest, DrivesFollowTheNetworkWithOneLogonAndOneReport) {
  struct Stored {
    std::string server, user, password;  // written as an older installation did: plain text
  };
  struct Case {
    const char* what;
    std::string drivesA, drivesB;
    uint32_t autoLogin;
    bool platformClient;  // the platform's NetWare client names server "NWSRV"
    Stored stored;        // for both networks; empty server: nothing stored
    bool dialogOk;
    std::set<std::string> failing;
    std::vector<int> changes;
    std::vector<std::string> expected;
  };
  const Stored bob{"SRV", "bob", "pw"};
  const Case cases[] = {
      {"F;G;H on B, auto-login with stored credentials: no dialog",
       "",
       "F;G;H",
       2,
       false,
       bob,
       false,
       {},
       {1},
       {"net use F: /delete", "forget F:", "net use G: /delete", "forget G:", "net use H: /delete",
        "forget H:", "guard 1", "add F: \\\\SRV\\sys bob/pw", "add G: \\\\SRV\\sys bob/pw",
        "add H: \\\\SRV\\sys bob/pw", "host.SetTimer 10 300000"}},
      {"F:;G: gives F: and G:, cancelled through the connection call with the platform's client",
       "",
       "F:;G:",
       2,
       true,
       bob,
       false,
       {},
       {1},
       {"cancel F:", "forget F:", "cancel G:", "forget G:", "guard 1", "add F: \\\\SRV\\sys bob/pw",
        "add G: \\\\SRV\\sys bob/pw", "host.SetTimer 10 300000"}},
      {"FGH is one entry: F: only",
       "",
       "FGH",
       2,
       false,
       bob,
       false,
       {},
       {1},
       {"net use F: /delete", "forget F:", "guard 1", "add F: \\\\SRV\\sys bob/pw",
        "host.SetTimer 10 300000"}},
      {"A to B with drives only for A, then back",
       "F",
       "",
       1,
       false,
       bob,
       false,
       {},
       {1, 0},
       {"guard 1", "host.SetTimer 10 300000", "net use F: /delete", "forget F:", "guard 0",
        "add F: \\\\SRV\\sys bob/pw", "host.KillTimer 10"}},
      {"asked once for three drives, one report for the two that failed",
       "",
       "F;G;H",
       0,
       true,
       {},
       true,
       {"F:", "H:"},
       {1},
       {"cancel F:", "forget F:", "cancel G:", "forget G:", "cancel H:", "forget H:", "guard 1",
        "ask 1 alice@NWSRV", "add F: \\\\SRV2\\sys carol/pw2", "add G: \\\\SRV2\\sys carol/pw2",
        "add H: \\\\SRV2\\sys carol/pw2", "report [F: Drive] text of 1222\n[H: Drive] text of 1222",
        "host.SetTimer 10 300000"}},
      {"auto-login without stored credentials asks; cancel maps nothing",
       "",
       "G",
       2,
       false,
       {},
       false,
       {},
       {1},
       {"net use G: /delete", "forget G:", "guard 1", "ask 1 alice@", "host.SetTimer 10 300000"}},
      {"without auto-login the stored names fill the dialog",
       "",
       "G",
       0,
       false,
       bob,
       false,
       {},
       {1},
       {"net use G: /delete", "forget G:", "guard 1", "ask 1 alice@SRV", "host.SetTimer 10 300000"}},
  };
  cfg_.SetKeys(cfgtest::ScratchBaseKey());
  cfg_.dwAutoChange = 5;
  cfg_.username = "alice";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    cfgtest::DeleteScratchTree();
    corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, kPlatformClientRoot);
    if (c.platformClient)
      WriteText(corekit::kHKeyLocalMachine, std::string(kPlatformClientRoot) + "\\NetworkProvider",
                "AuthenticatingAgent", "NWSRV");
    for (int n = 0; n < 2 && !c.stored.server.empty(); ++n) {
      WriteText(corekit::kHKeyLocalMachine, cfg_.baseKey, ("AServ" + std::to_string(n)).c_str(),
                c.stored.server);
      WriteText(corekit::kHKeyLocalMachine, cfg_.baseKey, ("AUser" + std::to_string(n)).c_str(),
                c.stored.user);
      WriteText(corekit::kHKeyLocalMachine, cfg_.baseKey, ("APass" + std::to_string(n)).c_str(),
                c.stored.password);
    }
    for (const char* drive : {"F:", "G:", "H:"})
      WriteText(corekit::kHKeyCurrentUser, std::string(kPersistent) + "\\" + drive, "RemotePath",
                "\\\\old\\sys");
    cfg_.szNetDrv[0] = c.drivesA;
    cfg_.szNetDrv[1] = c.drivesB;
    cfg_.dwAutoLogin = c.autoLogin;

    calls_.clear();
    FakeConnections connections(calls_);
    connections.failing = c.failing;
    FakeLogonUi ui(calls_);
    ui.answerOk = c.dialogOk;
    ui.typed = {"carol", "SRV2", "pw2"};
    FakeGuard guard(calls_);
    CDriveLogon drives(cfg_, idle_, connections, ui, "");
    drives.SetFolderGuard(&guard);
    drives.ApplySettings(&host_);
    for (int network : c.changes) {
      drives.BeforeSwitch(network);
      drives.AfterSwitch(network);
    }
    EXPECT_EQ(calls_, c.expected);

    // Persistent mappings are forgotten through the connections only, which act for the user:
    // this process's own hive is not theirs when the tray program runs as SYSTEM.
    for (const char* drive : {"F:", "G:", "H:"})
      EXPECT_TRUE(KeyExists(corekit::kHKeyCurrentUser, std::string(kPersistent) + "\\" + drive)) << drive;

    // Typed credentials are kept for the next time, the password protected.
    if (c.dialogOk) {
      const nv::core::NetWareCredentials saved = nv::core::LoadNetWareCredentials(cfg_.baseKey, 1);
      EXPECT_EQ(saved.user + "@" + saved.server + "/" + saved.password, "carol@SRV2/pw2");
      std::string raw;
      EXPECT_EQ(StoredPassword(1, raw), CRegistry::typeBinary);
      EXPECT_EQ(raw.find("pw2"), std::string::npos);
    }
  }
}

// The platform's connections forget a mapping in the hive of the user the thread acts as (here
// this process's own, natively the store's only user): that drive's subkey only.
TEST_F(DriveLogonTest, SystemConnectionsForgetOnlyTheNamedPersistentMapping) {
  for (const char* drive : {"F:", "G:"})
    WriteText(corekit::kHKeyCurrentUser, std::string(kPersistent) + "\\" + drive, "RemotePath",
              "\\\\old\\sys");
  const auto connections = nv::core::MakeSystemNetConnections();
  const struct {
    const char* drive;
    int32_t code;
  } cases[] = {{"G:", 0}, {"G:", 2}, {"", 87}, {"F:\\x", 87}, {"Persistent", 87}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.drive);
    EXPECT_EQ(connections->ForgetPersistent(c.drive), c.code);
  }
  EXPECT_FALSE(KeyExists(corekit::kHKeyCurrentUser, std::string(kPersistent) + "\\G:"));
  EXPECT_TRUE(KeyExists(corekit::kHKeyCurrentUser, std::string(kPersistent) + "\\F:"));
}

TEST_F(DriveLogonTest, StoredPasswordsAreProtectedAndOldPlainOnesStillLogOn) {
  cfg_.SetKeys(cfgtest::ScratchBaseKey());
  cfg_.szNetDrv[0] = "F";
  cfg_.dwAutoLogin = 1;
  // An older installation's plain text.
  WriteText(corekit::kHKeyLocalMachine, cfg_.baseKey, "AServ0", "SRV");
  WriteText(corekit::kHKeyLocalMachine, cfg_.baseKey, "AUser0", "bob");
  WriteText(corekit::kHKeyLocalMachine, cfg_.baseKey, "APass0", "old secret");
  FakeConnections connections(calls_);
  FakeLogonUi ui(calls_);
  CDriveLogon drives(cfg_, idle_, connections, ui, "");
  drives.ApplySettings(&host_);
  drives.AfterSwitch(0);
  EXPECT_EQ(calls_, (std::vector<std::string>{"add F: \\\\SRV\\sys bob/old secret", "host.KillTimer 10"}));

  // Read once, it is no longer plain text, and still logs on.
  std::string raw;
  EXPECT_EQ(StoredPassword(0, raw), CRegistry::typeBinary);
  EXPECT_EQ(raw.find("old secret"), std::string::npos);
  calls_.clear();
  drives.AfterSwitch(0);
  EXPECT_EQ(calls_.front(), "add F: \\\\SRV\\sys bob/old secret");

  struct Case {
    const char* what;
    std::string password;
  };
  const Case saves[] = {{"empty", ""}, {"plain", "pw"}, {"non-ASCII", "p\xC3\xA4ss w\xC3\xB6rd"}};
  for (const Case& c : saves) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(nv::core::SaveNetWareCredentials(cfg_.baseKey, 1, {"carol", "SRV2", c.password}));
    EXPECT_EQ(StoredPassword(1, raw), CRegistry::typeBinary);
    if (!c.password.empty()) {
      EXPECT_EQ(raw.find(c.password), std::string::npos);
    }
    const nv::core::NetWareCredentials back = nv::core::LoadNetWareCredentials(cfg_.baseKey, 1);
    EXPECT_EQ(back.password, c.password);
    EXPECT_FALSE(back.passwordUnreadable);
  }

  // A damaged protected value is not a password: auto-login asks instead of logging on with it.
  CRegistry reg;
  ASSERT_TRUE(reg.uOpenKey(corekit::kHKeyLocalMachine, cfg_.baseKey.c_str()));
  ASSERT_TRUE(reg.SetValue(
      "APass0", std::vector<uint8_t>{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                                     18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34}));
  reg.Close();
  EXPECT_TRUE(nv::core::LoadNetWareCredentials(cfg_.baseKey, 0).passwordUnreadable);
  calls_.clear();
  drives.AfterSwitch(0);
  EXPECT_EQ(calls_.front(), "ask 0 bob@SRV");
}

TEST_F(DriveLogonTest, PasswordListIsHiddenOnlyWhileNetworkBIsInForce) {
  cfg_.username = "alice";
  FakeConnections connections(calls_);
  FakeLogonUi ui(calls_);
  CDriveLogon drives(cfg_, idle_, connections, ui, dir_.u8string());
  drives.ApplySettings(&host_);
  std::ofstream(dir_ / "alice.pwl") << "list";
  drives.AfterSwitch(1);
  EXPECT_FALSE(fs::exists(dir_ / "alice.pwl"));
  EXPECT_TRUE(fs::exists(dir_ / "alice.HAN"));
  drives.AfterSwitch(0);
  EXPECT_TRUE(fs::exists(dir_ / "alice.pwl"));
  EXPECT_FALSE(fs::exists(dir_ / "alice.HAN"));
  drives.AfterSwitch(0);  // nothing hidden: nothing to do
  EXPECT_TRUE(fs::exists(dir_ / "alice.pwl"));
}

}  // namespace
