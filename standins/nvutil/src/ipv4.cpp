#include "nvutil/ipv4.h"

#include <cstdio>

namespace nvutil {

std::optional<std::uint32_t> ParseDotted(std::string_view text) noexcept {
  std::uint32_t address = 0;
  size_t pos = 0;
  for (int octet = 0; octet < 4; ++octet) {
    if (octet > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    unsigned value = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
    address = (address << 8) | value;
  }
  if (pos != text.size()) return std::nullopt;
  return address;
}

std::string FormatDotted(std::uint32_t address) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF,
                (address >> 8) & 0xFF, address & 0xFF);
  return buf;
}

std::array<std::uint8_t, 4> ToWireBytes(std::uint32_t address) noexcept {
  return {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
          static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

std::uint32_t FromWireBytes(const std::uint8_t* bytes) noexcept {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

std::optional<int> MaskToPrefixLength(std::uint32_t mask) noexcept {
  const std::uint32_t inverted = ~mask;
  // A contiguous mask's complement is 2^n - 1: adding one leaves no common bit.
  if ((inverted & (inverted + 1)) != 0) return std::nullopt;
  int prefix = 0;
  for (std::uint32_t m = mask; m != 0; m <<= 1) ++prefix;
  return prefix;
}

std::uint32_t PrefixLengthToMask(int prefix) noexcept {
  if (prefix <= 0) return 0;
  if (prefix >= 32) return 0xFFFFFFFFu;
  return ~((std::uint32_t{1} << (32 - prefix)) - 1);
}

std::string FormatMac(const MacAddress& mac) {
  char buf[18];
  std::snprintf(buf, sizeof buf, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return buf;
}

bool IsZeroMac(const MacAddress& mac) noexcept {
  for (auto b : mac)
    if (b != 0) return false;
  return true;
}

std::optional<std::uint32_t> ParseInterfaceNumber(std::string_view text) noexcept {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace nvutil
