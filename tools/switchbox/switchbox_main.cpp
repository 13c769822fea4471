// switchbox: the switch box as a program.  Run it in the box's network
// namespace; it prints one line per command it obeys and stops cleanly on
// SIGTERM or SIGINT, leaving the cable where it is (as a box that loses power
// keeps its relays).  For the lab's fault campaign, each SIGUSR1 makes it ignore
// the next control frame it receives.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "netlink_connector.h"
#include "options.h"
#include "packet_socket.h"
#include "pidfile.h"
#include "switch_box.h"

namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

volatile std::sig_atomic_t g_frames_to_ignore = 0;

void OnStopSignal(int sig) { g_stop_signal = sig; }
void OnIgnoreSignal(int) { g_frames_to_ignore = g_frames_to_ignore + 1; }

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);  // the lab reads the log while we run
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "switchbox: %s\n", what.c_str());
  return 1;
}

int Run(const nv::switchbox::Options& opt) {
  using namespace nv::switchbox;

  // Stop signals stay blocked except inside ppoll, so none is lost between
  // the check of the flag and the wait.
  sigset_t stop_set, wait_mask;
  sigemptyset(&stop_set);
  sigaddset(&stop_set, SIGTERM);
  sigaddset(&stop_set, SIGINT);
  sigaddset(&stop_set, SIGUSR1);
  sigprocmask(SIG_BLOCK, &stop_set, &wait_mask);
  sigdelset(&wait_mask, SIGTERM);
  sigdelset(&wait_mask, SIGINT);
  sigdelset(&wait_mask, SIGUSR1);
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = OnIgnoreSignal;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGUSR1, &ignore, nullptr);

  std::string error;
  NetlinkConnector connector(opt.cable, opt.port_a, opt.port_b);
  if (!connector.Check(error)) return Fail(error);
  PacketSocket socket;
  if (!socket.Open(opt.cable, error)) return Fail(error);
  SwitchBox box(connector);
  if (!box.PowerOn(opt.initial, error)) return Fail("power-on: " + error);
  const pid_t self = ::getpid();
  if (!opt.pidfile.empty() && !WritePidFile(opt.pidfile, self, error)) return Fail(error);
  Say("switchbox: listening on " + opt.cable + ", connected to " + PortName(box.connected()));

  std::vector<std::uint8_t> buf(2048);
  int status = 0;
  while (g_stop_signal == 0) {
    pollfd p{socket.fd(), POLLIN, 0};
    const int r = ::ppoll(&p, 1, nullptr, &wait_mask);
    if (r < 0) {
      if (errno == EINTR) continue;
      status = Fail(std::string("poll: ") + std::strerror(errno));
      break;
    }
    for (;;) {  // drain: a burst of frames arrives at once
      const long n = socket.ReceiveIncoming(buf.data(), buf.size(), error);
      if (n < 0) {
        status = Fail(error);
        break;
      }
      if (n == 0) break;
      // SIGUSR1 is blocked here, so the count only changes inside ppoll.
      if (g_frames_to_ignore > 0 && ParseControlFrame(buf.data(), static_cast<std::size_t>(n)).IsCommand()) {
        g_frames_to_ignore = g_frames_to_ignore - 1;
        Say("switchbox: ignored one control frame (SIGUSR1)");
        continue;
      }
      const Outcome out = box.OnFrame(buf.data(), static_cast<std::size_t>(n));
      if (!out.line.empty()) Say(out.line);
      if (!out.error.empty()) std::fprintf(stderr, "%s\n", out.error.c_str());
      if (opt.verbose && !out.verdict.IsCommand() &&
          LooksLikeControlFrame(buf.data(), static_cast<std::size_t>(n))) {
        std::fprintf(stderr, "switchbox: ignored %ld-byte frame: %s\n", n, Describe(out.verdict.ignored));
      }
    }
    if (status != 0) break;
  }
  if (g_stop_signal != 0) Say("switchbox: stopped by signal " + std::to_string(g_stop_signal));
  if (!opt.pidfile.empty()) RemovePidFileIfOurs(opt.pidfile, self);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    nv::switchbox::Options opt;
    std::string error;
    if (!nv::switchbox::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), opt, error)) {
      std::fprintf(stderr, "switchbox: %s\n%s", error.c_str(), nv::switchbox::Usage());
      return 2;
    }
    if (opt.help) {
      std::printf("%s", nv::switchbox::Usage());
      return 0;
    }
    return Run(opt);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
