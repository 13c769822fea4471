#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "corekit/psapi.h"
#include "platform/testing/child_process.h"
#include "support/test_support.h"

using corekit_test::ReadBytes;
using corekit_test::TempDir;

namespace {

struct Seen {
  std::string path;
  std::string name;
  unsigned long id;
};

class Collector : public CPSAPI {
 public:
  int stopAfter = -1;  // -1: never stop
  std::vector<Seen> processes;
  std::vector<Seen> modules;

  bool OnProcess(const std::string& image, unsigned long id) override {
    processes.push_back({image, "", id});
    return static_cast<int>(processes.size()) != stopAfter;
  }
  bool OnModule(void*, const std::string& fullPath, const std::string& name) override {
    modules.push_back({fullPath, name, 0});
    return true;
  }
};

std::string OwnFileName() { return std::filesystem::u8path(nv::testing::SelfPath()).filename().u8string(); }

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::u8path(path)); }

TEST(Psapi, EnumProcessesReportsThisProcess) {
  Collector c;
  ASSERT_NE(c.EnumProcesses(), 0);
  bool found = false;
  for (const Seen& p : c.processes) {
    if (p.id == corekit_test::OwnProcessId()) {
      found = true;
      EXPECT_TRUE(ImageNameMatches(OwnFileName(), p.path)) << p.path;
    }
  }
  EXPECT_TRUE(found);
  EXPECT_GT(c.processes.size(), 1u);
}

TEST(Psapi, HookReturningFalseStopsTheWalk) {
  Collector c;
  c.stopAfter = 1;
  EXPECT_NE(c.EnumProcesses(), 0);
  EXPECT_EQ(c.processes.size(), 1u);
}

TEST(Psapi, EnumProcessModulesListsTheProgramItself) {
  Collector c;
  ASSERT_NE(c.EnumProcessModules(corekit_test::OwnProcessId()), 0);
  bool found = false;
  for (const Seen& m : c.modules) {
    if (ImageNameMatches(OwnFileName(), m.name)) {
      found = true;
      EXPECT_TRUE(ImageNameMatches(m.name, m.path)) << m.path;
    }
  }
  EXPECT_TRUE(found);
}

TEST(Psapi, ImageNamesMatchBareOrWithTheirFolder) {
  struct Case {
    const char* name;
    const char* path;
    bool match;
  } cases[] = {
      {"UPDAGENT.EXE", "C:\\Program Files\\Tarn\\Updagent.exe", true},
      {"updagent.exe", "Updagent.exe", true},
      {"Updagent.exe", "/opt/tarn/Updagent.exe", true},
      {"Updagent.exe", "C:\\Tarn\\Updagent.exe.bak", false},
      {"Updagent.exe", "C:\\Updagent.exe\\other.exe", false},
      {"Updagent.exe", "C:\\Tarn\\", false},
      {"", "C:\\Tarn\\", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " / " + c.path);
    EXPECT_EQ(ImageNameMatches(c.name, c.path), c.match);
  }
}

TEST(Psapi, HelperCommandLines) {
  struct Case {
    bool nt, shell;
    const char* program;
    const char* file;
    const char* line;
  } cases[] = {
      {true, true, "net.exe", "C:\\WINDOWS\\system32\\net.exe", "net.exe use F: /delete "},
      {false, true, "net.exe", "C:\\WINDOWS\\COMMAND.COM", "COMMAND.COM /C net.exe use F: /delete "},
      {false, false, "net.exe", "C:\\WINDOWS\\net.exe", "net.exe use F: /delete "},
      {true, true, "D:\\Tools\\net.exe", "D:\\Tools\\net.exe", "D:\\Tools\\net.exe use F: /delete "},
      {true, false, "D:\\My Tools\\n.exe", "D:\\My Tools\\n.exe", "\"D:\\My Tools\\n.exe\" use F: /delete "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    const HelperCommand command =
        BuildHelperCommand("C:\\WINDOWS", c.nt, c.shell, c.program, "use F: /delete ");
    EXPECT_EQ(command.programFile, c.file);
    EXPECT_EQ(command.commandLine, c.line);
  }
}

class WinAppExecTest : public ::testing::Test {
 protected:
  const std::string helper = nv::testing::SiblingProgram("corekit_test_helper");
  TempDir dir;
  const std::string marker = dir.File("marker.txt");
  CPSAPI psapi;
};

TEST_F(WinAppExecTest, HelperThatEndsIsWaitedFor) {
  ASSERT_NE(psapi.WinAppExec(helper, "sleep 300 write " + marker + " a  b\tc", true, 20000), 0);
  EXPECT_EQ(ReadBytes(marker), "a|b|c") << "arguments are split at blanks";
}

TEST_F(WinAppExecTest, HelperStillRunningAtTheLimitIsKilled) {
  for (const unsigned long wait : {0ul, 300ul}) {
    SCOPED_TRACE(wait);
    ASSERT_NE(psapi.WinAppExec(helper, "sleep 800 write " + marker + " late", true, wait), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_FALSE(Exists(marker)) << "the helper outlived its limit";
  }
}

TEST_F(WinAppExecTest, ProgramThatDoesNotExistDoesNotStart) {
  EXPECT_EQ(psapi.WinAppExec("corekit-no-such-program.exe", "x", true, 1000), 0);
  EXPECT_EQ(psapi.WinAppExec(dir.File("missing.exe"), "", false, 1000), 0);
}

}  // namespace
