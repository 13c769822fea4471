// DHCP messages on the wire: parsing a client's request and building a server's reply.
// Everything parsed here comes from the network, so every length is checked before use.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "src/net_types.h"

namespace nvserv {

enum class DhcpMessageType : std::uint8_t {
  kDiscover = 1,
  kOffer = 2,
  kRequest = 3,
  kDecline = 4,
  kAck = 5,
  kNak = 6,
  kRelease = 7,
  kInform = 8,
};

inline constexpr std::size_t kBootpHeaderSize = 236;                  // fixed BOOTP fields before the options
inline constexpr std::size_t kMinMessageSize = kBootpHeaderSize + 4;  // header and magic cookie
// A request larger than one Ethernet frame's UDP payload is not a DHCP client's.
inline constexpr std::size_t kMaxMessageSize = 1472;
inline constexpr std::uint32_t kMagicCookie = 0x63825363;
inline constexpr std::uint16_t kBroadcastFlag = 0x8000;

// An option value of up to 255 bytes, held without allocating.
struct OptionBytes {
  std::uint8_t size = 0;
  std::array<std::uint8_t, 255> data{};
  bool empty() const noexcept { return size == 0; }
};

struct DhcpClientMessage {
  std::uint8_t messageType = 0;  // option 53, any value 1..255 (unknown types are ignored later)
  std::uint32_t xid = 0;
  std::uint16_t secs = 0;
  std::uint16_t flags = 0;
  Ipv4 ciaddr = 0;
  Ipv4 giaddr = 0;
  MacAddress chaddr{};
  std::optional<Ipv4> requestedIp;  // option 50
  std::optional<Ipv4> serverId;     // option 54
  OptionBytes clientId;             // option 61
  OptionBytes hostName;             // option 12
  OptionBytes parameterRequests;    // option 55
};

enum class ParseError {
  kNone,
  kTooShort,       // shorter than the BOOTP header and magic cookie
  kTooLong,        // larger than kMaxMessageSize
  kNotRequest,     // op is not BOOTREQUEST
  kNotEthernet,    // htype is not Ethernet or hlen is not 6
  kBadCookie,      // the magic cookie is missing
  kOptionOverrun,  // an option's length runs past the message
  kBadOption,      // a known option with a length or value it cannot have
  kNoMessageType,  // no option 53: plain BOOTP, not answered
};
const char* ParseErrorText(ParseError error) noexcept;

// Parses a client's DHCP message (UDP payload). The first occurrence of an option counts;
// a missing end option is tolerated, an option running past the data is not.
ParseError ParseClientMessage(const std::uint8_t* data, std::size_t size, DhcpClientMessage& out) noexcept;

// What goes into a server reply; options with no value are left out.
struct DhcpReplyFields {
  DhcpMessageType type = DhcpMessageType::kOffer;
  std::uint32_t xid = 0;
  std::uint16_t flags = 0;
  Ipv4 ciaddr = 0;
  Ipv4 yiaddr = 0;
  Ipv4 giaddr = 0;
  MacAddress chaddr{};
  Ipv4 serverId = 0;                          // option 54, always sent
  std::optional<Ipv4> subnetMask;             // option 1
  std::optional<Ipv4> router;                 // option 3
  std::vector<Ipv4> nameServers;              // option 6 (at most 63 fit in one option)
  std::optional<std::uint32_t> leaseSeconds;  // option 51
  OptionBytes clientId;                       // option 61, echoed when the client sent it
};

// Builds a BOOTREPLY with the magic cookie, options and end option, padded to the 300-byte
// minimum that old clients and relays expect.
std::vector<std::uint8_t> BuildReply(const DhcpReplyFields& fields);

}  // namespace nvserv
