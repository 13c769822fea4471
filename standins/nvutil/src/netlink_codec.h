// Building and reading rtnetlink messages (Linux's routing socket) as plain bytes.
// Kept free of Linux headers so the checks on lengths and attributes are tested on every
// build; the constants are the kernel's stable ABI values (posix/ asserts they match).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nvutil/ip_address.h"

namespace nvutil::nl {

// Message types and flags.
constexpr std::uint16_t kNoop = 1, kError = 2, kDone = 3;
constexpr std::uint16_t kNewLink = 16, kGetLink = 18;
constexpr std::uint16_t kNewAddr = 20, kDelAddr = 21, kGetAddr = 22;
constexpr std::uint16_t kNewRoute = 24, kDelRoute = 25, kGetRoute = 26;
constexpr std::uint16_t kNewNeigh = 28, kDelNeigh = 29, kGetNeigh = 30;
constexpr std::uint16_t kNewRule = 32, kGetRule = 34;
constexpr std::uint16_t kFlagRequest = 0x1, kFlagMulti = 0x2, kFlagAck = 0x4, kFlagDumpInterrupted = 0x10;
constexpr std::uint16_t kFlagDump = 0x300, kFlagExclusive = 0x200, kFlagCreate = 0x400;
// Attributes and values.
constexpr std::uint8_t kFamilyUnspec = 0, kFamilyInet = 2, kFamilyInet6 = 10;
constexpr std::uint16_t kRouteDst = 1, kRouteOif = 4, kRouteGateway = 5, kRoutePriority = 6, kRouteTable = 15;
constexpr std::uint16_t kRouteMultipath = 9;
constexpr std::uint8_t kTableLocal = 255;
constexpr std::uint16_t kRuleDst = 1, kRuleSrc = 2, kRuleIifName = 3, kRulePriority = 6, kRuleTable = 15,
                        kRuleOifName = 17;
constexpr std::uint8_t kTableMain = 254, kProtoStatic = 4, kScopeUniverse = 0, kTypeUnicast = 1;
constexpr std::uint16_t kNeighDst = 1, kNeighLinkAddress = 2;
constexpr std::uint16_t kLinkAddress = 1, kLinkName = 3;
constexpr std::uint16_t kAddrAddress = 1, kAddrLocal = 2;
constexpr std::uint32_t kGroupIpv4Addresses = 0x10;

struct MsgHeader {  // nlmsghdr
  std::uint32_t len;
  std::uint16_t type;
  std::uint16_t flags;
  std::uint32_t seq;
  std::uint32_t pid;
};
struct RouteMsg {  // rtmsg
  std::uint8_t family, dstLen, srcLen, tos, table, protocol, scope, type;
  std::uint32_t flags;
};
struct NeighMsg {  // ndmsg
  std::uint8_t family, pad1;
  std::uint16_t pad2;
  std::int32_t ifindex;
  std::uint16_t state;
  std::uint8_t flags, type;
};
struct LinkMsg {  // ifinfomsg
  std::uint8_t family, pad;
  std::uint16_t type;
  std::int32_t index;
  std::uint32_t flags, change;
};
struct AddrMsg {  // ifaddrmsg
  std::uint8_t family, prefixLen, flags, scope;
  std::uint32_t index;
};
static_assert(sizeof(MsgHeader) == 16 && sizeof(RouteMsg) == 12 && sizeof(NeighMsg) == 12 &&
              sizeof(LinkMsg) == 16 && sizeof(AddrMsg) == 8);

constexpr std::size_t Align(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// One request in a fixed buffer; appending past its end marks it failed instead of growing.
class Request {
 public:
  static constexpr std::size_t kCapacity = 256;

  Request(std::uint16_t type, std::uint16_t flags, std::uint32_t seq) noexcept;
  bool AppendBody(const void* body, std::size_t len) noexcept;
  bool AppendAttr(std::uint16_t type, const void* data, std::size_t len) noexcept;
  bool AppendU32(std::uint16_t type, std::uint32_t value) noexcept;
  bool AppendIpv4(std::uint16_t type, std::uint32_t address) noexcept;  // sent first octet first

  [[nodiscard]] bool ok() const noexcept { return m_ok; }
  [[nodiscard]] const std::uint8_t* data() const noexcept { return m_buf.data(); }
  [[nodiscard]] std::size_t size() const noexcept { return m_size; }
  [[nodiscard]] std::uint32_t seq() const noexcept { return m_seq; }

 private:
  void SetLength() noexcept;

  std::array<std::uint8_t, kCapacity> m_buf{};
  std::size_t m_size = sizeof(MsgHeader);
  std::uint32_t m_seq;
  bool m_ok = true;
};

struct Message {
  MsgHeader header{};
  const std::uint8_t* payload = nullptr;
  std::size_t payloadLen = 0;
};
struct Attr {
  std::uint16_t type = 0;
  const std::uint8_t* data = nullptr;
  std::size_t len = 0;
};

// Splits one received datagram into messages; false (and nothing trusted) when a length
// field is too small or points past the datagram.
bool SplitDatagram(const std::uint8_t* data, std::size_t len, std::vector<Message>& out);
// Attributes following a fixed body of `bodyLen` bytes; false on a malformed one.
bool SplitAttrs(const Message& msg, std::size_t bodyLen, std::vector<Attr>& out);

// NLMSG_ERROR: the error number (positive), 0 for an acknowledgement; nothing when short.
std::optional<int> DecodeError(const Message& msg) noexcept;

struct RouteEntry {
  RouteMsg msg{};
  std::uint32_t destination = 0, gateway = 0, oif = 0, priority = 0, table = 0;
  bool hasGateway = false, hasOif = false, hasPriority = false;
};
struct NeighEntry {
  NeighMsg msg{};
  std::uint32_t destination = 0;
  bool hasDestination = false;
};
struct LinkEntry {
  std::int32_t index = 0;
  std::uint32_t flags = 0;
  std::string name;
  std::vector<std::uint8_t> hwAddress;
};
struct AddrEntry {
  AddrMsg msg{};
  std::uint32_t local = 0;
  bool hasLocal = false;
};

// IPv4 entries only; nothing for other families, other message types or malformed ones.
std::optional<RouteEntry> DecodeRoute(const Message& msg);
std::optional<NeighEntry> DecodeNeigh(const Message& msg);
std::optional<LinkEntry> DecodeLink(const Message& msg);
std::optional<AddrEntry> DecodeAddr(const Message& msg);

// Entries of both families, for reading and clearing everything an interface holds.
struct AnyAddr {
  AddrMsg msg{};
  IpAddress address;  // IFA_LOCAL, else IFA_ADDRESS: the interface's own address
  IpAddress peer;     // IFA_ADDRESS when it differs (point-to-point)
};
struct AnyRoute {
  RouteMsg msg{};
  std::uint32_t table = 0;
  IpAddress destination;  // unset (version 0) for a default route
  IpAddress gateway;
  std::uint32_t oif = 0, priority = 0;
  bool hasOif = false, hasPriority = false;
  struct Hop {
    std::uint32_t ifindex = 0;
    IpAddress gateway;
  };
  std::vector<Hop> hops;  // RTA_MULTIPATH's next hops
  [[nodiscard]] bool Through(std::uint32_t ifindex) const noexcept;
  [[nodiscard]] int family() const noexcept { return msg.family == kFamilyInet6 ? 6 : 4; }
};
struct AnyNeigh {
  NeighMsg msg{};
  IpAddress destination;
};
struct RuleEntry {  // fib_rule_hdr has rtmsg's layout
  RouteMsg msg{};
  std::uint32_t table = 0, priority = 0;
  std::string iifName, oifName;
};

std::optional<AnyAddr> DecodeAnyAddr(const Message& msg);
std::optional<AnyRoute> DecodeAnyRoute(const Message& msg);
std::optional<AnyNeigh> DecodeAnyNeigh(const Message& msg);
std::optional<RuleEntry> DecodeRule(const Message& msg);

// Deletes of exactly the dumped entry (keys only: a multipath route goes by destination,
// table and metric, which removes all its hops).
Request MakeAnyAddrDelete(std::uint32_t seq, const AnyAddr& addr) noexcept;
Request MakeAnyRouteDelete(std::uint32_t seq, const AnyRoute& route) noexcept;
Request MakeAnyNeighDelete(std::uint32_t seq, const AnyNeigh& neigh) noexcept;

// `family`: kFamilyInet (the default, IPv4 only) or kFamilyUnspec for every family.
Request MakeDumpRequest(std::uint16_t type, std::uint32_t seq, std::uint8_t family = kFamilyInet) noexcept;
// New or deleted route carrying the entry's keys (destination, gateway, interface,
// priority, table), so that a delete removes exactly the dumped route.
Request MakeRouteRequest(std::uint16_t type, std::uint16_t extraFlags, std::uint32_t seq,
                         const RouteEntry& route) noexcept;
Request MakeNeighDelete(std::uint32_t seq, std::int32_t ifindex, std::uint32_t address) noexcept;
Request MakeLinkGet(std::uint32_t seq, std::int32_t index) noexcept;
// Sets the link administratively up (IFF_UP), touching no other flag.
Request MakeLinkUp(std::uint32_t seq, std::int32_t index) noexcept;

}  // namespace nvutil::nl
