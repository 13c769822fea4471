// One update run against an FTP server held in memory, with the real file system in a scratch
// folder and the platform's cryptography.
#include "update_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace nv::updater {
namespace {

namespace stdfs = std::filesystem;

// Signed with the key below by tools/update-signing/nv-update-sign.sh.
const char* kPublicKey =
    "41d8a9dee237c543cccb8005eb2016afbe68197a7d573403188a2a7efdc314a6f675670c79e66057dcf3a03acf847a07d4b67fdb"
    "e1ad21634015d80aee42b6b8";
const std::string kSignedProgram = [] {
  std::string s;
  for (int i = 0; i < 300; ++i) s += "verified program ";
  return s;
}();
const char* kSignedList =
    "# signed list\r\n"
    "Netvane.exe|ALL|ALL|INSTALLEDPATH|1.2.3|Restart||NONE|"
    "35aea474497e681e4c6d35a0325e7f49c0484ad0b00c875e9f1832b429edee19\r\n";
const char* kSignedListSignature =
    "0483C8E08D8C3BD9D2546E5DDCDA1A18055038F652F0A4B8B89C766D3D0D724F57BA757038F471F1DC22FBE680AAFA11DB4E5BE0"
    "4A55965B05290A1380F2F8C4";
const char* kUnhashedList = "Netvane.exe|ALL|ALL|INSTALLEDPATH|1.2.3|Restart\r\n";
const char* kUnhashedListSignature =
    "DC0BAC17945AF092676149DCDAD3645A8C99641A99FCD8A0C07D998228FA5AEA88376214314E6415069ED2C834C53E3F5DB2149B"
    "60508E5066F4BF2C514C9A9C";

class MemoryFtp final : public IFtpSession {
 public:
  std::map<std::string, std::string> files;  // name in /Netvane-H -> bytes
  std::set<std::string> unlisted;            // there, but never shown by a listing
  std::map<std::string, size_t> dropAfter;   // the connection breaks after this many bytes
  std::set<std::string> endsQuietly;         // ... and the transfer looks complete
  bool refuseConnect = false;
  int listings = 0;
  ServerEndpoint connectedTo;
  std::function<void(const std::string&, uint64_t)> onBlock;  // name, bytes sent so far

  bool Connect(const std::string& host, uint16_t, const std::string& user,
               const std::string& password) noexcept override {
    connectedTo = {host, user, password};
    return !refuseConnect;
  }
  bool ChangeDirectory(const std::string& dir) noexcept override { return dir == "Netvane-H"; }
  bool CurrentDirectory(std::string& dir) noexcept override {
    dir = "/Netvane-H";
    return true;
  }
  bool List(std::vector<FtpListing>& entries) noexcept override {
    ++listings;
    for (const auto& [name, bytes] : files) {
      if (!unlisted.count(name)) entries.push_back({name, bytes.size()});
    }
    return true;
  }
  FtpDownload Download(const std::string& remote, bool, size_t blockSize,
                       const std::function<bool(const char*, size_t)>& sink,
                       std::string& error) noexcept override {
    const std::string name = remote.rfind("/Netvane-H/", 0) == 0 ? remote.substr(11) : remote;
    const auto it = files.find(name);
    if (it == files.end()) {
      error = "550 No such file";
      return FtpDownload::kOpenExplained;
    }
    const auto drop = dropAfter.find(name);
    const size_t limit = drop == dropAfter.end() ? it->second.size() : drop->second;
    for (size_t at = 0; at < limit; at += blockSize) {
      const size_t n = std::min(blockSize, limit - at);
      if (onBlock) onBlock(name, at + n);
      if (!sink(it->second.data() + at, n)) return FtpDownload::kStopped;
    }
    return limit < it->second.size() && !endsQuietly.count(name) ? FtpDownload::kTransferFailed
                                                                 : FtpDownload::kDone;
  }
  void Close() noexcept override {}
};

class MapVersions final : public IFileVersionReader {
 public:
  std::map<std::string, FileVersion> installed;
  FileVersion Read(const std::string& path) noexcept override {
    const auto it = installed.find(path);
    return it == installed.end() ? FileVersion{} : it->second;
  }
};

class Recorder final : public IRunSettings, public IHandOverActions, public IUpdateView {
 public:
  std::string key, lastServer, cwd, started, parameters;
  int trayCommands = 0;
  bool answer = false;
  bool requireVerified = false;
  uint32_t sequence = 0;
  std::vector<std::string> statuses, audits;
  bool RequireVerifiedUpdates() override { return requireVerified; }
  uint32_t InstalledSequence() override { return sequence; }
  void SetInstalledSequence(uint32_t value) override { sequence = value; }
  void Audit(const std::string& text) override { audits.push_back(text); }
  void SetLastServerName(const std::string& name) override { lastServer = name; }
  void SetCwd(const std::string& dir) override { cwd = dir; }
  std::string UpdatePublicKey() override { return key; }
  std::vector<std::string> handOver;  // the hand-over's steps in order
  bool trayEnds = true;
  void SendCommandToTray() override {
    ++trayCommands;
    handOver.push_back("tray command");
  }
  bool WaitForTrayToEnd(unsigned limitMs) override {
    handOver.push_back("wait " + std::to_string(limitMs) + (trayEnds ? ", ended" : ", still running"));
    return trayEnds;
  }
  bool StartProgram(const std::string& program, const std::string& params) override {
    handOver.push_back("start " + program);
    started = program;
    parameters = params;
    return true;
  }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowTotalProgress(int) override {}
  void ShowFileProgress(int) override {}
  bool Ask(const std::string&) override { return answer; }
};

class UpdateRunTest : public ::testing::Test {
 public:
  void SetUp() override {
    m_root = stdfs::temp_directory_path() /
             ("nv-run-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    stdfs::remove_all(m_root);
    stdfs::create_directories(m_root / "system");
    m_request.serverName = "LOCAL";
    m_request.endpoint = {"127.0.0.1", "user", "pw"};
    m_request.remoteDir = "Netvane-H";
    m_request.makerKey = "Tarn";
    m_request.programPath = "C:\\N\\Netvane.exe";
    m_request.list.versionName = "WINXP";
    m_request.list.installedPath = (m_root / "Netvane").string();
    m_request.list.systemDir = (m_root / "system").string();
    m_request.list.windowsDir = m_root.string();
    m_request.list.style = NativePathStyle();
    stdfs::create_directories(m_root / "Netvane");
    Write(m_root / "Netvane" / "continue.exe", "finisher program");
  }
  void TearDown() override { stdfs::remove_all(m_root); }

  static void Write(const stdfs::path& path, const std::string& bytes) {
    auto out = NativeFileSystem().Create(path.string());
    ASSERT_TRUE(out && out->Write(bytes.data(), bytes.size()) && out->Close());
  }
  static std::string Read(const stdfs::path& path) {
    std::string bytes;
    ReadWholeFile(NativeFileSystem(), path.string(), bytes);
    return bytes;
  }
  RunOutcome RunIt() {
    return RunUpdate(m_request, m_texts,
                     {m_ftp, NativeFileSystem(), m_versions, NativeCrypto(), m_rec, m_rec, m_rec}, m_stop);
  }
  std::string Installed(const char* name) const { return (m_root / "Netvane" / name).string(); }
  std::string Staged(const std::string& name) const {
    return (m_root / "Netvane" / "UpdateTemp" / name).string();
  }
  bool HandOverListWritten() const { return stdfs::exists(m_root / "Netvane" / "VerSion.txt"); }

  stdfs::path m_root;
  RunRequest m_request;
  UpdateTexts m_texts;
  MemoryFtp m_ftp;
  MapVersions m_versions;
  Recorder m_rec;
  std::atomic<bool> m_stop{false};
};

TEST_F(UpdateRunTest, NewerFilesAreStagedAndHandedOver) {
  const std::string up = std::string(1, Separator(NativePathStyle())) + "..";
  m_ftp.files["VerSion.txt"] =
      "# the product\r\n"
      "Netvane.exe|ALL|ALL|INSTALLEDPATH|1.2.3|Restart||NONE\r\n"
      "NvRes.dll|ALL|ALL|INSTALLEDPATH|1.2.3|||NONE\r\n"
      "helper.dll|ALL|ALL|SYSDIR|1.0.0|SVC:NvMGR\r\n"
      "..\\..\\x.exe|ALL|ALL||9.9.9\r\n"
      "x.exe|ALL|ALL|WINDIR" +
      up + up + "|9.9.9\r\n";
  m_ftp.files["Netvane.exe"] = std::string(5000, 'N');
  m_ftp.files["NvRes.dll"] = "resources";
  m_ftp.files["helper.dll"] = "helper";
  m_ftp.files["x.exe"] = "escaped";
  m_versions.installed[Installed("Netvane.exe")] = {1, 2, 2};
  m_versions.installed[Installed("NvRes.dll")] = {1, 2, 3};

  const RunOutcome out = RunIt();
  ASSERT_EQ(out.end, RunEnd::kHandedOver) << out.message;
  EXPECT_EQ(Read(Staged("Netvane.exe")), std::string(5000, 'N'));
  EXPECT_EQ(Read(Staged("helper.dll")), "helper");
  EXPECT_FALSE(stdfs::exists(Staged("NvRes.dll")));
  // Nothing escaped the staging folder.
  for (const auto& entry : stdfs::recursive_directory_iterator(m_root)) {
    EXPECT_EQ(entry.path().filename().string().find("x.exe"), std::string::npos) << entry.path();
  }
  const std::string sep(1, Separator(NativePathStyle()));
  // Each line carries the SHA-256 of the bytes staged (unverified run: hashed all the same).
  EXPECT_EQ(Read(m_root / "Netvane" / "VerSion.txt"),
            "Netvane.exe|" + Installed("Netvane.exe") +
                "|Restart|4ec334f9636c87775d213a268341ff6fc391bb3a9ff6d08238965749d7b1c845\r\nhelper.dll|" +
                m_request.list.systemDir + sep +
                "helper.dll|SVC:NvMGR|e81d3b0e9d82feaaf5f6e55bdff24731d7eee08632ffa63801e6397290c5d20a\r\n");
  ASSERT_EQ(m_rec.audits.size(), 1u);
  EXPECT_NE(m_rec.audits[0].find("NOT VERIFIED"), std::string::npos);
  EXPECT_NE(m_rec.audits[0].find("Netvane.exe, helper.dll"), std::string::npos);
  EXPECT_EQ(Read(m_root / "Netvane" / "orgcontinue.exe"), "finisher program");
  EXPECT_EQ(m_rec.started, Installed("orgcontinue.exe"));
  EXPECT_EQ(m_rec.parameters, "Tarn Netvane-H \"C:\\N\\Netvane.exe\"");
  EXPECT_EQ(m_rec.trayCommands, 1);
  // continue starts only once the tray program has ended.
  EXPECT_EQ(m_rec.handOver, (std::vector<std::string>{"tray command", "wait 120000, ended",
                                                      "start " + Installed("orgcontinue.exe")}));
  EXPECT_EQ(m_rec.lastServer, "LOCAL");
  EXPECT_EQ(m_rec.cwd, m_request.list.installedPath);
  EXPECT_EQ(m_ftp.connectedTo, m_request.endpoint);
  EXPECT_NE(std::find(m_rec.statuses.begin(), m_rec.statuses.end(), "2/2 Downloading"), m_rec.statuses.end());
}

TEST_F(UpdateRunTest, RunsThatEndWithoutHandOver) {
  const struct {
    const char* name;
    std::function<void(UpdateRunTest&)> arrange;
    RunEnd end;
    std::string message;
    int listings;
  } cases[] = {
      {"nothing newer",
       [](UpdateRunTest& t) {
         t.m_versions.installed[t.Installed("a.exe")] = {1, 2, 3};
       },
       RunEnd::kNothingToUpdate, "Update already Complete", 0},
      {"never listed", [](UpdateRunTest& t) { t.m_ftp.unlisted.insert("a.exe"); }, RunEnd::kFailed,
       UpdateTexts().writeProtect, 6},
      {"connection dropped mid-file", [](UpdateRunTest& t) { t.m_ftp.dropAfter["a.exe"] = 4096; },
       RunEnd::kFailed, UpdateTexts().readProtect, 1},
      {"stop mid-file",
       [](UpdateRunTest& t) {
         t.m_ftp.onBlock = [&t](const std::string& name, uint64_t sent) {
           if (name == "a.exe" && sent >= 4096) t.m_stop = true;
         };
       },
       RunEnd::kStopped, "", 1},
      {"no list on the server", [](UpdateRunTest& t) { t.m_ftp.files.erase("VerSion.txt"); }, RunEnd::kFailed,
       UpdateTexts().failList, 0},
      {"server unreachable", [](UpdateRunTest& t) { t.m_ftp.refuseConnect = true; }, RunEnd::kConnectFailed,
       "", 0},
      {"binary file whose connection ends early",
       [](UpdateRunTest& t) {
         t.m_ftp.dropAfter["a.exe"] = 4096;
         t.m_ftp.endsQuietly.insert("a.exe");
       },
       RunEnd::kFailed, UpdateTexts().readProtect, 1},
      {"ASCII file whose connection ends early",
       [](UpdateRunTest& t) {
         t.m_ftp.files["VerSion.txt"] = "notes.txt|ALL|ALL|INSTALLEDPATH|1.2.3\r\n";
         for (int i = 0; i < 1000; ++i) t.m_ftp.files["notes.txt"] += "a line of notes\r\n";
         t.m_ftp.dropAfter["notes.txt"] = 8000;
         t.m_ftp.endsQuietly.insert("notes.txt");
       },
       RunEnd::kFailed, UpdateTexts().readProtect, 1},
      {"listed with size 0", [](UpdateRunTest& t) { t.m_ftp.files["a.exe"].clear(); }, RunEnd::kFailed,
       UpdateTexts().readProtect, 1},
      {"two lines reach one staged file",
       [](UpdateRunTest& t) { t.m_ftp.files["VerSion.txt"] += "A.EXE.|ALL|ALL|SYSDIR|1.2.3\r\n"; },
       RunEnd::kFailed, UpdateTexts().sameName, 0},
      {"a short name of an earlier line",
       [](UpdateRunTest& t) {
         t.m_ftp.files["VerSion.txt"] =
             "longfilename.dll|ALL|ALL|INSTALLEDPATH|1.0.0\r\nLONGFI~1.DLL|ALL|ALL|SYSDIR|1.0.0\r\n";
       },
       RunEnd::kFailed, UpdateTexts().sameName, 0},
      {"verified updates required, no key", [](UpdateRunTest& t) { t.m_rec.requireVerified = true; },
       RunEnd::kFailed, UpdateTexts().verifiedRequired, 0},
      {"empty InstalledPath", [](UpdateRunTest& t) { t.m_request.list.installedPath.clear(); },
       RunEnd::kFailed, UpdateTexts().badInstalledPath, 0},
      {"relative InstalledPath", [](UpdateRunTest& t) { t.m_request.list.installedPath = "Netvane"; },
       RunEnd::kFailed, UpdateTexts().badInstalledPath, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_ftp = MemoryFtp();
    m_rec = Recorder();
    m_stop = false;
    m_versions.installed.clear();
    m_request.list.installedPath = (m_root / "Netvane").string();
    m_ftp.files["VerSion.txt"] = "a.exe|ALL|ALL|INSTALLEDPATH|1.2.3|Restart||NONE\r\n";
    m_ftp.files["a.exe"] = std::string(10000, 'a');
    c.arrange(*this);
    const RunOutcome out = RunIt();
    EXPECT_EQ(out.end, c.end);
    EXPECT_EQ(out.message, c.message);
    EXPECT_EQ(m_ftp.listings, c.listings);
    EXPECT_FALSE(HandOverListWritten());
    EXPECT_TRUE(m_rec.started.empty());
    EXPECT_EQ(m_rec.trayCommands, 0);
    // A refusal before any transfer stages nothing (a broken transfer may leave part of a file,
    // which the next run's fresh staging folder drops).
    if (c.listings == 0) {
      EXPECT_FALSE(stdfs::exists(Staged("a.exe")));
    }
    EXPECT_FALSE(stdfs::exists("Netvane"));
    EXPECT_FALSE(stdfs::exists("UpdateTemp"));
  }
}

TEST_F(UpdateRunTest, TheStagingFolderIsMadeAnewAndPrivate) {
  m_ftp.files["VerSion.txt"] = "a.exe|ALL|ALL|INSTALLEDPATH|1.2.3\r\n";
  m_ftp.files["a.exe"] = "new";
  // A file left by someone else is gone before anything is staged.
  stdfs::create_directories(m_root / "Netvane" / "UpdateTemp");
  Write(m_root / "Netvane" / "UpdateTemp" / "planted.dll", "planted");
  ASSERT_EQ(RunIt().end, RunEnd::kHandedOver);
  EXPECT_FALSE(stdfs::exists(Staged("planted.dll")));
  EXPECT_EQ(Read(Staged("a.exe")), "new");
#ifndef _WIN32
  EXPECT_EQ(stdfs::status(m_root / "Netvane" / "UpdateTemp").permissions() & stdfs::perms::all,
            stdfs::perms::owner_all);
  // A link where the folder belongs is refused and what it points at stays untouched.
  stdfs::remove_all(m_root / "Netvane" / "UpdateTemp");
  stdfs::remove(m_root / "Netvane" / "VerSion.txt");
  stdfs::create_directories(m_root / "elsewhere");
  Write(m_root / "elsewhere" / "keep.dll", "keep");
  stdfs::create_directory_symlink(m_root / "elsewhere", m_root / "Netvane" / "UpdateTemp");
  m_rec = Recorder();
  const RunOutcome out = RunIt();
  EXPECT_EQ(out.end, RunEnd::kFailed);
  EXPECT_EQ(out.message, UpdateTexts().badStaging);
  EXPECT_EQ(Read(m_root / "elsewhere" / "keep.dll"), "keep");
  EXPECT_FALSE(stdfs::exists(m_root / "elsewhere" / "a.exe"));
  EXPECT_TRUE(m_rec.started.empty());
#endif
}

TEST_F(UpdateRunTest, ListSequenceLine) {
  uint32_t n = 7;
  EXPECT_TRUE(ListSequence("# signed\r\n#SEQUENCE 42\r\na|b\r\n", n));
  EXPECT_EQ(n, 42u);
  EXPECT_TRUE(ListSequence("  #sequence   4294967295  \n", n));
  EXPECT_EQ(n, 4294967295u);
  EXPECT_FALSE(ListSequence("#SEQUENCE 4294967296\n", n));
  EXPECT_FALSE(ListSequence("#SEQUENCE x1\n", n));
  EXPECT_FALSE(ListSequence("# SEQUENCE 5\na|b\n", n));
  EXPECT_FALSE(ListSequence("", n));
}

TEST_F(UpdateRunTest, VerifiedUpdates) {
  const auto flip = [](std::string s, size_t at) {
    s[at] ^= 0x01;
    return s;
  };
  const struct {
    const char* name;
    std::string key, list, signature, program;
    bool withSignature;
    RunEnd end;
    std::string message;
  } cases[] = {
      {"valid signature and hash", kPublicKey, kSignedList, kSignedListSignature, kSignedProgram, true,
       RunEnd::kHandedOver, ""},
      {"one byte flipped in the list", kPublicKey, flip(kSignedList, 5), kSignedListSignature, kSignedProgram,
       true, RunEnd::kFailed, UpdateTexts().badSignature},
      {"one byte flipped in the signature", kPublicKey, kSignedList, flip(kSignedListSignature, 10),
       kSignedProgram, true, RunEnd::kFailed, UpdateTexts().badSignature},
      {"one byte flipped in the file", kPublicKey, kSignedList, kSignedListSignature,
       flip(kSignedProgram, 3000), true, RunEnd::kFailed, UpdateTexts().badHash},
      {"no signature file", kPublicKey, kSignedList, "", kSignedProgram, false, RunEnd::kFailed,
       UpdateTexts().badSignature},
      {"signed list without hashes", kPublicKey, kUnhashedList, kUnhashedListSignature, kSignedProgram, true,
       RunEnd::kFailed, UpdateTexts().noHash},
      {"unreadable key", "12ab", kSignedList, kSignedListSignature, kSignedProgram, true, RunEnd::kFailed,
       UpdateTexts().badKey},
      {"no key: not verified", "", flip(kSignedList, 5), "garbage", flip(kSignedProgram, 3000), true,
       RunEnd::kHandedOver, ""},
      // The signed list has no sequence line: once a numbered list was installed, it is a replay.
      {"unnumbered list after a numbered one", kPublicKey, kSignedList, kSignedListSignature, kSignedProgram,
       true, RunEnd::kFailed, UpdateTexts().oldSequence},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    stdfs::remove_all(m_root / "Netvane" / "UpdateTemp");
    stdfs::remove(m_root / "Netvane" / "VerSion.txt");
    m_ftp = MemoryFtp();
    m_rec = Recorder();
    m_rec.key = c.key;
    if (std::string(c.name) == "unnumbered list after a numbered one") m_rec.sequence = 12;
    m_ftp.files["VerSion.txt"] = c.list;
    if (c.withSignature) m_ftp.files["VerSion.txt.sig"] = c.signature;
    m_ftp.files["Netvane.exe"] = c.program;
    const RunOutcome out = RunIt();
    EXPECT_EQ(out.end, c.end);
    EXPECT_EQ(out.message, c.message);
    const bool handedOver = c.end == RunEnd::kHandedOver;
    EXPECT_EQ(HandOverListWritten(), handedOver);
    EXPECT_EQ(stdfs::exists(Staged("Netvane.exe")), handedOver);
    EXPECT_EQ(m_rec.started.empty(), !handedOver);
    // A hand-over is on the audit trail, saying whether it was checked; a refusal hands nothing over.
    ASSERT_EQ(m_rec.audits.size(), handedOver ? 1u : 0u);
    if (handedOver) {
      EXPECT_EQ(m_rec.audits[0],
                std::string("update from LOCAL (") + m_request.endpoint.address + ") handed over " +
                    (c.key.empty() ? "NOT VERIFIED (no update key configured)" : "verified") +
                    ": Netvane.exe");
    }
  }
}

}  // namespace
}  // namespace nv::updater
