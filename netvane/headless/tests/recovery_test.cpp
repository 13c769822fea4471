// nvchange finds fixed settings a run that died left on the adapter and takes them off before
// anything else, with a log line of its own. Root only: a network namespace of the test's own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "corekit/registry.h"
#include "corekit/registry_store_path.h"
#include "platform/testing/child_process.h"

namespace fs = std::filesystem;

namespace {

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

class NvchangeRecovery : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root (a network namespace of its own)";
    std::string pattern = (fs::temp_directory_path() / "nv-recovery-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ns_ = "nvrec" + std::to_string(::getpid());
    // "ip netns exec" shows the namespace's own adapters in /sys, as --configure-lab needs.
    ASSERT_EQ(Shell("ip netns add " + ns_), "");
    made_ = true;
    In("ip link add nvfix0 type veth peer name nvfix1 && ip link set nvfix1 up && ip link set nvfix0 up");
  }
  void TearDown() override {
    if (made_) Shell("ip netns del " + ns_);
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  std::string In(const std::string& command) {
    return Shell("ip netns exec " + ns_ + " env NV_REGISTRY_DB='" + dir_ + "/registry.db' sh -c '" + command +
               "'");
  }
  std::string dir_, ns_;
  bool made_ = false;
};

TEST_F(NvchangeRecovery, ARecordLeftByARunThatDiedIsUndoneBeforeTheChange) {
  const std::string nvchange = nv::testing::SiblingProgram("nvchange");
  fs::create_directory(dir_ + "/install");
  ASSERT_NE(In(nvchange + " --configure-lab nvfix0 " + dir_ + "/install").find("configured nvfix0"),
            std::string::npos);
  // What a run that died on network B leaves: B's settings on the adapter and their record.
  In("ip addr add 10.92.1.50/24 dev nvfix0 && ip route add default via 10.92.1.1");
  {
    CRegistry reg(corekit::OpenRegistryStore(dir_ + "/registry.db"));
    ASSERT_TRUE(reg.uOpenKey(corekit::kHKeyLocalMachine, "SOFTWARE\\Tarn\\Netvane-H\\IPCfg"));
    ASSERT_TRUE(reg.SetStringValue("szAppliedStatic", "nvfix0|10.92.1.50|255.255.255.0|10.92.1.1"));
  }
  const std::string out = In("timeout 120 " + nvchange + " --gateway-wait 0 A");
  EXPECT_EQ(out.rfind("RECOVER fixed settings of an interrupted change taken off: 10.92.1.50/255.255.255.0 "
                      "gateway 10.92.1.1 on nvfix0; DHCP is back\n",
                      0),
            0u)
      << out;
  EXPECT_EQ(In("ip -4 addr show dev nvfix0").find("10.92.1.50"), std::string::npos);
  EXPECT_EQ(In("ip -4 route show default").find("10.92.1.1"), std::string::npos);
  CRegistry reg(corekit::OpenRegistryStore(dir_ + "/registry.db"));
  ASSERT_TRUE(reg.uOpenKey(corekit::kHKeyLocalMachine, "SOFTWARE\\Tarn\\Netvane-H\\IPCfg"));
  std::string left;
  EXPECT_FALSE(reg.GetStringValue("szAppliedStatic", left)) << left;
  std::string log;
  for (const auto& file : fs::directory_iterator(dir_ + "/install/Log")) {
    std::ifstream in(file.path());
    log += std::string(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_NE(log.find(",RECOVER fixed settings of an interrupted change taken off"), std::string::npos) << log;
  std::printf("nvchange said:\n%s", out.c_str());
}

}  // namespace
