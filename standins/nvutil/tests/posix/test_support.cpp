#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace nvtest {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Argv(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const auto& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

// Waits for `pid` up to `timeoutMs`; true when it was reaped.
bool Reap(pid_t pid, int timeoutMs, int* status) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const pid_t done = ::waitpid(pid, status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs) {
  CommandResult result;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(pipeFds[0]), ::close(pipeFds[1]);
    return result;
  }
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, 0);
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    auto args = Argv(argv);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buf[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd pfd{pipeFds[0], POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t got = ::read(pipeFds[0], buf, sizeof buf);
    if (got <= 0) break;
    result.output.append(buf, static_cast<std::size_t>(got));
  }
  ::close(pipeFds[0]);
  int status = 0;
  if (!Reap(pid, 5000, &status)) {
    ::kill(pid, SIGKILL);
    Reap(pid, 5000, &status);
  }
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logPath) {
  Stop();
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(devNull, 0);
    ::dup2(log, 1);
    ::dup2(log, 2);
    auto args = Argv(argv);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  m_pid = pid;
  return true;
}

bool ChildProcess::Running() {
  if (m_pid <= 0) return false;
  int status = 0;
  if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
    m_pid = -1;
    return false;
  }
  return true;
}

void ChildProcess::Stop() {
  if (m_pid <= 0) return;
  int status = 0;
  ::kill(m_pid, SIGTERM);
  if (!Reap(m_pid, 3000, &status)) {
    ::kill(m_pid, SIGKILL);
    Reap(m_pid, 3000, &status);
  }
  m_pid = -1;
}

NetnsPair::NetnsPair(const std::string& tag) {
  const std::string id = std::to_string(::getpid());
  nsA = "nvutil-" + tag + "-" + id + "-a";
  nsB = "nvutil-" + tag + "-" + id + "-b";
  ifA = "nvu" + id + "a";
  ifB = "nvu" + id + "b";
}

std::string NetnsPair::Create() {
  m_created = true;  // delete whatever part exists, even after a half-way failure
  const std::vector<std::vector<std::string>> steps = {
      {"ip", "netns", "add", nsA},
      {"ip", "netns", "add", nsB},
      {"ip", "-n", nsA, "link", "add", ifA, "type", "veth", "peer", "name", ifB, "netns", nsB},
      {"ip", "-n", nsA, "link", "set", "lo", "up"},
      {"ip", "-n", nsB, "link", "set", "lo", "up"},
      {"ip", "-n", nsA, "link", "set", ifA, "up"},
      {"ip", "-n", nsB, "link", "set", ifB, "up"},
  };
  for (const auto& step : steps) {
    const CommandResult r = RunCommand(step);
    if (r.exitCode != 0) {
      std::string line;
      for (const auto& w : step) line += w + " ";
      return line + "failed: " + r.output;
    }
  }
  return {};
}

NetnsPair::~NetnsPair() {
  if (!m_created) return;
  RunCommand({"ip", "netns", "del", nsA});  // takes the veth pair with it
  RunCommand({"ip", "netns", "del", nsB});
}

EnterNetns::EnterNetns(const std::string& name) {
  m_home.reset(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));
  nv::posix::UniqueFd target(::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC));
  m_ok = m_home && target && ::setns(target.get(), CLONE_NEWNET) == 0;
}

EnterNetns::~EnterNetns() {
  if (m_ok && ::setns(m_home.get(), CLONE_NEWNET) != 0) {
    std::fprintf(stderr, "could not return to the original network namespace\n");
    std::abort();  // every later test would run in the wrong namespace
  }
}

bool IsRoot() { return ::geteuid() == 0; }

bool HaveCommand(const std::string& name) {
  return RunCommand({"sh", "-c", "command -v " + name}).exitCode == 0;
}

nvutil::MacAddress LinkMac(const std::string& ns, const std::string& ifname) {
  nvutil::MacAddress mac{};
  const std::string out = RunCommand({"ip", "-n", ns, "-o", "link", "show", "dev", ifname}).output;
  const auto pos = out.find("link/ether ");
  if (pos == std::string::npos) return mac;
  unsigned b[6];
  if (std::sscanf(out.c_str() + pos + 11, "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) == 6)
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(b[i]);
  return mac;
}

int LinkIndex(const std::string& ns, const std::string& ifname) {
  const std::string out = RunCommand({"ip", "-n", ns, "-o", "link", "show", "dev", ifname}).output;
  return std::atoi(out.c_str());  // "7: name@if6: ..."
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

}  // namespace nvtest
