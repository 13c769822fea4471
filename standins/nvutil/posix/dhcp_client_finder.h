// Reads the process table for the DHCP clients of an interface: only processes that live in
// the caller's network namespace count (the same interface names exist in other ones).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "dhcp_clients.h"

namespace nvutil::posix {

struct DhcpClientFinder {
  std::string procRoot = "/proc";
  // The network namespace that counts as ours; compared by device and inode.
  std::string ownNetns = "/proc/thread-self/ns/net";

  // Matching clients, lowest process id first.
  [[nodiscard]] std::vector<pid_t> FindUdhcpc(const std::string& interfaceName) const;
  // Every process of our namespace with its parent and command line (kernel threads, which
  // have no command line, left out).
  [[nodiscard]] std::vector<ProcessEntry> ListProcesses() const;
  // The inode of our network namespace, to tell state files of namespaces apart; 0 if unknown.
  [[nodiscard]] unsigned long long NamespaceId() const;
};

}  // namespace nvutil::posix
