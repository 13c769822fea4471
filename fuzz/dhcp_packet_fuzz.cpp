// libFuzzer target: one datagram as it arrives on UDP port 67, through everything the
// emulation does with it (parse, decide, build the reply and its Ethernet frame).
// Built and run by scripts/fuzz-dhcp.sh.
#include <cstddef>
#include <cstdint>

#include "src/dhcp_message.h"
#include "src/dhcp_responder.h"
#include "src/frame_builder.h"
#include "src/lease_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nvserv::DhcpClientMessage request;
  if (nvserv::ParseClientMessage(data, size, request) != nvserv::ParseError::kNone) return 0;

  // Armed for the sender's own MAC, so the answer path runs for every parsed message.
  nvserv::LeaseConfig config;
  config.mac = request.chaddr;
  config.address = 0x0a4d0014;
  config.subnetMask = 0xffffff00;
  config.router = 0x0a4d0001;
  config.serverId = 0x0a4d0001;
  config.nameServers = {0x0a4d0035};
  const auto reply = nvserv::AnswerClient(request, config);
  if (!reply) return 0;

  nvserv::DhcpClientMessage echoed;
  if (nvserv::ParseClientMessage(reply->payload.data(), reply->payload.size(), echoed) !=
      nvserv::ParseError::kNotRequest)
    __builtin_trap();  // a reply must never pass for a request
  nvserv::UdpFrameAddressing a;
  a.srcMac = config.mac;
  a.dstMac = reply->to.mac;
  a.srcIp = reply->serverIp;
  a.dstIp = reply->to.ip;
  a.srcPort = nvserv::kServerPort;
  a.dstPort = nvserv::kClientPort;
  const auto frame = nvserv::BuildUdpFrame(a, reply->payload.data(), reply->payload.size());
  if (frame.size() != reply->payload.size() + 42) __builtin_trap();
  return 0;
}
