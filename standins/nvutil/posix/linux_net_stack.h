// The Linux network stack behind CNetUtil: routes and neighbour entries through
// rtnetlink, interfaces by their hardware address, and DHCP leases through the running
// DHCP client that manages the interface (dhcp_client_control.h). Works in the
// calling thread's network namespace.
#pragma once
#include <string>
#include <vector>

#include "dhcp_client_control.h"
#include "netlink_codec.h"
#include "nvutil/net_stack.h"

namespace nvutil::posix {

class LinuxNetStack : public NetStack {
 public:
  struct Options {
    int releaseWaitMs = 10000;   // until the address is gone
    int renewWaitMs = 60000;     // until an address is held again
    int keptLeaseWaitMs = 5000;  // renewing a held address: how long to wait for it to be set anew
    DhcpClientControl::Options clients;
    // The resolver configuration whose name servers the adapter uses.
    std::string resolverConfig = "/etc/resolv.conf";
    // The resolver file is this adapter's alone (its DHCP client writes it): clearing the
    // adapter empties its name servers. The shared /etc/resolv.conf is never rewritten.
    bool resolverIsAdapters = false;
  };

  LinuxNetStack() = default;
  explicit LinuxNetStack(Options options) : m_options(std::move(options)) {}

  Outcome DeleteRoutesTo(std::uint32_t destination) override;
  Outcome AddRoute(const NewRoute& route, RouteApi api) override;
  Outcome DeleteNeighbour(std::uint32_t address, std::uint32_t interfaceNumber) override;
  Outcome FindInterfaceByMac(const MacAddress& mac) override;
  Outcome Lease(std::uint32_t interfaceNumber, LeaseAction action) override;
  Outcome ReadAdapter(std::uint32_t interfaceNumber, AdapterSnapshot& out) override;
  Outcome ClearAdapter(std::uint32_t interfaceNumber) override;

  // Read-back of the kernel's tables (IPv4; routes of the main table). 0 or errno.
  int ListRoutes(std::vector<nl::RouteEntry>& out);
  int ListNeighbours(std::vector<nl::NeighEntry>& out);
  int ListLinks(std::vector<nl::LinkEntry>& out);
  int ListAddresses(std::uint32_t interfaceNumber, std::vector<nl::AddrEntry>& out);
  // Everything the interface holds, both families, every table, and the rules naming it.
  int ReadItems(std::uint32_t interfaceNumber, std::vector<AdapterSnapshot::Item>& items);

 private:
  Options m_options;
};

}  // namespace nvutil::posix
