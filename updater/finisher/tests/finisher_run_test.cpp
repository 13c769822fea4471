// The finisher's run over the real file system in a scratch folder, with recorded services and
// host.
#include "finisher_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "updater/handover_list.h"
#include "updater/sha256.h"

namespace nv::updater {
namespace {

namespace stdfs = std::filesystem;

class Recorder final : public IServiceControl, public IFinisherHost {
 public:
  std::vector<std::string> calls;
  bool restartAnswer = false;
  int range = -1, steps = 0;
  bool Stop(const std::string& name) override { return calls.push_back("stop " + name), true; }
  bool Start(const std::string& name) override { return calls.push_back("start " + name), true; }
  void ShowStatus(const std::string& text) override { calls.push_back(text); }
  void SetProgressRange(int count) override { range = count; }
  void StepProgress() override { ++steps; }
  void Wait(unsigned ms) override { calls.push_back("wait " + std::to_string(ms)); }
  bool AskRestartWindows(const std::string& product) override {
    calls.push_back("ask " + product);
    return restartAnswer;
  }
  void RestartComputer() override { calls.push_back("restart computer"); }
  bool running = false;
  bool RestartProgram(const std::string& path) override { return calls.push_back("restart " + path), true; }
  bool ProgramRuns(const std::string&) override { return running; }
  void ReportCopyFailure(const std::string& file, const std::string&) override {
    calls.push_back("failed " + file);
  }
  void ReportReplacedAtRestart(const std::string& file) override { calls.push_back("at restart " + file); }
};

// The real file system, with writes into temporaries that fail after `budget` bytes, and targets
// that another program holds as Windows does: `held` answers InUse for that many more questions
// (-1: for good), and meanwhile a replace over it fails with the sharing violation.  A replace at
// restart needs an administrator, as the real call does (it writes the session manager's key).
class FullDisk final : public IFileSystem {
 public:
  long long budget = -1;
  std::map<std::string, int> held;
  bool administrator = true;
  std::vector<std::pair<std::string, std::string>> atRestart;
  bool InUse(const std::string& p) noexcept override {
    auto it = held.find(p);
    if (it == held.end() || it->second == 0) return false;
    if (it->second > 0) --it->second;
    return true;
  }
  bool ReplaceAtRestart(const std::string& f, const std::string& t) noexcept override {
    if (!administrator) return m_error = "Access is denied.", false;
    atRestart.emplace_back(f, t);
    return true;
  }
  bool IsReplaceableTarget(const std::string& p) noexcept override { return Real().IsReplaceableTarget(p); }
  std::unique_ptr<IReadFile> OpenRead(const std::string& p) noexcept override { return Real().OpenRead(p); }
  std::unique_ptr<IWriteFile> Create(const std::string& p) noexcept override { return Real().Create(p); }
  std::unique_ptr<IWriteFile> CreateTemporary(const std::string& dir, std::string& path) noexcept override {
    auto inner = Real().CreateTemporary(dir, path);
    return inner ? std::make_unique<Writer>(std::move(inner), budget) : nullptr;
  }
  bool Replace(const std::string& f, const std::string& t) noexcept override {
    auto it = held.find(t);
    if (it != held.end() && it->second != 0) {
      m_error = "The process cannot access the file because it is being used by another process.";
      return false;
    }
    return Real().Replace(f, t);
  }
  bool Remove(const std::string& p) noexcept override { return Real().Remove(p); }
  bool CreateDirectory(const std::string& p) noexcept override { return Real().CreateDirectory(p); }
  bool Exists(const std::string& p) noexcept override { return Real().Exists(p); }
  bool CreatePrivateDirectory(const std::string& p) noexcept override {
    return Real().CreatePrivateDirectory(p);
  }
  std::string LastError() const override { return m_error; }

 private:
  std::string m_error = "There is not enough space on the disk.";
  static IFileSystem& Real() { return NativeFileSystem(); }
  class Writer final : public IWriteFile {
   public:
    Writer(std::unique_ptr<IWriteFile> inner, long long& budget)
        : m_inner(std::move(inner)), m_budget(budget) {}
    bool Write(const char* d, size_t n) noexcept override {
      if (m_budget >= 0 && static_cast<long long>(n) > m_budget) {
        m_inner->Write(d, static_cast<size_t>(m_budget));
        m_budget = 0;
        return false;
      }
      if (m_budget >= 0) m_budget -= static_cast<long long>(n);
      return m_inner->Write(d, n);
    }
    bool Flush() noexcept override { return m_inner->Flush(); }
    bool Close() noexcept override { return m_inner->Close(); }

   private:
    std::unique_ptr<IWriteFile> m_inner;
    long long& m_budget;
  };
};

class FinisherRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = stdfs::temp_directory_path() /
             ("nv-fin-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    stdfs::remove_all(m_root);
    stdfs::create_directories(m_root / "Netvane" / "UpdateTemp");
    m_context.installedPath = (m_root / "Netvane").string();
    m_context.productName = "Netvane-H";
    m_context.programPath = "Netvane.exe";
    m_context.style = NativePathStyle();
  }
  void TearDown() override { stdfs::remove_all(m_root); }
  static void Write(const stdfs::path& p, const std::string& bytes) {
    auto out = NativeFileSystem().Create(p.string());
    ASSERT_TRUE(out && out->Write(bytes.data(), bytes.size()) && out->Close());
  }
  static std::string Read(const stdfs::path& p) {
    std::string bytes;
    ReadWholeFile(NativeFileSystem(), p.string(), bytes);
    return bytes;
  }
  static std::string HashOf(const std::string& bytes) {
    auto hash = NewPlatformSha256();
    Sha256Digest digest{};
    if (!hash) return "no hash";
    hash->Update(bytes.data(), bytes.size());
    return hash->Final(digest) ? Sha256Text(digest) : "no hash";
  }
  // Stages a file as the client would have downloaded it; HandOver gives each line that hash.
  void Stage(const std::string& name, const std::string& bytes) {
    Write(m_root / "Netvane" / "UpdateTemp" / name, bytes);
    m_hashes[name] = HashOf(bytes);
  }
  void HandOver(std::vector<HandOverEntry> entries) {
    for (auto& entry : entries) {
      if (entry.sha256.empty())
        entry.sha256 = m_hashes.count(entry.fileName) ? m_hashes[entry.fileName] : std::string(64, '0');
    }
    Write(m_root / "Netvane" / "VerSion.txt", FormatHandOverList(entries));
  }
  std::string Target(const std::string& name) const { return (m_root / "Netvane" / name).string(); }

  stdfs::path m_root;
  std::map<std::string, std::string> m_hashes;
  FinisherContext m_context;
  Recorder m_rec;
};

TEST_F(FinisherRunTest, InstallsStagedFilesAroundTheirServiceAndRestartsTheProgram) {
  Stage("Netvane.exe", "new tray program");
  Stage("NvSVC.exe", "new service");
  Write(Target("NvSVC.exe"), "old service");
  const std::string outside = (m_root / "x.exe").string();
  HandOver({{"Netvane.exe", Target("Netvane.exe"), "Restart"},
            {"NvSVC.exe", Target("NvSVC.exe"), "SVC:NvMGR"},
            {"gone.dll", Target("gone.dll"), "SHUTDOWN SVC:Other"},
            {"..\\..\\x.exe", outside, ""},
            {"x.exe", (m_root / "Netvane" / ".." / ".." / "x.exe").string(), ""}});
  const FinisherReport report = RunFinisher(m_context, NativeFileSystem(), m_rec, m_rec);

  EXPECT_EQ(Read(Target("Netvane.exe")), "new tray program");
  EXPECT_EQ(Read(Target("NvSVC.exe")), "new service");
  EXPECT_FALSE(stdfs::exists(outside));
  EXPECT_EQ(report.refused.size(), 2u);
  EXPECT_FALSE(stdfs::exists(m_root / "Netvane" / "VerSion.txt"));
  EXPECT_TRUE(stdfs::exists(m_root / "Netvane" / "UpdateTemp" / "Netvane.exe"));  // staged files stay
  EXPECT_EQ(m_rec.range, 3);
  EXPECT_EQ(m_rec.steps, 3);
  // The missing staged file leaves its service stopped and its SHUTDOWN unnoted.
  EXPECT_EQ(m_rec.calls,
            (std::vector<std::string>{"Copying Netvane.exe ...", "Copying NvSVC.exe ...", "stop NVMGR",
                                      "wait 2000", "start NVMGR", "Copying gone.dll ...", "stop OTHER",
                                      "wait 2000", "Restarting Netvane-H ...", "restart Netvane.exe"}));
  EXPECT_TRUE(report.restartedProgram);
}

TEST_F(FinisherRunTest, FlagsAndFamilies) {
  const struct {
    const char* name;
    const char* flags;
    bool nt;
    bool answer;
    std::vector<std::string> calls;
  } cases[] = {
      {"service untouched on the 95 family", "SVC:NvMGR", false, false, {"Copying a.dll ..."}},
      {"restart and shutdown, answered no",
       "RESTART SHUTDOWN",
       true,
       false,
       {"Copying a.dll ...", "ask Netvane-H", "Restarting Netvane-H ...", "restart Netvane.exe"}},
      {"restart while the program runs already", "RESTART", true, false, {"Copying a.dll ..."}},
      {"restart and shutdown, answered yes",
       "RESTART SHUTDOWN",
       true,
       true,
       {"Copying a.dll ...", "ask Netvane-H", "restart computer"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_rec = Recorder();
    m_rec.restartAnswer = c.answer;
    m_rec.running = std::string(c.name) == "restart while the program runs already";
    m_context.ntFamily = c.nt;
    Stage("a.dll", "new");
    HandOver({{"a.dll", Target("a.dll"), c.flags}});
    RunFinisher(m_context, NativeFileSystem(), m_rec, m_rec);
    EXPECT_EQ(m_rec.calls, c.calls);
    EXPECT_EQ(Read(Target("a.dll")), "new");
  }
}

TEST_F(FinisherRunTest, MissingListDoesNothing) {
  Stage("a.dll", "new");
  const FinisherReport report = RunFinisher(m_context, NativeFileSystem(), m_rec, m_rec);
  EXPECT_FALSE(report.listFound);
  EXPECT_TRUE(m_rec.calls.empty());
  EXPECT_FALSE(stdfs::exists(Target("a.dll")));
}

TEST_F(FinisherRunTest, CopyInterruptedHalfWayKeepsTheOldProgram) {
  const std::string old = "MZ old working program " + std::string(100000, 'o');
  Write(Target("Netvane.exe"), old);
  Stage("Netvane.exe", std::string(200000, 'n'));
  Stage("NvRes.dll", "new resources");
  HandOver({{"Netvane.exe", Target("Netvane.exe"), "RESTART"}, {"NvRes.dll", Target("NvRes.dll"), ""}});
  FullDisk disk;
  disk.budget = 100000;  // the disk fills up half-way through the first file
  const FinisherReport report = RunFinisher(m_context, disk, m_rec, m_rec);

  EXPECT_EQ(Read(Target("Netvane.exe")), old);
  // The disk stays full: the next file fails as well, and each failure is reported.
  EXPECT_EQ(report.failed, (std::vector<std::string>{"Netvane.exe", "NvRes.dll"}));
  EXPECT_EQ(std::count(m_rec.calls.begin(), m_rec.calls.end(), "failed Netvane.exe"), 1);
  EXPECT_EQ(std::count(m_rec.calls.begin(), m_rec.calls.end(), "failed NvRes.dll"), 1);
  size_t files = 0;
  for (const auto& e : stdfs::directory_iterator(m_root / "Netvane")) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);  // the old program only: no temporary left, the list deleted, NvRes.dll not written
}

TEST_F(FinisherRunTest, AStagedFileChangedAfterItsCheckIsNotInstalled) {
  const std::string old = "MZ old working program";
  Write(Target("Netvane.exe"), old);
  Write(Target("NvRes.dll"), "old resources");
  Stage("Netvane.exe", "MZ new program");
  Stage("NvRes.dll", "new resources");
  HandOver({{"Netvane.exe", Target("Netvane.exe"), "SVC:NvMGR"},
            {"NvRes.dll", Target("NvRes.dll"), ""},
            {"NVRES.DLL.", Target("other.dll"), ""},
            {"plain.dll", Target("plain.dll"), "", "not a hash"}});
  // Someone who can write the staging folder swaps the bytes after the client's check.
  Write(m_root / "Netvane" / "UpdateTemp" / "Netvane.exe", "MZ something else");
  const FinisherReport report = RunFinisher(m_context, NativeFileSystem(), m_rec, m_rec);

  EXPECT_EQ(Read(Target("Netvane.exe")), old);
  EXPECT_EQ(Read(Target("NvRes.dll")), "new resources");
  EXPECT_EQ(report.failed, (std::vector<std::string>{"Netvane.exe"}));
  EXPECT_EQ(std::count(m_rec.calls.begin(), m_rec.calls.end(), "failed Netvane.exe"), 1);
  // The service stopped for it runs again.
  EXPECT_EQ(std::count(m_rec.calls.begin(), m_rec.calls.end(), "start NVMGR"), 1);
  EXPECT_FALSE(stdfs::exists(Target("other.dll")));
  ASSERT_EQ(report.refused.size(), 2u);
  EXPECT_NE(report.refused[0].find("earlier line's staged file"), std::string::npos);
  EXPECT_NE(report.refused[1].find("no SHA-256"), std::string::npos);
}

TEST_F(FinisherRunTest, FilesInUseAreWaitedForThenReplacedOrScheduledForTheNextStart) {
  const int waitLimit = static_cast<int>(kFreeWaitMs / kFreePollMs);
  const struct {
    const char* name;
    int heldFor;  // InUse answers; -1: held for good
    std::string flags;
    bool administrator;
    const char* outcome;  // "installed", "failed" or "at restart"
    int waits;
  } cases[] = {
      {"freed while continue waits", 3, "RESTART", true, "installed", 3},
      {"held for good, no restart of the computer", -1, "RESTART", true, "failed", waitLimit},
      {"held for good, SHUTDOWN", -1, "SHUTDOWN", true, "at restart", waitLimit},
      {"held for good, SHUTDOWN, the scheduling refused", -1, "SHUTDOWN", false, "failed", waitLimit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_rec.calls.clear();
    const std::string old = "MZ old tray program";
    Write(Target("Netvane.exe"), old);
    Stage("Netvane.exe", "MZ new tray program");
    HandOver({{"Netvane.exe", Target("Netvane.exe"), c.flags}});
    FullDisk fs;
    fs.held[Target("Netvane.exe")] = c.heldFor;
    fs.administrator = c.administrator;
    const FinisherReport report = RunFinisher(m_context, fs, m_rec, m_rec);

    EXPECT_EQ(std::count(m_rec.calls.begin(), m_rec.calls.end(), "wait " + std::to_string(kFreePollMs)),
              c.waits);
    const std::string outcome = c.outcome;
    EXPECT_EQ(Read(Target("Netvane.exe")), outcome == "installed" ? "MZ new tray program" : old);
    EXPECT_EQ(report.installed.size(), outcome == "installed" ? 1u : 0u);
    EXPECT_EQ(report.failed.size(), outcome == "failed" ? 1u : 0u);
    EXPECT_EQ(std::count(m_rec.calls.begin(), m_rec.calls.end(), "failed Netvane.exe"), outcome == "failed");
    EXPECT_EQ(std::count(m_rec.calls.begin(), m_rec.calls.end(), "at restart Netvane.exe"),
              outcome == "at restart");
    std::vector<std::string> temporaries;
    for (const auto& e : stdfs::directory_iterator(m_root / "Netvane")) {
      if (e.is_regular_file() && e.path().filename() != "Netvane.exe")
        temporaries.push_back(e.path().string());
    }
    if (outcome == "at restart") {
      // The checked bytes wait beside the target for the computer's next start.
      EXPECT_EQ(report.scheduled, (std::vector<std::string>{"Netvane.exe"}));
      ASSERT_EQ(fs.atRestart.size(), 1u);
      EXPECT_EQ(fs.atRestart[0].second, Target("Netvane.exe"));
      ASSERT_EQ(temporaries, (std::vector<std::string>{fs.atRestart[0].first}));
      EXPECT_EQ(Read(temporaries[0]), "MZ new tray program");
      stdfs::remove(temporaries[0]);
    } else {
      EXPECT_TRUE(report.scheduled.empty());
      EXPECT_TRUE(temporaries.empty()) << temporaries.front();
    }
  }
}

TEST_F(FinisherRunTest, AnEmptyOrRelativeInstallationFolderInstallsNothing) {
  for (const char* installed : {"", "Netvane", "UpdateTemp\\..\\x"}) {
    SCOPED_TRACE(installed);
    m_context.installedPath = installed;
    const FinisherReport report = RunFinisher(m_context, NativeFileSystem(), m_rec, m_rec);
    EXPECT_TRUE(report.badInstalledPath);
    EXPECT_FALSE(report.listFound);
    EXPECT_TRUE(m_rec.calls.empty());
  }
}

}  // namespace
}  // namespace nv::updater
