#include "netlink_codec.h"

#include <cstring>

#include "nvutil/ipv4.h"

namespace nvutil::nl {
namespace {

constexpr std::size_t kAttrHeader = 4;

template <typename T>
T Load(const std::uint8_t* p) noexcept {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

std::optional<std::uint32_t> U32(const Attr& a) noexcept {
  if (a.len != 4) return std::nullopt;
  return Load<std::uint32_t>(a.data);
}

std::optional<std::uint32_t> Ipv4(const Attr& a) noexcept {
  if (a.len != 4) return std::nullopt;
  return FromWireBytes(a.data);
}

template <typename Body>
bool ReadBody(const Message& msg, Body& body) noexcept {
  if (msg.payloadLen < sizeof(Body)) return false;
  std::memcpy(&body, msg.payload, sizeof(Body));
  return true;
}

}  // namespace

Request::Request(std::uint16_t type, std::uint16_t flags, std::uint32_t seq) noexcept : m_seq(seq) {
  MsgHeader header{};
  header.type = type;
  header.flags = flags;
  header.seq = seq;
  std::memcpy(m_buf.data(), &header, sizeof header);
  SetLength();
}

void Request::SetLength() noexcept {
  const auto len = static_cast<std::uint32_t>(m_size);
  std::memcpy(m_buf.data(), &len, sizeof len);
}

bool Request::AppendBody(const void* body, std::size_t len) noexcept {
  if (!m_ok || Align(len) > kCapacity - m_size) return m_ok = false;
  std::memcpy(m_buf.data() + m_size, body, len);
  m_size += Align(len);
  SetLength();
  return true;
}

bool Request::AppendAttr(std::uint16_t type, const void* data, std::size_t len) noexcept {
  if (!m_ok || len > 0xFFFF - kAttrHeader || Align(kAttrHeader + len) > kCapacity - m_size)
    return m_ok = false;
  const auto attrLen = static_cast<std::uint16_t>(kAttrHeader + len);
  std::memcpy(m_buf.data() + m_size, &attrLen, 2);
  std::memcpy(m_buf.data() + m_size + 2, &type, 2);
  if (len) std::memcpy(m_buf.data() + m_size + kAttrHeader, data, len);
  m_size += Align(kAttrHeader + len);
  SetLength();
  return true;
}

bool Request::AppendU32(std::uint16_t type, std::uint32_t value) noexcept {
  return AppendAttr(type, &value, sizeof value);
}

bool Request::AppendIpv4(std::uint16_t type, std::uint32_t address) noexcept {
  const auto bytes = ToWireBytes(address);
  return AppendAttr(type, bytes.data(), bytes.size());
}

bool SplitDatagram(const std::uint8_t* data, std::size_t len, std::vector<Message>& out) {
  out.clear();
  std::size_t pos = 0;
  while (len - pos >= sizeof(MsgHeader)) {
    Message msg;
    std::memcpy(&msg.header, data + pos, sizeof(MsgHeader));
    const std::size_t msgLen = msg.header.len;
    if (msgLen < sizeof(MsgHeader) || msgLen > len - pos) {
      out.clear();
      return false;
    }
    msg.payload = data + pos + sizeof(MsgHeader);
    msg.payloadLen = msgLen - sizeof(MsgHeader);
    out.push_back(msg);
    // The last message may end without its alignment padding.
    pos += Align(msgLen) <= len - pos ? Align(msgLen) : msgLen;
  }
  if (pos != len) {  // trailing bytes too short for a header
    out.clear();
    return false;
  }
  return true;
}

bool SplitAttrs(const Message& msg, std::size_t bodyLen, std::vector<Attr>& out) {
  out.clear();
  if (msg.payloadLen < bodyLen) return false;
  if (Align(bodyLen) >= msg.payloadLen) return true;  // no attributes
  std::size_t pos = Align(bodyLen);
  const std::size_t end = msg.payloadLen;
  while (end - pos >= kAttrHeader) {
    const auto attrLen = Load<std::uint16_t>(msg.payload + pos);
    if (attrLen < kAttrHeader || attrLen > end - pos) {
      out.clear();
      return false;
    }
    Attr a;
    a.type = Load<std::uint16_t>(msg.payload + pos + 2) & 0x3FFF;  // drop the nested/byte-order bits
    a.data = msg.payload + pos + kAttrHeader;
    a.len = attrLen - kAttrHeader;
    out.push_back(a);
    pos += Align(attrLen) <= end - pos ? Align(attrLen) : attrLen;
  }
  if (pos != end) {
    out.clear();
    return false;
  }
  return true;
}

std::optional<int> DecodeError(const Message& msg) noexcept {
  if (msg.header.type != kError || msg.payloadLen < sizeof(std::int32_t)) return std::nullopt;
  const auto error = Load<std::int32_t>(msg.payload);
  if (error > 0 || error < -4095) return std::nullopt;  // the kernel sends 0 or -errno
  return -error;
}

std::optional<NeighEntry> DecodeNeigh(const Message& msg) {
  NeighEntry neigh;
  std::vector<Attr> attrs;
  if (msg.header.type != kNewNeigh || !ReadBody(msg, neigh.msg) || neigh.msg.family != kFamilyInet ||
      !SplitAttrs(msg, sizeof(NeighMsg), attrs))
    return std::nullopt;
  for (const Attr& a : attrs) {
    if (a.type != kNeighDst) continue;
    const auto v = Ipv4(a);
    if (!v) return std::nullopt;
    neigh.destination = *v, neigh.hasDestination = true;
  }
  return neigh;
}

std::optional<LinkEntry> DecodeLink(const Message& msg) {
  LinkMsg body{};
  std::vector<Attr> attrs;
  if (msg.header.type != kNewLink || !ReadBody(msg, body) || !SplitAttrs(msg, sizeof(LinkMsg), attrs))
    return std::nullopt;
  LinkEntry link;
  link.index = body.index;
  link.flags = body.flags;
  for (const Attr& a : attrs) {
    if (a.type == kLinkAddress) {
      link.hwAddress.assign(a.data, a.data + a.len);
    } else if (a.type == kLinkName) {
      std::size_t n = 0;  // zero-terminated inside the attribute, or not at all
      while (n < a.len && a.data[n] != 0) ++n;
      link.name.assign(reinterpret_cast<const char*>(a.data), n);
    }
  }
  return link;
}

std::optional<AddrEntry> DecodeAddr(const Message& msg) {
  AddrEntry addr;
  std::vector<Attr> attrs;
  if (msg.header.type != kNewAddr || !ReadBody(msg, addr.msg) || addr.msg.family != kFamilyInet ||
      !SplitAttrs(msg, sizeof(AddrMsg), attrs))
    return std::nullopt;
  for (const Attr& a : attrs) {
    // IFA_LOCAL is the interface's own address; IFA_ADDRESS is the peer's on point-to-point links.
    if (a.type == kAddrLocal || (a.type == kAddrAddress && !addr.hasLocal)) {
      const auto v = Ipv4(a);
      if (!v) return std::nullopt;
      addr.local = *v, addr.hasLocal = true;
    }
  }
  return addr;
}

Request MakeDumpRequest(std::uint16_t type, std::uint32_t seq, std::uint8_t family) noexcept {
  Request req(type, kFlagRequest | kFlagDump, seq);
  switch (type) {
    case kGetRoute:
    case kGetRule: {
      RouteMsg body{};
      body.family = family;
      req.AppendBody(&body, sizeof body);
      break;
    }
    case kGetNeigh: {
      NeighMsg body{};
      body.family = family;
      req.AppendBody(&body, sizeof body);
      break;
    }
    case kGetAddr: {
      AddrMsg body{};
      body.family = family;
      req.AppendBody(&body, sizeof body);
      break;
    }
    default: {  // links: every family
      LinkMsg body{};
      req.AppendBody(&body, sizeof body);
      break;
    }
  }
  return req;
}

Request MakeRouteRequest(std::uint16_t type, std::uint16_t extraFlags, std::uint32_t seq,
                         const RouteEntry& route) noexcept {
  Request req(type, kFlagRequest | kFlagAck | extraFlags, seq);
  RouteMsg body = route.msg;
  body.family = kFamilyInet;
  body.table = route.table < 256 ? static_cast<std::uint8_t>(route.table) : 0;
  req.AppendBody(&body, sizeof body);
  if (body.dstLen > 0) req.AppendIpv4(kRouteDst, route.destination);
  if (route.hasGateway) req.AppendIpv4(kRouteGateway, route.gateway);
  if (route.hasOif) req.AppendU32(kRouteOif, route.oif);
  if (route.hasPriority) req.AppendU32(kRoutePriority, route.priority);
  req.AppendU32(kRouteTable, route.table);
  return req;
}

Request MakeNeighDelete(std::uint32_t seq, std::int32_t ifindex, std::uint32_t address) noexcept {
  Request req(kDelNeigh, kFlagRequest | kFlagAck, seq);
  NeighMsg body{};
  body.family = kFamilyInet;
  body.ifindex = ifindex;
  req.AppendBody(&body, sizeof body);
  req.AppendIpv4(kNeighDst, address);
  return req;
}

namespace {

std::optional<IpAddress> AnyIp(const Attr& a, std::uint8_t family) noexcept {
  if (a.len != (family == kFamilyInet6 ? 16u : family == kFamilyInet ? 4u : 0u)) return std::nullopt;
  return IpAddress::FromBytes(a.data, a.len);
}

bool KnownFamily(std::uint8_t family) noexcept { return family == kFamilyInet || family == kFamilyInet6; }

std::string AttrText(const Attr& a) {
  std::size_t n = 0;
  while (n < a.len && a.data[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(a.data), n);
}

// RTA_MULTIPATH: rtnexthop {len, flags, hops, ifindex} records, each followed by its attributes.
bool DecodeHops(const Attr& a, std::uint8_t family, std::vector<AnyRoute::Hop>& out) {
  constexpr std::size_t kHopHeader = 8;
  std::size_t pos = 0;
  while (a.len - pos >= kHopHeader) {
    const auto len = Load<std::uint16_t>(a.data + pos);
    if (len < kHopHeader || len > a.len - pos) return false;
    AnyRoute::Hop hop;
    hop.ifindex = static_cast<std::uint32_t>(Load<std::int32_t>(a.data + pos + 4));
    Message inner;
    inner.payload = a.data + pos;
    inner.payloadLen = len;
    std::vector<Attr> attrs;
    if (!SplitAttrs(inner, kHopHeader, attrs)) return false;
    for (const Attr& h : attrs) {
      if (h.type != kRouteGateway) continue;
      const auto gw = AnyIp(h, family);
      if (!gw) return false;
      hop.gateway = *gw;
    }
    out.push_back(hop);
    pos += Align(len) <= a.len - pos ? Align(len) : len;
  }
  return pos == a.len;
}

void AppendIp(Request& req, std::uint16_t type, const IpAddress& ip) noexcept {
  req.AppendAttr(type, ip.bytes.data(), ip.size());
}

}  // namespace

bool AnyRoute::Through(std::uint32_t ifindex) const noexcept {
  if (hasOif && oif == ifindex) return true;
  for (const Hop& hop : hops)
    if (hop.ifindex == ifindex) return true;
  return false;
}

std::optional<AnyAddr> DecodeAnyAddr(const Message& msg) {
  AnyAddr addr;
  std::vector<Attr> attrs;
  if (msg.header.type != kNewAddr || !ReadBody(msg, addr.msg) || !KnownFamily(addr.msg.family) ||
      !SplitAttrs(msg, sizeof(AddrMsg), attrs))
    return std::nullopt;
  std::optional<IpAddress> local, address;
  for (const Attr& a : attrs) {
    if (a.type != kAddrLocal && a.type != kAddrAddress) continue;
    const auto ip = AnyIp(a, addr.msg.family);
    if (!ip) return std::nullopt;
    (a.type == kAddrLocal ? local : address) = *ip;
  }
  if (!local && !address) return std::nullopt;
  addr.address = local ? *local : *address;
  if (local && address && *local != *address) addr.peer = *address;
  return addr;
}

std::optional<AnyRoute> DecodeAnyRoute(const Message& msg) {
  AnyRoute route;
  std::vector<Attr> attrs;
  if (msg.header.type != kNewRoute || !ReadBody(msg, route.msg) || !KnownFamily(route.msg.family) ||
      route.msg.dstLen > (route.msg.family == kFamilyInet6 ? 128 : 32) ||
      !SplitAttrs(msg, sizeof(RouteMsg), attrs))
    return std::nullopt;
  route.table = route.msg.table;
  for (const Attr& a : attrs) {
    std::optional<std::uint32_t> v;
    std::optional<IpAddress> ip;
    switch (a.type) {
      case kRouteDst:
        if (!(ip = AnyIp(a, route.msg.family))) return std::nullopt;
        route.destination = *ip;
        break;
      case kRouteGateway:
        if (!(ip = AnyIp(a, route.msg.family))) return std::nullopt;
        route.gateway = *ip;
        break;
      case kRouteOif:
        if (!(v = U32(a))) return std::nullopt;
        route.oif = *v, route.hasOif = true;
        break;
      case kRoutePriority:
        if (!(v = U32(a))) return std::nullopt;
        route.priority = *v, route.hasPriority = true;
        break;
      case kRouteTable:
        if (!(v = U32(a))) return std::nullopt;
        route.table = *v;
        break;
      case kRouteMultipath:
        if (!DecodeHops(a, route.msg.family, route.hops)) return std::nullopt;
        break;
      default:
        break;
    }
  }
  return route;
}

// The IPv4 routes of the any-family decoder, in the IPv4 entry's numbers.
std::optional<RouteEntry> DecodeRoute(const Message& msg) {
  const auto any = DecodeAnyRoute(msg);
  if (!any || any->msg.family != kFamilyInet) return std::nullopt;
  RouteEntry route;
  route.msg = any->msg;
  route.table = any->table;
  route.destination = any->destination.v4();
  route.gateway = any->gateway.v4();
  route.hasGateway = any->gateway.version == 4;
  route.oif = any->oif, route.hasOif = any->hasOif;
  route.priority = any->priority, route.hasPriority = any->hasPriority;
  return route;
}

std::optional<AnyNeigh> DecodeAnyNeigh(const Message& msg) {
  AnyNeigh neigh;
  std::vector<Attr> attrs;
  if (msg.header.type != kNewNeigh || !ReadBody(msg, neigh.msg) || !KnownFamily(neigh.msg.family) ||
      !SplitAttrs(msg, sizeof(NeighMsg), attrs))
    return std::nullopt;
  for (const Attr& a : attrs) {
    if (a.type != kNeighDst) continue;
    const auto ip = AnyIp(a, neigh.msg.family);
    if (!ip) return std::nullopt;
    neigh.destination = *ip;
  }
  if (neigh.destination.version == 0) return std::nullopt;
  return neigh;
}

std::optional<RuleEntry> DecodeRule(const Message& msg) {
  RuleEntry rule;
  std::vector<Attr> attrs;
  if (msg.header.type != kNewRule || !ReadBody(msg, rule.msg) || !KnownFamily(rule.msg.family) ||
      !SplitAttrs(msg, sizeof(RouteMsg), attrs))
    return std::nullopt;
  rule.table = rule.msg.table;
  for (const Attr& a : attrs) {
    if (a.type == kRuleIifName) rule.iifName = AttrText(a);
    if (a.type == kRuleOifName) rule.oifName = AttrText(a);
    if (a.type == kRuleTable) rule.table = U32(a).value_or(rule.table);
    if (a.type == kRulePriority) rule.priority = U32(a).value_or(0);
  }
  return rule;
}

Request MakeAnyAddrDelete(std::uint32_t seq, const AnyAddr& addr) noexcept {
  Request req(kDelAddr, kFlagRequest | kFlagAck, seq);
  req.AppendBody(&addr.msg, sizeof addr.msg);
  AppendIp(req, kAddrLocal, addr.address);
  AppendIp(req, kAddrAddress, addr.peer.version ? addr.peer : addr.address);
  return req;
}

Request MakeAnyRouteDelete(std::uint32_t seq, const AnyRoute& route) noexcept {
  Request req(kDelRoute, kFlagRequest | kFlagAck, seq);
  RouteMsg body = route.msg;
  body.table = route.table < 256 ? static_cast<std::uint8_t>(route.table) : 0;
  req.AppendBody(&body, sizeof body);
  if (body.dstLen > 0 && route.destination.version) AppendIp(req, kRouteDst, route.destination);
  if (route.hops.empty()) {
    if (route.gateway.version) AppendIp(req, kRouteGateway, route.gateway);
    if (route.hasOif) req.AppendU32(kRouteOif, route.oif);
  }
  if (route.hasPriority) req.AppendU32(kRoutePriority, route.priority);
  req.AppendU32(kRouteTable, route.table);
  return req;
}

Request MakeAnyNeighDelete(std::uint32_t seq, const AnyNeigh& neigh) noexcept {
  Request req(kDelNeigh, kFlagRequest | kFlagAck, seq);
  NeighMsg body{};
  body.family = neigh.msg.family;
  body.ifindex = neigh.msg.ifindex;
  req.AppendBody(&body, sizeof body);
  AppendIp(req, kNeighDst, neigh.destination);
  return req;
}

Request MakeLinkGet(std::uint32_t seq, std::int32_t index) noexcept {
  Request req(kGetLink, kFlagRequest, seq);
  LinkMsg body{};
  body.index = index;
  req.AppendBody(&body, sizeof body);
  return req;
}

Request MakeLinkUp(std::uint32_t seq, std::int32_t index) noexcept {
  constexpr std::uint32_t kLinkUp = 0x1;  // IFF_UP
  Request req(kNewLink, kFlagRequest | kFlagAck, seq);
  LinkMsg body{};
  body.index = index;
  body.flags = kLinkUp;
  body.change = kLinkUp;
  req.AppendBody(&body, sizeof body);
  return req;
}

}  // namespace nvutil::nl
