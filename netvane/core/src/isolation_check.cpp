#include "netvane/isolation_check.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "netvane/cfginfo.h"
#include "nvutil/ipv4.h"

namespace nv::core {
namespace {

using nvutil::FormatDotted;

struct Subnet {
  uint32_t base = 0;
  int prefix = 0;

  uint32_t Mask() const { return nvutil::PrefixLengthToMask(prefix); }
  bool Contains(uint32_t address) const { return (address & Mask()) == base; }
  // Two ranges overlap when the wider one contains the start of the narrower one.
  bool Overlaps(uint32_t otherBase, int otherPrefix) const {
    const int shorter = std::min(prefix, otherPrefix);
    const uint32_t mask = nvutil::PrefixLengthToMask(shorter);
    return (base & mask) == (otherBase & mask);
  }
};

// A network's subnet as far as its record tells it: a mask and an address or gateway in it.
std::optional<Subnet> SubnetOf(const NetCfgRecord& r) {
  const auto prefix = nvutil::MaskToPrefixLength(r.NetMask);
  const uint32_t member = r.IPAddr != 0 ? r.IPAddr : r.Gateway;
  if (r.NetMask == 0 || !prefix || member == 0) return std::nullopt;
  return Subnet{member & r.NetMask, *prefix};
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// What marks the network just left, less what it shares with the target (one configuration
// may serve both networks, and then their subnet or gateway is no leftover).
struct OtherMarks {
  std::optional<Subnet> subnet;
  uint32_t gateway = 0;
  uint32_t address = 0;
  std::vector<uint32_t> nameServers;

  bool Holds(uint32_t a) const {
    return a != 0 && ((subnet && subnet->Contains(a)) || a == gateway || a == address);
  }
};

OtherMarks MarksOf(const NetCfgRecord& other, const NetCfgRecord& target, uint32_t targetGateway) {
  OtherMarks m;
  m.subnet = SubnetOf(other);
  const auto targetSubnet = SubnetOf(target);
  if (m.subnet && targetSubnet && m.subnet->Overlaps(targetSubnet->base, targetSubnet->prefix))
    m.subnet.reset();
  if (m.subnet && targetGateway != 0 && m.subnet->Contains(targetGateway)) m.subnet.reset();
  m.gateway = other.Gateway != targetGateway ? other.Gateway : 0;
  m.address = other.IPAddr != target.IPAddr ? other.IPAddr : 0;
  for (uint32_t dns : other.dns) {
    const bool shared = std::find(std::begin(target.dns), std::end(target.dns), dns) != std::end(target.dns);
    if (dns != 0 && !shared) m.nameServers.push_back(dns);
  }
  return m;
}

std::string WithPrefix(uint32_t address, int prefix) {
  return FormatDotted(address) + "/" + std::to_string(prefix);
}

using Item = nvutil::AdapterSnapshot::Item;

bool Holds(const std::vector<Item>& items, const Item& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// What is the target network's own after the change: its record's subnet, gateway and name
// servers, and for a network served by DHCP what the change brought that was not there before
// (the new addresses' prefixes, the new routes' gateways).
struct TargetMarks {
  std::vector<std::pair<nvutil::IpAddress, int>> prefixes;
  std::vector<nvutil::IpAddress> gateways;
  std::vector<nvutil::IpAddress> nameServers;
  bool advertisesIpv6 = false;  // a global IPv6 address came with the change
  // The network left is a guess: the name servers a renewed lease wrote again are no sign.
  bool fromGuessed = false;

  bool InPrefix(const nvutil::IpAddress& a) const {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const auto& p) { return a.version != 0 && a.InPrefix(p.first, p.second); });
  }
  bool Gateway(const nvutil::IpAddress& a) const {
    return InPrefix(a) || std::find(gateways.begin(), gateways.end(), a) != gateways.end();
  }

  bool Owns(const Item& i) const {
    switch (i.kind) {
      case Item::Kind::Address:
      case Item::Kind::Neighbour:
        return Gateway(i.address);
      case Item::Kind::Route:
        if (i.gateway.version != 0) {
          // Routers on two wires may share a link-local address (fe80::1): a route through one is
          // the target's once the target advertised a prefix of its own.
          if (i.gateway.linkLocal() && i.family == 6) return advertisesIpv6;
          return Gateway(i.gateway);
        }
        return i.address.version != 0 && std::any_of(prefixes.begin(), prefixes.end(), [&](const auto& p) {
                 const int shorter = std::min(p.second, i.prefixLength);
                 return p.first.version == i.address.version && i.address.InPrefix(p.first, shorter) &&
                        p.first.InPrefix(i.address, shorter);
               });
      case Item::Kind::NameServer:
        // A server on the target's own subnet is the target's.
        return fromGuessed || InPrefix(i.address) ||
               std::find(nameServers.begin(), nameServers.end(), i.address) != nameServers.end();
      case Item::Kind::Rule:
        return false;
    }
    return false;
  }
};

TargetMarks MarksOfTarget(const nvutil::AdapterSnapshot& before, const nvutil::AdapterSnapshot& after,
                          const NetCfgRecord& mine, uint32_t targetGateway, bool fromGuessed) {
  TargetMarks t;
  t.fromGuessed = fromGuessed;
  if (const auto subnet = SubnetOf(mine))
    t.prefixes.emplace_back(nvutil::IpAddress::V4(subnet->base), subnet->prefix);
  if (mine.IPAddr != 0) t.prefixes.emplace_back(nvutil::IpAddress::V4(mine.IPAddr), 32);
  if (targetGateway != 0) t.gateways.push_back(nvutil::IpAddress::V4(targetGateway));
  for (uint32_t dns : mine.dns)
    if (dns != 0) t.nameServers.push_back(nvutil::IpAddress::V4(dns));
  for (const Item& i : after.items) {
    if (fromGuessed && i.kind == Item::Kind::Address && !i.address.linkLocal()) {
      t.prefixes.emplace_back(i.address, i.prefixLength);
      if (i.family == 6) t.advertisesIpv6 = true;
    }
    if (Holds(before.items, i)) continue;
    if (i.kind == Item::Kind::Address && !i.address.linkLocal()) {
      t.prefixes.emplace_back(i.address, i.prefixLength);
      if (i.family == 6) t.advertisesIpv6 = true;
    } else if (i.kind == Item::Kind::Route && i.gateway.version != 0 && !i.gateway.linkLocal()) {
      t.gateways.push_back(i.gateway);
    }
  }
  return t;
}

// Every item the adapter held on the network left that it still holds, that is valid beyond
// its link and that is not the target's own: "route 0.0.0.0/0 via 10.91.1.1 (network A)".
std::vector<std::string> LeftSinceBefore(const nvutil::AdapterSnapshot& before,
                                         const nvutil::AdapterSnapshot& after, const NetCfgRecord& mine,
                                         uint32_t targetGateway, bool fromGuessed,
                                         const std::string& otherName) {
  const TargetMarks target = MarksOfTarget(before, after, mine, targetGateway, fromGuessed);
  // The gateway the network left was reached through (its default route), for naming.
  std::vector<nvutil::IpAddress> leftGateways;
  for (const Item& i : before.items)
    if (i.kind == Item::Kind::Route && i.address.version == 0 && i.gateway.version != 0)
      leftGateways.push_back(i.gateway);
  std::vector<std::string> left;
  for (const Item& i : before.items) {
    if (i.linkLocal() || target.Owns(i) || !Holds(after.items, i)) continue;
    const bool gateway = i.kind == Item::Kind::Neighbour &&
                         std::find(leftGateways.begin(), leftGateways.end(), i.address) != leftGateways.end();
    std::string text = i.Text() + " (" + otherName + (gateway ? "'s gateway)" : ")");
    if (std::find(left.begin(), left.end(), text) == left.end()) left.push_back(std::move(text));
  }
  return left;
}

}  // namespace

std::string IsolationResult::Summary() const {
  switch (state) {
    case State::NotRun:
      return "";
    case State::Passed:
      return "passed";
    case State::NotChecked:
      return "not checked: " + problem;
    case State::Failed:
      break;
  }
  std::string text = "failed:";
  for (size_t i = 0; i < leftovers.size(); ++i) text += (i ? "; " : " ") + leftovers[i];
  return text;
}

IsolationResult CheckIsolation(const CCfginfo& cfg, int target, const std::vector<std::string>& otherDrives,
                               const IsolationSnapshot& snapshot) {
  IsolationResult result;
  if (!snapshot.read) {
    result.state = IsolationResult::State::NotChecked;
    result.problem = snapshot.readError.empty() ? "the adapter could not be read" : snapshot.readError;
    return result;
  }
  const int t = target != 0 ? 1 : 0;
  const NetCfgRecord& mine = cfg.net[t];
  const NetCfgRecord& other = cfg.net[1 - t];
  const std::string otherName = std::string("network ") + (t == 0 ? "B" : "A");
  const std::string targetName = std::string("network ") + (t == 0 ? "A" : "B");

  // As the change sequence does: one fixed configuration moves only the default route.
  const bool routeOnly = cfg.dwIPnum == 1 && !mine.useDhcp;
  const uint32_t targetGateway = routeOnly && mine.sameGateway ? cfg.net[0].Gateway : mine.Gateway;
  const OtherMarks marks = MarksOf(other, mine, targetGateway);
  const bool fixedTarget = !mine.useDhcp && !routeOnly && mine.IPAddr != 0;
  auto& left = result.leftovers;
  std::vector<std::string> unread;

  for (const auto& a : snapshot.adapter.addresses) {
    if (marks.Holds(a.address)) {
      left.push_back("address " + WithPrefix(a.address, a.prefixLength) + " (" + otherName + ")");
    } else if (fixedTarget && a.address != mine.IPAddr) {
      left.push_back("address " + WithPrefix(a.address, a.prefixLength) + " (not " + targetName + "'s)");
    }
  }
  for (const auto& r : snapshot.adapter.routes) {
    const bool through = r.gateway != 0 && marks.Holds(r.gateway);
    // A default route is judged by its gateway alone: it "contains" every address.
    const bool to = r.prefixLength > 0 &&
                    ((marks.subnet && marks.subnet->Overlaps(r.destination, r.prefixLength)) ||
                     (marks.gateway != 0 && Subnet{r.destination, r.prefixLength}.Contains(marks.gateway)));
    if (!through && !to) continue;
    std::string text = "route " + WithPrefix(r.destination, r.prefixLength);
    if (r.gateway != 0) text += " via " + FormatDotted(r.gateway);
    left.push_back(text + " (" + otherName + ")");
  }
  for (uint32_t n : snapshot.adapter.neighbours) {
    if (n != 0 && n == marks.gateway) {
      left.push_back("neighbour entry " + FormatDotted(n) + " (" + otherName + "'s gateway)");
    } else if (marks.Holds(n)) {
      left.push_back("neighbour entry " + FormatDotted(n) + " (" + otherName + ")");
    }
  }
  std::vector<uint32_t> ownServers;
  for (uint32_t dns : mine.dns)
    if (dns != 0) ownServers.push_back(dns);
  for (uint32_t ns : snapshot.adapter.nameServers) {
    const bool others = marks.Holds(ns) || std::find(marks.nameServers.begin(), marks.nameServers.end(),
                                                     ns) != marks.nameServers.end();
    const bool foreign = fixedTarget && !ownServers.empty() &&
                         std::find(ownServers.begin(), ownServers.end(), ns) == ownServers.end();
    if (others) {
      left.push_back("name server " + FormatDotted(ns) + " (" + otherName + ")");
    } else if (foreign) {
      left.push_back("name server " + FormatDotted(ns) + " (not " + targetName + "'s)");
    }
  }
  // What the adapter really had on the network left, whatever the stored record knows of it.
  if (snapshot.beforeRead) {
    for (std::string& text : LeftSinceBefore(snapshot.before, snapshot.adapter, mine, targetGateway,
                                             snapshot.fromGuessed, otherName))
      // The stored record may have named it already, in the same words.
      if (std::find(left.begin(), left.end(), text) == left.end()) left.push_back(std::move(text));
  } else if (!snapshot.beforeError.empty()) {
    unread.push_back("the adapter before the switch (" + snapshot.beforeError + ")");
  }
  for (const std::string& part : snapshot.adapter.unread) unread.push_back(part);

  for (const std::string& drive : snapshot.connectedDrives) {
    const bool ofOther = std::any_of(otherDrives.begin(), otherDrives.end(),
                                     [&](const std::string& d) { return Upper(d) == Upper(drive); });
    if (ofOther) left.push_back("drive letter " + Upper(drive) + " (" + otherName + ")");
  }
  if (!left.empty()) {
    result.state = IsolationResult::State::Failed;
  } else if (!unread.empty()) {
    // What could not be read may hold a leftover: that is no pass.
    result.state = IsolationResult::State::NotChecked;
    for (size_t i = 0; i < unread.size(); ++i) result.problem += (i ? "; " : "") + unread[i];
  } else {
    result.state = IsolationResult::State::Passed;
  }
  return result;
}

std::string IsolationLogLine(const IsolationResult& result) {
  switch (result.state) {
    case IsolationResult::State::Passed:
      return "ISOLATION OK";
    case IsolationResult::State::NotChecked:
      return "ISOLATION NOT CHECKED(" + result.problem + ")";
    case IsolationResult::State::Failed: {
      std::string line = "ISOLATION FAILED(";
      for (size_t i = 0; i < result.leftovers.size(); ++i) line += (i ? "; " : "") + result.leftovers[i];
      return line + ")";
    }
    case IsolationResult::State::NotRun:
      break;
  }
  return "";
}

}  // namespace nv::core
