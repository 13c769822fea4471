#include "platform/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/posix_fd.h"

namespace nv::posix {
namespace {

constexpr std::size_t kMaxOutput = 16 * 1024;

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Appends what the output pipe holds now (up to its end), keeping at most kMaxOutput bytes.
// Returns false once the pipe is closed and drained.
bool AppendOutput(int fd, std::string& output) {
  char chunk[1024];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) {
      output.append(chunk, std::min(kMaxOutput - output.size(), static_cast<std::size_t>(n)));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0;  // 0: end of output; EAGAIN: nothing more yet
  }
}

struct Ending {
  bool reaped = false;
  bool timedOut = false;
  int status = 0;  // the wait status when reaped
};

// Waits for the child's exit, killing it first when time ran out.  It has exited or been killed,
// so the wait is short.
Ending Reap(pid_t pid, bool timedOut) {
  Ending ending;
  ending.timedOut = timedOut;
  if (timedOut) ::kill(pid, SIGKILL);  // SIGKILL cannot be ignored
  pid_t done = 0;
  while ((done = ::waitpid(pid, &ending.status, 0)) < 0 && errno == EINTR) {
  }
  ending.reaped = done == pid;
  return ending;
}

// Without process file descriptors (Linux before 5.3): read to the end of the output, then look
// for the exit every millisecond.
Ending CollectUntilExitPolling(pid_t pid, int outputFd, Clock::time_point deadline, std::string& output) {
  for (bool open = true; open;) {
    pollfd pfd{outputFd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return Reap(pid, true);
    char chunk[1024];
    const ssize_t n = ::read(outputFd, chunk, sizeof chunk);
    if (n > 0) output.append(chunk, std::min(kMaxOutput - output.size(), static_cast<std::size_t>(n)));
    open = n > 0 || (n < 0 && errno == EINTR);
  }
  for (;;) {
    Ending ending;
    const pid_t done = ::waitpid(pid, &ending.status, WNOHANG);
    if (done == pid) {
      ending.reaped = true;
      return ending;
    }
    if (done < 0 && errno != EINTR) return ending;
    if (RemainingMs(deadline) == 0) return Reap(pid, true);
    ::usleep(1000);
  }
}

// Reads the child's output while waiting for its exit; woken by whichever comes first: output, the
// exit itself (through a process file descriptor) or the deadline.  What a process the child left
// behind writes after the child's exit is not its output and is not waited for.
Ending CollectUntilExit(pid_t pid, int outputFd, Clock::time_point deadline, std::string& output) {
  const nv::posix::UniqueFd exited(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (!exited) return CollectUntilExitPolling(pid, outputFd, deadline, output);
  ::fcntl(outputFd, F_SETFL, ::fcntl(outputFd, F_GETFL) | O_NONBLOCK);
  bool outputOpen = true;
  for (;;) {
    pollfd fds[2] = {{exited.get(), POLLIN, 0}, {outputFd, POLLIN, 0}};
    const int ready = ::poll(fds, outputOpen ? 2 : 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return Reap(pid, true);
    if (outputOpen && fds[1].revents != 0) outputOpen = AppendOutput(outputFd, output);
    if (fds[0].revents != 0) {
      if (outputOpen) AppendOutput(outputFd, output);  // the last lines written before the exit
      return Reap(pid, false);
    }
  }
}
}  // namespace

bool StartDetached(const std::vector<std::string>& argv) noexcept {
  try {
    if (argv.empty() || argv[0].empty() || argv[0][0] != '/') return false;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    char envLang[] = "LC_ALL=C";
    char envPath[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    char* env[] = {envLang, envPath, nullptr};
    // Two forks: the daemon is re-parented at once and never becomes a zombie of ours.  Only
    // async-signal-safe calls between fork and exec.
    const pid_t first = ::fork();
    if (first < 0) return false;
    if (first == 0) {
      ::setsid();
      if (::fork() != 0) ::_exit(0);
      const int null = ::open("/dev/null", O_RDWR);
      if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
      }
      ::execve(args[0], args.data(), env);
      ::_exit(127);
    }
    int status = 0;
    while (::waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  } catch (...) {
    return false;
  }
}

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
    const Ending ending = CollectUntilExit(pid, readEnd.get(), deadline, result.output);
    result.timedOut = ending.timedOut;
    if (ending.reaped && !ending.timedOut && WIFEXITED(ending.status))
      result.exitCode = WEXITSTATUS(ending.status);
    return result;
  } catch (...) {
    return result;
  }
}

}  // namespace nv::posix
