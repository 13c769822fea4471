// Helpers for the Linux tests that build their own network namespaces: bounded command
// runs, background processes that are always stopped, and namespaces that are always
// deleted, also when a test fails half-way.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "nvutil/ipv4.h"
#include "platform/posix_fd.h"

namespace nvtest {

struct CommandResult {
  int exitCode = -1;  // -1 when it could not run or was killed
  bool timedOut = false;
  std::string output;  // stdout and stderr together
};

// Runs argv with stdin from /dev/null, killing it after `timeoutMs`.
CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs = 10000);

// A background process writing to `logPath`; stopped (TERM, then KILL) on destruction.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { Stop(); }
  bool Start(const std::vector<std::string>& argv, const std::string& logPath);
  void Stop();
  [[nodiscard]] bool Running();
  [[nodiscard]] pid_t pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
};

// Two fresh namespaces joined by a veth pair: `ifA` in `nsA`, `ifB` in `nsB`.
class NetnsPair {
 public:
  explicit NetnsPair(const std::string& tag);
  NetnsPair(const NetnsPair&) = delete;
  NetnsPair& operator=(const NetnsPair&) = delete;
  ~NetnsPair();
  // Empty on success, else what failed.
  std::string Create();

  std::string nsA, nsB, ifA, ifB;

 private:
  bool m_created = false;
};

// Moves the calling thread into a named namespace until destruction.
class EnterNetns {
 public:
  explicit EnterNetns(const std::string& name);
  ~EnterNetns();
  [[nodiscard]] bool ok() const { return m_ok; }

 private:
  nv::posix::UniqueFd m_home;
  bool m_ok = false;
};

bool IsRoot();
bool HaveCommand(const std::string& name);
// The hardware address of an interface as `ip -n NS link` shows it; zeros when unknown.
nvutil::MacAddress LinkMac(const std::string& ns, const std::string& ifname);
int LinkIndex(const std::string& ns, const std::string& ifname);
bool Contains(const std::string& haystack, const std::string& needle);
// Polls `ip` output until `predicate` holds or `timeoutMs` passes.
template <typename Predicate>
bool WaitFor(Predicate predicate, int timeoutMs);

}  // namespace nvtest

#include <chrono>
#include <thread>

template <typename Predicate>
bool nvtest::WaitFor(Predicate predicate, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (predicate()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}
