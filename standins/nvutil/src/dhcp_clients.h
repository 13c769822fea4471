// Which DHCP client manages an interface, and the commands that release its lease and start
// it again from DISCOVER or INIT-REBOOT. Pure: the process table, the tools' answers and the
// program paths come from the caller (posix/), so every rule is tested on both runs.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace nvutil {

enum class DhcpClientKind { Udhcpc, Dhclient, Dhcpcd, NetworkManager, Networkd };
// "busybox udhcpc", "ISC dhclient", "dhcpcd", "NetworkManager", "systemd-networkd".
const char* DhcpClientName(DhcpClientKind kind) noexcept;

// One process of the caller's network namespace.
struct ProcessEntry {
  int pid = 0;
  int parent = 0;
  std::vector<std::string> argv;  // /proc/PID/cmdline split at its NUL bytes
};

// What a command line says about a DHCP client process.
struct ClientCommandLine {
  DhcpClientKind kind = DhcpClientKind::Udhcpc;
  // The interfaces it serves; empty means every interface (dhclient and dhcpcd without one, a
  // dhcpcd manager) or whatever the daemon's own state says (NetworkManager, systemd-networkd).
  std::vector<std::string> interfaces;
  std::string family;    // dhcpcd: "-4" or "-6" when its title shows one protocol only
  bool manager = false;  // dhcpcd in manager mode
};

// A long-running DHCP client, or nothing: other programs, one-shot control commands
// (dhclient -r, dhcpcd -k ...) and the helper processes of a dhcpcd.
std::optional<ClientCommandLine> RecogniseDhcpClient(const std::vector<std::string>& argv);

// What the two daemons that keep their own device state say: NetworkManager through
// `nmcli -t -f DEVICE,STATE device`, systemd-networkd through its link state file
// (/run/systemd/netif/links/IFINDEX). Unmanaged devices and missing entries are not managed.
bool NmcliManages(const std::string& nmcliOutput, const std::string& interfaceName);
bool NetworkdManages(const std::string& linkStateFile);

struct ManagingClient {
  ClientCommandLine line;
  int pid = 0;
  std::vector<std::string> argv;
};

struct DaemonAnswers {
  std::optional<std::string> nmcliOutput;    // nothing: nmcli could not be asked
  std::optional<std::string> networkdState;  // nothing: no state file for the interface
};

// The clients that manage `interfaceName`, lowest process id first. A client started by
// NetworkManager (its dhclient) counts as NetworkManager's, not as a client of its own.
std::vector<ManagingClient> FindManagingClients(const std::vector<ProcessEntry>& processes,
                                                const std::string& interfaceName,
                                                const DaemonAnswers& answers);

// "no DHCP client manages eth0 (looked for ...)" or "2 DHCP clients manage eth0: ... ; stop
// all but one"; empty when exactly one does.
std::string DescribeManagers(const std::vector<ManagingClient>& clients, const std::string& interfaceName);

// One step of a release or renew.
struct LeaseStep {
  enum class Kind {
    SignalRelease,  // tell the client process to release (busybox udhcpc: SIGUSR2)
    SignalRenew,    // tell it to renew from scratch (SIGUSR1)
    Run,            // run argv and wait for it (bounded)
    Start,          // start argv detached, not waited for (a client that stays in the foreground)
  };
  Kind kind = Kind::Run;
  std::vector<std::string> argv;  // argv[0]: a program name ("dhclient", "nmcli", ...) or path
};

struct LeasePlan {
  std::vector<LeaseStep> steps;
  // True when the client is no longer running afterwards: the renew has to start it again.
  bool stopsClient = false;
};

// Releases the interface's lease.
LeasePlan ReleasePlan(const ManagingClient& client, const std::string& interfaceName);
// Renews from DISCOVER or INIT-REBOOT while the client still runs.
LeasePlan RenewPlan(const ManagingClient& client, const std::string& interfaceName);
// Starts the client again after a release stopped it (dhclient, dhcpcd): its own command line
// where it keeps one, else the daemon's ordinary start for this interface.
LeasePlan RestartPlan(const ManagingClient& released, const std::string& interfaceName);

}  // namespace nvutil
