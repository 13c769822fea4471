// POSIX: runs a helper program with an argument vector (never through a shell) and a bounded wait.
#pragma once
#include <string>
#include <vector>

namespace nv::posix {

struct ProgramResult {
  bool started = false;
  bool timedOut = false;
  int exitCode = -1;   // -1 when it did not exit normally
  std::string output;  // stdout and stderr together, at most 16 KiB
};

// argv[0] is an absolute path. stdin is /dev/null; the child gets LC_ALL=C and a plain PATH.
// A program still running after timeoutMs is killed.
ProgramResult RunProgram(const std::vector<std::string>& argv, int timeoutMs) noexcept;

// Starts argv detached (its own session, stdin/stdout/stderr on /dev/null, not our child), for
// a daemon that stays in the foreground. False when it could not be started.
bool StartDetached(const std::vector<std::string>& argv) noexcept;

// The first executable among the candidates (absolute paths), or empty.
std::string FindExecutable(const std::vector<std::string>& candidates);

}  // namespace nv::posix
