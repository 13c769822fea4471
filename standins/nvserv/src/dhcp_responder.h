// Which client message gets which answer, and where the answer goes (RFC 2131 4.1, 4.3).
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "src/dhcp_message.h"
#include "src/lease_config.h"

namespace nvserv {

struct ReplyDestination {
  Ipv4 ip = kBroadcastIp;
  MacAddress mac = kBroadcastMac;
  // True when `ip` is an address the client already holds (its ciaddr), so the ordinary
  // IP stack can reach it; otherwise only a broadcast or a hand-made frame reaches the client.
  bool clientHasAddress = false;
};

struct DhcpReply {
  DhcpMessageType type = DhcpMessageType::kOffer;
  std::vector<std::uint8_t> payload;  // UDP payload, server port 67 -> client port 68
  Ipv4 serverIp = 0;                  // source address of the reply
  ReplyDestination to;
};

// The answer to one client message under `config`, or nothing:
//  - only the configured MAC (chaddr) is answered; relayed messages are not;
//  - DISCOVER -> OFFER of the configured address;
//  - REQUEST for the configured address -> ACK; for any other address -> NAK; a REQUEST
//    naming another server is left to that server;
//  - INFORM -> ACK with the settings and no address; everything else is ignored;
//  - once the address is declined (config.declined) it is offered no more, and a REQUEST
//    for it gets a NAK.
std::optional<DhcpReply> AnswerClient(const DhcpClientMessage& request, const LeaseConfig& config);

// True when the message is the configured adapter's DECLINE of the configured address: the
// client found another host holding it.
bool DeclinesOfferedAddress(const DhcpClientMessage& request, const LeaseConfig& config) noexcept;

}  // namespace nvserv
