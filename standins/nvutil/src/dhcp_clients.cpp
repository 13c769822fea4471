#include "dhcp_clients.h"

#include <algorithm>
#include <sstream>
#include <string_view>

#include "dhcp_client_cmdline.h"

namespace nvutil {
namespace {

std::string_view BaseName(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool OneOf(std::string_view word, std::initializer_list<std::string_view> list) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

// ISC dhclient: options followed by a value word, and one-shot commands.
bool DhclientTakesValue(std::string_view w) {
  return OneOf(
      w, {"-D", "-p", "-e", "-lf", "-pf", "-cf", "-sf", "-s", "-g", "-df", "-H", "-F", "-V", "-C", "-timeout",
          "--prefix-len-hint", "--decline-wait-time", "--address-prefix-len", "--dad-wait-time"});
}
bool DhclientOneShot(std::string_view w) { return OneOf(w, {"-r", "-x", "--version"}); }

bool DhcpcdTakesValue(std::string_view w) {
  if (w.size() == 2 && w[0] == '-')
    return std::string_view("cefhijlmotuvyzCFIOQSXZ").find(w[1]) != std::string_view::npos;
  return OneOf(w, {"--script",    "--env",           "--config",   "--hostname",        "--vendorclassid",
                   "--logfile",   "--leasetime",     "--metric",   "--option",          "--timeout",
                   "--userclass", "--vendor",        "--reboot",   "--allowinterfaces", "--nohook",
                   "--fqdn",      "--clientid",      "--nooption", "--require",         "--static",
                   "--blacklist", "--denyinterfaces"});
}
bool DhcpcdControl(std::string_view w) {
  return OneOf(w,
               {"-k", "-x", "-n", "-N", "-g", "-U", "-T", "-V", "--release", "--exit", "--rebind", "--renew",
                "--reconfigure", "--dumplease", "--test", "--variables", "--version", "--help"});
}

// dhcpcd replaces its command line by a title: "dhcpcd: [manager] [ip4]", "dhcpcd: eth0 [ip4]",
// and "dhcpcd: [privileged proxy] ..." for its helpers.
std::optional<ClientCommandLine> DhcpcdTitle(const std::string& title) {
  std::istringstream words(title.substr(title.find(':') + 1));
  ClientCommandLine line;
  line.kind = DhcpClientKind::Dhcpcd;
  bool ip4 = false, ip6 = false;
  std::string word;
  for (bool first = true; words >> word; first = false) {
    if (word == "[manager]" || word == "[master]") {
      line.manager = true;
    } else if (word == "[ip4]") {
      ip4 = true;
    } else if (word == "[ip6]") {
      ip6 = true;
    } else if (word[0] == '[') {
      if (first) return std::nullopt;  // a helper process, not the client
    } else {
      line.interfaces.push_back(word);
    }
  }
  if (line.manager) line.interfaces.clear();
  if (!line.manager && line.interfaces.empty()) return std::nullopt;
  if (ip4 != ip6) line.family = ip4 ? "-4" : "-6";
  return line;
}

std::optional<ClientCommandLine> Dhclient(const std::vector<std::string>& argv) {
  ClientCommandLine line;
  line.kind = DhcpClientKind::Dhclient;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string& w = argv[i];
    if (DhclientOneShot(w)) return std::nullopt;
    if (DhclientTakesValue(w)) {
      ++i;
    } else if (!w.empty() && w[0] != '-') {
      line.interfaces.push_back(w);
    }
  }
  return line;
}

std::optional<ClientCommandLine> Dhcpcd(const std::vector<std::string>& argv) {
  if (BaseName(argv[0]).rfind("dhcpcd:", 0) == 0 || argv[0].rfind("dhcpcd:", 0) == 0) {
    std::string title;
    for (const std::string& w : argv) title += (title.empty() ? "" : " ") + w;
    return DhcpcdTitle(title);
  }
  ClientCommandLine line;
  line.kind = DhcpClientKind::Dhcpcd;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string& w = argv[i];
    if (DhcpcdControl(w)) return std::nullopt;
    if (w == "-M" || w == "--manager" || w == "--master") line.manager = true;
    if (w == "-4" || w == "-6") line.family = w;
    if (DhcpcdTakesValue(w)) {
      ++i;
    } else if (!w.empty() && w[0] != '-') {
      line.interfaces.push_back(w);
    }
  }
  if (line.manager) line.interfaces.clear();
  return line;
}

std::vector<std::string> Trimmed(const std::vector<std::string>& argv) {
  std::vector<std::string> out = argv;
  while (!out.empty() && out.back().empty()) out.pop_back();  // the padding of a rewritten title
  return out;
}

bool Serves(const ClientCommandLine& line, const std::string& interfaceName) {
  return line.interfaces.empty() ||
         std::find(line.interfaces.begin(), line.interfaces.end(), interfaceName) != line.interfaces.end();
}

// The dhclient options worth keeping for a command aimed at the running client: its pid,
// lease, configuration and script files, port and protocol.
std::vector<std::string> DhclientKeptOptions(const std::vector<std::string>& argv) {
  std::vector<std::string> kept;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string& w = argv[i];
    if (DhclientTakesValue(w)) {
      kept.push_back(w);
      if (i + 1 < argv.size()) kept.push_back(argv[++i]);
    } else if (w == "-4" || w == "-6") {
      kept.push_back(w);
    }
  }
  return kept;
}

LeaseStep Run(std::vector<std::string> argv) { return {LeaseStep::Kind::Run, std::move(argv)}; }

}  // namespace

const char* DhcpClientName(DhcpClientKind kind) noexcept {
  switch (kind) {
    case DhcpClientKind::Udhcpc:
      return "busybox udhcpc";
    case DhcpClientKind::Dhclient:
      return "ISC dhclient";
    case DhcpClientKind::Dhcpcd:
      return "dhcpcd";
    case DhcpClientKind::NetworkManager:
      return "NetworkManager";
    case DhcpClientKind::Networkd:
      return "systemd-networkd";
  }
  return "?";
}

std::optional<ClientCommandLine> RecogniseDhcpClient(const std::vector<std::string>& raw) {
  const std::vector<std::string> argv = Trimmed(raw);
  if (argv.empty()) return std::nullopt;
  if (const auto udhcpc = UdhcpcInterface(argv)) {
    ClientCommandLine line;
    line.interfaces = {*udhcpc};
    return line;
  }
  const std::string_view name = BaseName(argv[0]);
  if (name == "dhclient") return Dhclient(argv);
  if (name == "dhcpcd" || argv[0].rfind("dhcpcd:", 0) == 0) return Dhcpcd(argv);
  if (name == "NetworkManager") return ClientCommandLine{DhcpClientKind::NetworkManager, {}, {}, false};
  if (name == "systemd-networkd") return ClientCommandLine{DhcpClientKind::Networkd, {}, {}, false};
  return std::nullopt;
}

bool NmcliManages(const std::string& output, const std::string& interfaceName) {
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    // Terse output escapes a colon inside a field as "\:"; device names never hold one.
    const auto colon = line.find(':');
    if (colon == std::string::npos || line.compare(0, colon, interfaceName) != 0 ||
        colon != interfaceName.size())
      continue;
    const std::string state = line.substr(colon + 1);
    return !state.empty() && state.rfind("unmanaged", 0) != 0;
  }
  return false;
}

bool NetworkdManages(const std::string& state) {
  std::istringstream lines(state);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("ADMIN_STATE=", 0) != 0) continue;
    const std::string value = line.substr(12);
    return !value.empty() && value != "unmanaged" && value != "linger";
  }
  return false;
}

std::vector<ManagingClient> FindManagingClients(const std::vector<ProcessEntry>& processes,
                                                const std::string& interfaceName,
                                                const DaemonAnswers& answers) {
  std::vector<const ProcessEntry*> sorted;
  for (const ProcessEntry& p : processes) sorted.push_back(&p);
  std::sort(sorted.begin(), sorted.end(),
            [](const ProcessEntry* a, const ProcessEntry* b) { return a->pid < b->pid; });
  const auto kindOf = [&](int pid) -> std::optional<DhcpClientKind> {
    for (const ProcessEntry* p : sorted)
      if (p->pid == pid) {
        if (const auto line = RecogniseDhcpClient(p->argv)) return line->kind;
        if (!p->argv.empty() && BaseName(p->argv[0]).rfind("dhcpcd", 0) == 0) return DhcpClientKind::Dhcpcd;
      }
    return std::nullopt;
  };

  std::vector<ManagingClient> found;
  for (const ProcessEntry* p : sorted) {
    const auto line = RecogniseDhcpClient(p->argv);
    if (!line) continue;
    const auto parent = kindOf(p->parent);
    // NetworkManager's own dhclient, the helpers a dhcpcd forks and a client's fork that has not
    // yet become its event script (same command line, for a moment) are not clients of their own.
    if (parent == DhcpClientKind::NetworkManager || parent == line->kind) continue;
    bool manages = false;
    switch (line->kind) {
      case DhcpClientKind::NetworkManager:
        manages = answers.nmcliOutput && NmcliManages(*answers.nmcliOutput, interfaceName);
        break;
      case DhcpClientKind::Networkd:
        manages = answers.networkdState && NetworkdManages(*answers.networkdState);
        break;
      default:
        manages = Serves(*line, interfaceName);
        break;
    }
    if (manages) found.push_back({*line, p->pid, Trimmed(p->argv)});
  }
  return found;
}

std::string DescribeManagers(const std::vector<ManagingClient>& clients, const std::string& interfaceName) {
  if (clients.size() == 1) return {};
  if (clients.empty())
    return "no DHCP client manages " + interfaceName +
           " (looked for busybox udhcpc, ISC dhclient, dhcpcd, NetworkManager and systemd-networkd)";
  std::string text = std::to_string(clients.size()) + " DHCP clients manage " + interfaceName + ":";
  for (std::size_t i = 0; i < clients.size(); ++i)
    text += std::string(i == 0 ? " " : ", ") + DhcpClientName(clients[i].line.kind) + " (process " +
            std::to_string(clients[i].pid) + ")";
  return text + "; stop all but one, or the address cannot be changed safely";
}

LeasePlan ReleasePlan(const ManagingClient& c, const std::string& ifname) {
  LeasePlan plan;
  switch (c.line.kind) {
    case DhcpClientKind::Udhcpc:
      plan.steps.push_back({LeaseStep::Kind::SignalRelease, {}});
      break;
    case DhcpClientKind::Dhclient: {
      // -r sends the release, deconfigures through the client's script and stops the daemon
      // named by its pid file.
      std::vector<std::string> argv{"dhclient", "-r"};
      const auto kept = DhclientKeptOptions(c.argv);
      argv.insert(argv.end(), kept.begin(), kept.end());
      argv.push_back(ifname);
      plan.steps.push_back(Run(std::move(argv)));
      plan.stopsClient = true;
      break;
    }
    case DhcpClientKind::Dhcpcd: {
      // dhcpcd has no release that keeps it running: -k releases and ends the daemon (a
      // manager with every interface it serves).
      std::vector<std::string> argv{"dhcpcd"};
      if (!c.line.family.empty()) argv.push_back(c.line.family);
      argv.push_back("-k");
      if (!c.line.manager) argv.push_back(ifname);
      plan.steps.push_back(Run(std::move(argv)));
      plan.stopsClient = true;
      break;
    }
    case DhcpClientKind::NetworkManager:
      plan.steps.push_back(Run({"nmcli", "device", "disconnect", ifname}));
      break;
    case DhcpClientKind::Networkd:
      plan.steps.push_back(Run({"networkctl", "down", ifname}));
      break;
  }
  return plan;
}

LeasePlan RenewPlan(const ManagingClient& c, const std::string& ifname) {
  LeasePlan plan;
  switch (c.line.kind) {
    case DhcpClientKind::Udhcpc:
      plan.steps.push_back({LeaseStep::Kind::SignalRenew, {}});
      break;
    case DhcpClientKind::Dhclient: {
      // A running dhclient only renews by unicast to the server it knows: stop it without a
      // release (-x) and start it again, so that it begins with INIT-REBOOT.
      std::vector<std::string> argv{"dhclient", "-x"};
      const auto kept = DhclientKeptOptions(c.argv);
      argv.insert(argv.end(), kept.begin(), kept.end());
      argv.push_back(ifname);
      plan.steps.push_back(Run(std::move(argv)));
      const LeasePlan restart = RestartPlan(c, ifname);
      plan.steps.insert(plan.steps.end(), restart.steps.begin(), restart.steps.end());
      break;
    }
    case DhcpClientKind::Dhcpcd: {
      std::vector<std::string> argv{"dhcpcd"};
      if (!c.line.family.empty()) argv.push_back(c.line.family);
      argv.push_back("-n");
      argv.push_back(ifname);
      plan.steps.push_back(Run(std::move(argv)));
      break;
    }
    case DhcpClientKind::NetworkManager:
      plan.steps.push_back(Run({"nmcli", "device", "connect", ifname}));
      break;
    case DhcpClientKind::Networkd:
      plan.steps.push_back(Run({"networkctl", "up", ifname}));
      plan.steps.push_back(Run({"networkctl", "reconfigure", ifname}));
      break;
  }
  return plan;
}

LeasePlan RestartPlan(const ManagingClient& c, const std::string& ifname) {
  LeasePlan plan;
  switch (c.line.kind) {
    case DhcpClientKind::Dhclient: {
      std::vector<std::string> argv = c.argv;
      if (argv.empty()) argv = {"dhclient", ifname};
      const bool foreground = std::find(argv.begin(), argv.end(), "-d") != argv.end();
      plan.steps.push_back({foreground ? LeaseStep::Kind::Start : LeaseStep::Kind::Run, std::move(argv)});
      if (!foreground) plan.steps.back().argv.insert(plan.steps.back().argv.begin() + 1, "-nw");
      break;
    }
    case DhcpClientKind::Dhcpcd: {
      // Its title keeps no options: it starts with its configuration file, as at boot.
      std::vector<std::string> argv{"dhcpcd", "-b"};
      if (!c.line.family.empty()) argv.push_back(c.line.family);
      if (!c.line.manager) argv.push_back(ifname);
      plan.steps.push_back(Run(std::move(argv)));
      break;
    }
    default:
      return RenewPlan(c, ifname);
  }
  return plan;
}

}  // namespace nvutil
