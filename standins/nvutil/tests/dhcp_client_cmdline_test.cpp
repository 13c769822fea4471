#include <gtest/gtest.h>

#include "dhcp_client_cmdline.h"

using namespace nvutil;

TEST(DhcpClientCmdline, CommandLineWordsAreSplitAtNulBytes) {
  const std::string raw("udhcpc\0-i\0eth1\0", 15);
  EXPECT_EQ(SplitCmdline(raw), (std::vector<std::string>{"udhcpc", "-i", "eth1"}));
  EXPECT_TRUE(SplitCmdline("").empty());
  EXPECT_EQ(SplitCmdline("kworker/0:1"), (std::vector<std::string>{"kworker/0:1"}));
}

TEST(DhcpClientCmdline, InterfaceIsFoundInEveryFormUdhcpcAccepts) {
  struct Case {
    std::vector<std::string> argv;
    std::optional<std::string> iface;
  } cases[] = {
      {{"udhcpc", "-i", "eth1"}, "eth1"},
      {{"/sbin/udhcpc", "-ieth2"}, "eth2"},
      {{"busybox", "udhcpc", "-f", "-i", "veth7"}, "veth7"},
      {{"/bin/busybox", "udhcpc", "--interface=wan0"}, "wan0"},
      {{"udhcpc", "--interface", "lan0"}, "lan0"},
      {{"udhcpc", "-fqi", "br0"}, "br0"},
      {{"udhcpc", "-fib1"}, "b1"},
      {{"udhcpc", "-n", "-p", "/run/udhcpc.eth0.pid", "-i", "eth3"}, "eth3"},
      {{"udhcpc", "-s", "-i", "-i", "eth4"}, "eth4"},  // "-i" is the script's name here
      {{"udhcpc", "--script", "-i", "-i", "eth5"}, "eth5"},
      {{"udhcpc", "-f"}, "eth0"},  // udhcpc's own default
      {{"udhcpc", "-i", "a", "-i", "b"}, "b"},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& w : c.argv) joined += w + " ";
    SCOPED_TRACE(joined);
    EXPECT_EQ(UdhcpcInterface(c.argv), c.iface);
  }
}

TEST(DhcpClientCmdline, OtherProgramsAreNotTakenForUdhcpc) {
  const std::vector<std::vector<std::string>> others = {
      {},
      {"dhclient", "-i", "eth0"},
      {"busybox", "udhcpd", "/etc/udhcpd.conf"},
      {"busybox"},
      {"/usr/bin/udhcpc-wrapper", "-i", "eth0"},
      {"sh", "-c", "udhcpc -i eth0"},
  };
  for (const auto& argv : others) {
    SCOPED_TRACE(argv.empty() ? std::string("(empty)") : argv[0]);
    EXPECT_EQ(UdhcpcInterface(argv), std::nullopt);
  }
  EXPECT_EQ(UdhcpcInterface({"udhcpc", "-i"}), std::nullopt);  // option without its value
}
