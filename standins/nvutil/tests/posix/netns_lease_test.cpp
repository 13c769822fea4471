// Release and renew through the interface's running busybox udhcpc, answered by a busybox
// udhcpd in the peer namespace; everything lives in namespaces of the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "nvutil/net_util.h"
#include "test_support.h"

using nvtest::Contains;
using nvtest::RunCommand;

namespace {

namespace fs = std::filesystem;

class NetnsLease : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nvtest::IsRoot()) GTEST_SKIP() << "needs root to create network namespaces";
    if (!nvtest::HaveCommand("ip") || !nvtest::HaveCommand("busybox"))
      GTEST_SKIP() << "needs the ip command and busybox (udhcpc, udhcpd)";
    const std::string error = pair.Create();
    if (!error.empty()) GTEST_SKIP() << "cannot build test namespaces here: " << error;
    ASSERT_EQ(RunCommand({"ip", "-n", pair.nsB, "addr", "add", "10.213.8.1/24", "dev", pair.ifB}).exitCode,
              0);

    char pattern[] = "/tmp/nvutil-lease-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    {
      std::ofstream conf(dir / "udhcpd.conf");
      conf << "start 10.213.8.100\nend 10.213.8.110\ninterface " << pair.ifB << "\n"
           << "lease_file " << (dir / "udhcpd.leases").string() << "\n"
           << "pidfile " << (dir / "udhcpd.pid").string() << "\n"
           << "option subnet 255.255.255.0\noption router 10.213.8.1\noption lease 600\n";
      std::ofstream script(dir / "event.sh");
      script << "#!/bin/sh\n"
                "case \"$1\" in\n"
                "  deconfig) ip -4 addr flush dev \"$interface\" ;;\n"
                "  bound|renew) ip -4 addr flush dev \"$interface\"; ip addr add \"$ip/${mask:-24}\" dev "
                "\"$interface\" ;;\n"
                "esac\nexit 0\n";
    }
    fs::permissions(dir / "event.sh", fs::perms::owner_all);
    std::ofstream(dir / "udhcpd.leases").close();

    ASSERT_TRUE(server.Start(
        {"ip", "netns", "exec", pair.nsB, "busybox", "udhcpd", "-f", (dir / "udhcpd.conf").string()},
        (dir / "udhcpd.log").string()));
    ASSERT_TRUE(client.Start({"ip", "netns", "exec", pair.nsA, "busybox", "udhcpc", "-f", "-i", pair.ifA,
                              "-s", (dir / "event.sh").string(), "-t", "5", "-T", "1", "-A", "1"},
                             (dir / "udhcpc.log").string()));
    ASSERT_TRUE(nvtest::WaitFor([&] { return HeldAddress() != ""; }, 20000))
        << "no first lease; udhcpc: " << Log("udhcpc.log") << " udhcpd: " << Log("udhcpd.log");
    inside = std::make_unique<nvtest::EnterNetns>(pair.nsA);
    ASSERT_TRUE(inside->ok());
    util.SetTraceSink([this](const std::string& line) { traces += line; });
  }

  void TearDown() override {
    inside.reset();
    client.Stop();
    server.Stop();
    if (!dir.empty()) {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  }

  // The "inet a.b.c.d/n" the adapter holds, or empty.
  std::string HeldAddress() {
    const std::string out =
        RunCommand({"ip", "-n", pair.nsA, "-4", "-o", "addr", "show", "dev", pair.ifA}).output;
    const auto pos = out.find("inet ");
    return pos == std::string::npos ? "" : out.substr(pos + 5, out.find(' ', pos + 5) - pos - 5);
  }
  std::string Log(const char* name) {
    std::ifstream in(dir / name);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  nvtest::NetnsPair pair{"lease"};
  fs::path dir;
  nvtest::ChildProcess server, client;
  std::unique_ptr<nvtest::EnterNetns> inside;
  CNetUtil util;
  std::string traces;
};

}  // namespace

TEST_F(NetnsLease, ReleaseDropsTheAddressAndRenewGetsALeaseAgain) {
  const std::uint32_t index = util.GetInterfaceNum(nvtest::LinkMac(pair.nsA, pair.ifA));
  ASSERT_NE(index, 0u) << traces;

  EXPECT_EQ(util.LeaseIP(index, 0), 1) << traces;
  EXPECT_EQ(HeldAddress(), "") << traces;
  EXPECT_TRUE(client.Running()) << "the client must stay, waiting for the renew";

  EXPECT_EQ(util.LeaseIP(index, 1), 1) << traces << Log("udhcpc.log");
  const std::string held = HeldAddress();
  EXPECT_TRUE(Contains(held, "10.213.8.1") && Contains(held, "/24")) << held;
  EXPECT_TRUE(Contains(traces, "holds " + held.substr(0, held.find('/')))) << traces;

  // Renewing a lease that is held: the client sets its address anew.
  EXPECT_EQ(util.LeaseIP(index, 1), 1) << traces;
  EXPECT_NE(HeldAddress(), "");
}

TEST_F(NetnsLease, ReleaseWithoutAnAddressAndAClientThatIsGone) {
  const std::uint32_t index = util.GetInterfaceNum(nvtest::LinkMac(pair.nsA, pair.ifA));
  ASSERT_NE(index, 0u) << traces;
  ASSERT_EQ(util.LeaseIP(index, 0), 1) << traces;
  EXPECT_EQ(util.LeaseIP(index, 0), 1) << traces;
  EXPECT_TRUE(Contains(traces, "no address was held")) << traces;

  client.Stop();
  traces.clear();
  EXPECT_EQ(util.LeaseIP(index, 1), 0);
  EXPECT_TRUE(Contains(traces, "no DHCP client manages " + pair.ifA)) << traces;
  EXPECT_EQ(HeldAddress(), "");
}

// A client that gives up after a few tries (its event script ends it on "leasefail", as the
// lab's does) ends a renew nobody answers in seconds, not at the 60 s limit.
TEST_F(NetnsLease, RenewFailsAsSoonAsTheClientGivesUp) {
  const std::uint32_t index = util.GetInterfaceNum(nvtest::LinkMac(pair.nsA, pair.ifA));
  ASSERT_NE(index, 0u) << traces;
  {
    std::ofstream script(dir / "giving-up.sh");
    script << "#!/bin/sh\n"
              "case \"$1\" in\n"
              "  deconfig) ip -4 addr flush dev \"$interface\" ;;\n"
              "  bound|renew) ip addr replace \"$ip/${mask:-24}\" dev \"$interface\" ;;\n"
              "  leasefail) kill -TERM $PPID ;;\n"
              "esac\nexit 0\n";
  }
  fs::permissions(dir / "giving-up.sh", fs::perms::owner_all);
  client.Stop();
  ASSERT_TRUE(client.Start({"ip", "netns", "exec", pair.nsA, "busybox", "udhcpc", "-f", "-i", pair.ifA, "-s",
                            (dir / "giving-up.sh").string(), "-t", "2", "-T", "1", "-A", "1"},
                           (dir / "udhcpc.log").string()));
  ASSERT_TRUE(nvtest::WaitFor([&] { return HeldAddress() != ""; }, 20000)) << Log("udhcpc.log");
  ASSERT_EQ(util.LeaseIP(index, 0), 1) << traces;

  ASSERT_EQ(::kill(server.pid(), SIGSTOP), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(util.LeaseIP(index, 1), 0) << traces;
  const auto took = std::chrono::steady_clock::now() - start;
  ::kill(server.pid(), SIGCONT);
  EXPECT_LT(took, std::chrono::seconds(15)) << traces;
  EXPECT_TRUE(Contains(traces, "gave up without an address")) << traces;
  EXPECT_EQ(HeldAddress(), "");
}
