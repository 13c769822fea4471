#include "nvutil/ip_address.h"

#include <cstdio>
#include <cstring>

#include "nvutil/ipv4.h"

namespace nvutil {

IpAddress IpAddress::V4(std::uint32_t address) noexcept {
  IpAddress a;
  a.version = 4;
  const auto wire = ToWireBytes(address);
  std::memcpy(a.bytes.data(), wire.data(), wire.size());
  return a;
}

std::optional<IpAddress> IpAddress::FromBytes(const std::uint8_t* data, std::size_t len) noexcept {
  if (len != 4 && len != 16) return std::nullopt;
  IpAddress a;
  a.version = len == 4 ? 4 : 6;
  std::memcpy(a.bytes.data(), data, len);
  return a;
}

std::uint32_t IpAddress::v4() const noexcept { return version == 4 ? FromWireBytes(bytes.data()) : 0; }

bool IpAddress::linkLocal() const noexcept {
  if (version == 4) return bytes[0] == 169 && bytes[1] == 254;
  return version == 6 && bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80;
}

bool IpAddress::multicast() const noexcept {
  if (version == 4) return (bytes[0] & 0xf0) == 0xe0;
  return version == 6 && bytes[0] == 0xff;
}

bool IpAddress::unspecified() const noexcept {
  for (std::size_t i = 0; i < size(); ++i)
    if (bytes[i] != 0) return false;
  return true;
}

bool IpAddress::InPrefix(const IpAddress& prefix, int length) const noexcept {
  if (version != prefix.version || version == 0 || length < 0 || length > static_cast<int>(size() * 8))
    return false;
  const int whole = length / 8, rest = length % 8;
  if (std::memcmp(bytes.data(), prefix.bytes.data(), static_cast<std::size_t>(whole)) != 0) return false;
  if (rest == 0) return true;
  const auto mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
  return (bytes[whole] & mask) == (prefix.bytes[whole] & mask);
}

std::string FormatIp(const IpAddress& a) {
  if (a.version == 4) return FormatDotted(a.v4());
  if (a.version != 6) return "(none)";
  std::uint16_t groups[8];
  for (int i = 0; i < 8; ++i)
    groups[i] = static_cast<std::uint16_t>(a.bytes[2 * i] << 8 | a.bytes[2 * i + 1]);
  // The longest run of two or more zero groups becomes "::" (the first such run on a tie).
  int bestStart = -1, bestLen = 0;
  for (int i = 0; i < 8;) {
    if (groups[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLen && j - i >= 2) bestStart = i, bestLen = j - i;
    i = j;
  }
  std::string out;
  char part[8];
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      out += "::";
      i += bestLen - 1;
      continue;
    }
    if (!out.empty() && out.back() != ':') out += ':';
    std::snprintf(part, sizeof part, "%x", groups[i]);
    out += part;
  }
  return out;
}

namespace {

int HexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Groups of one to four hex digits separated by ':'; empty text gives no groups.
bool ParseGroups(std::string_view text, std::uint16_t* out, int& count) noexcept {
  count = 0;
  if (text.empty()) return true;
  std::size_t pos = 0;
  for (;;) {
    int digits = 0;
    unsigned value = 0;
    while (pos < text.size() && text[pos] != ':') {
      const int d = HexDigit(text[pos]);
      if (d < 0 || ++digits > 4) return false;
      value = value << 4 | static_cast<unsigned>(d);
      ++pos;
    }
    if (digits == 0 || count == 8) return false;
    out[count++] = static_cast<std::uint16_t>(value);
    if (pos == text.size()) return true;
    ++pos;  // the ':'
  }
}

}  // namespace

std::optional<IpAddress> ParseIp(std::string_view text) noexcept {
  if (text.find(':') == std::string_view::npos) {
    const auto v4 = ParseDotted(text);
    if (!v4) return std::nullopt;
    return IpAddress::V4(*v4);
  }
  std::uint16_t head[8], tail[8];
  int headCount = 0, tailCount = 0;
  const std::size_t gap = text.find("::");
  if (gap == std::string_view::npos) {
    if (!ParseGroups(text, head, headCount) || headCount != 8) return std::nullopt;
  } else {
    if (text.find("::", gap + 1) != std::string_view::npos) return std::nullopt;
    if (!ParseGroups(text.substr(0, gap), head, headCount) ||
        !ParseGroups(text.substr(gap + 2), tail, tailCount) || headCount + tailCount > 7)
      return std::nullopt;
  }
  IpAddress a;
  a.version = 6;
  std::uint16_t groups[8] = {};
  for (int i = 0; i < headCount; ++i) groups[i] = head[i];
  for (int i = 0; i < tailCount; ++i) groups[8 - tailCount + i] = tail[i];
  for (int i = 0; i < 8; ++i) {
    a.bytes[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
    a.bytes[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
  }
  return a;
}

}  // namespace nvutil
