#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <thread>
#include <utility>

#include "platform/testing/child_process.h"

extern char** environ;

namespace nv::testing {

std::string SelfPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  return std::string(self, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string SiblingProgram(const std::string& name) {
  const std::string self = SelfPath();
  return self.substr(0, self.find_last_of('/') + 1) + name;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool captureOutput) {
  int fds[2] = {-1, -1};
  if (captureOutput && ::pipe2(fds, O_CLOEXEC) != 0) return;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (captureOutput) {
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) {
    ::close(fds[1]);
    output_ = fds[0];
  }
  if (rc == 0) process_ = pid;
}

ChildProcess::~ChildProcess() {
  Kill();
  if (output_ >= 0) ::close(static_cast<int>(output_));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, 0)), output_(std::exchange(other.output_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    if (output_ >= 0) ::close(static_cast<int>(output_));
    process_ = std::exchange(other.process_, 0);
    output_ = std::exchange(other.output_, -1);
  }
  return *this;
}

std::string ChildProcess::ReadAll() {
  std::string out;
  if (output_ < 0) return out;
  char buf[512];
  ssize_t n = 0;
  while ((n = ::read(static_cast<int>(output_), buf, sizeof buf)) > 0)
    out.append(buf, static_cast<size_t>(n));
  return out;
}

int ChildProcess::Wait(int timeoutMs) {
  if (process_ == 0) return -1;
  const auto pid = static_cast<pid_t>(process_);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      process_ = 0;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (r < 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Kill();
  return -1;
}

void ChildProcess::Terminate() {
  if (process_ == 0) return;
  ::kill(static_cast<pid_t>(process_), SIGTERM);
  Wait(5000);
}

void ChildProcess::Kill() noexcept {
  if (process_ == 0) return;
  const auto pid = static_cast<pid_t>(process_);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  process_ = 0;
}

}  // namespace nv::testing
