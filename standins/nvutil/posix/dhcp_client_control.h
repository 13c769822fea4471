// Drives the DHCP client that manages an interface (see dhcp_clients.h): finds the one client,
// runs the steps of a release or renew, and remembers a client that a release stopped, so that
// the renew (also one run by a later process) starts it again.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "dhcp_client_finder.h"
#include "dhcp_clients.h"

namespace nvutil::posix {

class DhcpClientControl {
 public:
  struct Options {
    DhcpClientFinder finder;
    // Where the client programs and nmcli/networkctl are looked for (absolute folders).
    std::vector<std::string> toolDirs = {"/usr/sbin", "/usr/bin", "/sbin", "/bin"};
    std::string networkdLinks = "/run/systemd/netif/links";
    // A stopped client's command line waits here for the renew.
    std::string stateDir = "/run/netvane";
    int commandWaitMs = 30000;
  };

  DhcpClientControl() = default;
  explicit DhcpClientControl(Options options) : options_(std::move(options)) {}

  // Every client that manages the interface.
  std::vector<ManagingClient> Find(const std::string& interfaceName, int interfaceIndex) const;
  // Runs the plan's steps in order; false with a reason at the first that fails.
  bool Execute(const LeasePlan& plan, const ManagingClient& client, std::string& error) const;

  void RememberStopped(const std::string& interfaceName, const ManagingClient& client) const;
  std::optional<ManagingClient> RecallStopped(const std::string& interfaceName) const;
  void ForgetStopped(const std::string& interfaceName) const;

 private:
  std::string Resolve(const std::string& program) const;
  std::string StatePath(const std::string& interfaceName) const;

  Options options_;
};

}  // namespace nvutil::posix
