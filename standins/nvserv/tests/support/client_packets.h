// Test side of the wire, written independently of the library: client messages built byte by
// byte, and server replies read the way a client reads them.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "nvserv/ipinfo.h"

namespace nvserv::testing {

using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 6>;

Bytes Ip(std::uint32_t ip);  // four bytes, most significant first

struct ClientMessage {
  std::uint8_t op = 1, htype = 1, hlen = 6;
  std::uint32_t xid = 0x1234abcd;
  std::uint16_t flags = 0;
  std::uint32_t ciaddr = 0, giaddr = 0;
  Mac chaddr{};
  bool cookie = true;
  Bytes options;  // raw option bytes after the cookie, end option included by the caller
};
Bytes Encode(const ClientMessage& m);

// Option helpers: code, length, value.
Bytes Opt(std::uint8_t code, const Bytes& value);
Bytes operator+(Bytes a, const Bytes& b);

inline constexpr std::uint8_t kDiscover = 1, kOffer = 2, kRequest = 3, kDecline = 4, kAck = 5, kNak = 6,
                              kRelease = 7, kInform = 8;

// A DISCOVER/REQUEST as a client sends it: type, and optional requested address / server id.
Bytes ClientPacket(std::uint8_t type, const Mac& mac, std::uint32_t xid,
                   std::optional<std::uint32_t> requested = {}, std::optional<std::uint32_t> serverId = {},
                   std::uint32_t ciaddr = 0, std::uint16_t flags = 0);

// The record the tray program hands over: 10.77.0.20/24, gateway 10.77.0.1, the given name
// server text and MAC (02-4e-56-00-00-01 unless told).
inline constexpr Mac kRecordMac = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x01};
_uIPINFO Record(const Mac& mac = kRecordMac, const char* dns = "10.77.0.53");

struct ReplyView {
  bool valid = false;  // BOOTREPLY, Ethernet, cookie, options well-formed
  std::uint8_t op = 0;
  std::uint32_t xid = 0;
  std::uint16_t flags = 0;
  std::uint32_t ciaddr = 0, yiaddr = 0, siaddr = 0, giaddr = 0;
  Mac chaddr{};
  bool sawEnd = false;
  std::map<std::uint8_t, Bytes> options;

  std::optional<std::uint8_t> Type() const;
  std::optional<std::uint32_t> Address(std::uint8_t code) const;  // options 1, 3, 54, 51 (as number)
  std::vector<std::uint32_t> Addresses(std::uint8_t code) const;  // option 6
};
ReplyView ReadReply(const Bytes& payload);

}  // namespace nvserv::testing
