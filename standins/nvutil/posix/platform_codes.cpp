#include <cerrno>
#include <cstdio>
#include <cstring>

#include "nvutil/net_stack.h"
#include "platform_trace.h"

namespace nvutil {

std::uint32_t InvalidArgumentCode() noexcept { return EINVAL; }
std::uint32_t NotFoundCode() noexcept { return ENOENT; }

std::string DescribeError(std::uint32_t code) {
  char buf[256];
  // The GNU variant returns the text, which may or may not be the buffer.
  return ::strerror_r(static_cast<int>(code), buf, sizeof buf);
}

void WritePlatformTrace(const std::string& line) noexcept {
  std::fprintf(stderr, "nvutil: %s", line.c_str());
  if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
}

}  // namespace nvutil
