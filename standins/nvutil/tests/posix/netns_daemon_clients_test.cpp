// Release and renew through NetworkManager (which cannot run here: no package, and it wants a
// system D-Bus and udev) and systemd-networkd (which the lab also runs for real,
// NV_LAB_CLIENT=networkd): a process named like the daemon lives in a namespace of the test's
// own, and fake nmcli/networkctl programs do what the real ones do to the interface (drop or set
// its address) and refuse what the real ones refuse (an unknown device, an unknown command).
// What is checked is what the network helper runs, in which order, that it waits for the
// effect, and what it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "linux_net_stack.h"
#include "test_support.h"

using nvtest::Contains;
using nvtest::RunCommand;

namespace {

namespace fs = std::filesystem;

class NetnsDaemonClients : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nvtest::IsRoot()) GTEST_SKIP() << "needs root to create network namespaces";
    if (!nvtest::HaveCommand("ip")) GTEST_SKIP() << "needs the ip command";
    const std::string error = pair.Create();
    if (!error.empty()) GTEST_SKIP() << "cannot build test namespaces here: " << error;
    char pattern[] = "/tmp/nvutil-daemons-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    fs::create_directories(dir / "tools");
    fs::create_directories(dir / "links");
    // Both fakes: connected/configured until told otherwise; every call is written down.
    WriteTool("nmcli", R"sh(case "$*" in
  "-t -f DEVICE,STATE device") echo "lo:unmanaged"; echo "@IF@:$(cat @STATE@)" ;;
  "device disconnect @IF@") ip -4 addr flush dev @IF@; echo disconnected >@STATE@; echo "Device '@IF@' successfully disconnected." ;;
  "device connect @IF@") ip addr add 10.213.9.7/24 dev @IF@; echo connected >@STATE@; echo "Device '@IF@' successfully activated." ;;
  "device disconnect "* | "device connect "*) echo "Error: Device '$3' not found." >&2; exit 10 ;;
  *) echo "Error: argument '$1' not understood." >&2; exit 2 ;;
esac)sh");
    WriteTool("networkctl", R"sh(case "$*" in
  "down @IF@") ip -4 addr flush dev @IF@ ;;
  "up @IF@") ;;
  "reconfigure @IF@") ip addr add 10.213.9.8/24 dev @IF@ ;;
  "down "* | "up "* | "reconfigure "*) echo "Interface \"$2\" not found." >&2; exit 1 ;;
  *) echo "Unknown command verb $1." >&2; exit 1 ;;
esac)sh");
    std::ofstream(dir / "STATE") << "connected\n";
    index = nvtest::LinkIndex(pair.nsA, pair.ifA);
    ASSERT_GT(index, 0);
    std::ofstream(dir / "links" / std::to_string(index))
        << "# This is private data.\nADMIN_STATE=configured\n";
    ASSERT_EQ(RunCommand({"ip", "-n", pair.nsA, "addr", "add", "10.213.9.5/24", "dev", pair.ifA}).exitCode,
              0);

    nvutil::posix::LinuxNetStack::Options options;
    options.releaseWaitMs = 5000;
    options.renewWaitMs = 5000;
    options.clients.toolDirs = {(dir / "tools").string()};
    options.clients.networkdLinks = (dir / "links").string();
    options.clients.stateDir = (dir / "state").string();
    stack = std::make_unique<nvutil::posix::LinuxNetStack>(options);
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }

  void WriteTool(const std::string& name, std::string body) {
    for (std::string::size_type at; (at = body.find("@IF@")) != std::string::npos;)
      body.replace(at, 4, pair.ifA);
    for (std::string::size_type at; (at = body.find("@STATE@")) != std::string::npos;)
      body.replace(at, 7, (dir / "STATE").string());
    std::ofstream(dir / "tools" / name) << "#!/bin/sh\necho \"$*\" >>" << (dir / "calls").string() << "\n"
                                        << body << "\n";
    ::chmod((dir / "tools" / name).c_str(), 0755);
  }
  // A process of the namespace whose command line is `argv0 rest...`, once it carries that name.
  bool StartNamed(nvtest::ChildProcess& process, const std::string& argv0, const std::string& rest = "") {
    const bool started = process.Start(
        {"ip", "netns", "exec", pair.nsA, "bash", "-c",
         "exec -a " + argv0 + " bash -c 'trap \"kill \\$!; exit 0\" TERM; sleep 1000 & wait' " + rest},
        (dir / (fs::path(argv0).filename().string() + ".log")).string());
    return started && nvtest::WaitFor(
                          [&] {
                            std::ifstream in("/proc/" + std::to_string(process.pid()) + "/cmdline");
                            std::string first;
                            return std::getline(in, first, '\0') && first == argv0;
                          },
                          5000);
  }
  std::string Calls() {
    std::ifstream in(dir / "calls");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string Held() {
    return RunCommand({"ip", "-n", pair.nsA, "-4", "-o", "addr", "show", "dev", pair.ifA}).output;
  }
  nvutil::Outcome Lease(nvutil::LeaseAction action) {
    nvtest::EnterNetns inside(pair.nsA);
    EXPECT_TRUE(inside.ok());
    return stack->Lease(static_cast<std::uint32_t>(index), action);
  }

  nvtest::NetnsPair pair{"dmn"};
  fs::path dir;
  int index = 0;
  std::unique_ptr<nvutil::posix::LinuxNetStack> stack;
};

TEST_F(NetnsDaemonClients, NetworkManagerDisconnectsAndConnectsTheDevice) {
  nvtest::ChildProcess nm;
  ASSERT_TRUE(StartNamed(nm, "/usr/sbin/NetworkManager"));

  nvutil::Outcome released = Lease(nvutil::LeaseAction::Release);
  EXPECT_TRUE(released.ok()) << released.note;
  EXPECT_TRUE(Contains(released.note, "NetworkManager")) << released.note;
  EXPECT_FALSE(Contains(Held(), "10.213.9.")) << Held();
  nvutil::Outcome renewed = Lease(nvutil::LeaseAction::Renew);
  EXPECT_TRUE(renewed.ok()) << renewed.note;
  EXPECT_TRUE(Contains(Held(), "10.213.9.7/24")) << Held();
  EXPECT_EQ(Calls(), "-t -f DEVICE,STATE device\ndevice disconnect " + pair.ifA +
                         "\n-t -f DEVICE,STATE device\ndevice connect " + pair.ifA + "\n");

  // A device NetworkManager leaves alone is nobody's: refused, and nothing is run for it.
  std::ofstream(dir / "STATE") << "unmanaged\n";
  const nvutil::Outcome refused = Lease(nvutil::LeaseAction::Release);
  EXPECT_FALSE(refused.ok());
  EXPECT_TRUE(Contains(refused.note, "no DHCP client manages " + pair.ifA)) << refused.note;
  const std::string calls = Calls();
  EXPECT_EQ(calls.find("device disconnect"), calls.rfind("device disconnect")) << calls;
}

TEST_F(NetnsDaemonClients, SystemdNetworkdTakesTheLinkDownAndUpAndReconfiguresIt) {
  nvtest::ChildProcess networkd;
  ASSERT_TRUE(StartNamed(networkd, "/lib/systemd/systemd-networkd"));

  nvutil::Outcome released = Lease(nvutil::LeaseAction::Release);
  EXPECT_TRUE(released.ok()) << released.note;
  EXPECT_FALSE(Contains(Held(), "10.213.9.")) << Held();
  nvutil::Outcome renewed = Lease(nvutil::LeaseAction::Renew);
  EXPECT_TRUE(renewed.ok()) << renewed.note;
  EXPECT_TRUE(Contains(Held(), "10.213.9.8/24")) << Held();
  EXPECT_EQ(Calls(), "down " + pair.ifA + "\nup " + pair.ifA + "\nreconfigure " + pair.ifA + "\n");

  std::ofstream(dir / "links" / std::to_string(index)) << "ADMIN_STATE=unmanaged\n";
  EXPECT_FALSE(Lease(nvutil::LeaseAction::Release).ok()) << "an unmanaged link is not networkd's";
}

TEST_F(NetnsDaemonClients, TwoManagersAreRefusedAndAFailingToolIsReported) {
  nvtest::ChildProcess nm, udhcpc;
  ASSERT_TRUE(StartNamed(nm, "/usr/sbin/NetworkManager"));
  ASSERT_TRUE(StartNamed(udhcpc, "udhcpc", "-i " + pair.ifA));
  const nvutil::Outcome two = Lease(nvutil::LeaseAction::Release);
  EXPECT_FALSE(two.ok()) << two.note;
  EXPECT_TRUE(Contains(two.note, "2 DHCP clients manage " + pair.ifA + ": ")) << two.note;
  EXPECT_TRUE(Contains(two.note, "busybox udhcpc (process")) << two.note;
  EXPECT_TRUE(Contains(two.note, "NetworkManager (process")) << two.note;
  EXPECT_TRUE(Contains(Held(), "10.213.9.5/24")) << "nothing was released";
  udhcpc.Stop();

  // nmcli refusing (as for a device it does not know) fails the release with its message.
  WriteTool("nmcli", R"sh(case "$*" in
  "-t -f DEVICE,STATE device") echo "@IF@:connected" ;;
  *) echo "Error: Device '@IF@' not found." >&2; exit 10 ;;
esac)sh");
  const nvutil::Outcome refused = Lease(nvutil::LeaseAction::Release);
  EXPECT_FALSE(refused.ok());
  EXPECT_TRUE(Contains(refused.note, "exited with 10: Error: Device '" + pair.ifA + "' not found."))
      << refused.note;
}

}  // namespace
