#include "control_frame.h"

#include <cstdio>
#include <cstring>

namespace nv::switchbox {
namespace {

constexpr std::uint8_t kLead[kLeadSize] = {0x55, 0x55, 0x55, 0x55, 0x55, 0xD5};
constexpr std::uint8_t kTypeHi = 0x00, kTypeLo = 0x26;
constexpr std::uint8_t kCmdA = 0xAA, kCmdB = 0x55;

}  // namespace

Verdict ParseControlFrame(const std::uint8_t* data, std::size_t size) noexcept {
  Verdict v;
  if (data == nullptr || size < kFrameSize) return v;  // TooShort
  // A normal frame starts with the broadcast address, never with the lead, so
  // the two layouts cannot be confused.
  std::size_t p = 0;
  if (std::memcmp(data, kLead, kLeadSize) == 0) {
    v.lead = true;
    p = kLeadSize;
  }
  for (std::size_t i = 0; i < 6; ++i) {
    if (data[p + i] != 0xFF) {
      v.ignored = Ignored::NotBroadcast;
      return v;
    }
  }
  if (data[p + 12] != kTypeHi || data[p + 13] != kTypeLo) {
    v.ignored = Ignored::WrongType;
    return v;
  }
  if (std::memcmp(data + p + 6, data + p + 14, 6) != 0) {
    v.ignored = Ignored::MacMismatch;
    return v;
  }
  const std::uint8_t c0 = data[p + 20], c1 = data[p + 21];
  if (c0 == kCmdA && c1 == kCmdA) {
    v.network = Network::A;
  } else if (c0 == kCmdB && c1 == kCmdB) {
    v.network = Network::B;
  } else {
    v.ignored = Ignored::UnknownCommand;
    return v;
  }
  std::memcpy(v.mac.data(), data + p + 6, 6);
  v.ignored = Ignored::None;
  return v;
}

bool LooksLikeControlFrame(const std::uint8_t* data, std::size_t size) noexcept {
  if (data == nullptr) return false;
  if (size >= kLeadSize && std::memcmp(data, kLead, kLeadSize) == 0) return true;
  return size >= 14 && data[12] == kTypeHi && data[13] == kTypeLo;
}

const char* Describe(Ignored reason) noexcept {
  switch (reason) {
    case Ignored::None:
      return "command";
    case Ignored::TooShort:
      return "too short";
    case Ignored::NotBroadcast:
      return "not broadcast";
    case Ignored::WrongType:
      return "wrong type/length";
    case Ignored::MacMismatch:
      return "MAC mismatch";
    case Ignored::UnknownCommand:
      return "unknown command";
  }
  return "?";
}

std::string FormatMac(const Mac& mac) {
  char buf[18];
  std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return buf;
}

}  // namespace nv::switchbox
