#include "config_text.h"

namespace nv::core {

uint32_t LeadingDecimal(std::string_view text) noexcept {
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<uint32_t>(value);
}

std::string FirstCharacters(const std::string& utf8, size_t count) {
  size_t pos = 0;
  for (size_t chars = 0; pos < utf8.size() && chars < count; ++chars) {
    ++pos;
    // Continuation bytes (10xxxxxx) belong to the character before them.
    while (pos < utf8.size() && (static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80) ++pos;
  }
  return utf8.substr(0, pos);
}

}  // namespace nv::core
