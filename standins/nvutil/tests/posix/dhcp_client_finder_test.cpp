// The DHCP client search over a process table built in a scratch folder: which entries
// count as the interface's udhcpc, and that clients in other namespaces are left alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dhcp_client_finder.h"

namespace fs = std::filesystem;

namespace {

class DhcpClientFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nvutil-proc-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    std::ofstream(root / "own-netns").close();
    std::ofstream(root / "other-netns").close();
    finder.procRoot = (root / "proc").string();
    finder.ownNetns = (root / "own-netns").string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void AddProcess(int pid, const std::string& cmdline, bool ownNetns = true) {
    const fs::path dir = root / "proc" / std::to_string(pid);
    fs::create_directories(dir / "ns");
    std::ofstream(dir / "cmdline", std::ios::binary) << cmdline;
    fs::create_hard_link(root / (ownNetns ? "own-netns" : "other-netns"), dir / "ns" / "net");
  }

  fs::path root;
  nvutil::posix::DhcpClientFinder finder;
};

std::string Words(std::initializer_list<const char*> words) {
  std::string raw;
  for (const char* w : words) raw += std::string(w) + '\0';
  return raw;
}

}  // namespace

TEST_F(DhcpClientFinderTest, FindsTheInterfacesUdhcpcInOurNamespaceOnly) {
  AddProcess(40, Words({"busybox", "udhcpc", "-f", "-i", "eth1"}));
  AddProcess(12, Words({"udhcpc", "-i", "eth1"}), /*ownNetns=*/false);  // same name, other namespace
  AddProcess(30, Words({"udhcpc", "-i", "eth2"}));
  AddProcess(31, Words({"udhcpd", "-i", "eth1"}));
  AddProcess(32, "");  // a kernel thread
  AddProcess(35, Words({"/sbin/udhcpc", "--interface=eth1"}));
  fs::create_directories(root / "proc" / "self");
  fs::create_directories(root / "proc" / "sys");

  EXPECT_EQ(finder.FindUdhcpc("eth1"), (std::vector<pid_t>{35, 40}));
  EXPECT_EQ(finder.FindUdhcpc("eth2"), (std::vector<pid_t>{30}));
  EXPECT_TRUE(finder.FindUdhcpc("eth3").empty());
}

TEST_F(DhcpClientFinderTest, MissingProcessTableOrNamespaceFindsNothing) {
  AddProcess(40, Words({"udhcpc", "-i", "eth1"}));
  nvutil::posix::DhcpClientFinder noProc = finder;
  noProc.procRoot = (root / "absent").string();
  EXPECT_TRUE(noProc.FindUdhcpc("eth1").empty());
  nvutil::posix::DhcpClientFinder noNs = finder;
  noNs.ownNetns = (root / "absent").string();
  EXPECT_TRUE(noNs.FindUdhcpc("eth1").empty());
  // A process without a namespace link (gone, or not ours to see) is not signalled.
  fs::remove(root / "proc" / "40" / "ns" / "net");
  EXPECT_TRUE(finder.FindUdhcpc("eth1").empty());
}
