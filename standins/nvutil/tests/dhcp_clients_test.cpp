// Which DHCP client manages an interface, and the commands each one is driven with.
#include <gtest/gtest.h>

#include "dhcp_clients.h"

using namespace nvutil;

namespace {

using Words = std::vector<std::string>;

ProcessEntry Proc(int pid, Words argv, int parent = 1) { return ProcessEntry{pid, parent, std::move(argv)}; }

std::string Kinds(const std::vector<ManagingClient>& clients) {
  std::string text;
  for (const auto& c : clients)
    text += std::string(text.empty() ? "" : ",") + DhcpClientName(c.line.kind) + ":" + std::to_string(c.pid);
  return text;
}

std::vector<Words> Commands(const LeasePlan& plan) {
  std::vector<Words> out;
  for (const LeaseStep& s : plan.steps) {
    switch (s.kind) {
      case LeaseStep::Kind::SignalRelease:
        out.push_back({"<signal release>"});
        break;
      case LeaseStep::Kind::SignalRenew:
        out.push_back({"<signal renew>"});
        break;
      case LeaseStep::Kind::Start: {
        Words w = s.argv;
        w.insert(w.begin(), "<detached>");
        out.push_back(w);
        break;
      }
      case LeaseStep::Kind::Run:
        out.push_back(s.argv);
        break;
    }
  }
  return out;
}

}  // namespace

TEST(DhcpClients, CommandLinesAreRecognisedAsTheClientsWriteThem) {
  struct Case {
    const char* name;
    Words argv;
    std::optional<DhcpClientKind> kind;
    Words interfaces;
    std::string family;
    bool manager;
  };
  const Case cases[] = {
      {"udhcpc", {"busybox", "udhcpc", "-f", "-i", "eth0"}, DhcpClientKind::Udhcpc, {"eth0"}, "", false},
      {"dhclient with files",
       {"/sbin/dhclient", "-d", "-4", "-pf", "/run/d.pid", "-lf", "/var/d.leases", "-sf", "/s", "eth0"},
       DhcpClientKind::Dhclient,
       {"eth0"},
       "",
       false},
      {"dhclient for every interface", {"dhclient", "-nw"}, DhcpClientKind::Dhclient, {}, "", false},
      {"dhclient -r is a command, not a client", {"dhclient", "-r", "eth0"}, std::nullopt, {}, "", false},
      {"dhclient -x", {"dhclient", "-x", "-pf", "/p", "eth0"}, std::nullopt, {}, "", false},
      {"dhcpcd title, one interface", {"dhcpcd: eth0 [ip4]"}, DhcpClientKind::Dhcpcd, {"eth0"}, "-4", false},
      {"dhcpcd title padded",
       {"dhcpcd: eth1 [ip4] [ip6]", "", ""},
       DhcpClientKind::Dhcpcd,
       {"eth1"},
       "",
       false},
      {"dhcpcd manager", {"dhcpcd: [manager] [ip4] [ip6]"}, DhcpClientKind::Dhcpcd, {}, "", true},
      {"dhcpcd helper", {"dhcpcd: [privileged proxy] eth0"}, std::nullopt, {}, "", false},
      {"dhcpcd BPF helper", {"dhcpcd: [BPF ARP] eth0 10.92.1.50"}, std::nullopt, {}, "", false},
      {"dhcpcd before its title",
       {"/usr/sbin/dhcpcd", "-4", "-f", "/etc/x.conf", "eth0"},
       DhcpClientKind::Dhcpcd,
       {"eth0"},
       "-4",
       false},
      {"dhcpcd -k is a command", {"dhcpcd", "-k", "eth0"}, std::nullopt, {}, "", false},
      {"NetworkManager",
       {"/usr/sbin/NetworkManager", "--no-daemon"},
       DhcpClientKind::NetworkManager,
       {},
       "",
       false},
      {"systemd-networkd", {"/lib/systemd/systemd-networkd"}, DhcpClientKind::Networkd, {}, "", false},
      {"a DHCP server", {"busybox", "udhcpd", "-f"}, std::nullopt, {}, "", false},
      {"a shell naming a client", {"sh", "-c", "dhclient eth0"}, std::nullopt, {}, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto line = RecogniseDhcpClient(c.argv);
    ASSERT_EQ(line.has_value(), c.kind.has_value());
    if (!line) continue;
    EXPECT_EQ(line->kind, *c.kind);
    EXPECT_EQ(line->interfaces, c.interfaces);
    EXPECT_EQ(line->family, c.family);
    EXPECT_EQ(line->manager, c.manager);
  }
}

TEST(DhcpClients, ExactlyOneClientMustManageTheInterface) {
  const auto nm = Proc(300, {"/usr/sbin/NetworkManager", "--no-daemon"});
  const auto nmDhclient =
      Proc(310, {"/sbin/dhclient", "-d", "-sf", "/usr/lib/NetworkManager/nm-dhcp-helper", "eth0"}, 300);
  const auto udhcpc = Proc(200, {"udhcpc", "-i", "eth0"});
  const auto udhcpcOther = Proc(201, {"udhcpc", "-i", "eth1"});
  const auto udhcpcScriptFork = Proc(204, {"udhcpc", "-i", "eth0"}, 200);
  const auto dhcpcd = Proc(400, {"dhcpcd: [manager] [ip4]"});
  const auto dhcpcdHelper = Proc(401, {"dhcpcd: [privileged proxy]"}, 400);
  const auto dhcpcdChild = Proc(402, {"dhcpcd: eth0 [ip4]"}, 400);
  const auto networkd = Proc(500, {"/lib/systemd/systemd-networkd"});
  DaemonAnswers nmManages;
  nmManages.nmcliOutput = "lo:unmanaged\neth0:connected\n";
  DaemonAnswers nmLeavesIt;
  nmLeavesIt.nmcliOutput = "eth0:unmanaged\n";
  DaemonAnswers networkdManages;
  networkdManages.networkdState = "# This is private data.\nADMIN_STATE=configured\nOPER_STATE=routable\n";
  DaemonAnswers networkdLeavesIt;
  networkdLeavesIt.networkdState = "ADMIN_STATE=unmanaged\n";

  struct Case {
    const char* name;
    std::vector<ProcessEntry> processes;
    DaemonAnswers answers;
    std::string expected;
  };
  const Case cases[] = {
      {"nothing runs", {}, {}, ""},
      {"udhcpc of another interface", {udhcpcOther}, {}, ""},
      {"udhcpc", {udhcpcOther, udhcpc}, {}, "busybox udhcpc:200"},
      {"udhcpc while it forks its event script", {udhcpcScriptFork, udhcpc}, {}, "busybox udhcpc:200"},
      {"NetworkManager with its own dhclient", {nmDhclient, nm}, nmManages, "NetworkManager:300"},
      {"NetworkManager leaving the device alone", {nm}, nmLeavesIt, ""},
      {"NetworkManager that could not be asked", {nm}, {}, ""},
      {"dhcpcd with its helpers", {dhcpcdHelper, dhcpcd, dhcpcdChild}, {}, "dhcpcd:400"},
      {"systemd-networkd", {networkd}, networkdManages, "systemd-networkd:500"},
      {"systemd-networkd, unmanaged", {networkd}, networkdLeavesIt, ""},
      {"two at once", {dhcpcd, udhcpc}, {}, "busybox udhcpc:200,dhcpcd:400"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Kinds(FindManagingClients(c.processes, "eth0", c.answers)), c.expected);
  }

  EXPECT_EQ(
      DescribeManagers({}, "eth0"),
      "no DHCP client manages eth0 (looked for busybox udhcpc, ISC dhclient, dhcpcd, NetworkManager and "
      "systemd-networkd)");
  const auto two = FindManagingClients({dhcpcd, udhcpc}, "eth0", {});
  EXPECT_EQ(
      DescribeManagers(two, "eth0"),
      "2 DHCP clients manage eth0: busybox udhcpc (process 200), dhcpcd (process 400); stop all but one, or "
      "the address cannot be changed safely");
  EXPECT_EQ(DescribeManagers(FindManagingClients({udhcpc}, "eth0", {}), "eth0"), "");
}

TEST(DhcpClients, EachClientIsReleasedAndStartedFromScratchWithItsOwnCommands) {
  const auto one = [](Words argv, int pid = 7) {
    ManagingClient c;
    c.line = *RecogniseDhcpClient(argv);
    c.pid = pid;
    c.argv = std::move(argv);
    return c;
  };
  const ManagingClient udhcpc = one({"udhcpc", "-i", "eth0"});
  const ManagingClient dhclient = one(
      {"/sbin/dhclient", "-d", "-v", "-4", "-pf", "/l/d.pid", "-lf", "/l/d.leases", "-sf", "/l/s", "eth0"});
  const ManagingClient dhclientDaemon = one({"dhclient", "-q", "eth0"});
  const ManagingClient dhcpcd = one({"dhcpcd: eth0 [ip4]"});
  const ManagingClient dhcpcdManager = one({"dhcpcd: [manager] [ip4] [ip6]"});
  const ManagingClient nm = one({"NetworkManager"});
  const ManagingClient networkd = one({"systemd-networkd"});

  struct Case {
    const char* name;
    LeasePlan plan;
    std::vector<Words> commands;
    bool stops;
  };
  const Words dhclientFiles = {"-4", "-pf", "/l/d.pid", "-lf", "/l/d.leases", "-sf", "/l/s"};
  const auto with = [](Words head, const Words& middle, Words tail) {
    head.insert(head.end(), middle.begin(), middle.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const Case cases[] = {
      {"udhcpc release", ReleasePlan(udhcpc, "eth0"), {{"<signal release>"}}, false},
      {"udhcpc renew", RenewPlan(udhcpc, "eth0"), {{"<signal renew>"}}, false},
      {"dhclient release",
       ReleasePlan(dhclient, "eth0"),
       {with({"dhclient", "-r"}, dhclientFiles, {"eth0"})},
       true},
      {"dhclient renew while running",
       RenewPlan(dhclient, "eth0"),
       {with({"dhclient", "-x"}, dhclientFiles, {"eth0"}), with({"<detached>"}, dhclient.argv, {})},
       false},
      {"dhclient started again in the foreground",
       RestartPlan(dhclient, "eth0"),
       {with({"<detached>"}, dhclient.argv, {})},
       false},
      {"dhclient started again as a daemon",
       RestartPlan(dhclientDaemon, "eth0"),
       {{"dhclient", "-nw", "-q", "eth0"}},
       false},
      {"dhcpcd release", ReleasePlan(dhcpcd, "eth0"), {{"dhcpcd", "-4", "-k", "eth0"}}, true},
      {"dhcpcd renew while running", RenewPlan(dhcpcd, "eth0"), {{"dhcpcd", "-4", "-n", "eth0"}}, false},
      {"dhcpcd started again", RestartPlan(dhcpcd, "eth0"), {{"dhcpcd", "-b", "-4", "eth0"}}, false},
      {"dhcpcd manager release", ReleasePlan(dhcpcdManager, "eth0"), {{"dhcpcd", "-k"}}, true},
      {"dhcpcd manager started again", RestartPlan(dhcpcdManager, "eth0"), {{"dhcpcd", "-b"}}, false},
      {"NetworkManager release", ReleasePlan(nm, "eth0"), {{"nmcli", "device", "disconnect", "eth0"}}, false},
      {"NetworkManager renew", RenewPlan(nm, "eth0"), {{"nmcli", "device", "connect", "eth0"}}, false},
      {"systemd-networkd release", ReleasePlan(networkd, "eth0"), {{"networkctl", "down", "eth0"}}, false},
      {"systemd-networkd renew",
       RenewPlan(networkd, "eth0"),
       {{"networkctl", "up", "eth0"}, {"networkctl", "reconfigure", "eth0"}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Commands(c.plan), c.commands);
    EXPECT_EQ(c.plan.stopsClient, c.stops);
  }
}
