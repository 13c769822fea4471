// The operating system's side of CNetUtil: routes, neighbour (ARP) entries, interface
// lookup and DHCP leases. CNetUtil checks and converts its text arguments and traces;
// a NetStack only carries the work out. One implementation per platform (IP helper API
// on Windows, rtnetlink and the running DHCP client on Linux); tests may supply their own.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nvutil/ip_address.h"
#include "nvutil/ipv4.h"

namespace nvutil {

// What one operation did: code 0 on success, else the platform's error code (errno on
// Linux, a Win32 error on Windows); `count` is how many entries it touched and `note`
// a short explanation for the trace; `value` carries a result such as an interface number.
struct Outcome {
  std::uint32_t code = 0;
  unsigned count = 0;
  std::uint32_t value = 0;
  std::string note;

  [[nodiscard]] bool ok() const noexcept { return code == 0; }
};

struct NewRoute {
  std::uint32_t destination = 0;
  std::uint32_t mask = 0;
  std::uint32_t gateway = 0;
  std::uint32_t interfaceNumber = 0;  // 0: the interface through which the gateway is reached
  std::uint32_t metric = 1;
};

// Windows before and after version 6 count route metrics differently; Linux has one way.
enum class RouteApi { Classic, Vista };

enum class LeaseAction { Release, Renew };

// What one adapter holds at a moment, for the check that nothing of the network just left
// remains: its IPv4 addresses, the routes through it, its neighbour (ARP) entries that can
// carry traffic (resolved or being confirmed) and the name servers it uses.
struct AdapterSnapshot {
  struct Address {
    std::uint32_t address = 0;
    int prefixLength = 32;
  };
  struct Route {
    std::uint32_t destination = 0;
    int prefixLength = 0;
    std::uint32_t gateway = 0;  // 0: on the link itself
  };
  std::vector<Address> addresses;
  std::vector<Route> routes;
  std::vector<std::uint32_t> neighbours;
  std::vector<std::uint32_t> nameServers;

  // Everything the adapter holds, both families: addresses, routes of every table (multipath
  // ones once per hop), neighbour entries, name servers and the policy rules that name it.
  struct Item {
    enum class Kind { Address, Route, Neighbour, NameServer, Rule };
    Kind kind = Kind::Address;
    int family = 4;     // 4 or 6
    IpAddress address;  // address, route destination (unset: default), neighbour, name server
    int prefixLength = 0;
    IpAddress gateway;        // routes: the next hop (unset: on the link)
    std::uint32_t table = 0;  // routes and rules
    std::string rule;         // rules: "iif eth0" or "oif eth0"

    // Valid on one link only (fe80::/10, 169.254.0.0/16): never a network's identity.
    [[nodiscard]] bool linkLocal() const noexcept;
    // "address 2001:db8::5/64", "route ::/0 via fe80::1", "route 10.99.0.0/16 table 100",
    // "neighbour entry 10.91.1.1", "name server 10.91.1.53", "rule iif eth0 lookup 100".
    [[nodiscard]] std::string Text() const;
    bool operator==(const Item& o) const noexcept {
      return kind == o.kind && family == o.family && address == o.address && prefixLength == o.prefixLength &&
             gateway == o.gateway && table == o.table && rule == o.rule;
    }
  };
  std::vector<Item> items;
  // Parts this system could not read (named, e.g. "IPv6 routes: GetIpForwardTable2 is missing"):
  // what is in them cannot be judged.
  std::vector<std::string> unread;
};

class NetStack {
 public:
  virtual ~NetStack() = default;

  // Removes every route to `destination` (for 0.0.0.0 only default routes, prefix length 0).
  // Nothing to remove is a failure with the platform's not-found code.
  virtual Outcome DeleteRoutesTo(std::uint32_t destination) = 0;
  virtual Outcome AddRoute(const NewRoute& route, RouteApi api) = 0;
  // Removes the neighbour entries of `address`, on one interface or (0) on all of them.
  virtual Outcome DeleteNeighbour(std::uint32_t address, std::uint32_t interfaceNumber) = 0;
  // `value` is the interface number found; not found is a failure.
  virtual Outcome FindInterfaceByMac(const MacAddress& mac) = 0;
  // Blocks until the release or renew has taken effect or a bounded wait ran out.
  virtual Outcome Lease(std::uint32_t interfaceNumber, LeaseAction action) = 0;
  // Reads what the interface holds now; a stack that cannot read it says so (the default).
  virtual Outcome ReadAdapter(std::uint32_t interfaceNumber, AdapterSnapshot& out);
  // Takes everything a network left on the interface away: its addresses, the routes through
  // it (every table, both families, multipath ones too), its neighbour entries and, where the
  // adapter has a resolver file of its own, its name servers. Link-local addresses and routes
  // stay (they name no network). Fails when something could not be removed; `count` is how
  // many entries went. A stack that cannot do it says so (the default).
  virtual Outcome ClearAdapter(std::uint32_t interfaceNumber);

  // Asked while a renew waits for its address: true gives the wait up at once (the caller
  // knows that no address will come). Empty: wait the whole bound.
  void SetRenewCancel(std::function<bool()> cancel) { m_renewCancel = std::move(cancel); }

 protected:
  [[nodiscard]] bool RenewCancelled() const { return m_renewCancel && m_renewCancel(); }

 private:
  std::function<bool()> m_renewCancel;
};

// The running system's network stack.
std::unique_ptr<NetStack> MakeSystemNetStack();

// Platform error codes the portable code needs, and their text for traces.
std::uint32_t InvalidArgumentCode() noexcept;
std::uint32_t NotFoundCode() noexcept;
std::string DescribeError(std::uint32_t code);

}  // namespace nvutil
