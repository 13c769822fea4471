#include "support/client_packets.h"

#include <cstdio>
#include <cstring>

namespace nvserv::testing {

Bytes Ip(std::uint32_t ip) {
  return {static_cast<std::uint8_t>(ip >> 24), static_cast<std::uint8_t>(ip >> 16),
          static_cast<std::uint8_t>(ip >> 8), static_cast<std::uint8_t>(ip)};
}

Bytes Encode(const ClientMessage& m) {
  Bytes b(240, 0);
  b[0] = m.op;
  b[1] = m.htype;
  b[2] = m.hlen;
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<std::uint8_t>(m.xid >> (24 - 8 * i));
  b[10] = static_cast<std::uint8_t>(m.flags >> 8);
  b[11] = static_cast<std::uint8_t>(m.flags);
  const Bytes ci = Ip(m.ciaddr), gi = Ip(m.giaddr);
  for (int i = 0; i < 4; ++i) {
    b[12 + i] = ci[i];
    b[24 + i] = gi[i];
  }
  for (int i = 0; i < 6; ++i) b[28 + i] = m.chaddr[i];
  if (m.cookie) {
    b[236] = 99;
    b[237] = 130;
    b[238] = 83;
    b[239] = 99;
  }
  b.insert(b.end(), m.options.begin(), m.options.end());
  return b;
}

// Appended byte by byte: GCC 12 misreports vector::insert of a short range (-Warray-bounds).
Bytes Opt(std::uint8_t code, const Bytes& value) {
  Bytes b{code, static_cast<std::uint8_t>(value.size())};
  for (std::uint8_t v : value) b.push_back(v);
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  for (std::uint8_t v : b) a.push_back(v);
  return a;
}

Bytes ClientPacket(std::uint8_t type, const Mac& mac, std::uint32_t xid,
                   std::optional<std::uint32_t> requested, std::optional<std::uint32_t> serverId,
                   std::uint32_t ciaddr, std::uint16_t flags) {
  ClientMessage m;
  m.xid = xid;
  m.chaddr = mac;
  m.ciaddr = ciaddr;
  m.flags = flags;
  m.options = Opt(53, {type}) + Opt(61, {1, mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]});
  if (requested) m.options = m.options + Opt(50, Ip(*requested));
  if (serverId) m.options = m.options + Opt(54, Ip(*serverId));
  m.options = m.options + Opt(55, {1, 3, 6, 15}) + Bytes{255};
  return Encode(m);
}

_uIPINFO Record(const Mac& mac, const char* dns) {
  _uIPINFO info{};
  info.dwIPAddr = 0x0a4d0014;
  info.dwSubnetMask = 0xffffff00;
  info.dwGateway = 0x0a4d0001;
  std::snprintf(info.szDns, sizeof info.szDns, "%s", dns);
  std::memcpy(info.ucMacAddr, mac.data(), mac.size());
  return info;
}

namespace {
std::uint32_t Be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
         b[at + 3];
}
}  // namespace

std::optional<std::uint8_t> ReplyView::Type() const {
  auto it = options.find(53);
  if (it == options.end() || it->second.size() != 1) return std::nullopt;
  return it->second[0];
}

std::optional<std::uint32_t> ReplyView::Address(std::uint8_t code) const {
  auto it = options.find(code);
  if (it == options.end() || it->second.size() != 4) return std::nullopt;
  return Be32(it->second, 0);
}

std::vector<std::uint32_t> ReplyView::Addresses(std::uint8_t code) const {
  std::vector<std::uint32_t> list;
  auto it = options.find(code);
  if (it == options.end()) return list;
  for (std::size_t i = 0; i + 4 <= it->second.size(); i += 4) list.push_back(Be32(it->second, i));
  return list;
}

ReplyView ReadReply(const Bytes& p) {
  ReplyView v;
  if (p.size() < 240) return v;
  v.op = p[0];
  v.xid = Be32(p, 4);
  v.flags = static_cast<std::uint16_t>((p[10] << 8) | p[11]);
  v.ciaddr = Be32(p, 12);
  v.yiaddr = Be32(p, 16);
  v.siaddr = Be32(p, 20);
  v.giaddr = Be32(p, 24);
  for (int i = 0; i < 6; ++i) v.chaddr[i] = p[28 + i];
  if (p[1] != 1 || p[2] != 6 || Be32(p, 236) != 0x63825363) return v;
  std::size_t i = 240;
  while (i < p.size()) {
    const std::uint8_t code = p[i++];
    if (code == 0) continue;
    if (code == 255) {
      v.sawEnd = true;
      break;
    }
    if (i >= p.size() || p[i] > p.size() - i - 1) return v;
    const std::uint8_t len = p[i++];
    if (v.options.count(code) != 0) return v;  // a server reply has each option once
    v.options[code] =
        Bytes(p.begin() + static_cast<std::ptrdiff_t>(i), p.begin() + static_cast<std::ptrdiff_t>(i + len));
    i += len;
  }
  v.valid = v.op == 2 && v.sawEnd;
  return v;
}

}  // namespace nvserv::testing
