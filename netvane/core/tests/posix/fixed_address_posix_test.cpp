// The fixed-settings step on Linux's real calls, in a network namespace of this test's own with a
// veth pair as the adapter: applied, read back, taken off, and a record left by hand recovered.
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "netvane/cfginfo.h"
#include "netvane/fixed_address.h"

namespace {

constexpr const char* kAdapter = "nvfix0";

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
  }
  return out;
}

class MemoryStore : public nv::core::IAppliedStaticStore {
 public:
  std::optional<std::string> value;
  bool Read(std::string& text, bool& present) override {
    present = value.has_value();
    if (present) text = *value;
    return true;
  }
  bool Write(const std::string& text) override {
    value = text;
    return true;
  }
  bool Clear() override {
    value.reset();
    return true;
  }
};

class FixedAddressLinux : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root (a network namespace of its own)";
    if (::unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "no network namespace can be made here";
    ASSERT_EQ(std::system("ip link add nvfix0 type veth peer name nvfix1 && ip link set nvfix1 up && "
                          "ip link set nvfix0 up"),
              0);
    // (not from /sys: it shows the namespace it was mounted in)
    const std::string link = Shell(std::string("ip -o link show ") + kAdapter);
    const auto ether = link.find("link/ether ");
    ASSERT_NE(ether, std::string::npos) << link;
    unsigned m[6] = {};
    ASSERT_EQ(
        std::sscanf(link.c_str() + ether + 11, "%x:%x:%x:%x:%x:%x", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5]),
        6);
    for (int i = 0; i < 6; ++i) record_.ucMacAddr[i] = static_cast<uint8_t>(m[i]);
    record_.IPAddr = 0x0A5C0132;   // 10.92.1.50
    record_.NetMask = 0xFFFFFF00;  // /24
    record_.Gateway = 0x0A5C0101;  // 10.92.1.1
    platform_ = nv::core::MakeSystemFixedAddressPlatform();
    ASSERT_NE(platform_, nullptr);
  }
  NetCfgRecord record_;
  std::unique_ptr<nv::core::IFixedAddressPlatform> platform_;
  MemoryStore store_;
};

TEST_F(FixedAddressLinux, AppliesReadsBackTakesOffAndRecovers) {
  nv::core::FixedAddressStep step(*platform_, store_, [](const std::string&) {});
  const auto applied = step.Apply(record_);
  ASSERT_TRUE(applied.ok) << applied.detail;
  EXPECT_EQ(store_.value, "nvfix0|10.92.1.50|255.255.255.0|10.92.1.1");
  EXPECT_NE(Shell("ip -4 addr show dev nvfix0").find("inet 10.92.1.50/24"), std::string::npos);
  EXPECT_NE(Shell("ip -4 route show default").find("default via 10.92.1.1 dev nvfix0"), std::string::npos);

  ASSERT_TRUE(step.BackToDhcp().ok);
  EXPECT_EQ(Shell("ip -4 addr show dev nvfix0").find("10.92.1.50"), std::string::npos);
  EXPECT_EQ(Shell("ip -4 route show default"), "");
  EXPECT_FALSE(store_.value);
  EXPECT_TRUE(step.BackToDhcp().ok);  // nothing left: nothing to do

  // As a run that died leaves it: the settings on the adapter and the record in the store.
  ASSERT_EQ(std::system("ip addr add 10.92.1.50/24 dev nvfix0 && ip route add default via 10.92.1.1"), 0);
  store_.value = "nvfix0|10.92.1.50|255.255.255.0|10.92.1.1";
  const std::string line = step.Recover(record_);
  EXPECT_EQ(line,
            "RECOVER fixed settings of an interrupted change taken off: 10.92.1.50/255.255.255.0 "
            "gateway 10.92.1.1 on nvfix0; DHCP is back");
  EXPECT_EQ(Shell("ip -4 addr show dev nvfix0").find("10.92.1.50"), std::string::npos);
  EXPECT_EQ(Shell("ip -4 route show default"), "");
  EXPECT_FALSE(store_.value);
}

TEST_F(FixedAddressLinux, ARefusedRouteTakesTheAddressOffAgain) {
  record_.Gateway = 0x0A5D0101;  // 10.93.1.1: not on the adapter's subnet, the kernel refuses it
  nv::core::FixedAddressStep step(*platform_, store_, [](const std::string&) {});
  const auto applied = step.Apply(record_);
  EXPECT_FALSE(applied.ok);
  EXPECT_NE(applied.detail.find("ip route add refused"), std::string::npos) << applied.detail;
  EXPECT_EQ(Shell("ip -4 addr show dev nvfix0").find("10.92.1.50"), std::string::npos);
  EXPECT_EQ(store_.value, "nvfix0|10.92.1.50|255.255.255.0|10.93.1.1");  // until DHCP is back
}

}  // namespace
