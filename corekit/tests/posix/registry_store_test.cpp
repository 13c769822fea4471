// The native registry store itself: where it lives, how it treats a file that is not a store,
// and what it refuses to offer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "corekit/registry.h"
#include "corekit/registry_store_path.h"
#include "corekit/win32_error_codes.h"

namespace err = corekit::win32_error;
namespace fs = std::filesystem;

namespace {

// Sets (or clears) an environment variable for the scope of a test.
class EnvOverride {
 public:
  EnvOverride(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvOverride() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "nv-store-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string dir;
};

TEST(RegistryStorePath, FollowsTheEnvironment) {
  struct Case {
    std::optional<std::string> db, state, home;
    std::string expected;
  } cases[] = {
      {"/x/reg.db", "/state", "/home/u", "/x/reg.db"},
      {"", "/state", "/home/u", "/state/netvane/registry.db"},
      {std::nullopt, "relative", "/home/u", "/home/u/.local/state/netvane/registry.db"},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.local/state/netvane/registry.db"},
      {std::nullopt, std::nullopt, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EnvOverride db("NV_REGISTRY_DB", c.db), state("XDG_STATE_HOME", c.state), home("HOME", c.home);
    EXPECT_EQ(corekit::RegistryStorePath(), c.expected);
  }
}

TEST_F(RegistryStore, CreatesItsFileAndFoldersOnFirstUse) {
  const std::string file = dir + "/a/b/registry.db";
  CRegistry reg(corekit::OpenRegistryStore(file));
  EXPECT_FALSE(fs::exists(file));
  ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine)) << reg.GetErrorCode();
  ASSERT_TRUE(reg.Create("SOFTWARE\\Tarn\\Netvane-H"));
  EXPECT_TRUE(fs::exists(file));
}

TEST_F(RegistryStore, AFileThatIsNotAStoreIsReportedAndLeftAlone) {
  const std::string file = dir + "/registry.db";
  const std::string garbage(4096, 'g');
  std::ofstream(file, std::ios::binary) << garbage;

  CRegistry reg(corekit::OpenRegistryStore(file));
  EXPECT_EQ(reg.uOpenKey(corekit::kHKeyLocalMachine, "SOFTWARE"), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kRegistryCorrupt);
  EXPECT_EQ(reg.SetValue("dwAny", uint32_t{1}), 0);

  std::stringstream content;
  content << std::ifstream(file, std::ios::binary).rdbuf();
  EXPECT_EQ(content.str(), garbage);
}

TEST_F(RegistryStore, AnUnusableLocationIsAnIoFailure) {
  CRegistry reg(corekit::OpenRegistryStore("/dev/null/netvane/registry.db"));
  EXPECT_EQ(reg.Connect(corekit::kHKeyLocalMachine), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kRegistryIoFailed);
}

TEST_F(RegistryStore, TwoStoresOnOneFileShareTheirKeys) {
  const std::string file = dir + "/registry.db";
  CRegistry writer(corekit::OpenRegistryStore(file));
  CRegistry reader(corekit::OpenRegistryStore(file));
  writer.Connect(corekit::kHKeyLocalMachine);
  ASSERT_TRUE(writer.Create("SOFTWARE\\Shared"));
  ASSERT_TRUE(writer.SetValue("szName", std::string("one")));

  ASSERT_TRUE(reader.uOpenKey(corekit::kHKeyLocalMachine, "software\\shared"));
  std::string text;
  EXPECT_TRUE(reader.GetValue("SZNAME", text));
  EXPECT_EQ(text, "one");
  // The roots are separate trees.
  CRegistry user(corekit::OpenRegistryStore(file));
  EXPECT_EQ(user.uOpenKey(corekit::kHKeyCurrentUser, "SOFTWARE\\Shared"), 0);
  EXPECT_EQ(user.GetErrorCode(), err::kFileNotFound);
}

TEST_F(RegistryStore, HivesSecurityAndNotificationAreNotOffered) {
  CRegistry reg(corekit::OpenRegistryStore(dir + "/registry.db"));
  ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(reg.Create("SOFTWARE\\Hive"));
  uint8_t descriptor[64] = {};
  uint32_t size = sizeof descriptor;
  int event = 0;
  struct Case {
    const char* what;
    std::function<int()> call;
  } cases[] = {
      {"Load", [&] { return reg.Load("Mounted", "/tmp/hive"); }},
      {"UnLoad", [&] { return reg.UnLoad("Mounted"); }},
      {"Replace", [&] { return reg.Replace("Hive", "new", "old"); }},
      {"Save", [&] { return reg.Save("/tmp/hive"); }},
      {"Restore", [&] { return reg.Restore("/tmp/hive"); }},
      {"GetSecurity", [&] { return reg.GetSecurity(4, descriptor, size); }},
      {"SetSecurity", [&] { return reg.SetSecurity(4, descriptor); }},
      {"NotifyChange", [&] { return reg.NotifyChange(&event); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(reg.GetErrorCode(), err::kNotSupported);
  }
}

TEST_F(RegistryStore, OnlyThisMachineCanBeConnected) {
  CRegistry reg(corekit::OpenRegistryStore(dir + "/registry.db"));
  EXPECT_EQ(reg.Connect(corekit::kHKeyLocalMachine, "\\\\some-other-host"), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kBadNetPath);

  char host[260] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  EXPECT_TRUE(reg.Connect(corekit::kHKeyLocalMachine, (std::string("\\\\") + host).c_str()));
  EXPECT_EQ(reg.GetComputerNameA(), std::string("\\\\") + host);
}

}  // namespace
