#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix_fd.h"
#include "trace_output.h"

namespace nv::corekit {
namespace {

void WriteAll(int fd, std::string_view text) noexcept {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

std::string ReadEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void EmitTraceLine(std::string_view text) noexcept { WriteAll(STDERR_FILENO, text); }

void AppendTraceFile(const std::string& path, std::string_view text) noexcept {
  posix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (fd) WriteAll(fd.get(), text);
}

// stderr already is the terminal's; no second window natively.
bool OpenTraceConsole(int, int, const char*) noexcept { return false; }
void WriteTraceConsole(std::string_view) noexcept {}

}  // namespace nv::corekit
