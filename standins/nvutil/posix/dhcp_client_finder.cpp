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

}  // namespace nvutil::posix
