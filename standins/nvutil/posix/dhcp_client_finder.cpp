#include "dhcp_client_finder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "dhcp_client_cmdline.h"
#include "platform/posix_fd.h"

namespace nvutil::posix {
namespace {

constexpr std::size_t kMaxCmdline = 32 * 1024;

bool ReadBounded(const std::string& path, std::string& out) {
  nv::posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  out.clear();
  char buf[4096];
  while (out.size() < kMaxCmdline) {
    const ssize_t got = ::read(fd.get(), buf, sizeof buf);
    if (got < 0) return false;
    if (got == 0) break;
    out.append(buf, static_cast<std::size_t>(std::min<std::size_t>(got, kMaxCmdline - out.size())));
  }
  return true;
}

bool SameFile(const std::string& a, const struct stat& b) {
  struct stat st {};
  return ::stat(a.c_str(), &st) == 0 && st.st_dev == b.st_dev && st.st_ino == b.st_ino;
}

}  // namespace

std::vector<pid_t> DhcpClientFinder::FindUdhcpc(const std::string& interfaceName) const {
  std::vector<pid_t> found;
  struct stat own {};
  if (::stat(ownNetns.c_str(), &own) != 0) return found;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(procRoot.c_str()), ::closedir);
  if (!dir) return found;
  std::string raw;
  while (const dirent* entry = ::readdir(dir.get())) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    const std::string base = procRoot + "/" + entry->d_name;
    if (!ReadBounded(base + "/cmdline", raw)) continue;  // gone meanwhile
    const auto iface = UdhcpcInterface(SplitCmdline(raw));
    if (!iface || *iface != interfaceName) continue;
    if (!SameFile(base + "/ns/net", own)) continue;
    found.push_back(static_cast<pid_t>(pid));
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<ProcessEntry> DhcpClientFinder::ListProcesses() const {
  std::vector<ProcessEntry> found;
  struct stat own {};
  if (::stat(ownNetns.c_str(), &own) != 0) return found;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(procRoot.c_str()), ::closedir);
  if (!dir) return found;
  std::string raw;
  while (const dirent* entry = ::readdir(dir.get())) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    const std::string base = procRoot + "/" + entry->d_name;
    if (!ReadBounded(base + "/cmdline", raw) || raw.empty()) continue;
    if (!SameFile(base + "/ns/net", own)) continue;
    ProcessEntry process;
    process.pid = static_cast<int>(pid);
    process.argv = SplitCmdline(raw);
    // "PID (comm) S PPID ...": the name may hold blanks and parentheses, so read after the last ')'.
    std::string stat;
    if (ReadBounded(base + "/stat", stat)) {
      const auto close = stat.rfind(')');
      if (close != std::string::npos && close + 4 < stat.size())
        process.parent = static_cast<int>(std::strtol(stat.c_str() + close + 4, nullptr, 10));
    }
    found.push_back(std::move(process));
  }
  return found;
}

unsigned long long DhcpClientFinder::NamespaceId() const {
  struct stat own {};
  return ::stat(ownNetns.c_str(), &own) == 0 ? static_cast<unsigned long long>(own.st_ino) : 0;
}

}  // namespace nvutil::posix
