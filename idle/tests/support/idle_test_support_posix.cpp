#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "idle_test_support.h"
#include "xvfb_posix.h"

namespace nv::idletest {
namespace {

// Each test program gets a shared area of its own, so parallel runs do not see each other.
struct PrivateArea {
  std::string name = "/NvIdle-test-" + std::to_string(::getpid());
  PrivateArea() { ::setenv("NV_IDLE_AREA", name.c_str(), 1); }
  ~PrivateArea() { ::shm_unlink(name.c_str()); }
} g_area;

}  // namespace

XvfbServer::XvfbServer() {
  int fds[2];
  if (::pipe(fds) != 0) {
    error_ = "no pipe";
    return;
  }
  server_ = ChildProcess(
      {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "640x480x24", "-nolisten", "tcp"});
  ::close(fds[1]);
  if (!server_.started()) {
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

void XvfbServer::Stop() { server_.Terminate(); }

int XdotoolOnce(const std::vector<std::string>& args) {
  if (::access("/usr/bin/xdotool", X_OK) != 0) return -1;
  std::vector<std::string> argv{"/usr/bin/xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, nullptr, 30000);
}

std::string PrepareInputDisplay() {
  if (::access("/usr/bin/xdotool", X_OK) != 0) return "xdotool is not installed";
  static XvfbServer xvfb;
  return xvfb.error();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace nv::idletest
