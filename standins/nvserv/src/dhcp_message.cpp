#include "src/dhcp_message.h"

#include <algorithm>
#include <cstring>

namespace nvserv {
namespace {

constexpr std::uint8_t kOpBootRequest = 1;
constexpr std::uint8_t kOpBootReply = 2;
constexpr std::uint8_t kHtypeEthernet = 1;
constexpr std::size_t kMinReplySize = 300;

// Offsets inside the fixed BOOTP header.
constexpr std::size_t kOffOp = 0, kOffHtype = 1, kOffHlen = 2, kOffXid = 4, kOffSecs = 8, kOffFlags = 10,
                      kOffCiaddr = 12, kOffYiaddr = 16, kOffSiaddr = 20, kOffGiaddr = 24, kOffChaddr = 28;

enum Option : std::uint8_t {
  kOptPad = 0,
  kOptSubnetMask = 1,
  kOptRouter = 3,
  kOptNameServers = 6,
  kOptHostName = 12,
  kOptRequestedIp = 50,
  kOptLeaseTime = 51,
  kOptMessageType = 53,
  kOptServerId = 54,
  kOptParameterRequests = 55,
  kOptClientId = 61,
  kOptEnd = 255,
};

void CopyOption(const std::uint8_t* value, std::uint8_t size, OptionBytes& out) noexcept {
  out.size = size;
  std::memcpy(out.data.data(), value, size);
}

// Stores one option; false when a known option has a length it cannot have.
bool TakeOption(std::uint8_t code, const std::uint8_t* value, std::uint8_t size, DhcpClientMessage& out,
                bool& haveType) noexcept {
  switch (code) {
    case kOptMessageType:
      if (size != 1 || value[0] == 0) return false;
      if (!haveType) out.messageType = value[0];
      haveType = true;
      return true;
    case kOptRequestedIp:
      if (size != 4) return false;
      if (!out.requestedIp) out.requestedIp = GetBe32(value);
      return true;
    case kOptServerId:
      if (size != 4) return false;
      if (!out.serverId) out.serverId = GetBe32(value);
      return true;
    case kOptClientId:
      if (size < 2) return false;
      if (out.clientId.empty()) CopyOption(value, size, out.clientId);
      return true;
    case kOptHostName:
      if (size < 1) return false;
      if (out.hostName.empty()) CopyOption(value, size, out.hostName);
      return true;
    case kOptParameterRequests:
      if (size < 1) return false;
      if (out.parameterRequests.empty()) CopyOption(value, size, out.parameterRequests);
      return true;
    default:
      return true;  // not needed to answer
  }
}

class OptionWriter {
 public:
  explicit OptionWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Bytes(std::uint8_t code, const std::uint8_t* data, std::size_t size) {
    out_.push_back(code);
    out_.push_back(static_cast<std::uint8_t>(size));
    out_.insert(out_.end(), data, data + size);
  }
  void U8(std::uint8_t code, std::uint8_t v) { Bytes(code, &v, 1); }
  void U32(std::uint8_t code, std::uint32_t v) {
    std::uint8_t b[4];
    PutBe32(b, v);
    Bytes(code, b, 4);
  }
  void Addresses(std::uint8_t code, const std::vector<Ipv4>& list) {
    const std::size_t count = std::min<std::size_t>(list.size(), 255 / 4);
    if (count == 0) return;
    out_.push_back(code);
    out_.push_back(static_cast<std::uint8_t>(count * 4));
    for (std::size_t i = 0; i < count; ++i) {
      std::uint8_t b[4];
      PutBe32(b, list[i]);
      out_.insert(out_.end(), b, b + 4);
    }
  }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace

const char* ParseErrorText(ParseError error) noexcept {
  switch (error) {
    case ParseError::kNone:
      return "ok";
    case ParseError::kTooShort:
      return "shorter than a DHCP message";
    case ParseError::kTooLong:
      return "larger than a DHCP request can be";
    case ParseError::kNotRequest:
      return "not a BOOTREQUEST";
    case ParseError::kNotEthernet:
      return "hardware type is not Ethernet";
    case ParseError::kBadCookie:
      return "no DHCP magic cookie";
    case ParseError::kOptionOverrun:
      return "option runs past the end of the message";
    case ParseError::kBadOption:
      return "option with an impossible length or value";
    case ParseError::kNoMessageType:
      return "no DHCP message type";
  }
  return "unknown";
}

ParseError ParseClientMessage(const std::uint8_t* data, std::size_t size, DhcpClientMessage& out) noexcept {
  out = DhcpClientMessage{};
  if (data == nullptr || size < kMinMessageSize) return ParseError::kTooShort;
  if (size > kMaxMessageSize) return ParseError::kTooLong;
  if (data[kOffOp] != kOpBootRequest) return ParseError::kNotRequest;
  if (data[kOffHtype] != kHtypeEthernet || data[kOffHlen] != 6) return ParseError::kNotEthernet;
  if (GetBe32(data + kBootpHeaderSize) != kMagicCookie) return ParseError::kBadCookie;

  out.xid = GetBe32(data + kOffXid);
  out.secs = GetBe16(data + kOffSecs);
  out.flags = GetBe16(data + kOffFlags);
  out.ciaddr = GetBe32(data + kOffCiaddr);
  out.giaddr = GetBe32(data + kOffGiaddr);
  std::memcpy(out.chaddr.data(), data + kOffChaddr, out.chaddr.size());

  bool haveType = false;
  std::size_t pos = kMinMessageSize;
  while (pos < size) {
    const std::uint8_t code = data[pos++];
    if (code == kOptPad) continue;
    if (code == kOptEnd) break;
    if (pos >= size) return ParseError::kOptionOverrun;  // no room for the length byte
    const std::uint8_t length = data[pos++];
    if (length > size - pos) return ParseError::kOptionOverrun;
    if (!TakeOption(code, data + pos, length, out, haveType)) return ParseError::kBadOption;
    pos += length;
  }
  if (!haveType) return ParseError::kNoMessageType;
  return ParseError::kNone;
}

std::vector<std::uint8_t> BuildReply(const DhcpReplyFields& f) {
  std::vector<std::uint8_t> out(kMinMessageSize, 0);
  out[kOffOp] = kOpBootReply;
  out[kOffHtype] = kHtypeEthernet;
  out[kOffHlen] = 6;
  PutBe32(&out[kOffXid], f.xid);
  PutBe16(&out[kOffFlags], f.flags);
  PutBe32(&out[kOffCiaddr], f.ciaddr);
  PutBe32(&out[kOffYiaddr], f.yiaddr);
  PutBe32(&out[kOffSiaddr], 0);  // no boot file server
  PutBe32(&out[kOffGiaddr], f.giaddr);
  std::copy(f.chaddr.begin(), f.chaddr.end(), out.begin() + kOffChaddr);
  PutBe32(&out[kBootpHeaderSize], kMagicCookie);

  OptionWriter w(out);
  w.U8(kOptMessageType, static_cast<std::uint8_t>(f.type));
  w.U32(kOptServerId, f.serverId);
  if (f.leaseSeconds) w.U32(kOptLeaseTime, *f.leaseSeconds);
  if (f.subnetMask) w.U32(kOptSubnetMask, *f.subnetMask);
  if (f.router) w.U32(kOptRouter, *f.router);
  w.Addresses(kOptNameServers, f.nameServers);
  if (!f.clientId.empty()) w.Bytes(kOptClientId, f.clientId.data.data(), f.clientId.size);
  out.push_back(kOptEnd);
  if (out.size() < kMinReplySize) out.resize(kMinReplySize, kOptPad);
  return out;
}

}  // namespace nvserv
