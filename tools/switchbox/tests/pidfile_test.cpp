#include "pidfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace nv::switchbox;
namespace fs = std::filesystem;

namespace {

class PidFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "nvpidXXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  static std::string Read(const fs::path& p) {
    std::ifstream f(p);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  fs::path dir_;
};

}  // namespace

TEST_F(PidFileTest, WrittenWholeAndRemovedByItsOwner) {
  const fs::path p = dir_ / "box.pid";
  std::string error;
  ASSERT_TRUE(WritePidFile(p.string(), 4242, error)) << error;
  EXPECT_EQ(Read(p), "4242\n");
  EXPECT_FALSE(fs::exists(dir_ / "box.pid.tmp"));
  RemovePidFileIfOurs(p.string(), 4242);
  EXPECT_FALSE(fs::exists(p));
}

TEST_F(PidFileTest, ASuccessorsFileIsLeftAlone) {
  const fs::path p = dir_ / "box.pid";
  std::string error;
  ASSERT_TRUE(WritePidFile(p.string(), 4243, error));
  RemovePidFileIfOurs(p.string(), 4242);
  EXPECT_EQ(Read(p), "4243\n");
}

TEST_F(PidFileTest, UnwritableFolderIsReportedAndLeavesNoTemporary) {
  const fs::path p = dir_ / "missing" / "box.pid";
  std::string error;
  EXPECT_FALSE(WritePidFile(p.string(), 1, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_empty(dir_));
}
