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
  for (const std::string& drive : snapshot.connectedDrives) {
    const bool ofOther = std::any_of(otherDrives.begin(), otherDrives.end(),
                                     [&](const std::string& d) { return Upper(d) == Upper(drive); });
    if (ofOther) left.push_back("drive letter " + Upper(drive) + " (" + otherName + ")");
  }
  result.state = left.empty() ? IsolationResult::State::Passed : IsolationResult::State::Failed;
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
