#include "registry_multi_string.h"

#include <cstring>

namespace corekit {

std::vector<uint8_t> PackMultiString(const std::vector<std::string>& strings) {
  size_t total = 1;
  for (const auto& s : strings) total += s.size() + 1;
  std::vector<uint8_t> out;
  out.reserve(total);
  for (const auto& s : strings) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
  }
  out.push_back(0);
  return out;
}

std::vector<std::string> UnpackMultiString(const uint8_t* data, size_t size) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < size) {
    const auto* start = reinterpret_cast<const char*>(data + pos);
    const void* zero = std::memchr(start, 0, size - pos);
    const size_t len = zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : size - pos;
    if (len == 0) break;
    out.emplace_back(start, len);
    pos += len + 1;
  }
  return out;
}

}  // namespace corekit
