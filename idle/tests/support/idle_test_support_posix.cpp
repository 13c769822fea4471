#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>

#include "idle_test_support.h"
#include "xvfb_posix.h"

extern char** environ;

namespace nv::idletest {
namespace {

// Each test program gets a shared area of its own, so parallel runs do not see each other.
struct PrivateArea {
  std::string name = "/NvIdle-test-" + std::to_string(::getpid());
  PrivateArea() { ::setenv("NV_IDLE_AREA", name.c_str(), 1); }
  ~PrivateArea() { ::shm_unlink(name.c_str()); }
} g_area;

pid_t Spawn(const std::vector<std::string>& argv, int outFd) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

int WaitExit(pid_t pid, int timeoutMs) {
  int status = 0;
  for (int waited = 0;; waited += 10) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (r < 0 || waited >= timeoutMs) break;
    SleepMs(10);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

}  // namespace

XvfbServer::XvfbServer() {
  int fds[2];
  if (::pipe(fds) != 0) {
    error_ = "no pipe";
    return;
  }
  pid_ = Spawn(
      {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "640x480x24", "-nolisten", "tcp"}, -1);
  ::close(fds[1]);
  if (pid_ == 0) {
    ::close(fds[0]);
    error_ = "Xvfb is not installed";
    return;
  }
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c = 0;
  while (::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  if (number.empty()) {
    error_ = "Xvfb did not report a display";
    return;
  }
  ::setenv("DISPLAY", (":" + number).c_str(), 1);
}

void XvfbServer::Stop() {
  if (pid_ == 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  pid_ = 0;
}

std::string SiblingProgram(const std::string& name) {
  char self[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
  return path.substr(0, path.find_last_of('/') + 1) + name;
}

int RunProgram(const std::vector<std::string>& argv, std::string* output, int timeoutMs) {
  int fds[2] = {-1, -1};
  if (output != nullptr && ::pipe(fds) != 0) return -1;
  const pid_t pid = Spawn(argv, fds[1]);
  if (fds[1] >= 0) ::close(fds[1]);
  if (pid == 0) {
    if (fds[0] >= 0) ::close(fds[0]);
    return -1;
  }
  if (output != nullptr) {
    output->clear();
    char buf[256];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) output->append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
  }
  return WaitExit(pid, timeoutMs);
}

int XdotoolOnce(const std::vector<std::string>& args) {
  if (::access("/usr/bin/xdotool", X_OK) != 0) return -1;
  std::vector<std::string> argv{"/usr/bin/xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

Child::Child(const std::vector<std::string>& argv) : handle_(Spawn(argv, -1)) {}

Child::~Child() {
  if (handle_ != 0) WaitExit(static_cast<pid_t>(handle_), 0);
}

std::string PrepareInputDisplay() {
  if (::access("/usr/bin/xdotool", X_OK) != 0) return "xdotool is not installed";
  static XvfbServer xvfb;
  return xvfb.error();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace nv::idletest
