// Writes a whole buffer to a descriptor, resuming after signals and short writes.
#pragma once
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace nv::corekit {

inline bool WriteAll(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace nv::corekit
