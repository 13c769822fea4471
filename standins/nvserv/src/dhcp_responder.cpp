#include "src/dhcp_responder.h"

namespace nvserv {
namespace {

DhcpReplyFields CommonFields(const DhcpClientMessage& request, const LeaseConfig& config,
                             DhcpMessageType type) {
  DhcpReplyFields f;
  f.type = type;
  f.xid = request.xid;
  f.flags = request.flags;
  f.chaddr = request.chaddr;
  f.serverId = config.serverId;
  f.clientId = request.clientId;
  return f;
}

void AddSettings(DhcpReplyFields& f, const LeaseConfig& config) {
  f.subnetMask = config.subnetMask;
  if (config.router != 0) f.router = config.router;
  f.nameServers = config.nameServers;
}

DhcpReply Finish(const DhcpReplyFields& f, const DhcpClientMessage& request, const LeaseConfig& config) {
  DhcpReply reply;
  reply.type = f.type;
  reply.payload = BuildReply(f);
  reply.serverIp = config.serverId;
  if (f.type == DhcpMessageType::kNak) {
    // The client's view of its address is wrong: only a broadcast is sure to reach it.
    reply.to = ReplyDestination{};
  } else if (request.ciaddr != 0) {
    reply.to = ReplyDestination{request.ciaddr, request.chaddr, true};
  } else if ((request.flags & kBroadcastFlag) != 0) {
    reply.to = ReplyDestination{};
  } else {
    reply.to = ReplyDestination{f.yiaddr, request.chaddr, false};
  }
  return reply;
}

DhcpReply Nak(const DhcpClientMessage& request, const LeaseConfig& config);

DhcpReply Offer(const DhcpClientMessage& request, const LeaseConfig& config, DhcpMessageType type) {
  if (config.declined) return Nak(request, config);  // the address is another host's
  DhcpReplyFields f = CommonFields(request, config, type);
  f.yiaddr = config.address;
  f.leaseSeconds = config.leaseSeconds;
  AddSettings(f, config);
  return Finish(f, request, config);
}

DhcpReply Nak(const DhcpClientMessage& request, const LeaseConfig& config) {
  DhcpReplyFields f = CommonFields(request, config, DhcpMessageType::kNak);
  f.flags = static_cast<std::uint16_t>(f.flags | kBroadcastFlag);
  return Finish(f, request, config);
}

std::optional<DhcpReply> AnswerRequest(const DhcpClientMessage& request, const LeaseConfig& config) {
  if (request.serverId) {  // SELECTING: the client names the server it chose
    if (*request.serverId != config.serverId) return std::nullopt;
    if (request.requestedIp == config.address) return Offer(request, config, DhcpMessageType::kAck);
    return Nak(request, config);
  }
  if (request.requestedIp) {  // INIT-REBOOT: the client asks to keep an address it knows
    if (*request.requestedIp == config.address) return Offer(request, config, DhcpMessageType::kAck);
    return Nak(request, config);
  }
  if (request.ciaddr != 0) {  // RENEWING or REBINDING
    if (request.ciaddr == config.address) return Offer(request, config, DhcpMessageType::kAck);
    return Nak(request, config);
  }
  return std::nullopt;  // a REQUEST naming no address at all
}

}  // namespace

std::optional<DhcpReply> AnswerClient(const DhcpClientMessage& request, const LeaseConfig& config) {
  if (request.chaddr != config.mac || request.giaddr != 0) return std::nullopt;
  switch (static_cast<DhcpMessageType>(request.messageType)) {
    case DhcpMessageType::kDiscover:
      if (config.declined) return std::nullopt;  // nothing else to offer
      return Offer(request, config, DhcpMessageType::kOffer);
    case DhcpMessageType::kRequest:
      return AnswerRequest(request, config);
    case DhcpMessageType::kInform: {
      if (request.ciaddr == 0) return std::nullopt;  // nowhere to send it
      DhcpReplyFields f = CommonFields(request, config, DhcpMessageType::kAck);
      f.ciaddr = request.ciaddr;
      AddSettings(f, config);
      return Finish(f, request, config);
    }
    default:
      return std::nullopt;  // DECLINE, RELEASE: nothing to free; server messages: not ours
  }
}

bool DeclinesOfferedAddress(const DhcpClientMessage& request, const LeaseConfig& config) noexcept {
  if (request.messageType != static_cast<std::uint8_t>(DhcpMessageType::kDecline)) return false;
  if (request.chaddr != config.mac || request.giaddr != 0) return false;
  if (request.serverId && *request.serverId != config.serverId) return false;  // another server's offer
  return request.requestedIp == config.address;
}

}  // namespace nvserv
