#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "corekit/debug.h"
#include "corekit/psapi.h"

extern char** environ;

namespace {

bool IsProcessId(const char* name) {
  if (*name == '\0') return false;
  for (const char* p = name; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

// The executable's path; kernel threads and other users' processes have none, then the
// command name stands in.
std::string ProcessImage(const std::string& pid) {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink(("/proc/" + pid + "/exe").c_str(), path.data(), path.size());
  if (n > 0 && static_cast<size_t>(n) < path.size()) {
    path.resize(static_cast<size_t>(n));
    return path;
  }
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> words;
  size_t pos = 0;
  while ((pos = text.find_first_not_of(" \t", pos)) != std::string::npos) {
    const size_t end = text.find_first_of(" \t", pos);
    words.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    pos = end;
  }
  return words;
}

// Waits for the child up to `waitMs`; true when it ended (and was reaped).
bool WaitForChild(pid_t pid, unsigned long waitMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

}  // namespace

int CPSAPI::EnumProcesses() noexcept {
  try {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return 0;
    std::vector<std::string> pids;
    while (const dirent* entry = ::readdir(proc)) {
      if (IsProcessId(entry->d_name)) pids.emplace_back(entry->d_name);
    }
    ::closedir(proc);
    for (const std::string& pid : pids) {
      const std::string image = ProcessImage(pid);
      if (image.empty()) continue;  // ended meanwhile
      if (!OnProcess(image, std::strtoul(pid.c_str(), nullptr, 10))) break;
    }
    return 1;
  } catch (...) {
    CDebug::dprintf("EnumProcesses: failed\n");
    return 0;
  }
}

int CPSAPI::EnumProcessModules(unsigned long processId) noexcept {
  try {
    std::ifstream maps("/proc/" + std::to_string(processId) + "/maps");
    if (!maps) return 0;
    std::set<std::string> seen;
    std::string line;
    while (std::getline(maps, line)) {
      // "start-end perms offset dev inode   /path"; only file-backed mappings are modules.
      const size_t path = line.find('/');
      if (path == std::string::npos) continue;
      const std::string fullPath = line.substr(path);
      if (!seen.insert(fullPath).second) continue;
      void* base = reinterpret_cast<void*>(std::strtoull(line.c_str(), nullptr, 16));
      const std::string name = fullPath.substr(fullPath.rfind('/') + 1);
      if (!OnModule(base, fullPath, name)) break;
    }
    return 1;
  } catch (...) {
    CDebug::dprintf("EnumProcessModules: failed\n");
    return 0;
  }
}

// No window system natively.
CPSAPI::WindowHandle CPSAPI::FindWindowX(const std::string&) noexcept { return nullptr; }
CPSAPI::WindowHandle CPSAPI::FindWindowX(const std::string&, const std::string&, unsigned long) noexcept {
  return nullptr;
}
CPSAPI::WindowHandle CPSAPI::FindWindowX(const std::string&, unsigned long) noexcept { return nullptr; }
CPSAPI::WindowHandle CPSAPI::FindWindowX(unsigned long) noexcept { return nullptr; }

int CPSAPI::WinAppExec(const std::string& program, const std::string& arguments, bool,
                       unsigned long waitMs) noexcept {
  try {
    if (program.empty()) return 0;
    std::vector<std::string> words = SplitAtBlanks(arguments);
    words.insert(words.begin(), program);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    // Hidden: no terminal input or output.  Its own process group, so that killing it at the
    // limit also ends what it started.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    for (int fd : {0, 1, 2}) {
      ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
      CDebug::dprintf("WinAppExec: cannot start %s (%d)\n", program.c_str(), rc);
      return 0;
    }
    if (!WaitForChild(pid, waitMs)) {
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    return 1;
  } catch (...) {
    return 0;
  }
}
