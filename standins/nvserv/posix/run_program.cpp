#include "posix/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/posix_fd.h"

namespace nvserv::posix {
namespace {

constexpr std::size_t kMaxOutput = 16 * 1024;

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::string FindExecutable(const std::vector<std::string>& candidates) {
  for (const std::string& path : candidates) {
    if (!path.empty() && path[0] == '/' && ::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

ProgramResult RunProgram(const std::vector<std::string>& argv, int timeoutMs) noexcept {
  ProgramResult result;
  try {
    if (argv.empty() || argv[0].empty() || argv[0][0] != '/') return result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    nv::posix::UniqueFd readEnd(pipeFds[0]);
    nv::posix::UniqueFd writeEnd(pipeFds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    char envLang[] = "LC_ALL=C";
    char envPath[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    char* env[] = {envLang, envPath, nullptr};

    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();
    if (rc != 0) {
      result.output = "cannot start " + argv[0];
      return result;
    }
    result.started = true;

    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char chunk[1024];
    for (;;) {  // read until the child closes its end (it exited) or time runs out
      pollfd pfd{readEnd.get(), POLLIN, 0};
      const int ready = ::poll(&pfd, 1, RemainingMs(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) {
        result.timedOut = true;
        break;
      }
      const ssize_t n = ::read(readEnd.get(), chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      const std::size_t room = kMaxOutput - result.output.size();
      result.output.append(chunk, std::min(room, static_cast<std::size_t>(n)));
    }

    int status = 0;
    for (;;) {
      if (!result.timedOut && RemainingMs(deadline) == 0) result.timedOut = true;
      if (result.timedOut) ::kill(pid, SIGKILL);  // SIGKILL cannot be ignored: the wait below ends
      const pid_t done = ::waitpid(pid, &status, result.timedOut ? 0 : WNOHANG);
      if (done == pid) break;
      if (done < 0 && errno != EINTR) return result;
      if (done == 0) ::usleep(10000);  // output closed, not exited yet
    }
    if (result.timedOut) return result;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
  } catch (...) {
    return result;
  }
}

}  // namespace nvserv::posix
