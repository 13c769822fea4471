#include "linux_net_stack.h"

#include "netlink_socket.h"
#include "resolver_config.h"

#include <linux/neighbour.h>
#include <net/if.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace nvutil::posix {
namespace {

using Clock = std::chrono::steady_clock;

Outcome Fail(int code, std::string note) {
  Outcome outcome;
  outcome.code = static_cast<std::uint32_t>(code);
  outcome.note = std::move(note);
  return outcome;
}

// A client that gave up has ended (or is a zombie nobody has reaped yet).
bool ClientEnded(pid_t pid) {
  if (::kill(pid, 0) != 0) return errno == ESRCH;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// Runs a dump, retrying a few times when a concurrent change interrupted it.
template <typename Decode, typename Entry>
int DumpAll(std::uint16_t type, Decode decode, std::vector<Entry>& out) {
  int err = EAGAIN;
  for (int attempt = 0; attempt < 3 && err == EAGAIN; ++attempt) {
    out.clear();
    NetlinkSocket sock;
    if ((err = sock.Open()) != 0) return err;
    err = sock.Dump(type, [&](const nl::Message& msg) {
      if (auto entry = decode(msg)) out.push_back(std::move(*entry));
    });
  }
  return err;
}

// Every entry of a table, of both families.
template <typename Decode, typename Entry>
int DumpEvery(std::uint16_t type, Decode decode, std::vector<Entry>& out) {
  int err = EAGAIN;
  for (int attempt = 0; attempt < 3 && err == EAGAIN; ++attempt) {
    out.clear();
    NetlinkSocket sock;
    if ((err = sock.Open()) != 0) return err;
    err = sock.Dump(
        type,
        [&](const nl::Message& msg) {
          if (auto entry = decode(msg)) out.push_back(std::move(*entry));
        },
        nl::kFamilyUnspec);
  }
  return err;
}

// A route of the interface that names a network: not in the local table (those go with their
// address), not to a link-local destination.
bool NetworkRoute(const nl::AnyRoute& r, std::uint32_t ifindex) {
  if (r.table == nl::kTableLocal || !r.Through(ifindex)) return false;
  return !(r.destination.linkLocal() && r.msg.dstLen >= (r.family() == 6 ? 10 : 16));
}

bool NetworkAddress(const nl::AnyAddr& a, std::uint32_t ifindex) {
  return a.msg.index == ifindex && !a.address.linkLocal();
}

// Entries the kernel keeps for itself (multicast mappings) or an administrator set for good.
bool LearntNeighbour(const nl::AnyNeigh& n, std::uint32_t ifindex) {
  return static_cast<std::uint32_t>(n.msg.ifindex) == ifindex &&
         (n.msg.state & (NUD_NOARP | NUD_PERMANENT)) == 0;
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

int LinuxNetStack::ListRoutes(std::vector<nl::RouteEntry>& out) {
  const int err = DumpAll(nl::kGetRoute, nl::DecodeRoute, out);
  out.erase(std::remove_if(out.begin(), out.end(),
                           [](const nl::RouteEntry& r) { return r.table != nl::kTableMain; }),
            out.end());
  return err;
}

int LinuxNetStack::ListNeighbours(std::vector<nl::NeighEntry>& out) {
  return DumpAll(nl::kGetNeigh, nl::DecodeNeigh, out);
}

int LinuxNetStack::ListLinks(std::vector<nl::LinkEntry>& out) {
  return DumpAll(nl::kGetLink, nl::DecodeLink, out);
}

int LinuxNetStack::ListAddresses(std::uint32_t interfaceNumber, std::vector<nl::AddrEntry>& out) {
  const int err = DumpAll(nl::kGetAddr, nl::DecodeAddr, out);
  out.erase(
      std::remove_if(out.begin(), out.end(),
                     [&](const nl::AddrEntry& a) { return a.msg.index != interfaceNumber || !a.hasLocal; }),
      out.end());
  return err;
}

Outcome LinuxNetStack::DeleteRoutesTo(std::uint32_t destination) {
  std::vector<nl::RouteEntry> routes;
  if (const int err = ListRoutes(routes)) return Fail(err, "reading the routing table");
  NetlinkSocket sock;
  if (const int err = sock.Open()) return Fail(err, "opening the routing socket");
  Outcome outcome;
  unsigned matched = 0;
  for (const nl::RouteEntry& route : routes) {
    if (route.msg.type != nl::kTypeUnicast || route.destination != destination) continue;
    if (destination == 0 && route.msg.dstLen != 0) continue;  // 0.0.0.0/1 and the like are not default routes
    ++matched;
    const int err = sock.Execute(nl::MakeRouteRequest(nl::kDelRoute, 0, sock.NextSeq(), route));
    if (err == 0) {
      ++outcome.count;
    } else {
      outcome.code = static_cast<std::uint32_t>(err);
    }
  }
  if (matched == 0) return Fail(ENOENT, "no route to " + FormatDotted(destination));
  outcome.note = "removed " + std::to_string(outcome.count) + " of " + std::to_string(matched) + " route(s)";
  return outcome;
}

Outcome LinuxNetStack::AddRoute(const NewRoute& wanted, RouteApi) {
  nl::RouteEntry route;
  route.msg.family = nl::kFamilyInet;
  route.msg.dstLen = static_cast<std::uint8_t>(MaskToPrefixLength(wanted.mask).value_or(32));
  route.msg.protocol = nl::kProtoStatic;
  route.msg.scope = nl::kScopeUniverse;
  route.msg.type = nl::kTypeUnicast;
  route.table = nl::kTableMain;
  route.destination = wanted.destination;
  route.gateway = wanted.gateway, route.hasGateway = true;
  route.priority = wanted.metric, route.hasPriority = true;
  if (wanted.interfaceNumber != 0) route.oif = wanted.interfaceNumber, route.hasOif = true;
  NetlinkSocket sock;
  if (const int err = sock.Open()) return Fail(err, "opening the routing socket");
  const int err = sock.Execute(
      nl::MakeRouteRequest(nl::kNewRoute, nl::kFlagCreate | nl::kFlagExclusive, sock.NextSeq(), route));
  Outcome outcome;
  outcome.code = static_cast<std::uint32_t>(err);
  outcome.count = err == 0 ? 1 : 0;
  outcome.note = err == ENETUNREACH
                     ? "gateway " + FormatDotted(wanted.gateway) + " is not on a connected network"
                 : err == EEXIST ? "the route exists already"
                                 : std::string();
  return outcome;
}

Outcome LinuxNetStack::DeleteNeighbour(std::uint32_t address, std::uint32_t interfaceNumber) {
  std::vector<nl::NeighEntry> entries;
  if (const int err = ListNeighbours(entries)) return Fail(err, "reading the neighbour table");
  NetlinkSocket sock;
  if (const int err = sock.Open()) return Fail(err, "opening the routing socket");
  Outcome outcome;
  unsigned matched = 0;
  for (const nl::NeighEntry& entry : entries) {
    if (!entry.hasDestination || entry.destination != address) continue;
    if (interfaceNumber != 0 && static_cast<std::uint32_t>(entry.msg.ifindex) != interfaceNumber) continue;
    ++matched;
    const int err = sock.Execute(nl::MakeNeighDelete(sock.NextSeq(), entry.msg.ifindex, address));
    if (err == 0) {
      ++outcome.count;
    } else if (err != ENOENT) {  // gone meanwhile is what we wanted
      outcome.code = static_cast<std::uint32_t>(err);
    }
  }
  if (matched == 0) return Fail(ENOENT, "no neighbour entry for " + FormatDotted(address));
  outcome.note = "removed " + std::to_string(outcome.count) + " entr" + (outcome.count == 1 ? "y" : "ies");
  return outcome;
}

Outcome LinuxNetStack::FindInterfaceByMac(const MacAddress& mac) {
  std::vector<nl::LinkEntry> links;
  if (const int err = ListLinks(links)) return Fail(err, "reading the interface list");
  for (const nl::LinkEntry& link : links) {
    if (link.hwAddress.size() == mac.size() && std::equal(mac.begin(), mac.end(), link.hwAddress.begin())) {
      Outcome outcome;
      outcome.value = static_cast<std::uint32_t>(link.index);
      outcome.count = 1;
      outcome.note = link.name + " is interface " + std::to_string(link.index);
      return outcome;
    }
  }
  return Fail(ENODEV, "no interface has this address");
}

Outcome LinuxNetStack::Lease(std::uint32_t interfaceNumber, LeaseAction action) {
  NetlinkSocket query;
  if (const int err = query.Open()) return Fail(err, "opening the routing socket");
  std::string name;
  const int linkErr =
      query.Query(nl::MakeLinkGet(query.NextSeq(), static_cast<std::int32_t>(interfaceNumber)),
                  [&](const nl::Message& msg) {
                    if (auto link = nl::DecodeLink(msg)) name = link->name;
                  });
  if (linkErr != 0 || name.empty())
    return Fail(linkErr ? linkErr : ENODEV, "no interface " + std::to_string(interfaceNumber));

  const DhcpClientControl control(m_options.clients);
  const bool renew = action == LeaseAction::Renew;
  // A client that just gave up may be starting again: give it a moment.
  std::vector<ManagingClient> clients = control.Find(name, static_cast<int>(interfaceNumber));
  for (int i = 0; clients.empty() && i < 10; ++i) {
    ::usleep(100 * 1000);
    clients = control.Find(name, static_cast<int>(interfaceNumber));
  }
  std::optional<ManagingClient> stopped;
  if (renew && clients.empty()) stopped = control.RecallStopped(name);  // our release stopped it
  if (clients.size() != 1 && !stopped)
    return Fail(clients.empty() ? ESRCH : EBUSY, DescribeManagers(clients, name));
  const ManagingClient& client = stopped ? *stopped : clients.front();
  const LeasePlan plan = stopped ? RestartPlan(client, name)
                         : renew ? RenewPlan(client, name)
                                 : ReleasePlan(client, name);

  std::vector<nl::AddrEntry> addresses;
  if (const int err = ListAddresses(interfaceNumber, addresses)) return Fail(err, "reading the addresses");
  const bool heldBefore = !addresses.empty();

  // Join the address notifications before the client acts, so that no change is missed.
  NetlinkSocket events;
  const bool watching = events.Open(nl::kGroupIpv4Addresses) == 0;

  const std::string clientText = std::string(DhcpClientName(client.line.kind)) +
                                 (stopped ? " (started again)" : " " + std::to_string(client.pid)) + " on " +
                                 name;
  std::string error;
  if (plan.stopsClient) control.RememberStopped(name, client);
  if (!control.Execute(plan, client, error)) return Fail(EIO, clientText + ": " + error);
  if (stopped) control.ForgetStopped(name);
  if (!renew && !heldBefore) {
    Outcome outcome;
    outcome.note = clientText + " told to release; no address was held";
    return outcome;
  }

  const auto start = Clock::now();
  const int limitMs = renew ? m_options.renewWaitMs : m_options.releaseWaitMs;
  bool setAnew = false;
  for (;;) {
    if (watching) {
      events.WaitNotifications(100, [&](const nl::Message& msg) {
        const auto addr = nl::DecodeAddr(msg);
        if (addr && addr->msg.index == interfaceNumber) setAnew = true;
      });
    } else {
      ::usleep(100 * 1000);
    }
    if (const int err = ListAddresses(interfaceNumber, addresses)) return Fail(err, "reading the addresses");
    const long long elapsed = MsSince(start);
    Outcome done;
    done.count = 1;
    if (!renew && addresses.empty()) {
      done.note = clientText + " released the address after " + std::to_string(elapsed) + " ms";
      return done;
    }
    if (renew && !addresses.empty() && (!heldBefore || setAnew || elapsed >= m_options.keptLeaseWaitMs)) {
      done.note = clientText + " holds " + FormatDotted(addresses.front().local) + "/" +
                  std::to_string(addresses.front().msg.prefixLen) + " after " + std::to_string(elapsed) +
                  " ms" + (heldBefore && !setAnew ? " (address kept, not set anew)" : "");
      return done;
    }
    // A udhcpc that ends without an address has given up (no answer, or the lease refused):
    // the renew has failed, there is nothing to wait for.
    if (renew && client.line.kind == DhcpClientKind::Udhcpc && ClientEnded(client.pid))
      return Fail(ETIMEDOUT,
                  clientText + " gave up without an address after " + std::to_string(elapsed) + " ms");
    if (renew && RenewCancelled())
      return Fail(ECANCELED, clientText + ": the wait for an address was given up after " +
                                 std::to_string(elapsed) + " ms");
    if (elapsed >= limitMs)
      return Fail(ETIMEDOUT, clientText + (renew ? " got no address" : " still holds its address") +
                                 " within " + std::to_string(limitMs) + " ms");
  }
}

Outcome LinuxNetStack::ReadAdapter(std::uint32_t interfaceNumber, AdapterSnapshot& out) {
  out = {};
  std::vector<nl::AddrEntry> addresses;
  if (const int err = ListAddresses(interfaceNumber, addresses)) return Fail(err, "reading the addresses");
  for (const nl::AddrEntry& a : addresses) out.addresses.push_back({a.local, a.msg.prefixLen});

  std::vector<nl::RouteEntry> routes;
  if (const int err = ListRoutes(routes)) return Fail(err, "reading the routing table");
  for (const nl::RouteEntry& r : routes) {
    if (r.msg.type != nl::kTypeUnicast || !r.hasOif || r.oif != interfaceNumber) continue;
    out.routes.push_back({r.destination, r.msg.dstLen, r.hasGateway ? r.gateway : 0});
  }

  std::vector<nl::NeighEntry> neighbours;
  if (const int err = ListNeighbours(neighbours)) return Fail(err, "reading the neighbour table");
  // Incomplete and failed entries hold no hardware address, and no-ARP ones are not learnt:
  // none of them can carry a frame to the address.
  constexpr std::uint16_t kUnusable = NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP;
  for (const nl::NeighEntry& n : neighbours) {
    if (!n.hasDestination || static_cast<std::uint32_t>(n.msg.ifindex) != interfaceNumber) continue;
    if ((n.msg.state & kUnusable) != 0) continue;
    out.neighbours.push_back(n.destination);
  }

  // No resolver configuration means no name servers, which is no error.
  std::ifstream in(m_options.resolverConfig, std::ios::binary);
  if (in) {
    std::string text(64 * 1024, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    out.nameServers = ParseResolverConfig(text);
    for (const IpAddress& server : ParseResolverServers(text)) {
      AdapterSnapshot::Item item;
      item.kind = AdapterSnapshot::Item::Kind::NameServer;
      item.family = server.version;
      item.address = server;
      out.items.push_back(item);
    }
  }
  if (const int err = ReadItems(interfaceNumber, out.items)) return Fail(err, "reading every table");
  Outcome outcome;
  outcome.count = 1;
  return outcome;
}

int LinuxNetStack::ReadItems(std::uint32_t ifindex, std::vector<AdapterSnapshot::Item>& items) {
  using Item = AdapterSnapshot::Item;
  std::vector<nl::AnyAddr> addrs;
  if (const int err = DumpEvery(nl::kGetAddr, nl::DecodeAnyAddr, addrs)) return err;
  for (const nl::AnyAddr& a : addrs) {
    if (a.msg.index != ifindex) continue;
    Item item;
    item.kind = Item::Kind::Address;
    item.family = a.address.version;
    item.address = a.address;
    item.prefixLength = a.msg.prefixLen;
    items.push_back(item);
  }
  std::vector<nl::AnyRoute> routes;
  if (const int err = DumpEvery(nl::kGetRoute, nl::DecodeAnyRoute, routes)) return err;
  for (const nl::AnyRoute& r : routes) {
    if (r.table == nl::kTableLocal || !r.Through(ifindex) || r.destination.multicast()) continue;
    Item item;
    item.kind = Item::Kind::Route;
    item.family = r.family();
    item.address = r.destination;
    item.prefixLength = r.msg.dstLen;
    item.table = r.table;
    if (r.hops.empty()) {
      item.gateway = r.gateway;
      items.push_back(item);
    }
    for (const auto& hop : r.hops) {  // each hop through this interface is a route of its own here
      if (hop.ifindex != ifindex) continue;
      item.gateway = hop.gateway;
      items.push_back(item);
    }
  }
  std::vector<nl::AnyNeigh> neighs;
  if (const int err = DumpEvery(nl::kGetNeigh, nl::DecodeAnyNeigh, neighs)) return err;
  constexpr std::uint16_t kUnusable = NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP;
  for (const nl::AnyNeigh& n : neighs) {
    if (static_cast<std::uint32_t>(n.msg.ifindex) != ifindex || (n.msg.state & kUnusable) != 0) continue;
    Item item;
    item.kind = Item::Kind::Neighbour;
    item.family = n.destination.version;
    item.address = n.destination;
    items.push_back(item);
  }
  // Policy rules name interfaces by name.
  NetlinkSocket query;
  std::string name;
  if (query.Open() == 0)
    query.Query(nl::MakeLinkGet(query.NextSeq(), static_cast<std::int32_t>(ifindex)),
                [&](const nl::Message& msg) {
                  if (auto link = nl::DecodeLink(msg)) name = link->name;
                });
  std::vector<nl::RuleEntry> rules;
  if (const int err = DumpEvery(nl::kGetRule, nl::DecodeRule, rules)) return err;
  for (const nl::RuleEntry& r : rules) {
    if (name.empty() || (r.iifName != name && r.oifName != name)) continue;
    Item item;
    item.kind = Item::Kind::Rule;
    item.family = r.msg.family == nl::kFamilyInet6 ? 6 : 4;
    item.table = r.table;
    item.rule = (r.iifName == name ? "iif " : "oif ") + name;
    items.push_back(item);
  }
  return 0;
}

Outcome LinuxNetStack::ClearAdapter(std::uint32_t ifindex) {
  NetlinkSocket sock;
  if (const int err = sock.Open()) return Fail(err, "opening the routing socket");
  bool exists = false;
  std::uint32_t linkFlags = 0;
  const int linkErr = sock.Query(nl::MakeLinkGet(sock.NextSeq(), static_cast<std::int32_t>(ifindex)),
                                 [&](const nl::Message& msg) {
                                   if (const auto link = nl::DecodeLink(msg)) {
                                     exists = true;
                                     linkFlags = link->flags;
                                   }
                                 });
  if (linkErr != 0 || !exists)
    return Fail(linkErr ? linkErr : ENODEV, "no interface " + std::to_string(ifindex));
  Outcome outcome;
  unsigned routes = 0, addresses = 0, neighbours = 0;
  std::string failures;
  const auto removed = [&](int err, const char* what, const IpAddress& ip) {
    // Gone meanwhile (with its address, or by someone else) is what we wanted.
    if (err == 0 || err == ESRCH || err == ENOENT || err == EADDRNOTAVAIL) return err == 0;
    outcome.code = static_cast<std::uint32_t>(err);
    if (failures.size() < 200)
      failures += std::string(failures.empty() ? "" : ", ") + what + " " + FormatIp(ip);
    return false;
  };

  // Routes first, so that nothing is sent through the interface while its addresses go; a
  // second round catches what the first one's removals did not take along.
  for (int round = 0; round < 3; ++round) {
    std::vector<nl::AnyRoute> list;
    if (const int err = DumpEvery(nl::kGetRoute, nl::DecodeAnyRoute, list))
      return Fail(err, "reading the routes");
    bool any = false;
    for (const nl::AnyRoute& r : list) {
      if (!NetworkRoute(r, ifindex)) continue;
      any = true;
      if (removed(sock.Execute(nl::MakeAnyRouteDelete(sock.NextSeq(), r)), "route to",
                  r.destination.version ? r.destination : IpAddress::V4(0)))
        ++routes;
    }
    if (!any) break;
  }
  std::vector<nl::AnyAddr> addrs;
  if (const int err = DumpEvery(nl::kGetAddr, nl::DecodeAnyAddr, addrs))
    return Fail(err, "reading the addresses");
  for (const nl::AnyAddr& a : addrs)
    if (NetworkAddress(a, ifindex) &&
        removed(sock.Execute(nl::MakeAnyAddrDelete(sock.NextSeq(), a)), "address", a.address))
      ++addresses;
  std::vector<nl::AnyNeigh> neighs;
  if (const int err = DumpEvery(nl::kGetNeigh, nl::DecodeAnyNeigh, neighs))
    return Fail(err, "reading the neighbour table");
  for (const nl::AnyNeigh& n : neighs)
    if (LearntNeighbour(n, ifindex) &&
        removed(sock.Execute(nl::MakeAnyNeighDelete(sock.NextSeq(), n)), "neighbour", n.destination))
      ++neighbours;

  unsigned nameServers = 0;
  if (m_options.resolverIsAdapters) {
    std::ifstream in(m_options.resolverConfig, std::ios::binary);
    if (in) {
      std::string text(64 * 1024, '\0');
      in.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<std::size_t>(in.gcount()));
      // Every server line counts, IPv6 ones too.
      for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const size_t first = text.find_first_not_of(" \t", pos);
        if (first < end && text.compare(first, 11, "nameserver ") == 0) ++nameServers;
        pos = end + 1;
      }
      in.close();
      // Written whole beside it and renamed over it: a reader never sees half a file.
      const std::string temp = m_options.resolverConfig + ".clear";
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out << "# cleared: the network these name servers belonged to was left\n";
      out.close();
      if (!out || std::rename(temp.c_str(), m_options.resolverConfig.c_str()) != 0) {
        outcome.code = static_cast<std::uint32_t>(errno ? errno : EIO);
        failures += std::string(failures.empty() ? "" : ", ") + "name servers in " + m_options.resolverConfig;
        nameServers = 0;
      }
    }
  }

  // What is left must be nothing: an address or route the kernel would not give up is reported.
  std::vector<nl::AnyRoute> leftRoutes;
  std::vector<nl::AnyAddr> leftAddrs;
  if (DumpEvery(nl::kGetRoute, nl::DecodeAnyRoute, leftRoutes) == 0 &&
      DumpEvery(nl::kGetAddr, nl::DecodeAnyAddr, leftAddrs) == 0) {
    const auto routesLeft = std::count_if(leftRoutes.begin(), leftRoutes.end(),
                                          [&](const nl::AnyRoute& r) { return NetworkRoute(r, ifindex); });
    const auto addrsLeft = std::count_if(leftAddrs.begin(), leftAddrs.end(),
                                         [&](const nl::AnyAddr& a) { return NetworkAddress(a, ifindex); });
    if ((routesLeft != 0 || addrsLeft != 0) && outcome.ok()) {
      outcome.code = EBUSY;
      failures += std::to_string(routesLeft) + " route(s) and " + std::to_string(addrsLeft) +
                  " address(es) came back";
    }
  }
  // Some clients' release takes the link down (systemd-networkd's): the adapter stays up with
  // nothing on it, or the switch box's next command could not leave through it.
  std::string linkNote;
  if ((linkFlags & IFF_UP) == 0) {
    if (const int err = sock.Execute(nl::MakeLinkUp(sock.NextSeq(), static_cast<std::int32_t>(ifindex)))) {
      if (outcome.ok()) outcome.code = static_cast<std::uint32_t>(err);
      failures += std::string(failures.empty() ? "" : ", ") + "the link could not be set up again";
    } else {
      linkNote = "; the link, found down, is up again";
    }
  }
  outcome.count = routes + addresses + neighbours + nameServers;
  outcome.note = "removed " + std::to_string(routes) + " route(s), " + std::to_string(addresses) +
                 " address(es), " + std::to_string(neighbours) + " neighbour(s), " +
                 std::to_string(nameServers) + " name server(s)" + linkNote +
                 (failures.empty() ? "" : "; not removed: " + failures);
  return outcome;
}

}  // namespace nvutil::posix

namespace nvutil {
std::unique_ptr<NetStack> MakeSystemNetStack() {
  // NV_RESOLV_CONF names another resolver file (the lab keeps one per workstation adapter).
  posix::LinuxNetStack::Options options;
  if (const char* resolver = std::getenv("NV_RESOLV_CONF"); resolver != nullptr && *resolver != '\0') {
    options.resolverConfig = resolver;
    options.resolverIsAdapters = true;
  }
  return std::make_unique<posix::LinuxNetStack>(std::move(options));
}
}  // namespace nvutil
