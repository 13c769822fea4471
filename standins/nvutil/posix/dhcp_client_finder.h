// Finds the running DHCP client of an interface by scanning the process table: a busybox
// udhcpc whose command line names the interface (see dhcp_client_cmdline.h) and that
// lives in the caller's network namespace (same interface names exist in other ones).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace nvutil::posix {

struct DhcpClientFinder {
  std::string procRoot = "/proc";
  // The network namespace that counts as ours; compared by device and inode.
  std::string ownNetns = "/proc/thread-self/ns/net";

  // Matching clients, lowest process id first.
  [[nodiscard]] std::vector<pid_t> FindUdhcpc(const std::string& interfaceName) const;
};

}  // namespace nvutil::posix
