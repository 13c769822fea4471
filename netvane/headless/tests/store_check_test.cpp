// nvchange on a store it cannot use: it names the cause and creates nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "corekit/registry.h"
#include "corekit/registry_store_path.h"
#include "platform/testing/child_process.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr
};

// `asUser`: the command that runs the program as another user (empty: as we are).
RunResult RunNvchange(const std::string& store, const std::string& args, const std::string& asUser = "") {
  const std::string command = asUser + " env NV_REGISTRY_DB='" + store + "' '" +
                              nv::testing::SiblingProgram("nvchange") + "' " + args + " 2>&1";
  RunResult run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class StoreCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "nv-runner-store-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string dir;
};

TEST_F(StoreCheck, NvchangeNamesWhatIsWrongWithTheStore) {
  std::ofstream(dir + "/garbage.db", std::ios::binary) << std::string(4096, 'g');
  fs::create_directory(dir + "/folder.db");
  {
    CRegistry reg(corekit::OpenRegistryStore(dir + "/empty.db"));
    ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
    ASSERT_TRUE(reg.Create("SOFTWARE\\Tarn\\Netvane-H"));
  }
  struct Case {
    std::string store;
    const char* cause;
  } cases[] = {
      {dir + "/new/folders/registry.db", "is missing"},
      {dir + "/garbage.db", "is corrupt"},
      {dir + "/folder.db", "is a folder"},
      {dir + "/empty.db", "no adapter is configured"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.store);
    const RunResult run = RunNvchange(c.store, "A");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find(c.cause), std::string::npos) << run.output;
  }
  EXPECT_FALSE(fs::exists(dir + "/new"));
  // Configuring the lab does not write over a broken store either.
  const RunResult configure = RunNvchange(dir + "/garbage.db", "--configure-lab lo " + dir);
  EXPECT_EQ(configure.exitCode, 1);
  EXPECT_NE(configure.output.find("is corrupt"), std::string::npos) << configure.output;
  EXPECT_EQ(fs::file_size(dir + "/garbage.db"), 4096u);

  // Unreadable: root reads every file, so the run drops to an ordinary user first.
  const std::string locked = dir + "/locked.db";
  fs::copy_file(dir + "/empty.db", locked);
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  std::string asUser;
  if (::geteuid() == 0) {
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups";
  }
  const RunResult run = RunNvchange(locked, "A", asUser);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("is unreadable"), std::string::npos) << run.output;
}

}  // namespace
