// The update run natively over libcurl against the real FTP server of run_with_ftp.sh: listing
// with sizes, binary and ASCII transfers, a file never listed, a dropped connection, a signed list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "update_run.h"

namespace nv::updater {
namespace {

namespace stdfs = std::filesystem;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ReadFile(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const stdfs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class Recorder final : public IRunSettings, public IHandOverActions, public IUpdateView {
 public:
  std::string key, started;
  void SetLastServerName(const std::string&) override {}
  void SetCwd(const std::string&) override {}
  std::string UpdatePublicKey() override { return key; }
  bool RequireVerifiedUpdates() override { return false; }
  uint32_t InstalledSequence() override { return 0; }
  void SetInstalledSequence(uint32_t) override {}
  void Audit(const std::string&) override {}
  void SendCommandToTray() override {}
  bool WaitForTrayToEnd(unsigned) override { return true; }
  bool StartProgram(const std::string& program, const std::string&) override {
    started = program;
    return true;
  }
  void ShowStatus(const std::string&) override {}
  void ShowTotalProgress(int) override {}
  void ShowFileProgress(int) override {}
  bool Ask(const std::string&) override { return false; }
};

class CurlRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("NV_FTP_ROOT").empty()) << "run through run_with_ftp.sh";
    m_server = stdfs::path(Env("NV_FTP_ROOT")) / "Netvane-H";
    m_install = stdfs::temp_directory_path() / ("nv-curl-run-" + std::to_string(::getpid()));
    stdfs::remove_all(m_install);
    stdfs::create_directories(m_install);
    WriteFile(m_install / "continue.exe", "finisher");
    m_request.serverName = "LOCAL";
    m_request.endpoint = {"127.0.0.1", "user", "pw"};
    m_request.port = static_cast<uint16_t>(std::atoi(Env("NV_FTP_PORT").c_str()));
    m_request.remoteDir = "Netvane-H";
    m_request.makerKey = "Tarn";
    m_request.programPath = "/opt/netvane/netvane";
    m_request.list.installedPath = m_install.string();
    m_request.list.versionName = "WINNT";
    m_request.list.style = PathStyle::kPosix;
  }
  void TearDown() override { stdfs::remove_all(m_install); }
  RunOutcome RunIt() {
    auto ftp = NewNativeFtpSession();
    m_rec = Recorder();
    m_rec.key = m_key;
    std::atomic<bool> stop{false};
    return RunUpdate(
        m_request, UpdateTexts(),
        {*ftp, NativeFileSystem(), NativeFileVersionReader(), NativeCrypto(), m_rec, m_rec, m_rec}, stop);
  }

  stdfs::path m_server, m_install;
  RunRequest m_request;
  Recorder m_rec;
  std::string m_key;
};

TEST_F(CurlRunTest, RunsAgainstARealServer) {
  std::string binary;
  for (int i = 0; i < 100000; ++i) binary += static_cast<char>(i * 7 % 256);
  WriteFile(m_server / "a.bin", binary);
  WriteFile(m_server / "notes.txt", "line one\r\nline two\r\n");
  WriteFile(m_server / "dropped.bin", std::string(300000, 'd'));
  {
    SCOPED_TRACE("binary and ASCII files staged and handed over");
    WriteFile(m_server / "VerSion.txt",
              "a.bin|ALL|ALL|INSTALLEDPATH|1.0.0\r\nnotes.txt|ALL|ALL|INSTALLEDPATH|1.0.0\r\n");
    const RunOutcome out = RunIt();
    EXPECT_EQ(out.end, RunEnd::kHandedOver) << out.message;
    EXPECT_EQ(ReadFile(m_install / "UpdateTemp" / "a.bin"), binary);
    EXPECT_NE(ReadFile(m_install / "UpdateTemp" / "notes.txt").find("line two"), std::string::npos);
    EXPECT_EQ(m_rec.started, (m_install / "orgcontinue.exe").string());
  }
  const struct {
    const char* name;
    const char* list;
    std::string message;
  } failures[] = {
      {"never listed", "missing.bin|ALL|ALL|INSTALLEDPATH|1.0.0\r\n", UpdateTexts().writeProtect},
      {"dropped mid-file", "dropped.bin|ALL|ALL|INSTALLEDPATH|1.0.0\r\n", UpdateTexts().readProtect},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.name);
    stdfs::remove(m_install / "VerSion.txt");
    WriteFile(m_server / "VerSion.txt", f.list);
    const RunOutcome out = RunIt();
    EXPECT_EQ(out.end, RunEnd::kFailed);
    EXPECT_EQ(out.message, f.message);
    EXPECT_FALSE(stdfs::exists(m_install / "VerSion.txt"));
  }
  if (const std::string signedDir = Env("NV_SIGNED_DIR"); !signedDir.empty()) {
    SCOPED_TRACE("signed list");
    for (const char* name : {"VerSion.txt", "VerSion.txt.sig", "signed.dll"}) {
      WriteFile(m_server / name, ReadFile(stdfs::path(signedDir) / name));
    }
    m_key = Env("NV_SIGNED_KEY");
    const RunOutcome out = RunIt();
    EXPECT_EQ(out.end, RunEnd::kHandedOver) << out.message;
    EXPECT_EQ(ReadFile(m_install / "UpdateTemp" / "signed.dll"),
              ReadFile(stdfs::path(signedDir) / "signed.dll"));
  }
}

}  // namespace
}  // namespace nv::updater
