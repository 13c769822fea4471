#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix_fd.h"
#include "trace_output.h"
#include "write_all.h"

namespace nv::corekit {

std::string ReadEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ProgramPath() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
  return n > 0 && static_cast<size_t>(n) < sizeof path ? std::string(path, static_cast<size_t>(n))
                                                       : std::string();
}

void EmitTraceLine(std::string_view text) noexcept { (void)WriteAll(STDERR_FILENO, text); }

void AppendTraceFile(const std::string& path, std::string_view text) noexcept {
  posix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (fd) (void)WriteAll(fd.get(), text);
}

// stderr already is the terminal's; no second window natively.
bool OpenTraceConsole(int, int, const char*) noexcept { return false; }
void WriteTraceConsole(std::string_view) noexcept {}

}  // namespace nv::corekit
